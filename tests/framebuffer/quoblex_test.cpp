#include <climits>
#include <cstring>
#include <string>
#include <unistd.h>

#include "framebuffer/cpuid.h"
#include "quoblex_fixture.h"
#include "setup_script.h"
#include "support/test_support.h"

namespace {

// Runs the test inside a scratch folder (the log file's name is upper-cased, so it has to be
// relative).
class InFolder {
  public:
    InFolder() {
        char here[PATH_MAX];
        if (getcwd(here, sizeof here))
            previous = here;
        EXPECT_EQ(0, chdir(folder.path().c_str()));
    }
    ~InFolder() { EXPECT_EQ(0, chdir(previous.c_str())); }
    std::string read(const char* name) const {
        const std::vector<uint8_t> bytes = test_support::read_file(folder.file(name));
        return std::string(bytes.begin(), bytes.end());
    }
    bool exists(const char* name) const { return access(folder.file(name).c_str(), F_OK) == 0; }

  private:
    test_support::TempDir folder;
    std::string previous;
};

class FrontEnd : public QuoblexTest {};

std::string text_of(qbx_exception e) {
    return e.what();
}

} // namespace

TEST_F(FrontEnd, OptionsSetFlags) {
    setenv("QUOBLEX", "manual;noautofind", 1);
    qbx_getenv();
    EXPECT_EQ(0x440u, qbx_flags);
    qbx_flags = 0;
    setenv("QUOBLEX", "nommxx, Manual ,,:NoMMX", 1);
    qbx_getenv();
    EXPECT_EQ(QBX_FLAG_MANUAL | QBX_FLAG_NOMMX, qbx_flags);
}

TEST_F(FrontEnd, LogOptionTakesTheNextTokenUpperCased) {
    InFolder folder;
    setenv("QUOBLEX", "log:qbx.txt,nommx", 1);
    qbx_getenv();
    EXPECT_NE(nullptr, qbx_log);
    EXPECT_TRUE(folder.exists("QBX.TXT"));
    EXPECT_EQ(QBX_FLAG_NOMMX, qbx_flags);

    qbx_flags = 0;
    setenv("QUOBLEX", "log nommx", 1);
    qbx_getenv();
    EXPECT_TRUE(folder.exists("NOMMX"));
    EXPECT_EQ(0u, qbx_flags);
}

TEST_F(FrontEnd, LogAsLastTokenOpensNothing) {
    InFolder folder;
    setenv("QUOBLEX", "manual log", 1);
    qbx_getenv();
    EXPECT_EQ(nullptr, qbx_log);
    EXPECT_EQ(QBX_FLAG_MANUAL, qbx_flags);
}

TEST_F(FrontEnd, OverlongOptionsAreCut) {
    std::string value(1023, ',');
    value += "manual";
    setenv("QUOBLEX", value.c_str(), 1);
    qbx_getenv();
    EXPECT_EQ(0u, qbx_flags);
}

TEST_F(FrontEnd, ErrorTexts) {
    EXPECT_EQ("ddraw error (hr: 0x0000ABCD): can't flip",
              text_of(qbx_exception::display(0xABCD, "can't flip")));
    EXPECT_EQ("ddraw error (hr: 0xFFFFFFFC): lost",
              text_of(qbx_exception::display(DISPLAY_ERR_SURFACE_LOST, "lost")));
    EXPECT_EQ("win32 error (code: 0x00000057): can't create window",
              text_of(qbx_exception::system(0x57, "can't create window")));
    EXPECT_EQ("mode 320x180 32bpp adding error: can't find suitable mode",
              text_of(qbx_exception::mode(QBX_ERR_MODE_REQUEST, 0, 320, 180, 32,
                                          "can't find suitable mode")));
    EXPECT_EQ("mode 640x480 16bpp adding error: x",
              text_of(qbx_exception::mode(QBX_ERR_MODE_CHOICE, 7, 640, 480, 16, "x")));
    EXPECT_EQ(
        "error: can't find converter procedure (bpp == 16, mask == (0xF800, 0x7E0, 0x1F))",
        text_of(qbx_exception::format(16, 0xF800, 0x7E0, 0x1F, "can't find converter procedure")));
    EXPECT_EQ("plain", text_of(qbx_exception(QBX_ERR_TEXT, "plain")));
    EXPECT_EQ("vbe error (code: 0x12): bank", text_of(qbx_exception(0x312, "bank")));
    EXPECT_EQ("vbe error (code: 0x00): low", text_of(qbx_exception(0x300, "low")));
    EXPECT_EQ("error: broke", text_of(qbx_exception(uint32_t(-3), "broke")));
    EXPECT_EQ("error: none", text_of(qbx_exception(0xA000, "none")));
    EXPECT_EQ("error: table", text_of(qbx_exception(QBX_ERR_NO_MEMORY, "table")));
}

TEST_F(FrontEnd, ErrorTextIsCutAt1023Characters) {
    const std::string longest(3000, 'a');
    const qbx_exception e(QBX_ERR_TEXT, longest.c_str());
    EXPECT_EQ(1023u, std::strlen(e.what()));
    EXPECT_EQ(qbx_exception::msg, e.what());
}

TEST_F(FrontEnd, CaughtErrorsTellTheUserAndSpendTheBudget) {
    start();
    qbx_exception e(QBX_ERR_TEXT, "first");
    testing::internal::CaptureStderr();
    EXPECT_EQ(QBX_ERR_TEXT, qbx_catch_exception(e));
    EXPECT_EQ(QBX_ERR_TEXT, qbx_catch_exception(e));
    std::runtime_error other("not ours");
    EXPECT_EQ(QBX_ERR_UNKNOWN, qbx_catch_unknown(other));
    EXPECT_EQ(QBX_ERR_TEXT, qbx_catch_exception(e));
    EXPECT_EQ("first\nfirst\nnot ours\nfirst\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(0, qbx_killcount);
    ASSERT_EQ(4u, boxes().size());
    EXPECT_EQ("quoblex error", boxes()[0].caption);
    EXPECT_EQ(display_icon::error, boxes()[0].icon);
    EXPECT_EQ("error", boxes()[2].caption);
    EXPECT_EQ("not ours", boxes()[2].text);
}

TEST_F(FrontEnd, FourthErrorEndsTheProgram) {
    EXPECT_EXIT(
        {
            qbx_exception e(QBX_ERR_TEXT, "boom");
            for (int i = 0; i < 3; ++i)
                qbx_catch_exception(e);
            std::fprintf(stderr, "still running\n");
            qbx_catch_exception(e);
            std::fprintf(stderr, "not reached\n");
            std::exit(7);
        },
        testing::ExitedWithCode(0),
        "still running\nboom\ntoo many succesive errors - collapsing\\.\\.\\.\n$");
}

TEST_F(FrontEnd, ErrorInFullScreenGivesTheDesktopBackFirst) {
    offer({{640, 360}});
    start();
    ASSERT_EQ(0,
              qbx_dd.dd->set_cooperative_level(nullptr, display_cooperation::exclusive_fullscreen));
    ASSERT_EQ(0, qbx_dd.dd->set_display_mode(640, 360, 32));
    qbx_mode mode;
    mode.active = true;
    curmode = &mode;
    qbx_exception e(QBX_ERR_TEXT, "x");
    testing::internal::CaptureStderr();
    qbx_catch_exception(e);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(1920u, headless_display_record().current.width);
    EXPECT_EQ(display_cooperation::normal, headless_display_record().level);
    curmode = nullptr;
}

TEST_F(FrontEnd, StartUpAndShutDown) {
    qbx_notifyExit = true;
    offer({{320, 180}});
    start(0x2000);
    EXPECT_EQ(0x2000u, qbx_flags);
    EXPECT_FALSE(qbx_notifyExit);
    EXPECT_EQ(0u, qbx_winver);
    EXPECT_NE(nullptr, qbx_dd.dd);
    EXPECT_FALSE(headless_display_record().screen_saver);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(cpuid.family, cpuidget()); // start-up identified the processor
    EXPECT_NE('\0', cpuid.vendor[0]);
    ASSERT_EQ(0, qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_16_9));
    // A second start-up empties the list of added modes.
    start();
    EXPECT_TRUE(modes.empty());
    EXPECT_EQ(0u, qbx_done());
    EXPECT_TRUE(headless_display_record().screen_saver);
    EXPECT_FALSE(headless_display_record().initialised);
    EXPECT_EQ(nullptr, qbx_dd.dd);
    EXPECT_EQ(0u, qbx_recover());
}

TEST_F(FrontEnd, LowDepthDesktopWarns) {
    headless_display_config().desktop = {800, 600, 8};
    testing::internal::CaptureStderr();
    start();
    EXPECT_EQ("your desktop bit depth is 8bpp or less: windowed modes are not available\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(QBX_FLAG_LOWDEPTH, qbx_flags);
    ASSERT_EQ(1u, boxes().size());
    EXPECT_EQ("quoblex warning", boxes()[0].caption);
    EXPECT_EQ(display_icon::warning, boxes()[0].icon);
}

TEST_F(FrontEnd, MissingBackendFailsStartUp) {
    setenv("DEMO_DISPLAY", "nowhere", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(0xFFFFFFF7u, qbx_init(0));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ("ddraw error (hr: 0x00000000): no display: DEMO_DISPLAY=nowhere names no display "
              "backend - to run without a screen set DEMO_DISPLAY=headless, or run under "
              "xvfb-run\n",
              said);
    EXPECT_EQ(nullptr, qbx_dd.library);
    EXPECT_EQ(2, qbx_killcount);
}

TEST_F(FrontEnd, BackendThatCannotRunFailsStartUp) {
    headless_display_config().fail_on(headless_op::init);
    testing::internal::CaptureStderr();
    EXPECT_EQ(0xFFFFFFF7u, qbx_init(0));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "no display: the headless display was made to fail - "));
}

TEST_F(FrontEnd, DisplayObjectThatCannotBeMadeFailsStartUp) {
    headless_display_config().fail_on(headless_op::create, DISPLAY_ERR_OUT_OF_MEMORY);
    testing::internal::CaptureStderr();
    EXPECT_EQ(0xFFFFFFF7u, qbx_init(0));
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(1u, boxes().size());
    EXPECT_EQ("ddraw error (hr: 0xFFFFFFFB): can't create ddraw interface", boxes()[0].text);
    EXPECT_EQ(nullptr, qbx_dd.dd);
}

TEST_F(FrontEnd, LogOfASmallRun) {
    InFolder folder;
    setenv("QUOBLEX", "log:qbx.txt", 1);
    headless_display_config().modes = {{640, 360, 32}, {320, 180, 32}, {800, 600, 32}};
    headless_display_config().desktop = {1280, 1024, 32};
    start();
    ASSERT_EQ(0, qbx_addmode("demo", 320, 180, 32, 0, 0x500));
    qbx_done();
    const uint32_t simd = (cpuid.features_edx & CPUID_EDX_MMX) ? QBX_MODE_SIMD : 0;
    char cpu[200], selected[100];
    std::snprintf(cpu, sizeof cpu, "\ncpu -> %s, family %d, model %d, stepping %d, ", cpuid.vendor,
                  int(cpuid.family), int(cpuid.model), int(cpuid.stepping));
    std::snprintf(selected, sizeof selected, "  selected mode: 0x0 -> 320x180 32bpp, flags 0x%08X",
                  0x500 | simd);
    const std::string expected = std::string() +
                                 "quoblex type 3 - linux - framebuffer library, written by the "
                                 "demo's authors\n"
                                 "qbx_flags = 0x0\n"
                                 "envar     = log:qbx.txt\n" +
                                 cpu +
                                 "running Windows 0.0\n"
                                 "current display mode: 1280x1024 32bpp\n"
                                 "DirectDraw is initialized\n"
                                 "\nqbx_addmode(): ---------start--------\n"
                                 "  x = 320, y = 180, bpp = 32, rate = 0, flags = 0x500\n"
                                 "\n  finding modes:\n"
                                 "   n |   x  |   y  | bpp |   flags    |\n"
                                 "  ---+------+------+-----+------------+\n"
                                 "   0 |  640 |  360 |  32 | 0x40000500 |\n"
                                 "   1 |  320 |  180 |  32 | 0x00000500 |\n"
                                 "  ---+------+------+-----+------------+\n"
                                 "  find best matching mode:\n"
                                 "   n |   x  |   y  | bpp |   flags    |\n"
                                 "  ---+------+------+-----+------------+\n"
                                 "   0 |  320 |  180 |  32 | 0x00000500 |\n"
                                 "  ---+------+------+-----+------------+\n" +
                                 selected +
                                 "\nqbx_addmode(): ----------end---------\n"
                                 "qbx_done(): deinit and close quoblex.....";
    EXPECT_EQ(expected, folder.read("QBX.TXT"));
}

TEST_F(FrontEnd, ErrorsAreLogged) {
    InFolder folder;
    setenv("QUOBLEX", "log:err.log", 1);
    start();
    testing::internal::CaptureStderr();
    script_dialog(dialog_close);
    EXPECT_EQ(QBX_MODE_USER_BREAK, qbx_addmode(320, 180, 32, 0, QBX_MODE_SETUP));
    EXPECT_EQ(-12, qbx_addmode(0, 0, 32, 0, 0));
    testing::internal::GetCapturedStderr();
    const std::string log = folder.read("ERR.LOG");
    EXPECT_NE(std::string::npos, log.find("  no modes found, entering windowed-only modeuser break"
                                          "\nqbx_addmode(): ----------end---------\n"));
    EXPECT_NE(std::string::npos, log.find("mode 0x0 32bpp adding error: can't find suitable mode\n"
                                          "\nqbx_addmode(): ----------end---------\n"));
}
