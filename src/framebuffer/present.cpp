// Presenting frames: converting the application's picture into the display surface of the current
// mode and showing it, with the message pump and the waits around it.
#include <chrono>
#include <thread>

#include "framebuffer/conv2x.h"
#include "framebuffer/exception.h"
#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"

namespace {

constexpr const char* no_converter = "can't find converter procedure";

void sleep_1ms() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void (*pause_1ms)() = sleep_1ms;

uint32_t bytes_per_pixel(uint32_t bpp) {
    return (bpp + 7) / 8;
}

// Presentation gives back what a task switch or a mode switch elsewhere took away.
void restore_surfaces(const qbx_mode& mode) {
    qbx_check_display(qbx_dd.dd->restore(mode.primary), "can't restore primary surface");
    if (mode.flags & QBX_MODE_WINDOWED)
        qbx_check_display(qbx_dd.dd->restore(mode.secondary), "can't restore secondary surface");
}

// How the picture is enlarged on the display: mx, my in the size check and placement, vy in the
// line drivers (every source line written twice).
struct scale {
    uint32_t mx = 1, my = 1, vy = 1;
};

scale scale_of(uint32_t convflags) {
    return {(convflags & QBX_CONV_DOUBLE_X) ? 2u : 1u, (convflags & QBX_CONV_DOUBLE_Y) ? 2u : 1u,
            (convflags & QBX_CONV_DOUBLE_LINES) ? 2u : 1u};
}

[[noreturn]] void no_procedure(const qbx_surface& shown) {
    throw qbx_exception::format(shown.bpp, shown.r_mask, shown.g_mask, shown.b_mask, no_converter);
}

// The picture must lie inside the display surface: as large as it in one dimension at least and
// never larger, with its rectangle inside itself, and of the depth the converter was chosen for.
void check_picture(const qbx_surface& picture, const qbx_mode& mode, scale s) {
    const qbx_surface_backbuffer& shown = mode.backbuffer;
    const uint64_t width = uint64_t(picture.width) * s.mx, height = uint64_t(picture.height) * s.my;
    if ((width != shown.width && height != shown.height) || width > shown.width ||
        height > shown.height || !picture.data ||
        uint64_t(picture.rect_x) + picture.rect_width > picture.width ||
        uint64_t(picture.rect_y) + picture.rect_height > picture.height)
        throw qbx_exception(QBX_ERR_DIMENSIONS, "invalid surface dimensions");
    if (shown.rect_x != 0 || shown.rect_y != 0 || shown.rect_width != shown.width ||
        shown.rect_height != shown.height)
        throw qbx_exception(QBX_ERR_RECT, "some weird rect\\blahblah feature not implemented "
                                          "(you should not see this :)");
    if (bytes_per_pixel(picture.bpp) != bytes_per_pixel(mode.bpp))
        throw qbx_exception::format(picture.bpp, picture.r_mask, picture.g_mask, picture.b_mask,
                                    no_converter);
}

// The three line drivers, plain or writing every line twice.
struct line_drivers {
    decltype(&qbx_convert) direct;
    decltype(&qbx_convert_8to32) table;
    decltype(&qbx_convert_8toany) via_xlat;
};
constexpr line_drivers once{qbx_convert, qbx_convert_8to32, qbx_convert_8toany};
constexpr line_drivers twice{qbx_convert_2x, qbx_convert_8to32_2x, qbx_convert_8toany_2x};

// Converts the picture's rectangle into the locked display surface.
void convert_picture(const qbx_surface& picture, const qbx_mode& mode, const display_lock& lock,
                     scale s) {
    check_picture(picture, mode, s);
    const qbx_surface_backbuffer& shown = mode.backbuffer;
    const uint32_t src_bytes = bytes_per_pixel(picture.bpp), dst_bytes = shown.bpp / 8;
    const uint8_t* src = picture.data + size_t(picture.pagelen) * picture.page +
                         size_t(picture.pitch) * picture.rect_y +
                         size_t(src_bytes) * picture.rect_x;
    uint8_t* dst = lock.data + size_t(lock.pitch) * (picture.rect_y * s.vy + mode.ypad) +
                   size_t(shown.pagelen) * shown.page +
                   size_t(picture.rect_x * s.mx + mode.xpad) * dst_bytes;
    const uint32_t width = picture.rect_width, height = picture.rect_height;
    const uint32_t srcadd = picture.pitch - width * src_bytes;
    const uint32_t dstadd = lock.pitch - s.mx * width * dst_bytes;
    const line_drivers& drivers = s.vy == 2 ? twice : once;

    if (!mode.converter)
        no_procedure(shown);
    if (!(mode.convflags & QBX_CONV_TABLE)) {
        drivers.direct(dst, src, width, height, srcadd, dstadd, mode.converter);
        return;
    }
    if (picture.bpp == 15 || picture.bpp == 16) {
        if ((mode.convflags & QBX_CONV_NO_ROUTE) || !mode.graytable)
            no_procedure(shown);
        drivers.table(dst, src, reinterpret_cast<uintptr_t>(mode.graytable), width, height, srcadd,
                      dstadd, mode.converter);
        return;
    }
    if (picture.bpp != 8 || !mode.palette || !mode.palette->data ||
        ((mode.convflags & QBX_CONV_VIA_XLAT) && !mode.xlat))
        no_procedure(shown);
    const auto palette = reinterpret_cast<uintptr_t>(mode.palette->data);
    if (mode.convflags & QBX_CONV_VIA_XLAT)
        drivers.via_xlat(dst, src, reinterpret_cast<uint8_t*>(mode.xlat), palette, width, height,
                         srcadd, dstadd, mode.converter);
    else
        drivers.table(dst, src, palette, width, height, srcadd, dstadd, mode.converter);
}

// Converts the picture and unlocks the display surface, also when the conversion fails, so that
// the next frame can lock it again. (The converters use SSE registers, which leave no state to
// clear before floating-point work.)
uint32_t finish_frame(qbx_surface& picture, const qbx_mode& mode, const display_lock& lock,
                      scale s) {
    try {
        convert_picture(picture, mode, lock, s);
    } catch (...) {
        qbx_dd.dd->unlock(mode.back);
        throw;
    }
    qbx_check_display(qbx_dd.dd->unlock(mode.back), "can't unlock surface");
    std::this_thread::yield();
    return 0;
}

} // namespace

uint32_t qbx_update(qbx_surface& picture, uint32_t flags) {
    return qbx_guarded([&]() -> uint32_t {
        qbx_messageloop(false);
        qbx_mode* mode = curmode;
        if (!mode || !qbx_dd.dd)
            return QBX_ERR_NO_MODE;
        if (!mode->active) {
            pause_1ms();
            return 0;
        }
        restore_surfaces(*mode);
        if (mode->backbuffer.flags & QBX_SURF_LOCKED)
            mode->backbuffer.unlock();
        display_lock lock;
        qbx_check_display(qbx_dd.dd->lock(mode->back, lock), "can't lock surface");
        mode->backbuffer.pitch = lock.pitch;
        if ((flags & QBX_UPDATE_PALETTE) && picture.palette)
            qbx_setpal(*picture.palette, 0, picture.palette->count, 0);
        if (mode->convflags & (QBX_CONV_DOUBLE_X | QBX_CONV_DOUBLE_Y))
            return qbx_update_2x(picture, flags, lock);
        return finish_frame(picture, *mode, lock, {});
    });
}

uint32_t qbx_update_2x(qbx_surface& picture, uint32_t, const display_lock& lock) {
    return qbx_guarded([&]() -> uint32_t {
        if (!curmode || !qbx_dd.dd)
            return QBX_ERR_NO_MODE;
        return finish_frame(picture, *curmode, lock, scale_of(curmode->convflags));
    });
}

uint32_t qbx_flip(uint32_t flags) {
    return qbx_guarded([&]() -> uint32_t {
        if (!(flags & QBX_FLIP_NO_MESSAGES))
            qbx_messageloop(true);
        qbx_mode* mode = curmode;
        if (!mode || !qbx_dd.dd)
            return QBX_ERR_NO_MODE;
        if (!mode->active)
            return 0;
        display& dd = *qbx_dd.dd;
        restore_surfaces(*mode);
        if (mode->flags & QBX_MODE_WINDOWED) {
            if (!mode->primary)
                return 0;
            int32_t x = 0, y = 0;
            const int32_t origin = dd.client_origin(mode->hwnd, x, y);
            if (display_failed(origin))
                throw qbx_exception::system(uint32_t(origin), "can't get origin of client data");
            display_rect to;
            const int32_t area = dd.client_rect(mode->hwnd, to);
            if (display_failed(area))
                throw qbx_exception::system(uint32_t(area), "can't get window client area");
            to = {to.left + x, to.top + y, to.right + x, to.bottom + y};
            const display_rect from{0, 0, int32_t(mode->winwidth), int32_t(mode->winheight)};
            if (flags & QBX_FLIP_VBLANK)
                qbx_vblank();
            qbx_check_display(dd.blit(mode->primary, to, mode->secondary, from),
                              "can't blit secondary to primary surface");
        } else if (mode->flags & QBX_MODE_PRIMARY_ONLY) {
            if (flags & QBX_FLIP_VBLANK)
                qbx_vblank();
        } else {
            qbx_check_display(dd.flip(mode->primary), "can't flip");
        }
        return 0;
    });
}

void qbx_messageloop(bool sleep) {
    if (display* dd = qbx_dd.dd.get()) {
        display_message message;
        while (dd->peek_message(message))
            dd->dispatch_message(message);
    }
    if (sleep)
        pause_1ms();
}

void qbx_use_pause(void (*pause)()) {
    pause_1ms = pause ? pause : sleep_1ms;
}

bool qbx_isexit() {
    return qbx_notifyExit;
}

uint32_t qbx_wait(uint32_t n) {
    qbx_messageloop(true);
    if (n == 0)
        qbx_vblank();
    return 0;
}
