// The library on a real screen: SDL on a private X server, with every pixel read back from the
// server and input sent through it. Skipped, saying why, only where Xvfb cannot start.
#include <algorithm>
#include <functional>
#include <memory>

#include <X11/keysym.h>

#include "display_fixture.h"
#include "support/test_support.h"
#include "support/x_server.h"

namespace {

using test_support::x_server;

class SdlScreen : public DisplayModeTest {
  protected:
    void SetUp() override {
        DisplayModeTest::SetUp();
        setenv("DEMO_DISPLAY", "sdl", 1);
        setenv("SDL_RENDER_DRIVER", "software", 1);
    }
    void TearDown() override {
        DisplayModeTest::TearDown();
        server.reset();
        unsetenv("SDL_RENDER_DRIVER");
    }
    // Starts an X server of that depth and the library on it; false (the test skipped) when
    // there is no X server to be had.
    bool open_screen(const char* geometry = "1024x768x24") {
        server = std::make_unique<x_server>(geometry);
        if (!server->running())
            return false;
        EXPECT_EQ(0u, qbx_init(0));
        return qbx_dd.dd != nullptr;
    }
    // The mode's window as the X server knows it, once it is mapped.
    Window mapped_window() {
        Window window = 0;
        server->wait_until(
            [&] {
                window = server->find_window("test window");
                XWindowAttributes attributes;
                return window && XGetWindowAttributes(server->display(), window, &attributes) &&
                       attributes.map_state == IsViewable;
            },
            [] { qbx_messageloop(true); });
        return window;
    }
    // Presents the picture until the server shows what `expected` wants in the window's area.
    bool shows(test_picture& picture, Window window, int w, int h,
               const std::function<bool(const std::vector<uint32_t>&)>& expected) {
        std::vector<uint32_t> seen;
        return server->wait_until(
            [&] {
                seen = server->read(window, 0, 0, w, h);
                return seen.size() == size_t(w) * h && expected(seen);
            },
            [&] {
                qbx_update(picture.surface, 1);
                qbx_flip(0);
            });
    }

    std::unique_ptr<x_server> server;
    // SDL loads the X and D-Bus libraries at run time and unloads them when it stops; what they
    // keep in static memory then looks lost. The backend's own objects are checked for leaks on
    // SDL's dummy driver (platform tests), the library's on the headless display.
    test_support::leaks_not_ours system_libraries;
};

#define OPEN_SCREEN(...)                                                                           \
    if (!open_screen(__VA_ARGS__))                                                                 \
    GTEST_SKIP() << "no X server: " << server->why_not()

XWindowAttributes attributes_of(Display* display, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    return attributes;
}

} // namespace

TEST_F(SdlScreen, WindowedPicturesReachTheServer) {
    OPEN_SCREEN();
    for (uint32_t doubling : {0u, QBX_MODE_DOUBLED}) {
        SCOPED_TRACE(doubling);
        ASSERT_EQ(0u, qbx_setmode(add_windowed(320, 180, 32, doubling)));
        const Window window = mapped_window();
        ASSERT_NE(0u, window);
        const int factor = doubling ? 2 : 1, w = 320 * factor, h = 180 * factor;
        const XWindowAttributes shown = attributes_of(server->display(), window);
        EXPECT_EQ(w, shown.width);
        EXPECT_EQ(h, shown.height);
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(server->display(), window, DefaultRootWindow(server->display()), 0, 0,
                              &x, &y, &child);
        EXPECT_EQ((1024 - w) / 2, x) << "centred";
        EXPECT_EQ((768 - h) / 2, y);

        test_picture picture;
        EXPECT_TRUE(shows(picture, window, w, h, [&](const std::vector<uint32_t>& seen) {
            for (int py = 0; py < h; ++py)
                for (int px = 0; px < w; ++px)
                    if (seen[size_t(py) * w + px] !=
                        (picture.at(px / factor, py / factor) & 0xFFFFFF))
                        return false;
            return true;
        }));
    }
}

TEST_F(SdlScreen, SixteenBitDesktopHoldsTheConvertedPixels) {
    OPEN_SCREEN("1024x768x16");
    ASSERT_EQ(0u, qbx_setmode(add_windowed(320, 180)));
    EXPECT_EQ(16u, curmode->backbuffer.bpp);
    EXPECT_EQ(0xF800u, curmode->backbuffer.r_mask);
    const Window window = mapped_window();
    ASSERT_NE(0u, window);
    test_picture picture;
    EXPECT_TRUE(shows(picture, window, 320, 180, [&](const std::vector<uint32_t>& seen) {
        for (uint32_t y = 0; y < 180; ++y)
            for (uint32_t x = 0; x < 320; ++x) {
                const uint32_t p = picture.at(x, y);
                const uint32_t rgb565 =
                    ((p >> 19) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | (p >> 3 & 0x1F);
                if (seen[y * 320 + x] != rgb565)
                    return false;
            }
        return true;
    }));
}

// A 16-bit host mode in full screen: the converted picture, scaled by the largest whole factor
// that fits the desktop, centred on black.
TEST_F(SdlScreen, FullScreenSixteenBitModeIsScaledCrisply) {
    OPEN_SCREEN();
    // Chosen in the setup dialog: the 320 x 180 16-bit candidate, dithered.
    script_dialog([](dialog_window& window) {
        for (size_t i = 0; i < setupmodes.size(); ++i)
            if (setupmodes[i].host.x == 320 && setupmodes[i].host.bpp == 16)
                dialog_pick(window, QBX_SETUP_LIST, int32_t(i));
        dialog_click(window, QBX_SETUP_DITHER);
        dialog_click(window, QBX_SETUP_RUN);
    });
    ASSERT_EQ(0,
              qbx_addmode("test window", 320, 180, 32, 0, QBX_MODE_SETUP | QBX_MODE_ASPECT_16_9));
    ASSERT_EQ(0u, qbx_setmode(0));
    ASSERT_EQ(16u, curmode->backbuffer.bpp);
    const Window window = mapped_window();
    ASSERT_NE(0u, window);
    test_picture picture;
    std::vector<uint16_t> converted(320 * 180);
    qbx_convert(reinterpret_cast<uint8_t*>(converted.data()), picture.surface.data, 320, 180, 0, 0,
                curmode->converter);
    // The window covers the screen.
    server->wait_until([&] { return attributes_of(server->display(), window).width == 1024; },
                       [] { qbx_messageloop(true); });
    const XWindowAttributes shown = attributes_of(server->display(), window);
    EXPECT_EQ(1024, shown.width);
    EXPECT_EQ(768, shown.height);
    // 1024 x 768 holds the picture three times: 960 x 540 at (32, 114).
    EXPECT_TRUE(shows(picture, window, 1024, 768, [&](const std::vector<uint32_t>& seen) {
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) {
                const uint32_t p = seen[size_t(y) * 1024 + x];
                const int px = (x - 32) / 3, py = (y - 114) / 3;
                if (x < 32 || x >= 992 || y < 114 || y >= 654) {
                    if (p != 0)
                        return false;
                    continue;
                }
                const uint32_t c = converted[size_t(py) * 320 + px];
                if ((p >> 19 & 0x1F) != (c >> 11) || (p >> 10 & 0x3F) != (c >> 5 & 0x3F) ||
                    (p >> 3 & 0x1F) != (c & 0x1F))
                    return false;
            }
        return true;
    }));
}

TEST_F(SdlScreen, ResizedWindowShowsThePictureScaledCrisply) {
    OPEN_SCREEN();
    ASSERT_EQ(0u, qbx_setmode(add_windowed(320, 180)));
    const Window window = mapped_window();
    ASSERT_NE(0u, window);
    // As a user dragging its corner would: the whole window stays on the screen.
    XMoveResizeWindow(server->display(), window, 100, 100, 700, 400);
    XSync(server->display(), False);
    test_picture picture;
    // Twice the picture fits: 640 x 360 at (30, 20), black around it.
    EXPECT_TRUE(shows(picture, window, 700, 400, [&](const std::vector<uint32_t>& seen) {
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 700; ++x) {
                const bool inside = x >= 30 && x < 670 && y >= 20 && y < 380;
                const uint32_t want =
                    inside ? picture.at((x - 30) / 2, (y - 20) / 2) & 0xFFFFFF : 0;
                if (seen[size_t(y) * 700 + x] != want)
                    return false;
            }
        return true;
    }));
}

TEST_F(SdlScreen, EscapeThroughTheServerAsksToQuit) {
    OPEN_SCREEN();
    ASSERT_EQ(0u, qbx_setmode(add_windowed(320, 180)));
    const Window window = mapped_window();
    ASSERT_NE(0u, window);
    server->focus(window);
    server->press_key(XK_Escape);
    test_picture picture;
    EXPECT_TRUE(server->wait_until([] { return qbx_isexit(); },
                                   [&] {
                                       qbx_update(picture.surface, 1);
                                       qbx_flip(0);
                                   }));
    EXPECT_NE(nullptr, curmode) << "the window stays until the application ends the mode";
}

namespace {

// Start-up where no display can be opened, with SDL_VIDEODRIVER as given (unset: null).
class NoDisplay : public QuoblexTest {
  protected:
    void SetUp() override {
        QuoblexTest::SetUp();
        unsetenv("DEMO_DISPLAY");
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"})
            if (const char* value = std::getenv(name))
                saved.emplace_back(name, value);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }
    void TearDown() override {
        unsetenv("SDL_VIDEODRIVER");
        for (const auto& [name, value] : saved)
            setenv(name.c_str(), value.c_str(), 1);
        QuoblexTest::TearDown();
    }
    // What start-up says on standard error.
    static std::string start_up_says() {
        test_support::leaks_not_ours system_libraries; // D-Bus, when SDL tries a window system
        testing::internal::CaptureStderr();
        EXPECT_EQ(0xFFFFFFF7u, qbx_init(0));
        return testing::internal::GetCapturedStderr();
    }
    std::vector<std::pair<std::string, std::string>> saved;
};

const std::string how_to_run_without_a_screen =
    ") - to run without a screen set DEMO_DISPLAY=headless, or run under xvfb-run\n";

} // namespace

TEST_F(NoDisplay, OneLineSaysWhatIsMissingAndHowToRunWithoutAScreen) {
    setenv("SDL_VIDEODRIVER", "nowhere", 1);
    EXPECT_EQ("ddraw error (hr: 0x00000000): no display: no X11 or Wayland display could be opened "
              "(SDL: nowhere not available" +
                  how_to_run_without_a_screen,
              start_up_says());
    EXPECT_EQ(nullptr, qbx_dd.library);
}

TEST_F(NoDisplay, NeitherXNorWaylandIsSet) {
    EXPECT_EQ("ddraw error (hr: 0x00000000): no display: no X11 or Wayland display could be opened "
              "(DISPLAY and WAYLAND_DISPLAY are not set" +
                  how_to_run_without_a_screen,
              start_up_says());
}

TEST_F(NoDisplay, XServerThatDoesNotAnswer) {
    setenv("DISPLAY", ":4095", 1);
    const std::string said = start_up_says();
    EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
    EXPECT_TRUE(said.starts_with("ddraw error (hr: 0x00000000): no display: no X11 or Wayland "
                                 "display could be opened (SDL: "))
        << said;
    EXPECT_TRUE(said.ends_with(how_to_run_without_a_screen)) << said;
}
