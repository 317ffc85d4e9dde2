#include "platform/display.h"

#include <cstdlib>
#include <cstring>

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

const display_backend* display_backend_choose() {
    const char* wanted = std::getenv("DEMO_DISPLAY");
    if (wanted && *wanted) {
        const display_backend* backend = display_backend_find(wanted);
        return backend && backend->init() ? backend : nullptr;
    }
    for (const display_backend* const* row = display_backends; *row; ++row)
        if ((*row)->init())
            return *row;
    return nullptr;
}
