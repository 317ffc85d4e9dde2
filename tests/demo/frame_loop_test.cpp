// The frame loop itself, driven through the library timer's counter seam: scene time smoothing,
// scene choice and the end of the loop, the profiler's span.
#include "demo/frame_loop.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "framebuffer/quoblex.h"
#include "framebuffer/timer.h"
#include "libsync/track_file.h"
#include "support/test_support.h"

namespace {

uint64_t fake_now = 1'000'000'000;
uint64_t fake_counter() {
    return fake_now;
}
void advance(double seconds) {
    fake_now += static_cast<uint64_t>(seconds * static_cast<double>(tsc_rate) + 0.5);
}

// A music whose position the test sets.
class ScriptedMusic : public musicsys {
  public:
    int order = 0, row = 0;
    int getorder() override { return order; }
    int getrow() override { return row; }
};

// Records what it was asked to draw; a frame takes `cost` seconds of the fake clock.
class RecordingScene : public part {
  public:
    explicit RecordingScene(int index, std::vector<int>& log) : index_(index), log_(log) {}
    int run(float, float) override {
        log_.push_back(index_);
        advance(cost);
        return 0;
    }
    double cost = 0.0;

  private:
    int index_;
    std::vector<int>& log_;
};

class FrameLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        std::filesystem::create_directory("tracks");
        qbx_timer_use_counter(fake_counter);
        qbx_inittimer();
        qbx_notifyExit = false;

        run.mod = std::make_unique<ScriptedMusic>();
        run.timer = std::make_unique<Time>();
        run.timer->init();
        run.profiler = std::make_unique<Profiler>();
        for (int i = 0; i < SCENE_COUNT; ++i)
            run.parts[i] = std::make_unique<RecordingScene>(i, scenes);
    }
    void TearDown() override {
        qbx_timer_use_counter(nullptr);
        std::filesystem::current_path(previous_dir_);
    }

    // "main#run" with these keys (step interpolation), then a fresh access layer on the files.
    void runTrack(const std::vector<track_key>& keys) {
        const std::vector<uint8_t> bytes = track_file_encode(keys.data(), int32_t(keys.size()));
        test_support::write_file(std::string("tracks/") + sync_track_path("", "main#run"), bytes);
        run.timeline = std::make_unique<Timeline>();
        ASSERT_FALSE(run.timeline->open("tracks\\"));
    }

    // Runs the loop with a pass of `frameTime` seconds, the music at `rows[i]` (rows from the
    // start) in pass i, for at most `passes` passes.
    std::vector<demo_pass> loop(double frameTime, std::vector<int> rows, uint32_t passes) {
        std::vector<demo_pass> seen;
        demo_options options;
        options.before_pass = [&](uint32_t frame) {
            if (frame > 0)
                advance(frameTime);
            const int at = rows[std::min<size_t>(frame, rows.size() - 1)];
            music().order = at / 64;
            music().row = at % 64;
        };
        options.after_pass = [&](const demo_pass& pass) {
            seen.push_back(pass);
            return seen.size() < passes;
        };
        const uint32_t frames = runFrameLoop(run, options);
        EXPECT_EQ(seen.size(), frames);
        return seen;
    }

    ScriptedMusic& music() { return static_cast<ScriptedMusic&>(*run.mod); }

    test_support::TempDir dir_;
    std::filesystem::path previous_dir_;
    demo_run run;
    std::vector<int> scenes;
};

constexpr float ROW = float(1.0 / 24.0);

TEST_F(FrameLoop, FirstPassWeighsTheSceneTimeOneAndAFifth) {
    runTrack({{0, 0.0f, KEY_STEP}});
    // The music already one second in: scene time starts at -0.2 of it.
    std::vector<demo_pass> passes = loop(1.0 / 60, {24}, 1);
    ASSERT_EQ(1u, passes.size());
    EXPECT_FLOAT_EQ(1.0f, passes[0].musicTime);
    EXPECT_FLOAT_EQ((1.0f - 1.2f) * 1.0f, passes[0].sceneTime);
    EXPECT_FLOAT_EQ(0.0f, passes[0].t);
    EXPECT_FLOAT_EQ(0.0f, passes[0].dt);
}

TEST_F(FrameLoop, AtSixtyFramesANewRowEntersWithWeightOneHalf) {
    runTrack({{0, 0.0f, KEY_STEP}});
    // Patterns count as 64 rows: order 1, row 2 is row 66.
    std::vector<demo_pass> passes = loop(1.0 / 60, {66, 66, 66, 67, 67, 67}, 6);
    ASSERT_EQ(6u, passes.size());
    EXPECT_FLOAT_EQ(66 * ROW, passes[0].musicTime);
    for (int i = 1; i < 6; ++i)
        EXPECT_NEAR(1.0 / 60, passes[i].dt, 1e-6) << i;
    // Pass 0 leaves scene time at -0.2 x 66 rows; each pass halves the distance from then on.
    const float start = -0.2f * 66 * ROW;
    const float afterTwo = 66 * ROW + (start - 66 * ROW) / 4;
    EXPECT_NEAR(afterTwo, passes[2].sceneTime, 1e-5);
    // One row later: half the step after one frame, three quarters after two (plus what is left
    // of the start).
    const float gap = passes[2].sceneTime - 66 * ROW;
    EXPECT_NEAR(67 * ROW - (ROW - gap) / 2, passes[3].sceneTime, 1e-5);
    EXPECT_NEAR(67 * ROW - (ROW - gap) / 4, passes[4].sceneTime, 1e-5);
    EXPECT_NEAR(67 * ROW - (ROW - gap) / 8, passes[5].sceneTime, 1e-5);
}

TEST_F(FrameLoop, FramesSlowerThanAQuarterSecondStillFollowTheMusic) {
    runTrack({{0, 0.0f, KEY_STEP}});
    std::vector<demo_pass> passes = loop(0.2, {0, 0, 48, 48}, 4);
    ASSERT_EQ(4u, passes.size());
    // 0.2 s frames weigh the old scene time 0.8.
    EXPECT_NEAR(0.2f * 2.0f, passes[2].sceneTime, 1e-5);

    EXPECT_FLOAT_EQ(0.5f, smoothingWeight(0.3f, false));
    EXPECT_FLOAT_EQ(0.5f, smoothingWeight(2.0f, false));
    EXPECT_FLOAT_EQ(1.0f, smoothingWeight(0.25f, false));
    EXPECT_FLOAT_EQ(1.2f, smoothingWeight(0.3f, true));
    EXPECT_FLOAT_EQ(0.5f, smoothingWeight(0.125f, false));
    EXPECT_FLOAT_EQ(0.5f, smoothingWeight(-1.0f, false));

    scenes.clear();
    passes = loop(1.0, {0, 48, 48, 48}, 4);
    // At one frame a second the gap to the music halves each frame instead of growing.
    EXPECT_NEAR(2.0f - (2.0f - passes[0].sceneTime) / 2, passes[1].sceneTime, 1e-5);
    EXPECT_NEAR(2.0f - (2.0f - passes[0].sceneTime) / 8, passes[3].sceneTime, 1e-5);
}

// "main#run" is read on the demo clock: 0 for the first second, then the case's value. A pass
// runs the truncated value's scene; a value below 0 at the top of a pass ends the loop.
TEST_F(FrameLoop, RunTrackChoosesTheSceneAndEndsTheLoop) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float value;
        std::vector<int> scenes; // the scene of each pass, -1 for none
    } cases[] = {
        {1.0f, {0, 1, 1}}, {1.9f, {0, 1, 1}}, {2.0f, {0, -1, -1}}, {7.0f, {0, -1, -1}},
        {-0.5f, {0, 0}},   {-1.0f, {0, -1}},  {nan, {0, -1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        runTrack({{0, 0.0f, KEY_STEP}, {24, c.value, KEY_STEP}});
        std::vector<int> seen;
        for (const demo_pass& pass : loop(1.0, {0}, 3))
            seen.push_back(pass.scene);
        EXPECT_EQ(c.scenes, seen);
        std::vector<int> ran;
        for (int scene : c.scenes)
            if (scene >= 0)
                ran.push_back(scene);
        EXPECT_EQ(ran, scenes);
        scenes.clear();
    }
}

TEST_F(FrameLoop, ExitRequestEndsTheLoopAtTheTopOfThePass) {
    runTrack({{0, 1.0f, KEY_STEP}});
    demo_options options;
    uint32_t passes = 0;
    options.after_pass = [&](const demo_pass&) {
        qbx_notifyExit = ++passes == 2;
        return true;
    };
    EXPECT_EQ(2u, runFrameLoop(run, options));
}

TEST_F(FrameLoop, ProfilerMeasuresTheSceneRun) {
    runTrack({{0, 1.0f, KEY_STEP}});
    run.flags.profile = true;
    static_cast<RecordingScene&>(*run.parts[1]).cost = 0.005;
    loop(0.1, {0}, 3);
    const std::vector<double>& samples = run.profiler->traces().at("!total").samples;
    ASSERT_EQ(3u, samples.size());
    for (double ms : samples)
        EXPECT_NEAR(5.0, ms, 1e-6);
}

} // namespace
