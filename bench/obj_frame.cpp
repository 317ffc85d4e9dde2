// One whole kaleidoscope frame of kernel work, in the scene's order and at its sizes: the border
// lines cleared, the grid map, an overlay of 110 sprites (every other cell), five light bars, the
// radial blur, both blur passes and the final chain with the additive blend, mask, glitch and
// fade. A memcpy of a 320 x 180 frame, measured in the same run, is the yardstick.
#include "min_statistic.h"
#include "obj_scene.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

using namespace obj_scene;

constexpr int sprite_size = 16, sprite_columns = 20, sprite_rows = 11;

void overlay_sprites(scene_buffers& b, const kernel_set& k) {
    for (int row = 0; row < sprite_rows; ++row) {
        for (int column = 0; column < sprite_columns; ++column) {
            if ((row + column) % 2)
                continue;
            uint8_t* dst = b.render.line(2 + row * sprite_size) + column * sprite_size * 4;
            const uint8_t* sprite = b.overlay.line(sprite_size * (column % 2));
            k.flare(dst, sprite, sprite_size, sprite_size / 2, b.render.pitch - sprite_size * 4, 0,
                    0x808080);
        }
    }
}

void light_bars(scene_buffers& b, const kernel_set& k) {
    for (int y : {13, 47, 90, 122, 171})
        k.add(b.render.line(y), b.render.line(y), 320 * 4, 0x303030);
}

void radial_blur(scene_buffers& b, const kernel_set& k) {
    const int step = 31232 + 256;                        // "radialBlur#scale" 256
    const uint32_t current = 32u << 16 | 48u << 8 | 72u; // strength 2
    const uint32_t sample = (256u - 32u) << 16 | (256u - 48u) << 8 | (256u - 72u);
    k.rblur(b.render.data(), b.render.data(), 320, 180, step, step, sample, current);
}

void kaleidoscope_frame(scene_buffers& b, const kernel_set& k) {
    for (int y : {0, 1, 178, 179})
        std::memset(b.render.line(y), 0, b.render.pitch);
    k.grid256(b.render.line(2), b.nodes.data(), b.texture.data(), cell_rows);
    overlay_sprites(b, k);
    light_bars(b, k);
    radial_blur(b, k);
    blur_pass1(b, k);
    blur_pass2(b, k);
    final_chain(b, k, true);
}

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
