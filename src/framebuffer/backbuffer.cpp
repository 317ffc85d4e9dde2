// Direct locking of the display surface of the current mode.
#include "framebuffer/exception.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"

namespace {

// Direct locking hands out the display's own pixels: only where the picture is shown as it is.
bool direct_lock_allowed(const qbx_mode& mode) {
    return (mode.flags & QBX_MODE_DIRECT_LOCK) &&
           !(mode.flags & (QBX_MODE_PRIMARY_ONLY | QBX_MODE_NO_DIRECT_LOCK)) &&
           !(mode.convflags &
             (0x20000 | QBX_CONV_DOUBLE_X | QBX_CONV_DOUBLE_LINES | QBX_CONV_DOUBLE_Y));
}

// Flag of lock(flags): lock even where the picture is converted or doubled.
constexpr uint32_t lock_always = 0x1;

} // namespace

uint8_t* qbx_surface_backbuffer::lock(uint32_t lock_flags) {
    uint8_t* result = nullptr;
    qbx_guarded([&]() -> uint32_t {
        qbx_mode* mode = curmode;
        if (!mode || !qbx_dd.dd)
            return 0;
        if (!(lock_flags & lock_always) && !direct_lock_allowed(*mode))
            return 0;
        if ((flags & QBX_SURF_LOCKED) || !mode->active)
            return 0;
        qbx_check_display(qbx_dd.dd->restore(mode->back), "can't restore surface");
        display_lock locked;
        qbx_check_display(qbx_dd.dd->lock(mode->back, locked), "can't lock surface");
        data = locked.data + size_t(locked.pitch) * mode->ypad + size_t(bpp / 8) * mode->xpad;
        pitch = locked.pitch;
        flags |= QBX_SURF_LOCKED;
        result = data;
        return 0;
    });
    return result;
}

uint32_t qbx_surface_backbuffer::unlock() {
    return qbx_guarded([&]() -> uint32_t {
        qbx_mode* mode = curmode;
        if (!mode || !mode->active || !qbx_dd.dd)
            return 0;
        qbx_check_display(qbx_dd.dd->restore(mode->back), "can't restore surface");
        qbx_check_display(qbx_dd.dd->unlock(mode->back), "can't unlock surface");
        flags &= ~QBX_SURF_LOCKED;
        return 0;
    });
}
