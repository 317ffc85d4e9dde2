// The radial blur as the scenes run it: in place on a 320 x 180 frame with 2048-byte lines, at a
// step a little below 1.0 and channel weights for a blur strength of 2.
#include "obj/rblur.h"

#include "min_statistic.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using Blur = void (*)(const void*, void*, int, int, int, int, uint32_t, uint32_t);

void run_blur(benchmark::State& state, Blur blur) {
    std::vector<uint32_t> frame(512 * 180);
    std::mt19937 random(9);
    for (uint32_t& pixel : frame)
        pixel = random() & 0x00FFFFFFu;
    const int step = 31232 + 256;
    const uint32_t current = 32u << 16 | 48u << 8 | 72u;
    const uint32_t sample = (256u - 32u) << 16 | (256u - 48u) << 8 | (256u - 72u);
    for (auto _ : state) {
        blur(frame.data(), frame.data(), 320, 180, step, step, sample, current);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 320 * 180);
}

void BM_RadialBlur_Scalar(benchmark::State& state) {
    run_blur(state, rblur_c_bl_alpha_scalar);
}
BENCHMARK(BM_RadialBlur_Scalar)->Unit(benchmark::kMicrosecond)->Apply(add_min);

#if defined(__SSE2__)
void BM_RadialBlur_Sse2(benchmark::State& state) {
    run_blur(state, rblur_c_bl_alpha_sse2);
}
BENCHMARK(BM_RadialBlur_Sse2)->Unit(benchmark::kMicrosecond)->Apply(add_min);
#endif

} // namespace
