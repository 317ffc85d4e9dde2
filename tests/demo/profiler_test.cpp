#include "demo/profiler.h"
#include "framebuffer/timer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

uint64_t fake_now = 0;
uint64_t fake_counter() {
    return fake_now;
}

class ProfilerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        qbx_timer_use_counter(fake_counter);
        qbx_inittimer();
        previous_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override {
        std::filesystem::current_path(previous_dir_);
        qbx_timer_use_counter(nullptr);
    }
    // One frame of `ms` milliseconds under `label`.
    static void frame(Profiler& profiler, const char* label, uint64_t ms) {
        profiler.begin(label);
        fake_now += ms * tsc_rate / 1000;
        profiler.end(label);
    }
    std::string csv() const {
        auto bytes = test_support::read_file(dir_.file("profile.csv"));
        return std::string(bytes.begin(), bytes.end());
    }
    std::string dump(const Profiler& profiler, uint32_t frames) {
        ::testing::internal::CaptureStdout();
        dumpProfile(profiler, frames);
        return ::testing::internal::GetCapturedStdout();
    }

    test_support::TempDir dir_;
    std::filesystem::path previous_dir_;
};

TEST_F(ProfilerTest, ThreeFrames) {
    Profiler profiler;
    frame(profiler, "!total", 10);
    frame(profiler, "!total", 20);
    frame(profiler, "!total", 30);
    const std::string out = dump(profiler, 3);
    EXPECT_EQ("frame #;!total;\n0;10;\n1;20;\n2;30;\n", csv());
    EXPECT_EQ("\n3 frames in 0.060000 seconds = avg 50.000 fps\n"
              "longest frame 30.00 ms [33.33 fps], 95% perc 20.00 ms [50.00 fps]\n",
              out);
}

TEST_F(ProfilerTest, NoFramesWritesTheHeaderAndInfiniteRates) {
    Profiler profiler;
    const std::string out = dump(profiler, 0);
    EXPECT_EQ("frame #;!total;\n", csv());
    EXPECT_EQ("\n0 frames in 0.000000 seconds = avg inf fps\n"
              "longest frame 0.00 ms [inf fps], 95% perc 0.00 ms [inf fps]\n",
              out);
}

TEST_F(ProfilerTest, MissingSamplesAreZeroAndLabelsAreOrderedBytewise) {
    Profiler profiler;
    frame(profiler, "!total", 250);
    frame(profiler, "b", 1);
    profiler.begin("a");
    fake_now += tsc_rate / 2000; // 0.5 ms
    profiler.end("a");
    profiler.begin("!total");
    fake_now += (tsc_rate + 30) / 60; // 16.6667 ms
    profiler.end("!total");
    dump(profiler, 3);
    EXPECT_EQ("frame #;!total;a;b;\n0;250;0.5;1;\n1;16.6667;0;0;\n2;0;0;0;\n", csv());
}

TEST_F(ProfilerTest, EndWithoutATraceDoesNothing) {
    Profiler profiler;
    profiler.end("never begun");
    EXPECT_EQ(1u, profiler.traces().size());
    EXPECT_TRUE(profiler.traces().at("!total").samples.empty());
}

TEST_F(ProfilerTest, RoomForTheNextSampleIsMadeBeforeTheClockIsRead) {
    Profiler profiler;
    const auto& samples = profiler.traces().at("!total").samples;
    EXPECT_GE(samples.capacity(), Profiler::reservedFrames);
    for (size_t i = 0; i < Profiler::reservedFrames + 5; ++i) {
        profiler.begin("!total");
        EXPECT_GT(samples.capacity(), samples.size()) << "frame " << i;
        const double* storage = samples.data();
        fake_now += 1;
        profiler.end("!total");
        EXPECT_EQ(storage, samples.data()) << "the end of frame " << i << " reallocated";
    }
}

TEST_F(ProfilerTest, NoFileStillPrintsTheSummary) {
    std::filesystem::create_directory(dir_.file("profile.csv")); // cannot be opened as a file
    Profiler profiler;
    frame(profiler, "!total", 10);
    const std::string out = dump(profiler, 1);
    EXPECT_NE(std::string::npos, out.find("1 frames in 0.010000 seconds = avg 100.000 fps"));
}

TEST(ProfileAnalyzer, Queries) {
    ProfileTraces traces;
    for (double s : {5.0, 1.0, 4.0, 2.0, 3.0, 10.0, 9.0, 8.0, 7.0, 6.0})
        traces["x"].samples.push_back(s);
    traces["empty"];
    ProfileAnalyzer analyzer(traces, 10);
    EXPECT_DOUBLE_EQ(55.0, analyzer.total("x"));
    EXPECT_DOUBLE_EQ(5.5, analyzer.average("x"));
    EXPECT_DOUBLE_EQ(9.0, analyzer.percentile("x", 95)) << "index 9 * 95 / 100 = 8";
    EXPECT_DOUBLE_EQ(10.0, analyzer.percentile("x", 100));
    EXPECT_DOUBLE_EQ(1.0, analyzer.percentile("x", 0));
    EXPECT_DOUBLE_EQ(0.0, analyzer.percentile("x", -1));
    EXPECT_DOUBLE_EQ(0.0, analyzer.percentile("x", 101));
    for (const char* label : {"empty", "missing"}) {
        EXPECT_DOUBLE_EQ(0.0, analyzer.total(label));
        EXPECT_DOUBLE_EQ(0.0, analyzer.average(label));
        EXPECT_DOUBLE_EQ(0.0, analyzer.percentile(label, 50));
    }
    EXPECT_DOUBLE_EQ(5.0, analyzer.traces().at("x").samples[0]) << "the copy keeps frame order";
}

TEST(ProfileAnalyzer, PercentileOfAHundredSamplesIsTheNinetyFifthSmallest) {
    ProfileTraces traces;
    for (int i = 100; i >= 1; --i)
        traces["t"].samples.push_back(i);
    ProfileAnalyzer analyzer(traces, 100);
    EXPECT_DOUBLE_EQ(95.0, analyzer.percentile("t", 95));
    ProfileTraces one;
    one["t"].samples.push_back(42.0);
    ProfileAnalyzer single(one, 1);
    EXPECT_DOUBLE_EQ(42.0, single.percentile("t", 100));
    EXPECT_DOUBLE_EQ(42.0, single.percentile("t", 0));
}

} // namespace
