// Setting a display mode: the window, the claim on the display, the display surfaces, the pixel
// converter and the description of the display surface; undoing all of it; the window procedures.
#include <numeric>

#include "framebuffer/exception.h"
#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"

namespace {

constexpr uint32_t flip_chain_backbuffers = 1;

// A window operation failed: the library's system error with the layer's result.
void check_window(int32_t result, const char* message) {
    if (display_failed(result))
        throw qbx_exception::system(uint32_t(result), message);
}

const char* caption_of(const qbx_mode& mode) {
    return mode.name ? mode.name : QBX_BANNER;
}

// Every mode's window class has the banner's name; registering it again reuses the name.
void register_class(display_window_proc proc, bool arrow_cursor) {
    check_window(qbx_dd.dd->register_window_class({QBX_BANNER, proc, arrow_cursor}),
                 "can't register window class");
}

// A window whose client area is the picture, centred on the screen, drawn through a clipper from
// an off-screen surface.
void open_windowed(qbx_mode& mode) {
    display& dd = *qbx_dd.dd;
    register_class(WndProcW, true);

    display_rect frame{0, 0, int32_t(mode.width), int32_t(mode.height)};
    dd.adjust_window_rect(frame, display_window_style::framed);
    const int32_t outer_width = frame.right - frame.left, outer_height = frame.bottom - frame.top;
    display_mode_desc screen;
    if (!qbx_dd.library || display_failed(qbx_dd.library->desktop_mode(screen)))
        screen = {uint32_t(outer_width), uint32_t(outer_height), 0};
    const int32_t x = (int32_t(screen.width) - outer_width) / 2;
    const int32_t y = (int32_t(screen.height) - outer_height) / 2;
    const display_window_desc window{QBX_BANNER,
                                     caption_of(mode),
                                     display_window_style::framed,
                                     {x, y, x + outer_width, y + outer_height}};
    check_window(dd.create_window(window, mode.hwnd), "can't create window");

    qbx_check_display(dd.set_cooperative_level(mode.hwnd, display_cooperation::normal),
                      "can't set cooperative level");
    qbx_check_display(dd.create_primary(mode.primary), "can't create primary surface");
    qbx_check_display(dd.create_offscreen(mode.width, mode.height, mode.secondary),
                      "can't create secondary surface");
    qbx_check_display(dd.create_clipper(mode.clipper), "can't create clipper");
    qbx_check_display(dd.set_clipper_window(mode.clipper, mode.hwnd),
                      "can't set clipper to window");
    qbx_check_display(dd.set_clipper(mode.primary, mode.clipper),
                      "can't attach clipper object to primary surface");
    mode.back = mode.secondary;
    mode.active = true;
}

// The host mode on the whole display, drawn through a flip chain, or straight into the primary
// surface when the record asks for that or the display refuses a flip chain.
void open_fullscreen(qbx_mode& mode) {
    display& dd = *qbx_dd.dd;
    register_class(WndProcF, false);
    const display_window_desc window{
        QBX_BANNER, caption_of(mode), display_window_style::popup, {0, 0, 0, 0}};
    check_window(dd.create_window(window, mode.hwnd), "can't create window");

    qbx_check_display(
        dd.set_cooperative_level(mode.hwnd, display_cooperation::exclusive_fullscreen),
        "can't set cooperative level");
    qbx_check_display(dd.set_display_mode(mode.host.x, mode.host.y, mode.host.bpp),
                      "can't set display mode");
    if (!(mode.flags & QBX_MODE_PRIMARY_ONLY)) {
        if (display_failed(dd.create_flip_chain(flip_chain_backbuffers, mode.primary))) {
            mode.flags = (mode.flags | QBX_MODE_PRIMARY_ONLY) & ~QBX_MODE_DIRECT_LOCK;
        } else {
            qbx_check_display(dd.get_back_buffer(mode.primary, mode.back),
                              "can't get back surface");
        }
    }
    if (mode.flags & QBX_MODE_PRIMARY_ONLY) {
        qbx_check_display(dd.create_primary(mode.primary), "can't create primary surface");
        mode.back = mode.primary;
    }
    mode.secondary = nullptr;
}

// The converter works in groups of pixels and would shear a picture whose lines end inside one.
void check_picture_width(const qbx_mode& mode, const display_pixel_format& format) {
    const uint32_t width = (mode.convflags & QBX_CONV_DOUBLE_X) ? mode.width / 2 : mode.width;
    uint32_t group = qbx_converter_group(mode.converter, mode.bpp);
    if (mode.convflags & QBX_CONV_VIA_XLAT)
        group = std::lcm(qbx_converter_group(qbx_convert_index8_argb8888, 8),
                         qbx_converter_group(mode.converter, 32));
    if (width % group != 0)
        throw qbx_exception::format(
            format.bpp, format.r_mask, format.g_mask, format.b_mask,
            "picture width is not a multiple of the converter's pixel group");
}

// An 8-bit display starts all black.
void make_display_palette(qbx_mode& mode) {
    display& dd = *qbx_dd.dd;
    display_palette_entry black[DISPLAY_PALETTE_SIZE];
    for (display_palette_entry& entry : black)
        entry = {0, 0, 0, DISPLAY_PALETTE_NOCOLLAPSE};
    qbx_check_display(dd.create_palette(black, mode.ddpalette), "can't create palette");
    qbx_check_display(dd.set_palette_entries(mode.ddpalette, 0, DISPLAY_PALETTE_SIZE, black),
                      "can't set palette");
    qbx_check_display(dd.set_palette(mode.primary, mode.ddpalette),
                      "can't attach palette to surface");
}

// Fills in `backbuffer` from a lock of the display surface; returns that lock's back-buffer count.
uint32_t describe_display_surface(qbx_mode& mode, const display_pixel_format& format) {
    display& dd = *qbx_dd.dd;
    display_lock lock;
    qbx_check_display(dd.lock(mode.back, lock), "can't lock surface");
    qbx_check_display(dd.unlock(mode.back), "can't unlock surface");
    // Presentation writes the picture at the padding: the surface must hold both.
    if (uint64_t(mode.xpad) + mode.width > lock.width ||
        uint64_t(mode.ypad) + mode.height > lock.height)
        throw qbx_exception(QBX_ERR_DIMENSIONS, "invalid surface dimensions");

    qbx_surface_backbuffer& bb = mode.backbuffer;
    bb.data = static_cast<uint8_t*>(mode.data);
    bb.width = mode.width;
    bb.height = mode.height;
    bb.pitch = lock.pitch;
    bb.bpp = format.bpp;
    bb.r_mask = format.r_mask;
    bb.g_mask = format.g_mask;
    bb.b_mask = format.b_mask;
    bb.banks = bb.pages = 1;
    bb.size = bb.pagelen = lock.pitch * mode.height;
    bb.bank = bb.page = 0;
    bb.flags = QBX_SURF_FOREIGN | (format.bpp > 8 ? QBX_SURF_DEEP_DISPLAY : 0);
    bb.reserved0 = bb.reserved1 = 0;
    bb.rect(0, 0, mode.width, mode.height);
    return lock.backbuffers;
}

// Clears every page the display shows, flipping through the chain.
void clear_pages(const qbx_mode& mode, uint32_t backbuffers, uint32_t display_bpp) {
    display& dd = *qbx_dd.dd;
    const bool flips = !(mode.flags & (QBX_MODE_WINDOWED | QBX_MODE_PRIMARY_ONLY));
    const uint32_t pages = flips ? backbuffers + 1 : 1;
    for (uint32_t page = 0; page < pages; ++page) {
        display_lock lock;
        qbx_check_display(dd.lock(mode.back, lock), "can't lock surface");
        const size_t line = size_t(lock.width) * (display_bpp / 8);
        for (uint32_t y = 0; y < lock.height; ++y)
            std::fill_n(lock.data + size_t(y) * lock.pitch, line, uint8_t(0));
        qbx_check_display(dd.unlock(mode.back), "can't unlock surface");
        if (flips)
            qbx_check_display(dd.flip(mode.primary), "can't flip");
    }
}

bool same_windowed_host(const qbx_mode& a, const qbx_mode& b) {
    return (a.flags & QBX_MODE_WINDOWED) && (b.flags & QBX_MODE_WINDOWED) && a.host.x == b.host.x &&
           a.host.y == b.host.y && a.host.bpp == b.host.bpp;
}

// Steps after the handle check; the caller undoes the mode when this does not return 0.
uint32_t set_mode(int32_t index) {
    if (!qbx_dd.dd)
        throw qbx_exception::display(0, "can't locate ddraw interface");
    qbx_mode& mode = modes[size_t(index)];
    qbx_logf("  mode 0x%X -> %dx%d %dbpp\n", uint32_t(index), int(mode.width), int(mode.height),
             int(mode.bpp));
    qbx_logf("  host mode - %dx%d %dbpp - flags 0x%08X, convflags 0x%08X\n", int(mode.host.x),
             int(mode.host.y), int(mode.host.bpp), mode.flags, mode.convflags);
    qbx_logf("  flags 0x%08X, convflags 0x%08X\n", mode.flags, mode.convflags);

    if (curmode && same_windowed_host(*curmode, mode))
        return 0;
    if (curmode)
        qbx_donemode();
    curmode = &mode;
    mode.winwidth = mode.width;
    mode.winheight = mode.height;

    if (mode.flags & QBX_MODE_WINDOWED)
        open_windowed(mode);
    else
        open_fullscreen(mode);
    qbx_logf("  window is created, hwnd = 0x%08X\n",
             uint32_t(reinterpret_cast<uintptr_t>(mode.hwnd)));

    display_pixel_format format;
    qbx_check_display(qbx_dd.dd->get_pixel_format(mode.primary, format), "can't get pixel format");
    if (!(format.flags & DISPLAY_PIXEL_RGB))
        throw qbx_exception::display(int32_t(format.flags), "unknown pixel format (hr == dwFlags)");
    qbx_logf("  pixel format: %dbpp (r_mask = 0x%X, g_mask = 0x%X, b_mask = 0x%X)\n",
             int(format.bpp), format.r_mask, format.g_mask, format.b_mask);

    mode.converter = qbx_get_converter(mode.bpp, format.bpp, format.r_mask, format.g_mask,
                                       format.b_mask, mode.convflags, mode.flags);
    if (!mode.converter)
        throw qbx_exception::format(format.bpp, format.r_mask, format.g_mask, format.b_mask,
                                    "can't find converter procedure");
    check_picture_width(mode, format);

    if (format.bpp == 8)
        make_display_palette(mode);
    const uint32_t backbuffers = describe_display_surface(mode, format);
    clear_pages(mode, backbuffers, format.bpp);

    delete[] mode.graytable;
    mode.graytable = nullptr;
    qbx_logf("  x padding     - %d pixels, y padding - %d scanlines\n", int(mode.xpad),
             int(mode.ypad));
    qbx_logf("  surface pitch - %d, %d pages, pagelen - %d bytes\n", int(mode.backbuffer.pitch),
             int(mode.backbuffer.pages), int(mode.backbuffer.pagelen));

    if (const uint32_t result = qbx_mode::modehack(&mode))
        return result;
    mode.active = true;
    qbx_logf("  ok");
    return 0;
}

// Escape or closing the window asks to quit; true when the message was one of those.
bool exit_request(uint32_t message, uintptr_t wparam) {
    if (message == DISPLAY_MSG_CLOSE) {
        qbx_notifyExit = true;
        return true;
    }
    if (message == DISPLAY_MSG_KEYDOWN) {
        if ((wparam & 0xFF) == DISPLAY_KEY_ESCAPE)
            qbx_notifyExit = true;
        return true;
    }
    return false;
}

// The current mode when `window` is its window, else null.
qbx_mode* mode_of(display_window window) {
    return curmode && curmode->hwnd == window ? curmode : nullptr;
}

intptr_t default_handling(display_window window, uint32_t message, uintptr_t wparam,
                          intptr_t lparam) {
    return qbx_dd.dd ? qbx_dd.dd->default_window_proc(window, message, wparam, lparam) : 0;
}

} // namespace

uint32_t qbx_setmode(int32_t index) {
    qbx_logf("\nqbx_setmode(): ---------start--------\n");
    if (index < 0 || size_t(index) >= modes.size())
        return QBX_ERR_NO_MODE;
    const uint32_t result = qbx_guarded([index] { return set_mode(index); });
    // A mode that failed half way is taken down again, whatever was built of it.
    if (result != 0)
        qbx_restoremode();
    qbx_logf("\nqbx_setmode(): ----------end---------\n");
    return result;
}

uint32_t qbx_donemode() {
    qbx_mode* mode = curmode;
    if (!mode)
        return 0;
    if (display* dd = qbx_dd.dd.get()) {
        if (mode->ddpalette)
            dd->release(mode->ddpalette);
        if (mode->secondary)
            dd->release(mode->secondary);
        if (mode->primary)
            dd->release(mode->primary);
        if (mode->clipper)
            dd->release(mode->clipper);
        dd->destroy_window(mode->hwnd);
        dd->restore_display_mode();
        dd->set_cooperative_level(mode->hwnd, display_cooperation::normal);
    }
    mode->ddpalette = nullptr;
    mode->secondary = mode->primary = mode->back = nullptr;
    mode->clipper = nullptr;
    mode->hwnd = nullptr;
    mode->active = false;
    mode->backbuffer.flags &= ~QBX_SURF_LOCKED;
    mode->free_tables();
    curmode = nullptr;
    return 0;
}

uint32_t qbx_restoremode() {
    return qbx_donemode();
}

intptr_t WndProcW(display_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (exit_request(message, wparam))
        return 0;
    switch (message) {
    case DISPLAY_MSG_PAINT:
        if (qbx_mode* mode = mode_of(window)) {
            mode->active = true;
            qbx_flip(QBX_FLIP_NO_MESSAGES);
        }
        break;
    case DISPLAY_MSG_SYSCOMMAND:
        if (wparam == DISPLAY_COMMAND_MOVE)
            return 0;
        if ((wparam & 0xFFF0) == DISPLAY_COMMAND_MINIMIZE)
            if (qbx_mode* mode = mode_of(window))
                mode->active = false;
        break;
    }
    return default_handling(window, message, wparam, lparam);
}

intptr_t WndProcF(display_window window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (exit_request(message, wparam))
        return 0;
    switch (message) {
    case DISPLAY_MSG_ACTIVATEAPP:
        if (qbx_mode* mode = mode_of(window))
            mode->active = wparam != 0;
        return 0;
    case DISPLAY_MSG_SETCURSOR:
        if (qbx_dd.dd)
            qbx_dd.dd->show_cursor(false);
        return 0;
    }
    return default_handling(window, message, wparam, lparam);
}
