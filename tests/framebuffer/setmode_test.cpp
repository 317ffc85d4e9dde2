#include <cstdio>
#include <string>

#include "display_fixture.h"

namespace {

using SetMode = DisplayModeTest;

std::string format(const char* pattern, uint32_t a, uint32_t b = 0) {
    char text[200];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// Nothing of a mode is left: no window, surface or claim on the display.
void expect_nothing_left() {
    const headless_record& record = headless_display_record();
    EXPECT_EQ(nullptr, curmode);
    EXPECT_EQ(0u, record.live_surfaces);
    EXPECT_EQ(0u, record.live_windows);
    EXPECT_EQ(640u, record.current.width);
    EXPECT_EQ(32u, record.current.bpp);
}

} // namespace

TEST_F(SetMode, FullScreenStepsInOrder) {
    offer({{320, 180}, {640, 360}});
    start();
    ASSERT_EQ(0, add_fullscreen(320, 180));
    start_log();
    ASSERT_EQ(0u, qbx_setmode(0));
    const qbx_mode& mode = modes[0];
    const std::string flags = format("flags 0x%08X, convflags 0x%08X", mode.flags, 0);
    EXPECT_EQ("\nqbx_setmode(): ---------start--------\n"
              "  mode 0x0 -> 320x180 32bpp\n"
              "  host mode - 320x180 32bpp - " +
                  flags + "\n  " + flags + "\n" +
                  format("  window is created, hwnd = 0x%08X\n",
                         uint32_t(reinterpret_cast<uintptr_t>(mode.hwnd))) +
                  "  pixel format: 32bpp (r_mask = 0xFF0000, g_mask = 0xFF00, b_mask = 0xFF)\n"
                  "  x padding     - 0 pixels, y padding - 0 scanlines\n"
                  "  surface pitch - 1280, 1 pages, pagelen - 230400 bytes\n"
                  "\n  >> __qbx_mode::modehack(): ---------start--------\n"
                  "\n   >> __qbx_mode::modehack(): ----------end---------\n"
                  "  ok\nqbx_setmode(): ----------end---------\n",
              log());

    const headless_record& record = headless_display_record();
    EXPECT_EQ(display_cooperation::exclusive_fullscreen, record.level);
    EXPECT_EQ(mode.hwnd, record.window);
    EXPECT_EQ(320u, record.current.width);
    EXPECT_EQ(180u, record.current.height);
    EXPECT_EQ(2u, record.flips) << "both pages of the chain are cleared";
    EXPECT_EQ(2u, presented);
    EXPECT_EQ(1u, record.live_windows);
    EXPECT_EQ(display_window_style::popup, window().style);
    EXPECT_EQ(320, window().client.right);
    EXPECT_EQ("test window", window().caption);
    EXPECT_EQ(curmode, &mode);
    EXPECT_TRUE(mode.active);
    EXPECT_NE(mode.primary, mode.back);
    EXPECT_EQ(nullptr, mode.secondary);
    EXPECT_EQ(nullptr, mode.clipper);
    EXPECT_EQ(QBX_SURF_FOREIGN | QBX_SURF_DEEP_DISPLAY, mode.backbuffer.flags);
    EXPECT_EQ(320u, mode.backbuffer.rect_width);
    EXPECT_TRUE(boxes().empty());

    EXPECT_EQ(0u, qbx_restoremode());
    expect_nothing_left();
    EXPECT_EQ(display_cooperation::normal, record.level);
    EXPECT_FALSE(mode.active);
}

TEST_F(SetMode, WindowedClientAreaIsThePictureCentred) {
    start();
    for (uint32_t doubling : {0u, QBX_MODE_DOUBLED}) {
        const int32_t index = add_windowed(320, 180, 32, doubling);
        ASSERT_LE(0, index);
        ASSERT_EQ(0u, qbx_setmode(index));
        const uint32_t w = doubling ? 640 : 320, h = doubling ? 360 : 180;
        const headless_window& shown = window();
        EXPECT_EQ(int32_t(w), shown.client.right - shown.client.left);
        EXPECT_EQ(int32_t(h), shown.client.bottom - shown.client.top);
        const int32_t outer_w = int32_t(w) + 2 * HEADLESS_FRAME_SIDE;
        const int32_t outer_h = int32_t(h) + HEADLESS_FRAME_CAPTION + HEADLESS_FRAME_SIDE;
        EXPECT_EQ((640 - outer_w) / 2, shown.frame.left);
        EXPECT_EQ((480 - outer_h) / 2, shown.frame.top);
        EXPECT_EQ(display_window_style::framed, shown.style);
        EXPECT_EQ(QBX_BANNER, shown.class_name);
        EXPECT_EQ(display_cooperation::normal, headless_display_record().level);
        EXPECT_EQ(2u, headless_display_record().live_surfaces);
        EXPECT_EQ(curmode->secondary, curmode->back);
        EXPECT_NE(nullptr, curmode->clipper);
        EXPECT_EQ(w, curmode->winwidth);
        EXPECT_EQ(h, curmode->winheight);
    }
    qbx_donemode();
    expect_nothing_left();
}

TEST_F(SetMode, SameWindowedHostAgainKeepsWindowAndSurfaces) {
    start();
    ASSERT_EQ(0, add_windowed(320, 180));
    ASSERT_EQ(1, add_windowed(320, 180));
    ASSERT_EQ(0u, qbx_setmode(0));
    const display_window hwnd = curmode->hwnd;
    const display_surface* secondary = curmode->secondary;
    EXPECT_EQ(0u, qbx_setmode(0));
    EXPECT_EQ(0u, qbx_setmode(1));
    EXPECT_EQ(&modes[0], curmode);
    EXPECT_EQ(hwnd, curmode->hwnd);
    EXPECT_EQ(secondary, curmode->secondary);
    EXPECT_EQ(1u, headless_display_record().live_windows);
}

TEST_F(SetMode, OtherModeReplacesTheCurrentOne) {
    offer({{320, 180}});
    start();
    ASSERT_EQ(0, add_fullscreen(320, 180));
    ASSERT_EQ(1, add_windowed(320, 180));
    for (int32_t index : {0, 0, 1, 0}) {
        ASSERT_EQ(0u, qbx_setmode(index));
        EXPECT_EQ(&modes[size_t(index)], curmode);
        EXPECT_EQ(1u, headless_display_record().live_windows);
        EXPECT_EQ(index == 1 ? 2u : 1u, headless_display_record().live_surfaces);
    }
    EXPECT_FALSE(modes[1].active);
    EXPECT_EQ(nullptr, modes[1].hwnd);
}

TEST_F(SetMode, HandleOutOfRange) {
    start();
    ASSERT_EQ(0, add_windowed(320, 180));
    ASSERT_EQ(0u, qbx_setmode(0));
    EXPECT_EQ(QBX_ERR_NO_MODE, qbx_setmode(1));
    EXPECT_EQ(QBX_ERR_NO_MODE, qbx_setmode(-1));
    EXPECT_EQ(&modes[0], curmode);
    EXPECT_TRUE(curmode->active);
}

TEST_F(SetMode, RefusedFlipChainDrawsIntoThePrimary) {
    offer({{320, 180}});
    start();
    ASSERT_EQ(0, add_fullscreen(320, 180));
    headless_display_config().fail_on(headless_op::create_flip_chain);
    ASSERT_EQ(0u, qbx_setmode(0));
    EXPECT_TRUE(modes[0].flags & QBX_MODE_PRIMARY_ONLY);
    EXPECT_FALSE(modes[0].flags & QBX_MODE_DIRECT_LOCK);
    EXPECT_EQ(modes[0].primary, modes[0].back);
    EXPECT_EQ(0u, headless_display_record().flips);
    EXPECT_TRUE(boxes().empty());
    // The record keeps the choice: the next time no flip chain is asked for.
    headless_display_config().fail_on(headless_op::create_flip_chain, 0);
    qbx_donemode();
    ASSERT_EQ(0u, qbx_setmode(0));
    EXPECT_EQ(0u, headless_display_record().flips);
}

// Every step that can fail shows its message, returns its code and leaves nothing behind.
TEST_F(SetMode, EachFailureIsReportedAndUndone) {
    headless_config& config = headless_display_config();
    config.modes = {{320, 180, 8}};
    start();
    const int32_t eight = add_fullscreen(320, 180);
    config.modes = {{320, 180, 32}};
    const int32_t full = add_fullscreen(320, 180);
    const int32_t windowed = add_windowed(320, 180);
    ASSERT_EQ(2, windowed);
    config.modes = {{320, 180, 32}, {320, 180, 8}};
    const uint32_t full_flags = modes[size_t(full)].flags;

    struct failure {
        int32_t mode;
        headless_op op;
        uint32_t after;
        std::string text;
    };
    const failure failures[] = {
        {windowed, headless_op::register_window_class, 0, win32 + "can't register window class"},
        {windowed, headless_op::create_window, 0, win32 + "can't create window"},
        {windowed, headless_op::set_cooperative_level, 0, ddraw + "can't set cooperative level"},
        {windowed, headless_op::create_primary, 0, ddraw + "can't create primary surface"},
        {windowed, headless_op::create_offscreen, 0, ddraw + "can't create secondary surface"},
        {windowed, headless_op::create_clipper, 0, ddraw + "can't create clipper"},
        {windowed, headless_op::set_clipper_window, 0, ddraw + "can't set clipper to window"},
        {windowed, headless_op::set_clipper, 0,
         ddraw + "can't attach clipper object to primary surface"},
        {windowed, headless_op::get_pixel_format, 0, ddraw + "can't get pixel format"},
        {windowed, headless_op::lock, 0, ddraw + "can't lock surface"},
        {windowed, headless_op::lock, 1, ddraw + "can't lock surface"},
        {windowed, headless_op::unlock, 0, ddraw + "can't unlock surface"},
        {windowed, headless_op::unlock, 1, ddraw + "can't unlock surface"},
        {full, headless_op::register_window_class, 0, win32 + "can't register window class"},
        {full, headless_op::create_window, 0, win32 + "can't create window"},
        {full, headless_op::set_cooperative_level, 0, ddraw + "can't set cooperative level"},
        {full, headless_op::set_display_mode, 0, ddraw + "can't set display mode"},
        {full, headless_op::get_back_buffer, 0, ddraw + "can't get back surface"},
        {full, headless_op::flip, 1, ddraw + "can't flip"},
        {full, headless_op::create_primary, 0, ddraw + "can't create primary surface"},
        {eight, headless_op::create_palette, 0, ddraw + "can't create palette"},
        {eight, headless_op::set_palette_entries, 0, ddraw + "can't set palette"},
        {eight, headless_op::set_palette, 0, ddraw + "can't attach palette to surface"},
    };
    for (const failure& f : failures) {
        SCOPED_TRACE(f.text + " after " + std::to_string(f.after));
        modes[size_t(full)].flags = full_flags;
        qbx_killcount = 3;
        boxes().clear();
        config.fail_on(f.op, DISPLAY_ERR_FAILED, f.after);
        const uint32_t code = qbx_setmode(f.mode);
        config.fail_on(f.op, 0);
        EXPECT_EQ(code_of(f.text), code);
        ASSERT_EQ(1u, boxes().size());
        EXPECT_EQ(f.text, boxes()[0].text);
        EXPECT_EQ("quoblex error", boxes()[0].caption);
        expect_nothing_left();
    }

    // Formats the library cannot draw in.
    const std::pair<display_pixel_format, std::string> formats[] = {
        {{DISPLAY_PIXEL_INDEXED8, 8, 0, 0, 0},
         "ddraw error (hr: 0x00000020): unknown pixel format (hr == dwFlags)"},
        {{DISPLAY_PIXEL_RGB, 24, 0xFF, 0xFF00, 0xFF0000},
         "error: can't find converter procedure (bpp == 24, mask == (0xFF, 0xFF00, 0xFF0000))"},
    };
    for (const auto& [format, text] : formats) {
        qbx_killcount = 3;
        boxes().clear();
        config.format = format;
        EXPECT_NE(0u, qbx_setmode(windowed));
        ASSERT_EQ(1u, boxes().size());
        EXPECT_EQ(text, boxes()[0].text);
        expect_nothing_left();
    }
}

TEST_F(SetMode, PictureWidthMustFitTheConverterGroups) {
    start();
    ASSERT_EQ(0, add_windowed(322, 180));
    EXPECT_EQ(0xFFFFFFEDu, qbx_setmode(0));
    ASSERT_EQ(1u, boxes().size());
    EXPECT_NE(std::string::npos, boxes()[0].text.find("picture width is not a multiple of the "
                                                      "converter's pixel group"));
    expect_nothing_left();
    ASSERT_EQ(1, add_windowed(328, 180));
    EXPECT_EQ(0u, qbx_setmode(1));
}

TEST_F(SetMode, EscapeOrCloseAskToQuitAndTheWindowStays) {
    start();
    ASSERT_EQ(0, add_windowed(320, 180));
    ASSERT_EQ(0u, qbx_setmode(0));
    const display_window hwnd = curmode->hwnd;
    headless_display_post(hwnd, DISPLAY_MSG_KEYDOWN, 'A');
    qbx_messageloop(false);
    EXPECT_FALSE(qbx_isexit());
    headless_display_post(hwnd, DISPLAY_MSG_KEYDOWN, 0x100 | DISPLAY_KEY_ESCAPE);
    qbx_messageloop(false);
    EXPECT_TRUE(qbx_isexit());
    EXPECT_TRUE(headless_display_record().defaulted.empty()) << "key-down is not left to default";
    qbx_notifyExit = false;
    headless_display_post(hwnd, DISPLAY_MSG_CLOSE);
    EXPECT_EQ(0u, qbx_flip(0));
    EXPECT_TRUE(qbx_isexit());
    EXPECT_EQ(1u, headless_display_record().live_windows);
    EXPECT_NE(nullptr, headless_display_window(hwnd));
    // The full-screen procedure does the same.
    qbx_notifyExit = false;
    EXPECT_EQ(0, WndProcF(hwnd, DISPLAY_MSG_KEYDOWN, DISPLAY_KEY_ESCAPE, 0));
    EXPECT_TRUE(qbx_isexit());
}

TEST_F(SetMode, WindowedMinimiseAndPaint) {
    start();
    ASSERT_EQ(0, add_windowed(320, 180));
    ASSERT_EQ(0u, qbx_setmode(0));
    const display_window hwnd = curmode->hwnd;
    headless_record& record = headless_display_record();
    headless_display_post(hwnd, DISPLAY_MSG_SYSCOMMAND, DISPLAY_COMMAND_MOVE);
    headless_display_post(hwnd, DISPLAY_MSG_SYSCOMMAND, DISPLAY_COMMAND_MINIMIZE);
    qbx_messageloop(false);
    EXPECT_FALSE(curmode->active);
    EXPECT_TRUE(window().minimised) << "minimising is left to the default handling";
    ASSERT_EQ(1u, record.defaulted.size()) << "moving is not";
    EXPECT_EQ(DISPLAY_COMMAND_MINIMIZE, record.defaulted[0].wparam);

    const uint32_t blits = record.blits;
    headless_display_post(hwnd, DISPLAY_MSG_PAINT);
    qbx_messageloop(false);
    EXPECT_TRUE(curmode->active);
    EXPECT_EQ(blits + 1, record.blits) << "painting shows the last picture again";
    EXPECT_EQ(DISPLAY_MSG_PAINT, record.defaulted.back().message);
    // A windowed mode keeps the arrow.
    record.cursor_shown = false;
    EXPECT_EQ(0, WndProcW(hwnd, DISPLAY_MSG_SETCURSOR, 0, 0));
    EXPECT_TRUE(record.cursor_shown);
}

TEST_F(SetMode, FullScreenActivationAndCursor) {
    offer({{320, 180}});
    start();
    ASSERT_EQ(0, add_fullscreen(320, 180));
    ASSERT_EQ(0u, qbx_setmode(0));
    const display_window hwnd = curmode->hwnd;
    headless_display_post(hwnd, DISPLAY_MSG_ACTIVATEAPP, 0);
    headless_display_post(hwnd, DISPLAY_MSG_SETCURSOR);
    qbx_messageloop(false);
    EXPECT_FALSE(curmode->active);
    EXPECT_FALSE(headless_display_record().cursor_shown);
    headless_display_post(hwnd, DISPLAY_MSG_ACTIVATEAPP, 1);
    headless_display_post(hwnd, DISPLAY_MSG_PAINT);
    qbx_messageloop(false);
    EXPECT_TRUE(curmode->active);
    EXPECT_EQ(DISPLAY_MSG_PAINT, headless_display_record().defaulted.at(0).message);
    EXPECT_EQ(1u, headless_display_record().defaulted.size());
}
