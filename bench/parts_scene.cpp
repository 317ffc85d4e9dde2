// Whole frames of both scenes, `run` from its first track read to the presented picture on the
// headless display, beside the kernel-only frames of the same work (obj_scene) in the same run:
// the difference is the scenes' own work (track reads, node arithmetic, set-up, presentation).
// Presenting ends with the 1 ms sleep of the message pump, after which the caches have gone
// cold; the kernel-only frames are measured both back to back and after such a sleep.
// The allocations counter of a scene frame must stay at 0 after its first frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "min_statistic.h"
#include "obj/sintab.h"
#include "obj_scene.h"
#include "parts/bmpdist.h"
#include "parts/kaleido.h"
#include "parts/kaleido_grid.h"
#include "scene_bench.h"

namespace {

using namespace obj_scene;

void BM_KernelFrame(benchmark::State& state, void (*frame)(scene_buffers&, const kernel_set&)) {
    scene_buffers b;
    const bool after_sleep = state.range(0);
    for (auto _ : state) {
        if (after_sleep) {
            state.PauseTiming();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            state.ResumeTiming();
        }
        frame(b, sse2_kernels);
        benchmark::ClobberMemory();
    }
}

void BM_SceneFrame(benchmark::State& state, bool kaleidoscope) {
    scene_bench::stage stage;
    part& scene = kaleidoscope ? static_cast<part&>(stage.kaleido) : stage.distortion;
    const float time = kaleidoscope ? scene_bench::kaleido_time : scene_bench::distortion_time;
    scene.run(time, 0); // registers the tracks
    const size_t before = allocation_count();
    for (auto _ : state) {
        scene.run(time, 0);
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] = double(allocation_count() - before);
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
    ->ArgName("after_sleep")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
BENCHMARK_CAPTURE(BM_SceneFrame, kaleido0, true)->Unit(benchmark::kMicrosecond)->Apply(add_min);
BENCHMARK_CAPTURE(BM_KernelFrame, distortion, distortion_frame)
    ->ArgName("after_sleep")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
BENCHMARK_CAPTURE(BM_SceneFrame, bitmapdist, false)->Unit(benchmark::kMicrosecond)->Apply(add_min);
BENCHMARK_CAPTURE(BM_KaleidoNodes, fast, false)->Unit(benchmark::kMicrosecond)->Apply(add_min);
BENCHMARK_CAPTURE(BM_KaleidoNodes, extended, true)->Unit(benchmark::kMicrosecond)->Apply(add_min);
