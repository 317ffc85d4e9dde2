// The real demo executable, run in a scratch folder that the test fills (a tiny module, textures,
// track files), on the headless display and SDL's dummy audio driver.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "demo_folder.h"
#include "libsync/fake_editor.h"
#include "process.h"

namespace {

const char* const HELP = "wide    - prefer 16:9 over 4:3 aspect\n"
                         "auto    - autosetup\n"
                         "profile - profile performance\n";
const char* const PROGRESS = " depooding.......\n";
const char* const BANNER = "foldline by Parallax Foundry, 2026\n";

std::string text_of(const std::string& path) {
    const std::vector<uint8_t> bytes = test_support::read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class Executable : public ::testing::Test {
  protected:
    ProcessSpec spec(std::vector<std::string> args) const {
        ProcessSpec s;
        s.program = DEMO_EXECUTABLE;
        s.args = std::move(args);
        s.directory = folder.path();
        s.env = {{"DEMO_DISPLAY", "headless"},
                 {"SDL_AUDIODRIVER", "dummy"},
                 {"DEMO_EDITOR", std::nullopt},
                 {"QUOBLEX", std::nullopt}};
        return s;
    }
    ProcessResult run(std::vector<std::string> args) const { return run_process(spec(args)); }

    DemoFolder folder;
};

TEST_F(Executable, HelpPrintsThreeLinesAndNothingElse) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/?"}, {"wide", "?"}, {"auto", "/?", "x"}}) {
        ProcessSpec s = spec(args);
        s.env["QUOBLEX"] = "log:qbx.txt";
        const ProcessResult r = run_process(s);
        EXPECT_EQ(0, r.exit_code);
        EXPECT_EQ(HELP, r.out);
        EXPECT_EQ("", r.err);
        // The library never started, so no window was opened and no log was written.
        EXPECT_FALSE(std::filesystem::exists(folder.file("QBX.TXT")));
    }
}

// The mode request as the framebuffer library's log shows it.
TEST_F(Executable, SwitchesMakeTheModeFlags) {
    folder.run_track({{0, -1.0f}}); // no frame: the demo ends as soon as the loop starts
    const struct {
        std::vector<std::string> args;
        const char* flags;
    } cases[] = {
        {{}, "0x480"},
        {{"x"}, "0x480"},
        {{"wide"}, "0x580"},
        {{"auto"}, "0x400"},
        {{"wide", "auto"}, "0x500"},
        {{"Wide", "auto"}, "0x500"},
        {{"WIDE", "AUTO"}, "0x500"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        ProcessSpec s = spec(c.args);
        s.env["QUOBLEX"] = "log:qbx.txt";
        run_process(s);
        EXPECT_NE(std::string::npos, text_of(folder.file("QBX.TXT"))
                                         .find(std::string("x = 320, y = 180, bpp = 32, rate = 0, "
                                                           "flags = ") +
                                               c.flags + "\n"));
        folder.remove("QBX.TXT");
    }
}

TEST_F(Executable, RunEndsByItselfAndWritesTheProfile) {
    folder.run_track({{24, 1.0f}, {48, -1.0f}});
    const ProcessResult r = run({"auto"});
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ("", r.err);

    const std::string expected_start = std::string(PROGRESS) + BANNER + "\n";
    ASSERT_EQ(expected_start, r.out.substr(0, expected_start.size())) << r.out;
    unsigned frames = 0;
    double seconds = 0, fps = 0, longest = 0, longest_fps = 0, p95 = 0, p95_fps = 0;
    ASSERT_EQ(7, std::sscanf(r.out.c_str() + expected_start.size(),
                             "%u frames in %lf seconds = avg %lf fps\nlongest frame %lf ms [%lf "
                             "fps], 95%% perc %lf ms [%lf fps]\n",
                             &frames, &seconds, &fps, &longest, &longest_fps, &p95, &p95_fps))
        << r.out;
    EXPECT_GT(frames, 2u);
    EXPECT_GE(longest, p95);

    // One line per frame: its number and its time in milliseconds.
    std::istringstream csv(text_of(folder.file("profile.csv")));
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    EXPECT_EQ("frame #;!total;", line);
    double total_ms = 0;
    for (unsigned i = 0; i < frames; ++i) {
        ASSERT_TRUE(std::getline(csv, line)) << i;
        const std::string prefix = std::to_string(i) + ";";
        ASSERT_EQ(prefix, line.substr(0, prefix.size()));
        ASSERT_EQ(';', line.back());
        const double ms = std::stod(line.substr(prefix.size()));
        EXPECT_GE(ms, 0.0);
        total_ms += ms;
    }
    EXPECT_FALSE(std::getline(csv, line));
    EXPECT_NEAR(seconds, total_ms / 1000.0, 1e-3 + seconds * 1e-4);
}

TEST_F(Executable, StartupFailures) {
    folder.run_track({{24, -1.0f}});
    const char* const SIX_DOTS = " depooding......";
    {
        SCOPED_TRACE("missing module");
        folder.remove("zoveta.xm");
        const ProcessResult r = run({"auto"});
        EXPECT_EQ(1, r.exit_code);
        EXPECT_EQ(SIX_DOTS, r.out);
        EXPECT_EQ("main() -> can't load module\nmain() -> can't play\n", r.err);
    }
    const struct {
        const char* file;
        std::vector<uint8_t> bytes; // empty: the file is missing
    } textures[] = {
        {"assets/texture1.tga", {}},
        {"assets/alpha.tga", {}},
        {"assets/512.tga", {1, 2, 3}},
    };
    for (const auto& t : textures) {
        SCOPED_TRACE(t.file);
        DemoFolder broken;
        if (t.bytes.empty())
            broken.remove(t.file);
        else
            test_support::write_file(broken.file(t.file), t.bytes);
        ProcessSpec s = spec({"auto"});
        s.directory = broken.path();
        const ProcessResult r = run_process(s);
        EXPECT_EQ(1, r.exit_code);
        EXPECT_EQ(SIX_DOTS, r.out);
        std::string name = t.file;
        name.replace(name.find('/'), 1, "\\");
        EXPECT_NE(std::string::npos, r.err.find("unable to load texture " + name + "\n")) << r.err;
        EXPECT_TRUE(ends_with(r.err, "main() -> can't init scenes\n")) << r.err;
    }
}

TEST_F(Executable, NoDisplayEndsWithTheLibraryError) {
    folder.run_track({{0, -1.0f}});
    ProcessSpec s = spec({"auto"});
    s.env["DEMO_DISPLAY"] = std::nullopt;
    s.env["DISPLAY"] = std::nullopt;
    s.env["WAYLAND_DISPLAY"] = std::nullopt;
    s.env["SDL_VIDEODRIVER"] = "x11";
    const ProcessResult r = run_process(s);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find("DEMO_DISPLAY=headless")) << r.err;
    EXPECT_TRUE(ends_with(r.err, "main() -> can't init quoblex: error 0xFFFFFFF7")) << r.err;
}

// Without a window nothing reads SDL's quit events, so Ctrl+C must keep its usual effect.
TEST_F(Executable, InterruptEndsAHeadlessRun) {
    folder.run_track({{0, 0.0f}}); // would play for as long as the music loops
    ChildProcess demo(spec({"auto"}));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    demo.send_signal(SIGINT);
    const auto sent = std::chrono::steady_clock::now();
    const ProcessResult r = demo.wait();
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(SIGINT, r.signal);
}

// ---- live editing against the project's fake editor ----

uint32_t be32(const Bytes& bytes, size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
           uint32_t(bytes[at + 2]) << 8 | uint32_t(bytes[at + 3]);
}

// The editor's side of a session: answers track requests with the keys it holds for the name and
// keeps every row the demo reports.
class EditorSession {
  public:
    explicit EditorSession(FakeEditor& editor) : editor_(editor) {}

    std::map<std::string, std::vector<track_key>> keys;
    std::vector<std::string> requests; // in the order asked, so the index is the track number
    std::vector<int> rows;

    // Handles what the demo sends within `milliseconds`.
    void listen(int milliseconds) {
        const Bytes got = editor_.receive_for(milliseconds);
        pending_.insert(pending_.end(), got.begin(), got.end());
        size_t at = 0;
        while (at < pending_.size()) {
            const uint8_t command = pending_[at];
            if (command == 3 && pending_.size() - at >= 5) {
                rows.push_back(int32_t(be32(pending_, at + 1)));
                at += 5;
            } else if (command == 2 && pending_.size() - at >= 5 &&
                       pending_.size() - at >= 5 + be32(pending_, at + 1)) {
                const size_t length = be32(pending_, at + 1);
                answer(std::string(pending_.begin() + long(at) + 5,
                                   pending_.begin() + long(at + 5 + length)));
                at += 5 + length;
            } else if (command != 2 && command != 3) {
                ADD_FAILURE() << "unexpected command " << int(command);
                at = pending_.size();
            } else {
                break; // the rest of the message is still on its way
            }
        }
        pending_.erase(pending_.begin(), pending_.begin() + long(at));
    }

    // Listens until `done` holds; false after `seconds`.
    bool until(const std::function<bool()>& done, double seconds) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            listen(10);
        }
        return true;
    }
    // Listens until the demo reports a row of at least `row`.
    bool until_row(int row, double seconds) {
        return until([&] { return !rows.empty() && rows.back() >= row; }, seconds);
    }

  private:
    void answer(const std::string& name) {
        const uint32_t number = uint32_t(requests.size());
        requests.push_back(name);
        for (const track_key& key : keys[name])
            editor_.send(set_key_message(number, key.row, key.value, key.type));
    }

    FakeEditor& editor_;
    Bytes pending_;
};

// The driver's track and those of the scenes, with every effect on.
const std::set<std::string> EVERY_TRACK = {
    "main#run",
    "main#blendcolor",
    "main#blendfade",
    "bars#colored",
    "bars#count",
    "bars#intensity",
    "bitmapdist#logo",
    "bitmapdist#scale",
    "bitmapdist#sineScale",
    "blur#addOpacity",
    "blur#additive",
    "blur#blurEn",
    "blur#blurWidth",
    "glitch#blockSize",
    "glitch#colored",
    "glitch#en",
    "glitch#shift",
    "kaleido#angle",
    "kaleido#dispConstX",
    "kaleido#dispConstY",
    "kaleido#dispSpeedX",
    "kaleido#dispSpeedY",
    "kaleido#dispSwingX",
    "kaleido#dispSwingY",
    "kaleido#pow",
    "kaleido#rotConstVel",
    "kaleido#rotSinSwing",
    "kaleido#rotSinVel",
    "kaleido#scale",
    "kaleido#subdiv",
    "kaleido#texture",
    "overlay#count",
    "overlay#en",
    "overlay#freq",
    "overlay#max",
    "overlay#opacity",
    "overlay#type",
    "radialBlur#en",
    "radialBlur#scale",
    "radialBlur#strength",
};

class LiveEditing : public Executable {
  protected:
    ProcessSpec editing_spec() const {
        ProcessSpec s = spec({"auto"});
        s.env["DEMO_EDITOR"] = editor->host();
        return s;
    }
    std::unique_ptr<FakeEditor> editor = std::make_unique<FakeEditor>();
};

// Pause holds the demo clock and the music together; the editor then drops out and the demo
// plays on to its end from the keys it sent.
TEST_F(LiveEditing, PauseStopsClockAndMusicAndADroppedEditorIsSurvived) {
    const std::string host = editor->host();
    editor->accept_async();
    ChildProcess demo(editing_spec());
    ASSERT_TRUE(editor->accepted());
    EditorSession session(*editor);
    // The bitmap distortion for half a second, the kaleidoscope until 2 s on the demo clock.
    session.keys["main#run"] = {{0, 0.0f, KEY_STEP}, {12, 1.0f, KEY_STEP}, {48, -1.0f, KEY_STEP}};
    session.keys["glitch#en"] = {{0, 1.0f, KEY_STEP}}; // its tracks are read only while it is on
    ASSERT_TRUE(session.until_row(30, 10.0));

    editor->send(pause_message(1));
    session.listen(300); // rows sent before the pause arrived
    const int paused_at = session.rows.back();
    const size_t reported = session.rows.size();
    session.listen(2000);
    EXPECT_EQ(reported, session.rows.size()) << "no rows while paused";
    // Running, the demo clock would have passed 2 s by now and the demo would have ended.
    EXPECT_TRUE(demo.running());

    editor->send(pause_message(0));
    ASSERT_TRUE(session.until([&] { return session.rows.size() > reported; }, 5.0));
    // Two seconds of pause would be 48 rows: the music held where it stopped.
    EXPECT_LE(session.rows[reported], paused_at + 6);

    // Every track the demo reads was asked for once, "main#run" first.
    ASSERT_FALSE(session.requests.empty());
    EXPECT_EQ("main#run", session.requests.front());
    const std::set<std::string> unique(session.requests.begin(), session.requests.end());
    EXPECT_EQ(unique.size(), session.requests.size());
    EXPECT_EQ(EVERY_TRACK, unique);

    editor.reset(); // gone, listener and all
    const ProcessResult r = demo.wait();
    EXPECT_EQ(0, r.exit_code);
    EXPECT_NE(std::string::npos, r.out.find(BANNER)) << r.out;
    EXPECT_EQ("sync editor at " + host +
                  ": connection lost, playing on and reconnecting when "
                  "it is back\n",
              r.err);
}

// A seek to row 130 puts the demo clock at 130/24 s and the music at order 2, row 2.
TEST_F(LiveEditing, SeekMovesClockAndMusic) {
    editor->accept_async();
    ChildProcess demo(editing_spec());
    ASSERT_TRUE(editor->accepted());
    EditorSession session(*editor);
    // The end lies a few rows past the seek, so that slow frames on a loaded machine still
    // report rows from the music after it.
    session.keys["main#run"] = {{0, 1.0f, KEY_STEP}, {140, -1.0f, KEY_STEP}};
    ASSERT_TRUE(session.until_row(12, 10.0));

    const auto seek = std::chrono::steady_clock::now();
    editor->send(set_row_message(130));
    // Without the seek the demo would run until 5.8 s on its clock, 5.3 s from now.
    while (demo.running() && std::chrono::steady_clock::now() - seek < std::chrono::seconds(3))
        session.listen(10);
    EXPECT_FALSE(demo.running());
    session.listen(1000); // the rows the demo sent just before it ended
    // Rows from the music: patterns of 64 rows, so order 2, row 2 is row 130; the demo then
    // plays on from there to the end at row 140.
    EXPECT_GE(session.rows.back(), 129);
    EXPECT_LE(session.rows.back(), 144);
    EXPECT_EQ(0, demo.wait().exit_code);
}

TEST_F(LiveEditing, UnreachableOrSilentEditorLeavesTheTrackFiles) {
    folder.run_track({{24, -1.0f}});
    {
        SCOPED_TRACE("unreachable");
        ProcessSpec s = spec({"a"}); // automatic setup without profiling
        s.env["DEMO_EDITOR"] = "127.0.0.1:1";
        const ProcessResult r = run_process(s);
        EXPECT_EQ(0, r.exit_code);
        EXPECT_EQ("sync editor at 127.0.0.1:1 did not answer: playing from the track files\n",
                  r.err);
        EXPECT_EQ(std::string(PROGRESS) + BANNER, r.out);
    }
    {
        SCOPED_TRACE("accepts but never greets");
        editor->accept_async("");
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult r = run_process(editing_spec());
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
        EXPECT_TRUE(editor->accepted());
        EXPECT_EQ(0, r.exit_code);
        EXPECT_EQ("sync editor at " + editor->host() +
                      " did not answer: playing from the track files\n",
                  r.err);
        // The track file's -1 at one second ended it.
        EXPECT_NE(std::string::npos, r.out.find(BANNER));
    }
}

} // namespace
