#pragma once
// The doubling converters, which write every source pixel twice (2n destination pixels for n
// source pixels), and the line drivers that also write every source line twice.
#include "framebuffer/convert.h"

// Group sizes (source pixels per step) in brackets.
void qbx_memcpy_32bpp_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);     // [8]
void qbx_mmx_memcpy_32bpp_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t); // [8]
void qbx_convert_16bpp_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);    // [2]
void qbx_convert_index8_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t);   // [4]

void qbx_convert_argb8888_abgr8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t); // [1]
void qbx_convert_argb8888_rgb888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t); // [2]
void qbx_convert_argb8888_rgb555_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t); // [1]
void qbx_convert_argb8888_rgb565_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t); // [1]
void qbx_convert_argb8888_rgb555_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                        uintptr_t); // [2]
void qbx_convert_argb8888_rgb565_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                        uintptr_t); // [2]
// The two copies of a pixel get the even and the odd dither offset [2].
void qbx_convert_argb8888_rgb555d_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                         uintptr_t lines);
void qbx_convert_argb8888_rgb565d_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                         uintptr_t lines);
void qbx_convert_argb8888_gray8_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                   uintptr_t); // [2]
void qbx_convert_argb8888_gray8_mmx_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                       uintptr_t); // [8]
void qbx_convert_argb1555_argb8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t); // [2]
void qbx_convert_rgb565_argb8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t); // [2]
void qbx_convert_rgb565_argb1555_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t); // [2]
void qbx_convert_argb1555_rgb565_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t); // [2]
void qbx_convert_16bpp_index8_xlat_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t table); // [2]
void qbx_convert_index8_argb8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t palette); // [4]

// The doubling line drivers: the arguments of qbx_convert, qbx_convert_8to32 and
// qbx_convert_8toany, with `height` counting source lines. Each source line is converted twice,
// into two consecutive destination lines; the lines-remaining word starts at 2 x `height` and
// counts destination lines, so the two copies of a line get different dither rows.
void qbx_convert_2x(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height,
                    uint32_t srcadd, uint32_t dstadd, qbx_converter proc);
void qbx_convert_8to32_2x(uint8_t* dst, const uint8_t* src, uintptr_t palette, uint32_t width,
                          uint32_t height, uint32_t srcadd, uint32_t dstadd, qbx_converter proc);
void qbx_convert_8toany_2x(uint8_t* dst, const uint8_t* src, uint8_t* xlat, uintptr_t palette,
                           uint32_t width, uint32_t height, uint32_t srcadd, uint32_t dstadd,
                           qbx_converter proc);
