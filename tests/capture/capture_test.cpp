// The real capture executable, run in a scratch folder of tiny content that the test writes (a
// module, textures, tracks): frames, sound and stills exactly repeatable, the sound frame-exact,
// the music position in step with it, the video through ffmpeg, and failures that leave nothing.
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "demo_folder.h"
#include "music/music_fixture.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;
using test_support::read_file;

uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Stereo frames of a 16-bit WAV file as the capture writes it (a 44-byte header).
std::vector<int16_t> wav_samples(const std::string& path) {
    const std::vector<uint8_t> bytes = read_file(path);
    EXPECT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.size() - 44, u32_at(bytes, 40)) << "the header counts every sample";
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

// The pixels of a PNG file, 0xAARRGGBB.
std::vector<uint32_t> png_pixels(const std::string& path, uint32_t* width = nullptr) {
    const std::vector<uint8_t> bytes = read_file(path);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        ADD_FAILURE() << path << " is not a PNG file";
        return {};
    }
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(size_t(image.width) * image.height);
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    if (width)
        *width = image.width;
    return pixels;
}

bool flat(const std::vector<uint32_t>& pixels) {
    for (uint32_t p : pixels)
        if (p != pixels.front())
            return false;
    return !pixels.empty();
}

std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    if (fs::exists(dir))
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string frame_name(int frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06d.png", frame);
    return name;
}

class Capture : public ::testing::Test {
  protected:
    ProcessSpec spec(std::vector<std::string> args) const {
        ProcessSpec s;
        s.program = CAPTURE_EXECUTABLE;
        s.args = std::move(args);
        s.directory = folder.path();
        s.env = {{"DEMO_DISPLAY", std::nullopt},
                 {"DEMO_EDITOR", std::nullopt},
                 {"QUOBLEX", std::nullopt}};
        return s;
    }
    ProcessResult run(std::vector<std::string> args) const { return run_process(spec(args)); }

    // Both scenes in motion (the kaleidoscope turning, the picture waving).
    void moving_scenes() {
        const std::pair<const char*, float> tracks[] = {
            {"kaleido#scale", 3},        {"kaleido#pow", 1},         {"kaleido#subdiv", 4},
            {"kaleido#rotConstVel", 2},  {"kaleido#dispConstX", 60}, {"kaleido#dispConstY", 30},
            {"bitmapdist#sineScale", 1}, {"bitmapdist#scale", 1}};
        for (const auto& [name, value] : tracks)
            folder.track(name, {{0, value, KEY_STEP}});
    }
    // Two seconds: the kaleidoscope, then the bitmap distortion, then the end.
    void two_scenes() {
        moving_scenes();
        folder.run_track({{0, 1.0f}, {24, 0.0f}, {48, -1.0f}});
    }

    DemoFolder folder;
    test_support::TempDir out;
};

TEST_F(Capture, BadArgumentsGiveTheUsage) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--fps", "0", "a.mp4"}, {"clip.avi"}, {"--still", "1"}}) {
        const ProcessResult r = run(args);
        EXPECT_EQ(2, r.exit_code);
        EXPECT_EQ(0u, r.err.find("capture: ")) << r.err;
        EXPECT_NE(std::string::npos, r.err.find("\nusage: capture")) << r.err;
        EXPECT_EQ("", r.out);
    }
    const ProcessResult help = run({"--help"});
    EXPECT_EQ(0, help.exit_code);
    EXPECT_EQ(0u, help.out.find("usage: capture"));
}

TEST_F(Capture, MissingContentGivesTheDriversMessageAndLeavesNothing) {
    two_scenes();
    folder.remove("zoveta.xm");
    ProcessResult r = run({out.file("a.mp4")});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ("main() -> can't load module\nmain() -> can't play\n", r.err);
    EXPECT_TRUE(names_in(out.path()).empty());

    test_support::write_file(folder.file("zoveta.xm"), music_fixture::clock_module());
    folder.remove("assets/texture1.tga");
    r = run({"--frames", out.file("frames")});
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ("unable to load texture assets\\texture1.tga\nmain() -> can't init scenes\n", r.err);
    EXPECT_TRUE(names_in(out.path()).empty());
}

// Frames 0 to 59 at 30 fps; sound of exactly 60 x 44100 / 30 stereo frames; the same bytes on a
// second run; a still of a time is that frame's file; progress in tenths.
TEST_F(Capture, FramesAndSoundRepeatExactlyAndAStillIsOneOfThem) {
    two_scenes();
    const ProcessResult first = run({"--fps", "30", "--frames", out.file("a")});
    ASSERT_EQ(0, first.exit_code) << first.err;
    const ProcessResult second = run({"--fps", "30", "--frames", out.file("b")});
    ASSERT_EQ(0, second.exit_code) << second.err;

    std::vector<std::string> expected = {"audio.wav"};
    for (int frame = 0; frame < 60; ++frame)
        expected.push_back(frame_name(frame));
    ASSERT_EQ(expected, names_in(out.file("a")));
    ASSERT_EQ(expected, names_in(out.file("b")));
    for (const std::string& name : expected)
        EXPECT_EQ(read_file(out.file("a/" + name)), read_file(out.file("b/" + name))) << name;
    EXPECT_EQ(2u * 60 * 1470, wav_samples(out.file("a/audio.wav")).size());
    EXPECT_NE(read_file(out.file("a/" + frame_name(10))),
              read_file(out.file("a/" + frame_name(11))))
        << "the picture moves";
    EXPECT_FALSE(flat(png_pixels(out.file("a/" + frame_name(45)))));

    const ProcessResult still = run({"--fps", "30", "--still", "1.5", out.file("s/t/still.png")});
    ASSERT_EQ(0, still.exit_code) << still.err;
    EXPECT_EQ(read_file(out.file("a/" + frame_name(45))), read_file(out.file("s/t/still.png")));

    // Ten lines of progress, then the closing line.
    std::istringstream lines(first.err);
    std::string line;
    for (int tenth = 1; tenth <= 10; ++tenth) {
        ASSERT_TRUE(std::getline(lines, line)) << first.err;
        EXPECT_EQ(0u, line.find("capture: " + std::to_string(tenth * 10) + "% (")) << line;
    }
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(0u, line.find("capture: 60 frames in ")) << line;
}

// A span at 8 fps, where a frame's sound is 5512 or 5513 stereo frames: from 0.3 s (frame 2) to
// 1.1 s (frames starting before it: up to 8), enlarged twice.
TEST_F(Capture, SpanAndScale) {
    two_scenes();
    const ProcessResult r =
        run({"--fps", "8", "--from", "0.3", "--to", "1.1", "--scale", "2", "--frames", "f"});
    ASSERT_EQ(0, r.exit_code) << r.err;
    std::vector<std::string> expected = {"audio.wav"};
    for (int frame = 2; frame <= 8; ++frame)
        expected.push_back(frame_name(frame));
    ASSERT_EQ(expected, names_in(folder.file("f")));
    EXPECT_EQ(2u * (9 * 44100 / 8 - 2 * 44100 / 8), wav_samples(folder.file("f/audio.wav")).size());
    uint32_t width = 0;
    EXPECT_EQ(640u * 360, png_pixels(folder.file("f/" + frame_name(2)), &width).size());
    EXPECT_EQ(640u, width);

    const ProcessResult late = run({"--from", "2.5", "--frames", "g"});
    EXPECT_EQ(1, late.exit_code);
    EXPECT_EQ("capture: nothing to record: the demo ends at 0:02.00\n", late.err);
    EXPECT_FALSE(fs::exists(folder.file("g")));

    const ProcessResult nowhere = run({"--still", "1", "f/audio.wav/still.png"});
    EXPECT_EQ(1, nowhere.exit_code);
    EXPECT_EQ("capture: cannot make the folder f/audio.wav: Not a directory\n", nowhere.err);
}

// The music position a frame sees is that of the sound up to its start. The module is silent but
// for a loud note at order 2, row 0, after a pattern of only 16 rows: at the frame where the
// position reaches that row, the music time (64 rows to a pattern) jumps from row 79 to 128, and
// the scene time, which follows it at half weight a frame, from below row 80 to above 100. The
// fade keyed at row 100 therefore shows on exactly that frame: the first to start after the note.
TEST_F(Capture, MusicPositionOfAFrameIsThatOfItsSound) {
    xm::song song = music_fixture::clock_song(120, 2, 3); // 24 rows a second
    song.patterns[1].rows = 16;
    song.patterns[0].cells.clear();
    song.patterns[1].cells.clear();
    song.patterns[2].cells.clear();
    song.patterns[2].at(0, 0, 1) = {xm::note_number(4, 0), 1, 0x50, 0, 0};
    test_support::write_file(folder.file("zoveta.xm"), xm::encode(song));
    moving_scenes();
    folder.run_track({{0, 1.0f}, {120, -1.0f}});
    folder.track("main#blendcolor", {{0, 1.0f, KEY_STEP}});
    folder.track("main#blendfade", {{0, 0.0f, KEY_STEP}, {100, 1.0f, KEY_STEP}});

    const ProcessResult r = run({"--fps", "50", "--frames", "f"});
    ASSERT_EQ(0, r.exit_code) << r.err;
    const std::vector<int16_t> sound = wav_samples(folder.file("f/audio.wav"));
    ASSERT_EQ(2u * 250 * 882, sound.size()) << "five seconds";
    size_t onset = 0;
    while (onset < sound.size() && std::abs(sound[onset]) < 2000)
        ++onset;
    onset /= 2;
    EXPECT_NEAR(80 * 44100 / 24, double(onset), 918) << "within a tick of row 80's time";
    ASSERT_TRUE(onset % 882 > 20 && onset % 882 < 862) << "well inside a frame: " << onset;
    const int frame = int(onset / 882) + 1; // frame 167, which starts at 3.34 s
    EXPECT_FALSE(flat(png_pixels(folder.file("f/" + frame_name(frame - 1)))));
    EXPECT_TRUE(flat(png_pixels(folder.file("f/" + frame_name(frame)))));
}

TEST_F(Capture, VideoHoldsEveryFrameAndTheSound) {
    two_scenes();
    const ProcessResult r = run({"--fps", "30", "--scale", "1", out.file("clip.mp4")});
    ASSERT_EQ(0, r.exit_code) << r.err;
    EXPECT_EQ(std::vector<std::string>{"clip.mp4"}, names_in(out.path())) << "no temporary files";
    ProcessSpec probe;
    probe.program = "/usr/bin/ffprobe";
    probe.args = {"-v",
                  "error",
                  "-count_frames",
                  "-show_entries",
                  "stream=codec_name,width,height,nb_read_frames:format=duration",
                  "-of",
                  "default=noprint_wrappers=1",
                  out.file("clip.mp4")};
    const ProcessResult p = run_process(probe);
    ASSERT_EQ(0, p.exit_code) << p.err;
    for (const char* line :
         {"codec_name=h264\nwidth=320\nheight=180\nnb_read_frames=60\n", "codec_name=aac\n"})
        EXPECT_NE(std::string::npos, p.out.find(line)) << p.out;
    const size_t at = p.out.find("duration=");
    ASSERT_NE(std::string::npos, at);
    EXPECT_NEAR(2.0, std::stod(p.out.substr(at + 9)), 0.05) << p.out;
}

// A stand-in for ffmpeg that reads a little and fails, as on an encoder it does not have.
TEST_F(Capture, FailingFfmpegIsToldInOneLineAndLeavesNothing) {
    two_scenes();
    fs::create_directories(out.file("bin"));
    const std::string fake = out.file("bin/ffmpeg");
    const std::string script = "#!/bin/sh\nhead -c 1000 > /dev/null\necho 'frame=    0' >&2\n"
                               "echo \"Unknown encoder 'libx264'\" >&2\nexit 1\n";
    test_support::write_file(fake, std::vector<uint8_t>(script.begin(), script.end()));
    fs::permissions(fake, fs::perms::owner_all);
    ProcessSpec s = spec({"clip.mp4"});
    s.env["PATH"] = out.file("bin") + ":" + std::getenv("PATH");
    const ProcessResult r = run_process(s);
    EXPECT_EQ(1, r.exit_code);
    EXPECT_EQ("capture: ffmpeg failed (exit 1): Unknown encoder 'libx264'\n", r.err);
    for (const std::string& name : names_in(folder.path()))
        EXPECT_EQ(std::string::npos, name.find("clip")) << name;
}

// Writing stops at a file size limit as on a full disk: one line, and no partial file.
TEST_F(Capture, WriteFailureEndsTheRunAndLeavesNoPartialFile) {
    two_scenes();
    ProcessSpec s = spec({"-c", "ulimit -f 300 && exec \"$0\" --frames f", CAPTURE_EXECUTABLE});
    s.program = "/bin/sh";
    const ProcessResult r = run_process(s);
    EXPECT_EQ(1, r.exit_code);
    const size_t last_line = r.err.rfind('\n', r.err.size() - 2) + 1;
    EXPECT_EQ(last_line, r.err.find("capture: cannot write ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(": File too large\n", last_line)) << r.err;
    const std::vector<std::string> names = names_in(folder.file("f"));
    EXPECT_FALSE(names.empty());
    for (const std::string& name : names)
        EXPECT_EQ(0u, name.find("frame_")) << name << ": only whole frames stay";
}

} // namespace
