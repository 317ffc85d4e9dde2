// The driver run inside the test program, as the capture tool runs it: the demo clock steps 1/60 s
// per pass through the counter seam, the headless display shows every picture to the test.
#include "demo/driver.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "demo_folder.h"
#include "framebuffer/timer.h"
#include "platform/display_headless.h"

namespace {

uint64_t system_count() {
    using namespace std::chrono;
    return uint64_t(duration_cast<duration<int64_t, std::ratio<1, 10'000'000>>>(
                        steady_clock::now().time_since_epoch())
                        .count());
}

// Real time until the loop starts (start-up and the settle wait need it), then fixed steps.
bool stepping = false;
uint64_t stepped_now = 0;
uint64_t test_counter() {
    return stepping ? stepped_now : system_count();
}

struct Pass {
    demo_pass pass;
    size_t allocations; // by this thread during the pass
    uint32_t pictures;  // shown during the pass
};

class DriverRun : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(folder.path());
        setenv("DEMO_DISPLAY", "headless", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("DEMO_EDITOR");
        headless_display_reset();
        // One full-screen mode of 4:3 for the 320 x 180 picture, shown doubled.
        headless_display_config().modes = {{640, 480, 32}};
        headless_display_config().on_present = [this](const display_lock& picture) {
            ++pictures_;
            last_picture_.assign(picture.data,
                                 picture.data + size_t(picture.pitch) * picture.height);
        };
        stepping = false;
        qbx_timer_use_counter(test_counter);
    }
    void TearDown() override {
        qbx_timer_use_counter(nullptr);
        headless_display_reset();
        std::filesystem::current_path(previous_dir_);
    }

    // Runs the demo with "auto"; the passes as the loop saw them.
    std::vector<Pass> run_demo() {
        std::vector<Pass> passes;
        size_t allocations_before = 0;
        uint32_t pictures_before = 0;
        demo_options options;
        options.before_pass = [&](uint32_t frame) {
            if (frame == 0) {
                stepping = true;
                stepped_now = system_count();
            } else {
                stepped_now += tsc_rate / 60;
            }
            allocations_before = thread_allocations();
            pictures_before = pictures_;
        };
        options.after_pass = [&](const demo_pass& pass) {
            passes.push_back(
                {pass, thread_allocations() - allocations_before, pictures_ - pictures_before});
            if (pass.scene >= 0)
                scene_pictures_[pass.scene] = last_picture_;
            return true;
        };
        std::string program = "demo", automatic = "auto";
        char* argv[] = {program.data(), automatic.data()};
        EXPECT_EQ(0, demo_main(2, argv, options));
        return passes;
    }

    DemoFolder folder;
    std::vector<uint8_t> scene_pictures_[2];

  private:
    std::filesystem::path previous_dir_;
    uint32_t pictures_ = 0;
    std::vector<uint8_t> last_picture_;
};

// "main#run" picks the bitmap distortion for a second and the kaleidoscope for the next; each
// pass shows one picture, and only the first pass of each scene allocates (its tracks enter the
// access layer).
TEST_F(DriverRun, BothScenesAsTheTrackSaysAndNoAllocationAfterTheirFirstFrame) {
    folder.run_track({{24, 1.0f}, {48, -1.0f}});
    folder.track("kaleido#scale", {{0, 1.0f, KEY_STEP}});
    folder.track("bitmapdist#scale", {{0, 1.0f, KEY_STEP}});
    const std::vector<Pass> passes = run_demo();

    // 60 passes a second on the demo clock; the pass that reads -1 runs nothing, and the loop
    // ends at the top of the next.
    ASSERT_GE(passes.size(), 121u);
    ASSERT_LE(passes.size(), 122u);
    bool first_of_scene[2] = {true, true};
    for (size_t i = 0; i < passes.size(); ++i) {
        const Pass& p = passes[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(i, p.pass.frame);
        const int scene = p.pass.t < 1.0f ? 0 : p.pass.t < 2.0f ? 1 : -1;
        EXPECT_EQ(scene, p.pass.scene) << p.pass.t;
        EXPECT_EQ(scene >= 0 ? 1u : 0u, p.pictures);
        if (scene < 0 || !first_of_scene[scene])
            EXPECT_EQ(0u, p.allocations);
        else
            first_of_scene[scene] = false;
    }
    EXPECT_EQ(-1, passes.back().pass.scene);
    // The two scenes drew different pictures.
    ASSERT_FALSE(scene_pictures_[0].empty());
    EXPECT_NE(scene_pictures_[0], scene_pictures_[1]);
}

} // namespace
