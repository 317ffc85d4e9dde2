// One whole kaleidoscope frame of kernel work (obj_scene::kaleidoscope_frame). A memcpy of a
// 320 x 180 frame, measured in the same run, is the yardstick.
#include "min_statistic.h"
#include "obj_scene.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

using namespace obj_scene;

void BM_KaleidoscopeFrame(benchmark::State& state, const kernel_set* k) {
    scene_buffers b;
    for (auto _ : state) {
        kaleidoscope_frame(b, *k);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 320 * 180);
}

void BM_FrameMemcpy(benchmark::State& state) {
    std::vector<uint32_t> from(320 * 180, 0x12345678u), to(320 * 180);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(from.size()) * 4);
}

} // namespace

BENCHMARK_CAPTURE(BM_KaleidoscopeFrame, scalar, &scalar_kernels)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
#ifdef __SSE2__
BENCHMARK_CAPTURE(BM_KaleidoscopeFrame, sse2, &sse2_kernels)
    ->Unit(benchmark::kMicrosecond)
    ->Apply(add_min);
#endif
BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMicrosecond)->Apply(add_min);
