#pragma once
// Display modes set on the headless display: modes added as the demo adds them (full screen,
// chosen automatically) or as a user ticking "windowed" in the setup dialog would, a picture
// with a pattern, and what reached the screen.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framebuffer/framebuf.h"
#include "quoblex_fixture.h"

// Everything one presented picture showed, in the display's own pixel format.
struct shown_picture {
    std::vector<uint8_t> pixels;
    uint32_t pitch = 0, width = 0, height = 0;

    uint32_t pixel32(uint32_t x, uint32_t y) const {
        uint32_t p;
        std::memcpy(&p, &pixels[size_t(y) * pitch + size_t(x) * 4], 4);
        return p;
    }
    uint16_t pixel16(uint32_t x, uint32_t y) const {
        uint16_t p;
        std::memcpy(&p, &pixels[size_t(y) * pitch + size_t(x) * 2], 2);
        return p;
    }
};

// A 32-bit picture whose every pixel differs from its neighbours.
struct test_picture {
    qbx_surface surface;
    explicit test_picture(uint32_t width = 320, uint32_t height = 180) {
        EXPECT_EQ(0u, surface.create(width, height, QBX_FORMAT_ARGB8888, 1, 0));
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                at(x, y) = colour(x, y);
    }
    static uint32_t colour(uint32_t x, uint32_t y) {
        return 0xFF000000u | ((x * 5 + y * 3) & 0xFF) << 16 | ((x + 7 * y) & 0xFF) << 8 |
               ((x * y + 11) & 0xFF);
    }
    uint32_t& at(uint32_t x, uint32_t y) {
        return reinterpret_cast<uint32_t*>(surface.data + size_t(y) * surface.pitch)[x];
    }
};

class DisplayModeTest : public QuoblexTest {
  protected:
    void SetUp() override {
        QuoblexTest::SetUp();
        headless_display_config().desktop = {640, 480, 32};
        headless_display_config().on_present = [this](const display_lock& picture) {
            shown.pixels.assign(picture.data,
                                picture.data + size_t(picture.pitch) * picture.height);
            shown.pitch = picture.pitch;
            shown.width = picture.width;
            shown.height = picture.height;
            ++presented;
        };
    }
    void TearDown() override {
        qbx_donemode();
        headless_display_config().on_present = nullptr;
        QuoblexTest::TearDown();
    }

    // The demo's way: a full-screen mode chosen automatically among the offered modes.
    static int32_t add_fullscreen(uint32_t width, uint32_t height, uint32_t bpp = 32,
                                  uint32_t flags = QBX_MODE_DIRECT_LOCK | QBX_MODE_ASPECT_16_9) {
        return qbx_addmode("test window", width, height, bpp, 0, flags);
    }

    // A mode chosen in the setup dialog on the best candidate: windowed with `window_flags`
    // (which may add doubling), or full screen keeping the candidate's doubling.
    static int32_t add_chosen(uint32_t width, uint32_t height, bool windowed,
                              uint32_t window_flags = 0, uint32_t bpp = 32) {
        dialog_windowed = windowed;
        dialog_window_flags = window_flags;
        qbx_setup_dialog = [](uint32_t, uint32_t, uint32_t, uint32_t flags, int32_t best) {
            qbx_mode& candidate = setupmodes[size_t(best < 0 ? 0 : best)];
            candidate.flags = dialog_windowed ? (flags & ~QBX_MODE_PRIMARY_ONLY) |
                                                    QBX_MODE_WINDOWED | dialog_window_flags
                                              : flags | (candidate.flags & QBX_MODE_DOUBLED);
            candidate.convflags = 0;
            return best < 0 ? 0 : best;
        };
        return qbx_addmode("test window", width, height, bpp, 0,
                           QBX_MODE_DIRECT_LOCK | QBX_MODE_SETUP | QBX_MODE_ASPECT_4_3);
    }
    static int32_t add_windowed(uint32_t width, uint32_t height, uint32_t bpp = 32,
                                uint32_t window_flags = 0) {
        return add_chosen(width, height, true, window_flags, bpp);
    }
    static inline bool dialog_windowed = false;
    static inline uint32_t dialog_window_flags = 0;

    // Logs into a scratch file from here on; log() reads what was written since.
    static void start_log() {
        if (qbx_log)
            std::fclose(qbx_log);
        qbx_log = std::tmpfile();
    }
    static std::string log() {
        std::string text;
        std::rewind(qbx_log);
        for (int c; (c = std::fgetc(qbx_log)) != EOF;)
            text += char(c);
        return text;
    }

    static const headless_window& window() {
        const headless_window* w = headless_display_window(curmode->hwnd);
        EXPECT_NE(nullptr, w);
        return *w;
    }

    // How the failures that the tests inject (DISPLAY_ERR_FAILED) are reported: a display
    // operation's, a window operation's, and the codes that go with them.
    static inline const std::string ddraw = "ddraw error (hr: 0xFFFFFFF8): ";
    static inline const std::string win32 = "win32 error (code: 0xFFFFFFF8): ";
    static uint32_t code_of(const std::string& text) {
        return text.starts_with("win32") ? 0xFFFFFFF6u : 0xFFFFFFF7u;
    }

    shown_picture shown;
    uint32_t presented = 0;
};
