// The doubling forms of the table, swap and 15/16-bit converters, and the doubling line drivers.
#include "framebuffer/conv2x.h"

#include "framebuffer/convert_line.h"

using namespace convert_detail;

void qbx_convert_argb8888_abgr8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t x) {
    convert_line<to_abgr8888, 1, 2>(src, dst, count, x);
}
void qbx_convert_argb8888_rgb888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t x) {
    convert_line<to_rgb888, 2, 2>(src, dst, count, x);
}
void qbx_convert_argb1555_argb8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t x) {
    convert_line<argb1555_to_argb8888, 2, 2>(src, dst, count, x);
}
void qbx_convert_rgb565_argb8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t x) {
    convert_line<rgb565_to_argb8888, 2, 2>(src, dst, count, x);
}
void qbx_convert_rgb565_argb1555_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t x) {
    convert_line<rgb565_to_argb1555, 2, 2>(src, dst, count, x);
}
void qbx_convert_argb1555_rgb565_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t x) {
    convert_line<argb1555_to_rgb565, 2, 2>(src, dst, count, x);
}
void qbx_convert_16bpp_index8_xlat_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                      uintptr_t table) {
    convert_line<gray_table_lookup, 2, 2>(src, dst, count, table);
}
void qbx_convert_index8_argb8888_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count,
                                    uintptr_t palette) {
    convert_line<palette_lookup, 4, 2>(src, dst, count, palette);
}

namespace {

// Converts `height` source lines twice each. `convert_line(dst, lines)` converts the current
// source line into `dst` and leaves `dst` where the converter left it.
template <typename ConvertLine>
void double_lines(uint8_t* dst, const uint8_t*& src, uint32_t height, uint32_t srcadd,
                  uint32_t dstadd, ConvertLine convert_line) {
    for (uint32_t lines = 2 * height; lines > 0; lines -= 2) {
        const uint8_t* line = src;
        convert_line(dst, lines);
        dst += dstadd;
        src = line;
        convert_line(dst, lines - 1);
        if (lines > 2) {
            src += srcadd;
            dst += dstadd;
        }
    }
}

} // namespace

void qbx_convert_2x(uint8_t* dst, const uint8_t* src, uint32_t width, uint32_t height,
                    uint32_t srcadd, uint32_t dstadd, qbx_converter proc) {
    double_lines(dst, src, height, srcadd, dstadd,
                 [&](uint8_t*& d, uint32_t lines) { proc(src, d, width, lines); });
}

void qbx_convert_8to32_2x(uint8_t* dst, const uint8_t* src, uintptr_t palette, uint32_t width,
                          uint32_t height, uint32_t srcadd, uint32_t dstadd, qbx_converter proc) {
    double_lines(dst, src, height, srcadd, dstadd,
                 [&](uint8_t*& d, uint32_t) { proc(src, d, width, palette); });
}

// The source line goes to argb8888 in `xlat` once; both destination lines come from there.
void qbx_convert_8toany_2x(uint8_t* dst, const uint8_t* src, uint8_t* xlat, uintptr_t palette,
                           uint32_t width, uint32_t height, uint32_t srcadd, uint32_t dstadd,
                           qbx_converter proc) {
    for (uint32_t lines = 2 * height; lines > 0; lines -= 2) {
        uint8_t* line = xlat;
        qbx_convert_index8_argb8888(src, line, width, palette);
        for (uint32_t copy = 0; copy < 2; ++copy) {
            const uint8_t* argb = xlat;
            proc(argb, dst, width, lines - copy);
            if (copy == 0 || lines > 2)
                dst += dstadd;
        }
        if (lines > 2)
            src += srcadd;
    }
}
