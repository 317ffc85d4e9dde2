// The setup dialog in a real window on an X server of the test's own, used through that server
// the way a user would: xdotool finds the window and sends pointer and key events with XTest.
#include <cstdio>
#include <future>
#include <string>
#include <unistd.h>

#include "quoblex_fixture.h"
#include "support/test_support.h"
#include "support/xvfb.h"

namespace {

// A user who waits for the dialog to be mapped, prints its title and size, then repeats `action`
// until the window is gone. Should nothing close it, it says so and sends the test process SIGTERM,
// which SDL turns into a quit: the dialog then ends instead of hanging the test.
std::string user_script(const std::string& action) {
    const std::string find = std::string("xdotool search --onlyvisible --name '^") +
                             QBX_SETUP_TITLE + "$' 2>/dev/null | head -n1";
    return "w=\n"
           "for i in $(seq 300); do w=$(" +
           find +
           "); [ -n \"$w\" ] && break; sleep 0.2; done\n"
           "[ -n \"$w\" ] || exit 1\n"
           "xdotool getwindowname $w\n"
           "xdotool getwindowgeometry $w | sed -n 's/ *Geometry: //p'\n"
           "for i in $(seq 20); do\n"
           "  [ -n \"$(" +
           find + ")\" ] || exit 0\n  " + action +
           " 2>/dev/null\n"
           "  sleep 1\n"
           "done\n"
           "echo gave up\n"
           "kill -TERM " +
           std::to_string(getpid()) + "\n";
}

class SetupWindow : public QuoblexTest {
  protected:
    void SetUp() override {
        QuoblexTest::SetUp();
        if (!server.running())
            GTEST_SKIP() << "no X server for the dialog: " << server.failure();
        setenv("DISPLAY", server.display().c_str(), 1);
        setenv("DEMO_DISPLAY", "sdl", 1);
        start();
        ASSERT_NE(nullptr, qbx_setup_dialog) << "the SDL backend brings its dialog";
    }

    // Runs the user in the background; what it printed, once it is done.
    std::future<std::string> user(const std::string& action) {
        const std::string path = folder.file("user.sh");
        const std::string script = user_script(action);
        test_support::write_file(path, {script.begin(), script.end()});
        return std::async(std::launch::async, [path] {
            std::string output;
            if (FILE* shell = popen(("bash " + path).c_str(), "r")) {
                char buffer[256];
                while (size_t n = fread(buffer, 1, sizeof buffer, shell))
                    output.append(buffer, n);
                pclose(shell);
            }
            return output;
        });
    }

    test_support::Xvfb server;
    test_support::TempDir folder;
};

constexpr const char* seen_window = "quoblex type 3 - win32 - setup\n260x140\n";

} // namespace

TEST_F(SetupWindow, RunButtonClickedThroughTheServer) {
    const uint32_t request = QBX_MODE_SETUP | QBX_MODE_ASPECT_16_9;
    qbx_mode small, doubled;
    small.host = {320, 180, 32};
    doubled.host = {640, 360, 32};
    doubled.flags = request | QBX_MODE_DOUBLED;
    setupmodes = {small, doubled};
    // "run!" spans (11, 109) to (255, 132).
    std::future<std::string> clicker = user("xdotool mousemove --window $w 133 120 click 1");
    EXPECT_EQ(1, qbx_setup(320, 180, 32, request, 1));
    EXPECT_EQ(request | QBX_MODE_DOUBLED, setupmodes[1].flags);
    EXPECT_EQ(0u, setupmodes[1].convflags);
    EXPECT_EQ(seen_window, clicker.get());
}

TEST_F(SetupWindow, EscapeThroughTheServerIsAUserBreak) {
    std::future<std::string> typist = user("xdotool windowfocus $w key Escape");
    EXPECT_EQ(QBX_MODE_USER_BREAK, qbx_addmode(320, 180, 32, 0, QBX_MODE_SETUP));
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(seen_window, typist.get());
}

// SDL's dummy video driver has nothing a user could see: the dialog cannot be shown, and the
// preselected candidate keeps the request, at once.
TEST_F(QuoblexTest, SetupWithoutAScreenKeepsThePreselection) {
    setenv("DEMO_DISPLAY", "sdl", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    start();
    ASSERT_NE(nullptr, qbx_setup_dialog);
    setupmodes.resize(2);
    EXPECT_EQ(1, qbx_setup(320, 180, 32, QBX_MODE_SETUP, 1));
    EXPECT_EQ(QBX_MODE_SETUP, setupmodes[1].flags);
    unsetenv("SDL_VIDEODRIVER");
}
