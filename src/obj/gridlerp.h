#pragma once
// Grid texture mapper: fills 40 x `cellRows` cells of 8 x 8 pixels with a bilinearly filtered
// texture, the texel coordinates interpolated linearly inside each cell from a coarse node grid.
#include <cstdint>

// One grid node: texel coordinates in 8.8 fixed point (256 = one texel). Only the low bits of u
// and v count (the texture wraps). `levels` belongs to the lit mappers; the bilinear ones ignore
// it.
struct grid {
    int32_t u;
    int32_t v;
    int16_t levels[4];
};
static_assert(sizeof(grid) == 16, "a node is four 32-bit words");

// Nodes per grid row: one more than the 40 cells of a line.
inline constexpr int grid_nodes_per_row = 41;

// Draws `cellRows` rows of 40 cells into `dst` (32-bit pixels, lines 2048 bytes apart, 320 pixels
// and 8 lines per cell row written). `nodes` holds 41 x (cellRows + 1) nodes, row by row. The
// texture is 256 x 257 texels (grid_tmap_8b) or 512 x 257 (grid_tmap_8b_512x256), rows without
// padding; its last row repeats the first so that the texture wraps seamlessly downwards.
void grid_tmap_8b(void* dst, const grid* nodes, const void* texture, int cellRows);
void grid_tmap_8b_512x256(void* dst, const grid* nodes, const void* texture, int cellRows);

// The two forms behind the entry points above, exposed so that they can be compared.
void grid_tmap_8b_scalar(void* dst, const grid* nodes, const void* texture, int cellRows);
void grid_tmap_8b_512x256_scalar(void* dst, const grid* nodes, const void* texture, int cellRows);
#if defined(__SSE2__)
void grid_tmap_8b_sse2(void* dst, const grid* nodes, const void* texture, int cellRows);
void grid_tmap_8b_512x256_sse2(void* dst, const grid* nodes, const void* texture, int cellRows);
#endif
