#include "framebuffer/exception.h"

#include <cstdio>
#include <cstdlib>

#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"

char qbx_exception::msg[1024];
int32_t qbx_killcount = 3;

qbx_exception qbx_exception::display(int32_t result, const char* message) {
    return qbx_exception(QBX_ERR_DISPLAY, uint32_t(result), message);
}

qbx_exception qbx_exception::system(uint32_t error, const char* message) {
    return qbx_exception(QBX_ERR_SYSTEM, error, message);
}

qbx_exception qbx_exception::mode(uint32_t code, uint32_t value, uint32_t x, uint32_t y,
                                  uint32_t bpp, const char* message) {
    qbx_exception e(code, value, message);
    e.x = x;
    e.y = y;
    e.bpp = bpp;
    return e;
}

qbx_exception qbx_exception::format(uint32_t bpp, uint32_t r_mask, uint32_t g_mask, uint32_t b_mask,
                                    const char* message) {
    qbx_exception e(QBX_ERR_PIXEL_FORMAT, message);
    e.bpp = bpp;
    e.r_mask = r_mask;
    e.g_mask = g_mask;
    e.b_mask = b_mask;
    return e;
}

const char* qbx_exception::what() const noexcept {
    const char* text = message ? message : "";
    switch (code) {
    case QBX_ERR_DISPLAY:
        std::snprintf(msg, sizeof msg, "ddraw error (hr: 0x%08X): %s", value, text);
        break;
    case QBX_ERR_SYSTEM:
        std::snprintf(msg, sizeof msg, "win32 error (code: 0x%08X): %s", value, text);
        break;
    case QBX_ERR_MODE_CHOICE:
    case QBX_ERR_MODE_REQUEST:
        std::snprintf(msg, sizeof msg, "mode %dx%d %dbpp adding error: %s", int(x), int(y),
                      int(bpp), text);
        break;
    case QBX_ERR_PIXEL_FORMAT:
        std::snprintf(msg, sizeof msg, "error: %s (bpp == %d, mask == (0x%X, 0x%X, 0x%X))", text,
                      int(bpp), r_mask, g_mask, b_mask);
        break;
    case QBX_ERR_TEXT:
        std::snprintf(msg, sizeof msg, "%s", text);
        break;
    default:
        if (code >= QBX_ERR_VBE_FIRST && code <= QBX_ERR_VBE_LAST)
            std::snprintf(msg, sizeof msg, "vbe error (code: 0x%02X): %s", code & 0xFF, text);
        else
            std::snprintf(msg, sizeof msg, "error: %s", text);
    }
    return msg;
}

void qbx_check_display(int32_t result, const char* message) {
    if (display_failed(result))
        throw qbx_exception::display(result, message);
}

namespace {

// A full-screen mode holds the display: give the desktop back before a box asks the user.
void release_display_for_box() {
    if (curmode && curmode->active && !(curmode->flags & QBX_MODE_WINDOWED))
        qbx_recover();
}

} // namespace

uint32_t qbx_catch_exception(qbx_exception& e) {
    release_display_for_box();
    qbx_message(display_icon::error, "quoblex error", e.what());
    if (--qbx_killcount < 0) {
        qbx_message(display_icon::error, "bang!", "too many succesive errors - collapsing...");
        std::exit(0);
    }
    return e.code;
}

uint32_t qbx_catch_unknown(std::exception& e) {
    release_display_for_box();
    qbx_message(display_icon::error, "error", e.what());
    return QBX_ERR_UNKNOWN;
}
