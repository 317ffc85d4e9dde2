// Files that appear only complete, the WAV written as the sound comes, and ffmpeg's stand-in: a
// child process fed through a pipe whose failure is told in one line.
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "output_file.h"
#include "support/test_support.h"
#include "wav_writer.h"

namespace {

using test_support::read_file;
namespace fs = std::filesystem;

uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(OutputFile, AppearsUnderItsNameOnlyWhenCommitted) {
    test_support::TempDir dir;
    const std::string path = dir.file("a.bin");
    {
        output_file file(path);
        EXPECT_FALSE(fs::exists(file.partial_path())) << "nothing before the first write";
        ASSERT_TRUE(file.write({1, 2, 3, 4}));
        ASSERT_TRUE(file.write_at(1, {9}));
        EXPECT_TRUE(fs::exists(file.partial_path()));
        EXPECT_FALSE(fs::exists(path));
        ASSERT_TRUE(file.commit());
        EXPECT_FALSE(fs::exists(file.partial_path()));
    }
    EXPECT_EQ((std::vector<uint8_t>{1, 9, 3, 4}), read_file(path));
    {
        output_file unfinished(dir.file("b.bin"));
        ASSERT_TRUE(unfinished.write({1}));
    }
    EXPECT_FALSE(fs::exists(dir.file("b.bin.partial"))) << "removed when not committed";
    EXPECT_FALSE(fs::exists(dir.file("b.bin")));

    std::string error;
    EXPECT_FALSE(write_whole_file(dir.file("missing/c.png"), {1}, error));
    EXPECT_EQ("cannot write " + dir.file("missing/c.png") + ": No such file or directory", error);
}

TEST(WavWriter, HeaderCountsTheFramesWritten) {
    test_support::TempDir dir;
    wav_writer wav(dir.file("s.wav"), 44100);
    const std::vector<int16_t> samples = {1, -1, 300, -300, 32767, -32768};
    ASSERT_TRUE(wav.add(samples.data(), 3));
    ASSERT_TRUE(wav.add(samples.data(), 0));
    ASSERT_TRUE(wav.add(samples.data() + 2, 2));
    ASSERT_TRUE(wav.complete());
    EXPECT_FALSE(fs::exists(dir.file("s.wav"))) << "completed but not yet named";
    ASSERT_TRUE(wav.commit());
    const std::vector<uint8_t> bytes = read_file(dir.file("s.wav"));
    ASSERT_EQ(44u + 5 * 4, bytes.size());
    EXPECT_EQ(36u + 20, u32_at(bytes, 4));
    EXPECT_EQ(20u, u32_at(bytes, 40));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 44, samples.data(), 12));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 56, samples.data() + 2, 8));

    wav_writer empty(dir.file("e.wav"), 44100);
    ASSERT_TRUE(empty.commit());
    EXPECT_EQ(44u, read_file(dir.file("e.wav")).size());
}

TEST(ChildProcess, IsFedThroughAPipe) {
    test_support::TempDir dir;
    child_process cat;
    ASSERT_TRUE(cat.start({"sh", "-c", "cat > " + dir.file("fed")}, true));
    ASSERT_TRUE(cat.write("some bytes", 10));
    ASSERT_TRUE(cat.finish()) << cat.error();
    EXPECT_EQ(10u, read_file(dir.file("fed")).size());
}

TEST(ChildProcess, FailuresAreToldInOneLine) {
    std::signal(SIGPIPE, SIG_IGN); // as the capture program does
    child_process failing;
    ASSERT_TRUE(
        failing.start({"sh", "-c", "echo first >&2; echo 'the last words' >&2; exit 3"}, true));
    const std::vector<uint8_t> frame(1 << 20);
    bool written = true;
    for (int i = 0; i < 8 && written; ++i) // the child does not read: the pipe breaks
        written = failing.write(frame.data(), frame.size());
    EXPECT_FALSE(written);
    EXPECT_FALSE(failing.finish());
    EXPECT_EQ("sh failed (exit 3): the last words", failing.error());

    child_process missing;
    EXPECT_FALSE(missing.start({"no-such-program-here"}, true));
    EXPECT_EQ("cannot run no-such-program-here: No such file or directory (install "
              "no-such-program-here)",
              missing.error());

    child_process killed;
    ASSERT_TRUE(killed.start({"sh", "-c", "kill -9 $$"}, false));
    EXPECT_FALSE(killed.finish());
    EXPECT_EQ("sh failed (Killed)", killed.error());
}

} // namespace
