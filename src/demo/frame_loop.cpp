#include "demo/frame_loop.h"

#include <cmath>

#include "framebuffer/framebuf.h"

namespace {

constexpr const char* RUN_TRACK = "main#run";
constexpr float FIRST_FRAME_TIME = 0.3f;
constexpr float SLOWEST_SMOOTHED_FRAME = 0.25f;
constexpr float MIN_WEIGHT = 0.5f;

} // namespace

float smoothingWeight(float frameTime, bool firstPass) {
    const float k = 4.0f * frameTime;
    if (k <= MIN_WEIGHT)
        return MIN_WEIGHT;
    if (frameTime > SLOWEST_SMOOTHED_FRAME && !firstPass)
        return MIN_WEIGHT;
    return k;
}

int sceneIndex(double run) {
    if (std::isnan(run) || run <= -1.0 || run >= SCENE_COUNT)
        return -1;
    return static_cast<int>(run);
}

uint32_t runFrameLoop(demo_run& run, const demo_options& options) {
    Timeline& timeline = *run.timeline;
    const float t0 = static_cast<float>(run.timer->get());
    float t = 0.0f;
    float dt = FIRST_FRAME_TIME;
    float sceneTime = 0.0f;
    uint32_t frames = 0;

    while (!qbx_isexit() && !(timeline.getTrack(RUN_TRACK, t) < 0.0)) {
        if (options.before_pass)
            options.before_pass(frames);
        const float tPrev = t;
        t = static_cast<float>(run.timer->get() - t0);

        // Patterns are taken as 64 rows.
        const int position = run.mod->getorder() * 64 + run.mod->getrow();
        const float musicTime = static_cast<float>(position / ROWS_PER_SECOND);
        const float k = smoothingWeight(dt, frames == 0);
        sceneTime = (1.0f - k) * musicTime + k * sceneTime;
        dt = t - tPrev;

        if (timeline.isRemote())
            timeline.update(sceneTime); // the editor's requests arrive through the callbacks here
        const int scene = sceneIndex(timeline.getTrack(RUN_TRACK, t));

        if (run.flags.profile)
            run.profiler->begin(Profiler::totalLabel);
        if (scene >= 0)
            run.parts[scene]->run(sceneTime, dt);
        if (run.flags.profile)
            run.profiler->end(Profiler::totalLabel);

        const demo_pass pass{frames, t, dt, musicTime, sceneTime, scene};
        ++frames;
        if (options.after_pass && !options.after_pass(pass))
            break;
    }
    return frames;
}
