// The filter driver and kernels at the demo's sizes, set up the way the scenes run them: the two
// blur passes (320 x 180 into a 90 x 160 transposed half picture and back into 160 x 90) and the
// final 180-line chain (upscale, optional additive blend, mask, glitch, fade) into a 320 x 180
// target. Each runs with the scalar references and with the SSE2 paths; a memcpy of a 320 x 180
// frame is the yardstick.
#include "obj/filter.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

struct kernel_set {
    flt_kernel blur_half, blur, bilinear, salpha, modp8, rgbshift, alphac;
};

const kernel_set scalar_kernels{detail::flt_blur_h_half_tr_clamp_scalar,
                                detail::flt_blur_h_tr_clamp_scalar,
                                detail::flt_bilinear_2x2_scalar,
                                detail::flt_salpha_scalar,
                                detail::flt_modp8_scalar,
                                detail::flt_rgbshift_avg_t_scalar,
                                detail::flt_alphac_scalar};
#ifdef __SSE2__
const kernel_set sse2_kernels{detail::flt_blur_h_half_tr_clamp_sse2,
                              detail::flt_blur_h_tr_clamp_sse2,
                              detail::flt_bilinear_2x2_sse2,
                              detail::flt_salpha_sse2,
                              detail::flt_modp8_sse2,
                              detail::flt_rgbshift_avg_t_sse2,
                              detail::flt_alphac_sse2};
#endif

const fparm end_of_chain{nullptr, 0, 0, 0, 0, 0, 0, 0};

// One image: `height` lines of `pitch` bytes.
struct image {
    std::vector<uint8_t> mem;
    int32_t pitch;
    image(int32_t pitch, int32_t height) : mem(static_cast<size_t>(pitch) * height), pitch(pitch) {}
    uint8_t* data() { return mem.data(); }
    flt_buf slot(int32_t advance) { return {data(), advance, data(), data() + mem.size()}; }
};

// The scenes' surfaces and line buffers, filled with a picture.
struct scene_buffers {
    image render{2048, 180};
    image half_t{96 * 4, 160};
    image half{160 * 4, 96};
    image target{320 * 4, 180};
    image alpha{320, 180};
    std::vector<uint8_t> line_a = std::vector<uint8_t>(1296), line_b = std::vector<uint8_t>(1296);
    std::vector<flt_rgbsh> glitch = std::vector<flt_rgbsh>(180);

    scene_buffers() {
        uint32_t s = 12345;
        auto next = [&] { return s = s * 1103515245u + 12345u, s >> 16; };
        for (uint8_t& b : render.mem)
            b = static_cast<uint8_t>(next());
        for (uint8_t& b : alpha.mem)
            b = static_cast<uint8_t>(next());
        // blocks of lines with a shift of 8 .. 23 pixels and a random channel mask
        for (size_t i = 0; i < glitch.size(); i += 5)
            for (size_t k = i; k < i + 5 && k < glitch.size(); ++k)
                glitch[k] = {(next() & 1 ? 0xFF0000u : 0) | (next() & 1 ? 0xFF00u : 0) | 0xFFu, 0,
                             static_cast<int32_t>(8 + next() % 16), 0};
    }
};

constexpr int32_t blur_width = 3; // "blur#blurWidth"

void blur_pass1(scene_buffers& b, const kernel_set& k) {
    flt_buf slots[] = {b.half_t.slot(2),
                       b.render.slot(b.render.pitch),
                       {b.line_a.data(), 0},
                       {b.line_b.data(), 0},
                       {nullptr, 0}};
    const fparm chain[] = {{k.blur_half, 0, 1, 0, blur_width, 0xFFFF / (2 * blur_width),
                            static_cast<uintptr_t>(b.half_t.pitch), 320},
                           end_of_chain};
    filter(chain, slots, 180);
}

void blur_pass2(scene_buffers& b, const kernel_set& k) {
    flt_buf slots[] = {b.half.slot(4),
                       b.half_t.slot(b.half_t.pitch),
                       {b.line_a.data(), 0},
                       {b.line_b.data(), 0},
                       {nullptr, 0}};
    const fparm chain[] = {{k.blur, 0, 1, 0, blur_width, 0xFFFF / (2 * blur_width),
                            static_cast<uintptr_t>(b.half.pitch), 90},
                           end_of_chain};
    filter(chain, slots, 160);
}

void final_chain(scene_buffers& b, const kernel_set& k, bool additive) {
    flt_buf slots[] = {b.half.slot(b.half.pitch / 2), b.render.slot(b.render.pitch),
                       {b.line_a.data(), 0},          b.target.slot(b.target.pitch),
                       b.alpha.slot(b.alpha.pitch),   {nullptr, 0}};
    const uintptr_t half_pitch = static_cast<uintptr_t>(b.half.pitch / 2);
    fparm chain[16] = {};
    int n = 0;
    chain[n++] = {k.bilinear, 2, 0, 0, half_pitch, 0, 0, 160};
    if (additive)
        chain[n++] = {k.salpha, 2, 1, 2, 0x808080, 0xFFFFFF, 0, 320};
    chain[n++] = {k.modp8, 3, 2, 4, 0, 0, 0, 320};
    chain[n++] = {k.rgbshift, 3, 3,  0, reinterpret_cast<uintptr_t>(b.glitch.data()),
                  0xFF00FF,   0, 320};
    chain[n++] = {k.alphac, 3, 3, 0, 0x404040, 0x202020, 0, 320};
    filter(chain, slots, 180);
}

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

void BM_FrameMemcpy(benchmark::State& state) {
    std::vector<uint8_t> from(320 * 180 * 4, 7), to(320 * 180 * 4);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
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
BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMicrosecond);
