#pragma once
// The scenes' kernel work, set up the way they run it, for the kernel benchmarks: their surfaces
// and line buffers, their grids, and the kernel sets (scalar references or SSE2 paths).
#include "obj/filter.h"
#include "obj/gridlerp.h"
#include "obj/rblur.h"
#include "obj/sprdraw.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

namespace obj_scene {

using Mapper = void (*)(void*, const grid*, const void*, int);
using Blender = void (*)(void*, const void*, int, int, int, int, uint32_t);
using RadialBlur = void (*)(const void*, void*, int, int, int, int, uint32_t, uint32_t);
using LineAdd = void (*)(uint8_t*, const uint8_t*, size_t, uint32_t);

struct kernel_set {
    Mapper grid256, grid512;
    Blender flare;
    RadialBlur rblur;
    LineAdd add;
    flt_kernel blur_half, blur, bilinear, salpha, modp8, rgbshift, alphac;
};

inline const kernel_set scalar_kernels{grid_tmap_8b_scalar,
                                       grid_tmap_8b_512x256_scalar,
                                       flare_addmul_scalar,
                                       rblur_c_bl_alpha_scalar,
                                       detail::flt_add_scalar,
                                       detail::flt_blur_h_half_tr_clamp_scalar,
                                       detail::flt_blur_h_tr_clamp_scalar,
                                       detail::flt_bilinear_2x2_scalar,
                                       detail::flt_salpha_scalar,
                                       detail::flt_modp8_scalar,
                                       detail::flt_rgbshift_avg_t_scalar,
                                       detail::flt_alphac_scalar};
#ifdef __SSE2__
inline const kernel_set sse2_kernels{grid_tmap_8b_sse2,
                                     grid_tmap_8b_512x256_sse2,
                                     flare_addmul_sse2,
                                     rblur_c_bl_alpha_sse2,
                                     detail::flt_add_sse2,
                                     detail::flt_blur_h_half_tr_clamp_sse2,
                                     detail::flt_blur_h_tr_clamp_sse2,
                                     detail::flt_bilinear_2x2_sse2,
                                     detail::flt_salpha_sse2,
                                     detail::flt_modp8_sse2,
                                     detail::flt_rgbshift_avg_t_sse2,
                                     detail::flt_alphac_sse2};
#endif

constexpr int cell_rows = 22;
constexpr int node_rows = cell_rows + 1;

// A folded, rotated polar grid like the kaleidoscope's: eight mirrored wedges, one texture width
// per unit of radius.
inline std::vector<grid> kaleidoscope_nodes() {
    const double seg = std::numbers::pi / 4, rot = 0.7, scale = 65536.0 * 0.8;
    std::vector<grid> nodes;
    for (int j = 0; j < node_rows; ++j) {
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

// A sine wobble over a 512-wide picture, like the bitmap distortion's.
inline std::vector<grid> distortion_nodes() {
    const double k = 65536.0 * 0.9, t = 3.7;
    std::vector<grid> nodes;
    for (int j = 0; j < node_rows; ++j) {
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

// Deterministic noise for pictures and tables.
struct noise {
    uint32_t s = 12345;
    uint32_t next() { return s = s * 1103515245u + 12345u, s >> 16; }
    void fill(std::vector<uint8_t>& bytes) {
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(next());
    }
};

// One image: `height` lines of `pitch` bytes.
struct image {
    std::vector<uint8_t> mem;
    int32_t pitch;
    image(int32_t pitch, int32_t height) : mem(static_cast<size_t>(pitch) * height), pitch(pitch) {}
    uint8_t* data() { return mem.data(); }
    uint8_t* line(int y) { return data() + static_cast<size_t>(pitch) * y; }
    flt_buf slot(int32_t advance) { return {data(), advance, data(), data() + mem.size()}; }
};

// The scenes' surfaces, textures and line buffers, filled with pictures.
struct scene_buffers {
    image render{2048, 180};
    image half_t{96 * 4, 160};
    image half{160 * 4, 96};
    image target{320 * 4, 180};
    image alpha{320, 180};
    image texture{256 * 4, 257};
    image overlay{16 * 4, 32}; // two 16 x 16 sprites
    std::vector<uint8_t> line_a = std::vector<uint8_t>(1296), line_b = std::vector<uint8_t>(1296);
    std::vector<flt_rgbsh> glitch = std::vector<flt_rgbsh>(180);
    std::vector<grid> nodes = kaleidoscope_nodes();
    image texture512{512 * 4, 257};
    image logo{64 * 4, 32};
    std::vector<grid> wobble = distortion_nodes();

    scene_buffers() {
        noise n;
        for (image* picture : {&render, &alpha, &texture, &overlay})
            n.fill(picture->mem);
        // blocks of lines with a shift of 8 .. 23 pixels and a random channel mask
        for (size_t i = 0; i < glitch.size(); i += 5)
            for (size_t k = i; k < i + 5 && k < glitch.size(); ++k)
                glitch[k] = {(n.next() & 1 ? 0xFF0000u : 0) | (n.next() & 1 ? 0xFF00u : 0) | 0xFFu,
                             0, static_cast<int32_t>(8 + n.next() % 16), 0};
        for (image* picture : {&texture512, &logo})
            n.fill(picture->mem);
    }
};

constexpr int32_t blur_width = 3; // "blur#blurWidth"

inline const fparm end_of_chain{nullptr, 0, 0, 0, 0, 0, 0, 0};

// 320 x 180 blurred horizontally into the 90 x 160 transposed half picture.
inline void blur_pass1(scene_buffers& b, const kernel_set& k) {
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

// The other direction, transposed back into the 160 x 90 half picture.
inline void blur_pass2(scene_buffers& b, const kernel_set& k) {
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

// The 180-line chain into the target: upscale, optional additive blend, mask, glitch, fade.
inline void final_chain(scene_buffers& b, const kernel_set& k, bool additive) {
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

constexpr int sprite_size = 16, sprite_columns = 20, sprite_rows = 11;

inline void overlay_sprites(scene_buffers& b, const kernel_set& k) {
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

inline void light_bars(scene_buffers& b, const kernel_set& k) {
    for (int y : {13, 47, 90, 122, 171})
        k.add(b.render.line(y), b.render.line(y), 320 * 4, 0x303030);
}

inline void radial_blur(scene_buffers& b, const kernel_set& k) {
    const int step = 31232 + 256;                        // "radialBlur#scale" 256
    const uint32_t current = 32u << 16 | 48u << 8 | 72u; // strength 2
    const uint32_t sample = (256u - 32u) << 16 | (256u - 48u) << 8 | (256u - 72u);
    k.rblur(b.render.data(), b.render.data(), 320, 180, step, step, sample, current);
}

// One whole kaleidoscope frame of kernel work, in the scene's order and at its sizes: the border
// lines cleared, the grid map, an overlay of 110 sprites (every other cell), five light bars, the
// radial blur, both blur passes and the final chain with the additive blend, mask, glitch and
// fade.
inline void kaleidoscope_frame(scene_buffers& b, const kernel_set& k) {
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

// One whole bitmap distortion frame of kernel work: as the kaleidoscope's, with the 512-wide
// picture through the wobbling grid, a 64 x 32 logo added in the centre and no additive blend.
inline void distortion_frame(scene_buffers& b, const kernel_set& k) {
    for (int y : {0, 1, 178, 179})
        std::memset(b.render.line(y), 0, b.render.pitch);
    k.grid512(b.render.line(2), b.wobble.data(), b.texture512.data(), cell_rows);
    overlay_sprites(b, k);
    light_bars(b, k);
    k.flare(b.render.line(74) + 128 * 4, b.logo.data(), 32, 32, b.render.pitch - b.logo.pitch, 0,
            0x404040);
    radial_blur(b, k);
    blur_pass1(b, k);
    blur_pass2(b, k);
    final_chain(b, k, false);
}

} // namespace obj_scene
