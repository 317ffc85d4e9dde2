// The table, swap and 15/16-bit converters, the line drivers and the choice of a converter for a
// pair of pixel formats.
#include "framebuffer/convert.h"

#include <vector>

#include "framebuffer/conv2x.h"
#include "framebuffer/convert_line.h"

using namespace convert_detail;

void qbx_convert_argb8888_abgr8888(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                   uintptr_t x) {
    convert_line<to_abgr8888, 1, 1>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb888(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<to_rgb888, 4, 1>(src, dst, count, x);
}
void qbx_convert_argb1555_argb8888(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                   uintptr_t x) {
    convert_line<argb1555_to_argb8888, 2, 1>(src, dst, count, x);
}
void qbx_convert_rgb565_argb8888(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<rgb565_to_argb8888, 2, 1>(src, dst, count, x);
}
void qbx_convert_rgb565_argb1555(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<rgb565_to_argb1555, 2, 1>(src, dst, count, x);
}
void qbx_convert_argb1555_rgb565(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<argb1555_to_rgb565, 2, 1>(src, dst, count, x);
}
void qbx_convert_16bpp_index8_xlat(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                   uintptr_t table) {
    convert_line<gray_table_lookup, 4, 1>(src, dst, count, table);
}
void qbx_convert_index8_argb8888(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                 uintptr_t palette) {
    convert_line<palette_lookup, 4, 1>(src, dst, count, palette);
}

// The lines-remaining word counts down to 1 on the last line. The pointers move on only between
// lines, so nothing points past the picture afterwards.
void qbx_convert(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height, uint32_t srcadd,
                 uint32_t dstadd, qbx_converter proc) {
    for (uint32_t lines = height; lines > 0; --lines) {
        proc(src, dst, width, lines);
        if (lines > 1) {
            src += srcadd;
            dst += dstadd;
        }
    }
}

void qbx_convert_8to32(uint8_t* dst, const uint8_t* src, uintptr_t palette, uint32_t width,
                       uint32_t height, uint32_t srcadd, uint32_t dstadd, qbx_converter proc) {
    for (uint32_t lines = height; lines > 0; --lines) {
        proc(src, dst, width, palette);
        if (lines > 1) {
            src += srcadd;
            dst += dstadd;
        }
    }
}

void qbx_convert_8toany(uint8_t* dst, const uint8_t* src, uint8_t* xlat, uintptr_t palette,
                        uint32_t width, uint32_t height, uint32_t srcadd, uint32_t dstadd,
                        qbx_converter proc) {
    for (uint32_t lines = height; lines > 0; --lines) {
        uint8_t* line = xlat;
        qbx_convert_index8_argb8888(src, line, width, palette);
        const uint8_t* argb = xlat;
        proc(argb, dst, width, lines);
        if (lines > 1) {
            src += srcadd;
            dst += dstadd;
        }
    }
}

uint32_t qbx_converter_group(qbx_converter proc, uint32_t srcbpp) {
    constexpr uint32_t largest_group = 8;
    // Zero pixels, room for them doubled at four bytes each, and a table as large as the biggest
    // (the grey table) for the table converters.
    std::vector<uint8_t> src(largest_group * 4), dst(largest_group * 2 * 4), table(65536);
    const uint32_t bytes = (srcbpp + 7) / 8;
    for (uint32_t count = 1; count < largest_group; ++count) {
        const uint8_t* s = src.data();
        uint8_t* d = dst.data();
        proc(s, d, count, reinterpret_cast<uintptr_t>(table.data()));
        if (s == src.data() + size_t(count) * bytes)
            return count;
    }
    return largest_group;
}

namespace {

// Flag bits read and added by qbx_get_converter.
constexpr uint32_t MODE_SIMD = 0x00001000;
constexpr uint32_t CONV_DOUBLE = 0x10000000;
constexpr uint32_t CONV_DITHER = 0x80000000;
constexpr uint32_t CONV_TABLE = 0x00010000;    // pixels are looked up in a table
constexpr uint32_t CONV_CONVERTS = 0x00020000; // a converting procedure, not a copy
constexpr uint32_t CONV_VIA_XLAT = 0x00400000; // 8-bit picture: to argb8888 in `xlat` first
constexpr uint32_t CONV_NO_ROUTE = 0x00800000; // no procedure for this pair: presenting fails

// The display formats the table knows.
enum class display { std32, bgr32, rgb24, rgb555, rgb565, index8, other };

display classify(uint32_t bpp, uint32_t r, uint32_t g, uint32_t b) {
    if (bpp == 8)
        return display::index8;
    if (bpp == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF)
        return display::std32;
    if (bpp == 32 && r == 0xFF && g == 0xFF00 && b == 0xFF0000)
        return display::bgr32;
    if (bpp == 24 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF)
        return display::rgb24;
    if (bpp == 16 && r == 0x7C00 && g == 0x3E0 && b == 0x1F)
        return display::rgb555;
    if (bpp == 16 && r == 0xF800 && g == 0x7E0 && b == 0x1F)
        return display::rgb565;
    return display::other;
}

// One procedure in its single and doubling form, picked by the doubling bit.
qbx_converter pick(bool doubled, qbx_converter single, qbx_converter twice) {
    return doubled ? twice : single;
}

// The copies for pictures in the display's own format: SIMD, else the 64-bit block copy where it
// is safe, else the 32-bit one. Doubling always converts.
qbx_converter copy_for(uint32_t bpp, bool simd, bool doubled) {
    if (doubled) {
        if (bpp == 32)
            return simd ? qbx_mmx_memcpy_32bpp_2x : qbx_memcpy_32bpp_2x;
        return bpp == 16 ? qbx_convert_16bpp_2x : qbx_convert_index8_2x;
    }
    using copy = qbx_converter;
    const copy simd_copy[] = {qbx_mmx_memcpy, qbx_mmx_memcpy_16bpp, qbx_mmx_memcpy_32bpp};
    const copy word_copy[] = {qbx_memcpy, qbx_memcpy_16bpp, qbx_memcpy_32bpp};
    const copy fpu_copy[] = {qbx_fpu_memcpy, qbx_fpu_memcpy_16bpp, qbx_fpu_memcpy_32bpp};
    const int which = bpp == 8 ? 0 : bpp == 16 ? 1 : 2;
    if (simd)
        return simd_copy[which];
    return qbx_test_fpu_memcpy() ? word_copy[which] : fpu_copy[which];
}

// A 32-bit picture on `shown`.
qbx_converter from_argb8888(display shown, uint32_t& convflags, bool simd, bool doubled) {
    const bool dither = (convflags & CONV_DITHER) != 0;
    switch (shown) {
    case display::std32:
        return copy_for(32, simd, doubled);
    case display::bgr32:
        convflags |= CONV_CONVERTS;
        return pick(doubled, qbx_convert_argb8888_abgr8888, qbx_convert_argb8888_abgr8888_2x);
    case display::rgb24:
        convflags |= CONV_CONVERTS;
        return pick(doubled, qbx_convert_argb8888_rgb888, qbx_convert_argb8888_rgb888_2x);
    case display::rgb555:
        convflags |= CONV_CONVERTS;
        if (simd && dither)
            return pick(doubled, qbx_convert_argb8888_rgb555d_mmx,
                        qbx_convert_argb8888_rgb555d_mmx_2x);
        if (simd)
            return pick(doubled, qbx_convert_argb8888_rgb555_mmx,
                        qbx_convert_argb8888_rgb555_mmx_2x);
        return pick(doubled, qbx_convert_argb8888_rgb555, qbx_convert_argb8888_rgb555_2x);
    case display::rgb565:
        convflags |= CONV_CONVERTS;
        if (simd && dither)
            return pick(doubled, qbx_convert_argb8888_rgb565d_mmx,
                        qbx_convert_argb8888_rgb565d_mmx_2x);
        if (simd)
            return pick(doubled, qbx_convert_argb8888_rgb565_mmx,
                        qbx_convert_argb8888_rgb565_mmx_2x);
        return pick(doubled, qbx_convert_argb8888_rgb565, qbx_convert_argb8888_rgb565_2x);
    case display::index8:
        convflags |= CONV_CONVERTS;
        if ((convflags & 0xFFFF) != 1)
            return nullptr;
        if (doubled)
            return qbx_convert_argb8888_gray8_2x;
        return simd ? qbx_convert_argb8888_gray8_mmx : qbx_convert_argb8888_gray8;
    case display::other:
        break;
    }
    return nullptr;
}

// A 15-bit (`own` = rgb555) or 16-bit (`own` = rgb565) picture on `shown`.
qbx_converter from_16bit(display own, display shown, uint32_t& convflags, bool simd, bool doubled) {
    const bool is555 = own == display::rgb555;
    if (shown == own)
        return copy_for(16, simd, doubled);
    switch (shown) {
    case display::std32:
        convflags |= CONV_CONVERTS;
        return is555
                   ? pick(doubled, qbx_convert_argb1555_argb8888, qbx_convert_argb1555_argb8888_2x)
                   : pick(doubled, qbx_convert_rgb565_argb8888, qbx_convert_rgb565_argb8888_2x);
    case display::rgb555:
    case display::rgb565:
        convflags |= CONV_CONVERTS;
        return is555 ? pick(doubled, qbx_convert_argb1555_rgb565, qbx_convert_argb1555_rgb565_2x)
                     : pick(doubled, qbx_convert_rgb565_argb1555, qbx_convert_rgb565_argb1555_2x);
    case display::index8:
        convflags |= CONV_TABLE | CONV_CONVERTS;
        return pick(doubled, qbx_convert_16bpp_index8_xlat, qbx_convert_16bpp_index8_xlat_2x);
    default:
        // Only a 32-bit picture could be shown here; presenting refuses it.
        convflags |= CONV_NO_ROUTE | CONV_TABLE | CONV_CONVERTS;
        return from_argb8888(shown, convflags, simd, doubled);
    }
}

} // namespace

qbx_converter qbx_get_converter(uint32_t srcbpp, uint32_t dstbpp, uint32_t r_mask, uint32_t g_mask,
                                uint32_t b_mask, uint32_t& convflags, uint32_t& flags) {
    const bool simd = (flags & MODE_SIMD) != 0;
    const bool doubled = (convflags & CONV_DOUBLE) != 0;
    const display shown = classify(dstbpp, r_mask, g_mask, b_mask);
    switch (srcbpp) {
    case 8:
        if (shown == display::index8)
            return copy_for(8, simd, doubled);
        if (shown == display::std32) {
            convflags |= CONV_TABLE | CONV_CONVERTS;
            return pick(doubled, qbx_convert_index8_argb8888, qbx_convert_index8_argb8888_2x);
        }
        convflags |= CONV_VIA_XLAT | CONV_TABLE | CONV_CONVERTS;
        return from_argb8888(shown, convflags, simd, doubled);
    case 15:
        return from_16bit(display::rgb555, shown, convflags, simd, doubled);
    case 16:
        return from_16bit(display::rgb565, shown, convflags, simd, doubled);
    case 32:
        return from_argb8888(shown, convflags, simd, doubled);
    default:
        return nullptr;
    }
}
