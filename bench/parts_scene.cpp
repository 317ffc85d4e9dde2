// Whole frames of both scenes, `run` from its first track read to the presented picture on the
// headless display, beside the kernel-only frames of the same work (obj_scene) in the same run:
// the difference is the scenes' own work (track reads, node arithmetic, set-up, presentation).
//
// Presenting pauses: qbx_flip runs the message pump, which sleeps 1 ms before the flip. That
// sleep is not work of the scene, yet a timed sleep costs this machine 25 .. 30 us of CPU time
// per frame (the system call, the timer, the switch away and back), a tenth of a frame, and it
// leaves the caches colder. So that both sides of the comparison pay the same, the "sleep"
// argument sets it alike for both:
//   sleep:0  no pause: kernel frames back to back; the scene with the pump's pause replaced by
//            nothing, as the capture does it;
//   sleep:1  a 1 ms sleep before every frame with the timer stopped: the kernel frame sleeps
//            first, the scene sleeps in its own pump, where the timer is stopped only for the
//            sleep itself;
//   sleep:2  (scene only) the pump's sleep timed too: the whole CPU cost of a frame as the demo
//            runs it, not comparable with a kernel frame.
// qbx_update also yields the processor after the conversion. On a loaded machine that hands the
// core to another process, which leaves the caches cold for the next frame; the kernel frames
// yield once per frame too, so that this, too, weighs alike on both sides.
// Everything else of the scene's frame stays timed: track reads, nodes, kernels, the conversion
// into the display, the pump, the flip. Compare sleep:0 with sleep:0 and sleep:1 with sleep:1;
// run with --benchmark_enable_random_interleaving=true so that neither side always runs first.
// The allocations counter of a scene frame must stay at 0 after its first frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "framebuffer/framebuf.h"
#include "min_statistic.h"
#include "obj/sintab.h"
#include "obj_scene.h"
#include "parts/bmpdist.h"
#include "parts/kaleido.h"
#include "parts/kaleido_grid.h"
#include "scene_bench.h"

namespace {

using namespace obj_scene;

enum sleep_arg { no_sleep, sleep_untimed, sleep_timed };

// The benchmark whose timer the pump's pause stops, while one runs with sleep_untimed.
benchmark::State* timed_state = nullptr;

void sleep_1ms_untimed(benchmark::State& state) {
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state.ResumeTiming();
}

void pump_pause_untimed() {
    sleep_1ms_untimed(*timed_state);
}

void no_pause() {}

void BM_KernelFrame(benchmark::State& state, void (*frame)(scene_buffers&, const kernel_set&)) {
    scene_buffers b;
    const bool sleep = state.range(0) == sleep_untimed;
    for (auto _ : state) {
        if (sleep)
            sleep_1ms_untimed(state);
        frame(b, sse2_kernels);
        benchmark::ClobberMemory();
        std::this_thread::yield();
    }
}

void BM_SceneFrame(benchmark::State& state, bool kaleidoscope) {
    scene_bench::stage stage;
    part& scene = kaleidoscope ? static_cast<part&>(stage.kaleido) : stage.distortion;
    const float time = kaleidoscope ? scene_bench::kaleido_time : scene_bench::distortion_time;
    scene.run(time, 0); // registers the tracks
    timed_state = &state;
    const auto sleep = static_cast<sleep_arg>(state.range(0));
    qbx_use_pause(sleep == no_sleep        ? no_pause
                  : sleep == sleep_untimed ? pump_pause_untimed
                                           : nullptr);
    const size_t before = allocation_count();
    for (auto _ : state) {
        scene.run(time, 0);
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] = double(allocation_count() - before);
    qbx_use_pause(nullptr);
    timed_state = nullptr;
}

void BM_KaleidoNodes(benchmark::State& state, bool extended) {
    const kaleido_frame frame =
        kaleido_frame_at(scene_bench::kaleido_grid, scene_bench::kaleido_time);
    std::vector<grid> nodes(kaleido_node_count);
    for (auto _ : state) {
        if (extended)
            kaleido_nodes_extended(frame, nodes.data());
        else
            kaleido_nodes(frame, nodes.data());
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_KernelFrame, kaleidoscope, kaleidoscope_frame)
    ->ArgName("sleep")
    ->DenseRange(no_sleep, sleep_untimed)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
BENCHMARK_CAPTURE(BM_SceneFrame, kaleido0, true)
    ->ArgName("sleep")
    ->DenseRange(no_sleep, sleep_timed)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
BENCHMARK_CAPTURE(BM_KernelFrame, distortion, distortion_frame)
    ->ArgName("sleep")
    ->DenseRange(no_sleep, sleep_untimed)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
BENCHMARK_CAPTURE(BM_SceneFrame, bitmapdist, false)
    ->ArgName("sleep")
    ->DenseRange(no_sleep, sleep_timed)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
BENCHMARK_CAPTURE(BM_KaleidoNodes, fast, false)->Unit(benchmark::kMicrosecond)->Apply(add_min);
BENCHMARK_CAPTURE(BM_KaleidoNodes, extended, true)->Unit(benchmark::kMicrosecond)->Apply(add_min);
