// The grid mapper at the scenes' size: 22 cell rows of 40 cells, 320 x 176 pixels.
#include "obj/gridlerp.h"

#include "min_statistic.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace {

using Mapper = void (*)(void*, const grid*, const void*, int);

constexpr int kCellRows = 22;
constexpr int kNodeRows = kCellRows + 1;

// A folded, rotated polar grid: eight mirrored wedges, one texture width per unit of radius.
std::vector<grid> kaleidoscope_nodes() {
    const double seg = std::numbers::pi / 4, rot = 0.7, scale = 65536.0 * 0.8;
    std::vector<grid> nodes;
    for (int j = 0; j < kNodeRows; ++j) {
        for (int i = 0; i < grid_nodes_per_row; ++i) {
            const double u = -0.25 + 0.0125 * i, v = -0.1375 + 0.0125 * j;
            const double theta = std::atan2(u, v), radius = std::sqrt(u * u + v * v) * scale;
            const double phi = std::abs(std::fmod(std::abs(theta + 0.3) + seg / 2, seg) - seg / 2);
            const double x = radius * std::cos(phi), y = radius * std::sin(phi);
            nodes.push_back(grid{int32_t(std::lrint(x * std::cos(rot) - y * std::sin(rot) + 900)),
                                 int32_t(std::lrint(x * std::sin(rot) + y * std::cos(rot) - 4000)),
                                 {}});
        }
    }
    return nodes;
}

// A sine wobble over a 512-wide picture.
std::vector<grid> distortion_nodes() {
    const double k = 65536.0 * 0.9, t = 3.7;
    std::vector<grid> nodes;
    for (int j = 0; j < kNodeRows; ++j) {
        for (int i = 0; i < grid_nodes_per_row; ++i) {
            const double fx = (-160 + 8 * i) / 640.0, fy = (-88 + 8 * j) / 640.0;
            const double x = fx + 0.8 * std::sin(12 * std::sin(0.14 * t) + 22 * fy) *
                                      std::sin(0.14 * t + 42 * fx) * 0.21;
            const double y =
                fy + 0.8 * 0.21 * std::cos(21 * x + 0.21 * t) * std::sin(12 * fy + 0.32 * t);
            nodes.push_back(grid{int32_t(x * k + 65536), int32_t(k * y + 32768), {}});
        }
    }
    return nodes;
}

void run_mapper(benchmark::State& state, Mapper draw, int texWidth,
                const std::vector<grid>& nodes) {
    std::vector<uint32_t> texture(size_t(texWidth) * 257);
    std::mt19937 random(1);
    for (uint32_t& texel : texture)
        texel = random();
    std::vector<uint8_t> frame(180 * 2048);
    for (auto _ : state) {
        draw(frame.data() + 2 * 2048, nodes.data(), texture.data(), kCellRows);
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

// For scale: copying one whole 320 x 180 frame of 32-bit pixels.
void BM_FrameMemcpy(benchmark::State& state) {
    std::vector<uint32_t> from(320 * 180, 0x12345678u), to(320 * 180);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(from.size()) * 4);
}
BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMicrosecond)->Apply(add_min);

} // namespace
