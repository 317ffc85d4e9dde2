// The grid mapper at the scenes' size: 22 cell rows of 40 cells, 320 x 176 pixels.
#include "min_statistic.h"
#include "obj_scene.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using namespace obj_scene;

void run_mapper(benchmark::State& state, Mapper draw, int texWidth,
                const std::vector<grid>& nodes) {
    std::vector<uint32_t> texture(size_t(texWidth) * 257);
    std::mt19937 random(1);
    for (uint32_t& texel : texture)
        texel = random();
    std::vector<uint8_t> frame(180 * 2048);
    for (auto _ : state) {
        draw(frame.data() + 2 * 2048, nodes.data(), texture.data(), cell_rows);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 320 * 176);
}

void BM_Grid256_Scalar(benchmark::State& state) {
    run_mapper(state, grid_tmap_8b_scalar, 256, kaleidoscope_nodes());
}
void BM_Grid512_Scalar(benchmark::State& state) {
    run_mapper(state, grid_tmap_8b_512x256_scalar, 512, distortion_nodes());
}
BENCHMARK(BM_Grid256_Scalar)->Unit(benchmark::kMicrosecond)->Apply(add_min);
BENCHMARK(BM_Grid512_Scalar)->Unit(benchmark::kMicrosecond)->Apply(add_min);

#if defined(__SSE2__)
void BM_Grid256_Sse2(benchmark::State& state) {
    run_mapper(state, grid_tmap_8b_sse2, 256, kaleidoscope_nodes());
}
void BM_Grid512_Sse2(benchmark::State& state) {
    run_mapper(state, grid_tmap_8b_512x256_sse2, 512, distortion_nodes());
}
BENCHMARK(BM_Grid256_Sse2)->Unit(benchmark::kMicrosecond)->Apply(add_min);
BENCHMARK(BM_Grid512_Sse2)->Unit(benchmark::kMicrosecond)->Apply(add_min);
#endif

} // namespace
