// The filter driver and kernels at the demo's sizes, set up the way the scenes run them: the two
// blur passes (320 x 180 into a 90 x 160 transposed half picture and back into 160 x 90) and the
// final 180-line chain (upscale, optional additive blend, mask, glitch, fade) into a 320 x 180
// target. Each runs with the scalar references and with the SSE2 paths.
#include "obj_scene.h"

#include <benchmark/benchmark.h>

namespace {

using namespace obj_scene;

// One step of the final chain alone over the 180 lines, to see where the chain's time goes.
enum final_step { upscale, additive_blend, mask, glitch, fade };

void BM_FinalStep(benchmark::State& state, const kernel_set* k) {
    scene_buffers b;
    blur_pass1(b, *k);
    blur_pass2(b, *k);
    const uintptr_t half_pitch = static_cast<uintptr_t>(b.half.pitch / 2);
    const fparm steps[] = {
        {k->bilinear, 2, 0, 0, half_pitch, 0, 0, 160},
        {k->salpha, 2, 1, 2, 0x808080, 0xFFFFFF, 0, 320},
        {k->modp8, 3, 2, 4, 0, 0, 0, 320},
        {k->rgbshift, 3, 3, 0, reinterpret_cast<uintptr_t>(b.glitch.data()), 0xFF00FF, 0, 320},
        {k->alphac, 3, 3, 0, 0x404040, 0x202020, 0, 320}};
    const fparm chain[] = {steps[state.range(0)], end_of_chain};
    for (auto _ : state) {
        flt_buf slots[] = {b.half.slot(b.half.pitch / 2), b.render.slot(b.render.pitch),
                           {b.line_a.data(), 0},          b.target.slot(b.target.pitch),
                           b.alpha.slot(b.alpha.pitch),   {nullptr, 0}};
        filter(chain, slots, 180);
        benchmark::ClobberMemory();
    }
}

void BM_BlurPass1(benchmark::State& state, const kernel_set* k) {
    scene_buffers b;
    for (auto _ : state) {
        blur_pass1(b, *k);
        benchmark::ClobberMemory();
    }
}

void BM_BlurPass2(benchmark::State& state, const kernel_set* k) {
    scene_buffers b;
    blur_pass1(b, *k);
    for (auto _ : state) {
        blur_pass2(b, *k);
        benchmark::ClobberMemory();
    }
}

void BM_FinalChain(benchmark::State& state, const kernel_set* k) {
    scene_buffers b;
    blur_pass1(b, *k);
    blur_pass2(b, *k);
    const bool additive = state.range(0);
    for (auto _ : state) {
        final_chain(b, *k, additive);
        benchmark::ClobberMemory();
    }
}

// Everything the filter does per kaleidoscope frame with blur on: both passes and the chain.
void BM_BlurAndFinalChain(benchmark::State& state, const kernel_set* k) {
    scene_buffers b;
    for (auto _ : state) {
        blur_pass1(b, *k);
        blur_pass2(b, *k);
        final_chain(b, *k, true);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK_CAPTURE(BM_BlurPass1, scalar, &scalar_kernels)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BlurPass2, scalar, &scalar_kernels)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FinalChain, scalar, &scalar_kernels)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BlurAndFinalChain, scalar, &scalar_kernels)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FinalStep, scalar, &scalar_kernels)
    ->DenseRange(upscale, fade)
    ->Unit(benchmark::kMicrosecond);
#ifdef __SSE2__
BENCHMARK_CAPTURE(BM_BlurPass1, sse2, &sse2_kernels)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BlurPass2, sse2, &sse2_kernels)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FinalChain, sse2, &sse2_kernels)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BlurAndFinalChain, sse2, &sse2_kernels)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FinalStep, sse2, &sse2_kernels)
    ->DenseRange(upscale, fade)
    ->Unit(benchmark::kMicrosecond);
#endif
