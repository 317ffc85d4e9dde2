// The per-frame conversion of the demo's 320 x 180 argb8888 picture: our rgb565 converters (plain,
// SIMD, dithered, each SIMD one also as its scalar twin), the doubling 32-bit copy and dithered
// rgb565, and SDL's own
// SDL_ConvertPixels for the same argb8888 -> rgb565 conversion.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "framebuffer/conv2x.h"
#include "framebuffer/convert.h"
#include "framebuffer/convert_simd.h"

namespace {

constexpr uint32_t width = 320, height = 180;

std::vector<uint32_t> picture() {
    std::vector<uint32_t> pixels(width * height);
    std::mt19937 random(1234);
    for (uint32_t& p : pixels)
        p = random();
    return pixels;
}

// One whole picture through qbx_convert into a tightly packed rgb565 surface.
void to_rgb565(benchmark::State& state, qbx_converter proc) {
    const std::vector<uint32_t> src = picture();
    std::vector<uint16_t> dst(width * height);
    for (auto _ : state) {
        qbx_convert(reinterpret_cast<uint8_t*>(dst.data()),
                    reinterpret_cast<const uint8_t*>(src.data()), width, height, 0, 0, proc);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_Rgb565_Plain(benchmark::State& state) {
    to_rgb565(state, qbx_convert_argb8888_rgb565);
}
void BM_Rgb565_Sse2(benchmark::State& state) {
    to_rgb565(state, convert_simd::rgb565_sse2);
}
void BM_Rgb565_Sse2Twin(benchmark::State& state) {
    to_rgb565(state, convert_simd::rgb565_scalar);
}
void BM_Rgb565_DitherSse2(benchmark::State& state) {
    to_rgb565(state, convert_simd::rgb565d_sse2);
}
void BM_Rgb565_DitherTwin(benchmark::State& state) {
    to_rgb565(state, convert_simd::rgb565d_scalar);
}

void BM_Rgb565_SdlConvertPixels(benchmark::State& state) {
    const std::vector<uint32_t> src = picture();
    std::vector<uint16_t> dst(width * height);
    for (auto _ : state) {
        if (SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, src.data(), width * 4,
                              SDL_PIXELFORMAT_RGB565, dst.data(), width * 2) != 0) {
            state.SkipWithError(SDL_GetError());
            break;
        }
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
    // Both sides compute the same truncating conversion.
    std::vector<uint16_t> ours(width * height);
    qbx_convert(reinterpret_cast<uint8_t*>(ours.data()),
                reinterpret_cast<const uint8_t*>(src.data()), width, height, 0, 0,
                qbx_convert_argb8888_rgb565);
    if (ours != dst)
        state.SkipWithError("SDL's rgb565 differs from ours");
}

// The picture doubled both ways into a 640 x 360 surface of `bytes` per pixel.
void doubled(benchmark::State& state, qbx_converter proc, uint32_t bytes) {
    const std::vector<uint32_t> src = picture();
    std::vector<uint8_t> dst(4 * width * height * bytes);
    for (auto _ : state) {
        qbx_convert_2x(dst.data(), reinterpret_cast<const uint8_t*>(src.data()), width, height, 0,
                       0, proc);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * width * height);
}

void BM_Copy32_2x_Plain(benchmark::State& state) {
    doubled(state, qbx_memcpy_32bpp_2x, 4);
}
void BM_Copy32_2x_Sse2(benchmark::State& state) {
    doubled(state, convert_simd::copy32_2x_sse2, 4);
}
void BM_Rgb565_2x_DitherSse2(benchmark::State& state) {
    doubled(state, convert_simd::rgb565d_2x_sse2, 2);
}
void BM_Rgb565_2x_DitherTwin(benchmark::State& state) {
    doubled(state, convert_simd::rgb565d_2x_scalar, 2);
}

} // namespace

BENCHMARK(BM_Rgb565_SdlConvertPixels)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rgb565_Plain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rgb565_Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rgb565_Sse2Twin)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rgb565_DitherSse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rgb565_DitherTwin)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Copy32_2x_Plain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Copy32_2x_Sse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rgb565_2x_DitherSse2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rgb565_2x_DitherTwin)->Unit(benchmark::kMicrosecond);
