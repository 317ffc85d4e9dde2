#pragma once
// Pixel format converters: each turns one line of source pixels into one line of display pixels.
// The doubling forms and their line drivers are in conv2x.h.
#include <cstdint>

// A line converter. Converts `count` source pixels (the byte routines: bytes) from `src` to `dst`
// and leaves both pointers just past the bytes it read and wrote. `extra` is the table for table
// converters (palette entries or the grey table), the number of lines still to convert for the
// dithered converters (its lowest bit picks the dither row), and unused by the others.
// Each converter works in fixed groups of pixels and leaves a remainder smaller than its group
// untouched (neither read nor written).
using qbx_converter = void (*)(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);

// The converter for a picture of `srcbpp` bits per pixel (8, 15, 16 or 32) on a display of `dstbpp`
// bits with the given channel masks, or null when there is none. Reads `flags` (0x1000: SIMD
// allowed) and `convflags` (0x10000000: double horizontally; 0x80000000: dither; low 16 bits) and
// adds the conversion bits to `convflags`.
qbx_converter qbx_get_converter(uint32_t srcbpp, uint32_t dstbpp, uint32_t r_mask, uint32_t g_mask,
                                uint32_t b_mask, uint32_t& convflags, uint32_t& flags);

// The pixel group of a converter for a picture of `srcbpp` bits per pixel: the smallest count of
// pixels (1 to 8) that it converts whole, found by running it on a few zero pixels.
uint32_t qbx_converter_group(qbx_converter proc, uint32_t srcbpp);

// True when the 64-bit block copy (qbx_fpu_memcpy) must not be used: its copy of a test pattern
// differs, or the processor is family 4 or older, or qbx_flags has QBX_FLAG_OLDCPU.
bool qbx_test_fpu_memcpy();

// Byte copies and fills, each (destination, source or value, byte count). The copies copy exactly
// `bytes` bytes; the fills write every whole 32-bit word of `bytes` with `value`.
void qbx_memcpy(void* dst, const void* src, uint32_t bytes);     // 32-byte blocks of 32-bit moves
void qbx_fpu_memcpy(void* dst, const void* src, uint32_t bytes); // 16-byte blocks of 64-bit moves
void qbx_mmx_memcpy(void* dst, const void* src, uint32_t bytes); // 32-byte blocks, SIMD
void qbx_memset(void* dst, uint32_t value, uint32_t bytes);      // 32-byte blocks
void qbx_mmx_memset(void* dst, uint32_t value, uint32_t bytes);  // 16-byte blocks, SIMD

// The copies as converters: the byte forms take a byte count, the pixel forms a pixel count that
// they truncate to a multiple of 4 (32-bit) or 2 (16-bit) pixels. The byte forms share their
// names with the plain copies; `qbx_converter c = qbx_memcpy;` picks the converter.
void qbx_memcpy(const uint8_t*& src, uint8_t*& dst, uint32_t bytes, uintptr_t extra);
void qbx_fpu_memcpy(const uint8_t*& src, uint8_t*& dst, uint32_t bytes, uintptr_t extra);
void qbx_mmx_memcpy(const uint8_t*& src, uint8_t*& dst, uint32_t bytes, uintptr_t extra);
void qbx_memcpy_32bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);
void qbx_memcpy_16bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);
void qbx_fpu_memcpy_32bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);
void qbx_fpu_memcpy_16bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);
void qbx_mmx_memcpy_32bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);
void qbx_mmx_memcpy_16bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra);

// Converters, one line each; the group size (pixels per step) is in brackets.
// argb8888 -> abgr8888, red and blue swapped [1].
void qbx_convert_argb8888_abgr8888(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
// argb8888 -> rgb888, three bytes per pixel [4].
void qbx_convert_argb8888_rgb888(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
// argb8888 -> rgb555 / rgb565, truncating [2].
void qbx_convert_argb8888_rgb555(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
void qbx_convert_argb8888_rgb565(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
// The same, SIMD [4].
void qbx_convert_argb8888_rgb555_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
void qbx_convert_argb8888_rgb565_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
// Dithered, SIMD [4]; `lines` is the lines-remaining word.
void qbx_convert_argb8888_rgb555d_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t lines);
void qbx_convert_argb8888_rgb565d_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t lines);
// argb8888 -> gray8: (R >> 2) + (G >> 1) + (B >> 2) [4].
void qbx_convert_argb8888_gray8(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
// argb8888 -> gray8, SIMD: (54 R + 184 G + 18 B) >> 8 [8].
void qbx_convert_argb8888_gray8_mmx(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
// 15/16-bit conversions [2].
void qbx_convert_argb1555_argb8888(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
void qbx_convert_rgb565_argb8888(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
void qbx_convert_rgb565_argb1555(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
void qbx_convert_argb1555_rgb565(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);
// 16-bit pixels -> bytes through a 65536-byte table at `table` [4].
void qbx_convert_16bpp_index8_xlat(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                   uintptr_t table);
// index8 -> argb8888 through 256 palette words at `palette` [4].
void qbx_convert_index8_argb8888(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                 uintptr_t palette);

// Line drivers: run `proc` over `height` lines. After each line `src` and `dst` advance by `srcadd`
// and `dstadd` from where `proc` left them (pitch minus the bytes of `width` pixels). `proc` gets
// the number of lines still to convert as its extra word (qbx_convert), or the palette. `width`
// should be a multiple of the converter's group (8 suits all of them): a remainder is skipped, so
// the next line would start that many pixels early.
void qbx_convert(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcadd,
                 uint32_t dstadd, qbx_converter proc);
void qbx_convert_8to32(uint8_t* dst, const uint8_t* src, uintptr_t palette, uint32_t width,
                       uint32_t height, uint32_t srcadd, uint32_t dstadd, qbx_converter proc);
// For an 8-bit picture on a display that takes argb8888-source converters: each line goes to
// argb8888 in `xlat` (room for `width` pixels) through `palette`, then through `proc`.
void qbx_convert_8toany(uint8_t* dst, const uint8_t* src, uint8_t* xlat, uintptr_t palette,
                        uint32_t width, uint32_t height, uint32_t srcadd, uint32_t dstadd,
                        qbx_converter proc);
