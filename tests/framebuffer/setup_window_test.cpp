// The setup dialog in a real window on an X server of the test's own, used through that server
// the way a user would: xdotool finds the window and sends pointer and key events with XTest.
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <unistd.h>

#include "quoblex_fixture.h"
#include "support/x_server.h"

namespace {

class SetupWindow : public QuoblexTest {
  protected:
    void SetUp() override {
        QuoblexTest::SetUp();
        if (!server.running())
            GTEST_SKIP() << "no X server for the dialog: " << server.why_not();
        setenv("DEMO_DISPLAY", "sdl", 1);
        start();
        ASSERT_NE(nullptr, qbx_setup_dialog) << "the SDL backend brings its dialog";
        ASSERT_EQ(0, std::system("command -v xdotool > /dev/null"))
            << "scripts/deps.sh installs it";
    }

    // Runs tests/data/dialog_user.sh with this xdotool command in the background; what it
    // printed, once it is done.
    std::future<std::string> user(const std::string& action) {
        const std::string command = std::string("bash " DEMO_TEST_DATA "/dialog_user.sh '") +
                                    QBX_SETUP_TITLE + "' " + std::to_string(getpid()) + " '" +
                                    action + "'";
        return std::async(std::launch::async, [command] {
            std::string output;
            if (FILE* shell = popen(command.c_str(), "r")) {
                char buffer[256];
                while (size_t n = fread(buffer, 1, sizeof buffer, shell))
                    output.append(buffer, n);
                pclose(shell);
            }
            return output;
        });
    }

    test_support::x_server server;
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
    std::future<std::string> clicker = user("mousemove --window $w 133 120 click 1");
    EXPECT_EQ(1, qbx_setup(320, 180, 32, request, 1));
    EXPECT_EQ(request | QBX_MODE_DOUBLED, setupmodes[1].flags);
    EXPECT_EQ(0u, setupmodes[1].convflags);
    EXPECT_EQ(seen_window, clicker.get());
}

TEST_F(SetupWindow, EscapeThroughTheServerIsAUserBreak) {
    std::future<std::string> typist = user("windowfocus $w key Escape");
    EXPECT_EQ(QBX_MODE_USER_BREAK, qbx_addmode(320, 180, 32, 0, QBX_MODE_SETUP));
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(seen_window, typist.get());
}

TEST_F(SetupWindow, EnterThroughTheServerRunsThePreselection) {
    std::future<std::string> typist = user("windowfocus $w key Return");
    EXPECT_EQ(0, qbx_addmode(320, 180, 32, 0, QBX_MODE_SETUP | QBX_MODE_ASPECT_ANY));
    EXPECT_EQ(1u, modes.size());
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
