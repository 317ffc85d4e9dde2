// Sprite blending at the scenes' sizes: a 16 x 16 overlay sprite and a 64 x 32 logo, both added
// into a frame with 2048-byte lines.
#include "obj/sprdraw.h"

#include "min_statistic.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using Blender = void (*)(void*, const void*, int, int, int, int, uint32_t);

void run_sprite(benchmark::State& state, Blender blend, int width, int height) {
    std::vector<uint32_t> sprite(size_t(width) * height);
    std::mt19937 random(3);
    for (uint32_t& pixel : sprite)
        pixel = random() & 0x00FFFFFFu;
    std::vector<uint8_t> frame(180 * 2048);
    uint8_t* dst = frame.data() + 70 * 2048 + 128 * 4;
    for (auto _ : state) {
        blend(dst, sprite.data(), height, width / 2, 2048 - width * 4, 0, 0x010101u * 64);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_Sprite16_Scalar(benchmark::State& state) {
    run_sprite(state, flare_addmul_scalar, 16, 16);
}
void BM_Logo64x32_Scalar(benchmark::State& state) {
    run_sprite(state, flare_addmul_scalar, 64, 32);
}
BENCHMARK(BM_Sprite16_Scalar)->Apply(add_min);
BENCHMARK(BM_Logo64x32_Scalar)->Apply(add_min);

#if defined(__SSE2__)
void BM_Sprite16_Sse2(benchmark::State& state) {
    run_sprite(state, flare_addmul_sse2, 16, 16);
}
void BM_Logo64x32_Sse2(benchmark::State& state) {
    run_sprite(state, flare_addmul_sse2, 64, 32);
}
BENCHMARK(BM_Sprite16_Sse2)->Apply(add_min);
BENCHMARK(BM_Logo64x32_Sse2)->Apply(add_min);
#endif

} // namespace
