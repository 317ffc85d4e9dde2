#include <string>
#include <vector>

#include "quoblex_fixture.h"
#include "setup_script.h"

namespace {

qbx_mode candidate(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags = 0) {
    qbx_mode mode;
    mode.host = {x, y, bpp};
    mode.flags = flags;
    return mode;
}

// The user clicks these controls in order, then "run!".
std::function<void(dialog_window&)> clicks(std::vector<uint32_t> ids) {
    return [ids](dialog_window& window) {
        for (uint32_t id : ids)
            dialog_click(window, id);
        dialog_click(window, QBX_SETUP_RUN);
    };
}

constexpr uint32_t request = QBX_MODE_SETUP | QBX_MODE_ASPECT_16_9;

class SetupDialog : public QuoblexTest {
  protected:
    void SetUp() override {
        QuoblexTest::SetUp();
        start();
        setupmodes = {candidate(320, 180, 32), candidate(640, 360, 32, request | QBX_MODE_DOUBLED)};
    }
    void TearDown() override {
        qbx_winver = 0;
        QuoblexTest::TearDown();
    }
};

} // namespace

TEST_F(SetupDialog, ControlsAsFirstShown) {
    script_dialog(clicks({}));
    ASSERT_EQ(1, qbx_setup(320, 180, 32, request, 1));
    // id kind x,y width x height: text; ticked, enabled
    const std::vector<std::string> expected = {
        "1007 0 11,11 210x16: requested mode: 320x180 32bpp; 01",
        "1009 1 93,28 156x200: ; 01",
        "1008 0 11,28 62x13: select mode:; 01",
        "1010 2 11,60 68x13: windowed; 01",
        "1013 3 11,109 244x23: run!; 01",
        "1011 2 200,60 45x13: dither; 01",
        "1012 2 11,81 230x13: primary surface only (fullscreen only, slower); 01",
        "1001 2 90,60 110x13: doubled window; 00",
    };
    std::vector<std::string> seen;
    for (const dialog_control& c : dialog_shown)
        seen.push_back(std::to_string(c.id) + " " + std::to_string(int(c.kind)) + " " +
                       std::to_string(c.x) + "," + std::to_string(c.y) + " " +
                       std::to_string(c.width) + "x" + std::to_string(c.height) + ": " + c.text +
                       "; " + std::to_string(c.checked) + std::to_string(c.enabled));
    EXPECT_EQ(expected, seen);
    EXPECT_EQ(std::vector<std::string>({"320x180 32bpp", "640x360 32bpp doubled"}),
              shown(QBX_SETUP_LIST).entries);
    EXPECT_EQ(1, shown(QBX_SETUP_LIST).selection);
}

TEST_F(SetupDialog, ClosingReturnsUserBreakAndChangesNothing) {
    const std::vector<qbx_mode> before = setupmodes;
    script_dialog([](dialog_window& window) {
        dialog_click(window, QBX_SETUP_WINDOWED);
        dialog_click(window, QBX_SETUP_DOUBLED);
        dialog_click(window, QBX_SETUP_DITHER);
        dialog_close(window);
    });
    EXPECT_EQ(QBX_MODE_USER_BREAK, qbx_setup(320, 180, 32, request, 0));
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].flags, setupmodes[i].flags);
        EXPECT_EQ(before[i].convflags, setupmodes[i].convflags);
    }
}

TEST_F(SetupDialog, WindowedAndDoubled) {
    script_dialog([](dialog_window& window) {
        dialog_click(window,
                     QBX_SETUP_PRIMARY); // asks for the primary surface, which a window drops
        dialog_click(window, QBX_SETUP_WINDOWED);
        EXPECT_FALSE(dialog_item(window, QBX_SETUP_LIST)->enabled);
        EXPECT_FALSE(dialog_item(window, QBX_SETUP_PRIMARY)->enabled);
        EXPECT_TRUE(dialog_item(window, QBX_SETUP_DOUBLED)->enabled);
        dialog_click(window, QBX_SETUP_DOUBLED);
        dialog_click(window, QBX_SETUP_RUN);
    });
    ASSERT_EQ(0, qbx_setup(320, 180, 32, request, 0));
    EXPECT_EQ(request | QBX_MODE_WINDOWED | QBX_MODE_DOUBLED, setupmodes[0].flags);
    EXPECT_EQ(0u, setupmodes[0].convflags);
    EXPECT_EQ(request | QBX_MODE_DOUBLED, setupmodes[1].flags); // untouched

    // Unticking "windowed" again gives the list back and takes the doubled box away.
    setupmodes[0].flags = 0;
    script_dialog([](dialog_window& window) {
        dialog_click(window, QBX_SETUP_WINDOWED);
        dialog_click(window, QBX_SETUP_WINDOWED);
        EXPECT_TRUE(dialog_item(window, QBX_SETUP_LIST)->enabled);
        EXPECT_TRUE(dialog_item(window, QBX_SETUP_PRIMARY)->enabled);
        EXPECT_FALSE(dialog_item(window, QBX_SETUP_DOUBLED)->enabled);
        dialog_click(window, QBX_SETUP_DOUBLED); // disabled: ignored
        dialog_click(window, QBX_SETUP_RUN);
    });
    ASSERT_EQ(0, qbx_setup(320, 180, 32, request, 0));
    EXPECT_EQ(request, setupmodes[0].flags);
}

TEST_F(SetupDialog, DoubledCandidateStaysDoubledOnlyFullScreen) {
    script_dialog(clicks({}));
    ASSERT_EQ(1, qbx_setup(320, 180, 32, request, 1));
    EXPECT_EQ(request | QBX_MODE_DOUBLED, setupmodes[1].flags);

    // Picked from the list, as a window.
    script_dialog([](dialog_window& window) {
        dialog_pick(window, QBX_SETUP_LIST, 1);
        dialog_pick(window, QBX_SETUP_LIST, 2); // past the list: ignored
        dialog_click(window, QBX_SETUP_WINDOWED);
        dialog_click(window, QBX_SETUP_RUN);
    });
    ASSERT_EQ(1, qbx_setup(320, 180, 32, request, 0));
    EXPECT_EQ(request | QBX_MODE_WINDOWED, setupmodes[1].flags);
    EXPECT_EQ(0u, setupmodes[0].flags);
}

TEST_F(SetupDialog, FourthBoxAndTheWindows62Inversion) {
    const struct {
        uint32_t winver;
        bool ticked;
        bool primary_only;
        const char* label;
    } cases[] = {
        {0x0000, false, false, "primary surface only (fullscreen only, slower)"},
        {0x0000, true, true, "primary surface only (fullscreen only, slower)"},
        {0x0206, false, true, "~30fps  a e s t e t i c  mode (fullscreen only)"},
        {0x0206, true, false, "~30fps  a e s t e t i c  mode (fullscreen only)"},
        {0x0106, false, false, "primary surface only (fullscreen only, slower)"},
    };
    for (const auto& c : cases) {
        qbx_winver = c.winver;
        script_dialog(
            clicks(c.ticked ? std::vector<uint32_t>{QBX_SETUP_PRIMARY} : std::vector<uint32_t>{}));
        ASSERT_EQ(0, qbx_setup(320, 180, 32, request, 0));
        EXPECT_EQ(c.primary_only ? request | QBX_MODE_PRIMARY_ONLY : request, setupmodes[0].flags)
            << std::hex << c.winver << " ticked " << c.ticked;
        EXPECT_EQ(c.label, shown(QBX_SETUP_PRIMARY).text);
    }
    // A window never draws into the primary surface, on Windows 6.2 either.
    qbx_winver = 0x0206;
    script_dialog(clicks({QBX_SETUP_WINDOWED}));
    ASSERT_EQ(0, qbx_setup(320, 180, 32, request, 0));
    EXPECT_EQ(request | QBX_MODE_WINDOWED, setupmodes[0].flags);
}

TEST_F(SetupDialog, NativeOnlyForRequestsBelow32Bits) {
    setupmodes = {candidate(320, 180, 16), candidate(320, 180, 32),
                  candidate(640, 360, 16, QBX_MODE_DOUBLED)};
    script_dialog(clicks({}));
    ASSERT_EQ(0, qbx_setup(320, 180, 16, 0, -1));
    EXPECT_EQ("requested mode: 320x180 16bpp", shown(QBX_SETUP_REQUEST).text);
    EXPECT_EQ(std::vector<std::string>(
                  {"320x180 16bpp (native)", "320x180 32bpp", "640x360 16bpp doubled (native)"}),
              shown(QBX_SETUP_LIST).entries);
    ASSERT_EQ(0, qbx_setup(320, 180, 32, 0, -1));
    EXPECT_EQ(std::vector<std::string>({"320x180 16bpp", "320x180 32bpp", "640x360 16bpp doubled"}),
              shown(QBX_SETUP_LIST).entries);
}

TEST_F(SetupDialog, WindowedOnlyFallback) {
    qbx_mode fallback;
    fallback.flags = QBX_MODE_FALLBACK | QBX_MODE_WINDOWED;
    setupmodes = {fallback};
    script_dialog([](dialog_window& window) {
        dialog_click(window, QBX_SETUP_WINDOWED); // disabled: ignored
        dialog_click(window, QBX_SETUP_DOUBLED);
        dialog_click(window, QBX_SETUP_RUN);
    });
    ASSERT_EQ(0, qbx_setup(320, 180, 32, request, -1));
    const dialog_control& list = shown(QBX_SETUP_LIST);
    EXPECT_EQ(std::vector<std::string>({"windowed only"}), list.entries);
    EXPECT_EQ(0, list.selection);
    EXPECT_FALSE(list.enabled);
    EXPECT_TRUE(shown(QBX_SETUP_WINDOWED).checked);
    EXPECT_FALSE(shown(QBX_SETUP_WINDOWED).enabled);
    EXPECT_FALSE(shown(QBX_SETUP_PRIMARY).enabled);
    EXPECT_TRUE(shown(QBX_SETUP_DOUBLED).enabled);
    EXPECT_EQ(QBX_MODE_WINDOWED | QBX_MODE_DOUBLED, setupmodes[0].flags);
}

TEST_F(SetupDialog, Dither) {
    for (int ticks = 0; ticks < 3; ++ticks) {
        script_dialog(clicks(std::vector<uint32_t>(size_t(ticks), QBX_SETUP_DITHER)));
        ASSERT_EQ(0, qbx_setup(320, 180, 32, request, 0));
        EXPECT_EQ(ticks == 1 ? QBX_CONV_DITHER : 0u, setupmodes[0].convflags) << ticks;
    }
}

TEST_F(SetupDialog, WindowedPreselectionAndLowDepthDesktop) {
    setupmodes[1].flags |= QBX_MODE_WINDOWED;
    script_dialog(clicks({}));
    ASSERT_EQ(1, qbx_setup(320, 180, 32, request | QBX_MODE_WINDOWED, 1));
    EXPECT_TRUE(shown(QBX_SETUP_WINDOWED).checked);
    EXPECT_TRUE(shown(QBX_SETUP_DOUBLED).enabled);

    qbx_flags |= QBX_FLAG_LOWDEPTH;
    ASSERT_EQ(0, qbx_setup(320, 180, 32, request, 0));
    EXPECT_FALSE(shown(QBX_SETUP_WINDOWED).enabled);
    EXPECT_FALSE(shown(QBX_SETUP_DOUBLED).enabled);
}

// Nobody is at the headless display: its dialog takes the preselection, as "run!" would.
TEST_F(SetupDialog, HeadlessDisplayRunsThePreselection) {
    ASSERT_EQ(run_headless_dialog, qbx_setup_dialog);
    ASSERT_EQ(1, qbx_setup(320, 180, 32, request, 1));
    EXPECT_EQ(request | QBX_MODE_DOUBLED, setupmodes[1].flags);
}

TEST_F(SetupDialog, WithoutAWindowThePreselectionKeepsTheRequest) {
    qbx_winver = 0x0206;
    qbx_setup_dialog = nullptr; // a backend without a front end
    ASSERT_EQ(1, qbx_setup(320, 180, 32, request, 1));
    EXPECT_EQ(request | QBX_MODE_PRIMARY_ONLY | QBX_MODE_DOUBLED, setupmodes[1].flags);
    EXPECT_EQ(0u, setupmodes[1].convflags);
    // Nothing to choose from: nothing is written anywhere.
    setupmodes.clear();
    EXPECT_EQ(-1, qbx_setup(320, 180, 32, request, -1));
}
