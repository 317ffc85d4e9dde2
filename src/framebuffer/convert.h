#pragma once
// Pixel format converters: each turns one line of source pixels into one line of display pixels.
#include <cstdint>

// A line converter. Converts `count` source pixels (the byte routines: bytes) from `src` to `dst`
// and leaves both pointers just past the bytes it read and wrote. `extra` is the table for table
// converters (palette entries or the grey table), the number of lines still to convert for the
// dithered converters (its lowest bit picks the dither row), and unused by the others.
using qbx_converter = void (*)(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);

// The converter for a picture of `srcbpp` bits per pixel (8, 15, 16 or 32) on a display of `dstbpp`
// bits with the given channel masks, or null when there is none. Reads `flags` (0x1000: SIMD
// allowed) and `convflags` (0x10000000: double horizontally; 0x80000000: dither; low 16 bits) and
// adds the conversion bits to `convflags`.
qbx_converter qbx_get_converter(uint32_t srcbpp, uint32_t dstbpp, uint32_t r_mask, uint32_t g_mask,
                                uint32_t b_mask, uint32_t& convflags, uint32_t& flags);
