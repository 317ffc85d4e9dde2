#include "platform/display.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern const display_backend sdl_backend;
extern const display_backend headless_backend;

const display_backend* const display_backends[] = {&sdl_backend, &headless_backend, nullptr};

const display_backend* display_backend_find(const char* name) {
    if (!name)
        return nullptr;
    for (const display_backend* const* row = display_backends; *row; ++row)
        if (std::strcmp((*row)->name, name) == 0)
            return *row;
    return nullptr;
}

namespace {

std::string failure;

} // namespace

const display_backend* display_backend_choose() {
    failure.clear();
    const char* wanted = std::getenv("DEMO_DISPLAY");
    const display_backend* backend = display_backends[0];
    if (wanted && *wanted) {
        backend = display_backend_find(wanted);
        if (!backend) {
            failure = std::string("DEMO_DISPLAY=") + wanted + " names no display backend";
            return nullptr;
        }
    }
    return backend->init() ? backend : nullptr;
}

const char* display_backend_failure() {
    return failure.c_str();
}

void display_backend_set_failure(const char* reason) {
    failure = reason ? reason : "";
}

display_pixel_format display_standard_format(uint32_t depth) {
    switch (depth) {
    case 8:
        return {DISPLAY_PIXEL_RGB | DISPLAY_PIXEL_INDEXED8, 8, 0, 0, 0};
    case 15:
        return {DISPLAY_PIXEL_RGB, 16, 0x7C00, 0x3E0, 0x1F};
    case 16:
        return {DISPLAY_PIXEL_RGB, 16, 0xF800, 0x7E0, 0x1F};
    default:
        return {DISPLAY_PIXEL_RGB, depth, 0xFF0000, 0xFF00, 0xFF};
    }
}

bool display_blit_rects_valid(const display_rect& to, const display_rect& from,
                              uint32_t source_width, uint32_t source_height) {
    return to.right > to.left && to.bottom > to.top && from.right > from.left &&
           from.bottom > from.top && from.left >= 0 && from.top >= 0 &&
           int64_t(from.right) <= source_width && int64_t(from.bottom) <= source_height;
}
