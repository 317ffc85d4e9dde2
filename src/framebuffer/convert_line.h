#pragma once
// The per-pixel arithmetic of the converters and the line loop that runs it. Every scalar converter
// is `convert_line` over one of the pixel rules below; the SSE2 converters finish their lines with
// the same rules, so both produce the same bits.
#include <cstdint>
#include <cstring>

namespace convert_detail {

// One 24-bit pixel as it lies in memory: blue, green, red.
struct rgb888 {
    uint8_t b, g, r;
};
static_assert(sizeof(rgb888) == 3);

inline uint32_t red(uint32_t p) {
    return (p >> 16) & 0xFF;
}
inline uint32_t green(uint32_t p) {
    return (p >> 8) & 0xFF;
}
inline uint32_t blue(uint32_t p) {
    return p & 0xFF;
}

// A pixel rule maps one source pixel to one destination pixel. `slot` is the destination pixel's
// position within its group (its parity picks the dither offset); `extra` is the converter's
// extra word, given to the rule's constructor once per line.

struct to_rgb555 {
    using source = uint32_t;
    using target = uint16_t;
    explicit to_rgb555(uintptr_t) {}
    target operator()(source p, unsigned) const {
        // ((R >> 3) << 10) | ((G >> 3) << 5) | (B >> 3), each field shifted straight into place
        return static_cast<target>(((p >> 9) & 0x7C00) | ((p >> 6) & 0x03E0) | ((p >> 3) & 0x1F));
    }
};

struct to_rgb565 {
    using source = uint32_t;
    using target = uint16_t;
    explicit to_rgb565(uintptr_t) {}
    target operator()(source p, unsigned) const {
        // ((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3)
        return static_cast<target>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x1F));
    }
};

// Dither offsets as pixel words (blue in the low byte), by row parity and pixel parity.
constexpr uint32_t dither555[2][2] = {{0x00050601, 0x00000000}, {0x00030205, 0x00070403}};
constexpr uint32_t dither565[2][2] = {{0x00050301, 0x00000000}, {0x00030105, 0x00070203}};

// Adds `offset` to every byte of `p`, saturating at 255: the sums of the low seven bits of each
// byte cannot carry into the next byte; the top bits are added by XOR and overflow sets the byte.
inline uint32_t add_saturated(uint32_t p, uint32_t offset) {
    const uint32_t low = (p & 0x7F7F7F7F) + (offset & 0x7F7F7F7F);
    const uint32_t sum = low ^ ((p ^ offset) & 0x80808080);
    const uint32_t carry = ((p & offset) | ((p | offset) & ~sum)) & 0x80808080;
    return sum | ((carry >> 7) * 0xFF);
}

// The dithered form of a 16-bit rule: the lowest bit of the lines-remaining word picks the row.
template <typename Rule, const uint32_t (&Table)[2][2]>
struct dithered {
    using source = uint32_t;
    using target = uint16_t;
    const uint32_t* row;
    explicit dithered(uintptr_t lines) : row(Table[lines & 1]) {}
    target operator()(source p, unsigned slot) const {
        return Rule(0)(add_saturated(p, row[slot & 1]), slot);
    }
};
using to_rgb555d = dithered<to_rgb555, dither555>;
using to_rgb565d = dithered<to_rgb565, dither565>;

struct to_abgr8888 {
    using source = uint32_t;
    using target = uint32_t;
    explicit to_abgr8888(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return (p & 0xFF00FF00) | (((p << 16) | (p >> 16)) & 0x00FF00FF);
    }
};

struct to_rgb888 {
    using source = uint32_t;
    using target = rgb888;
    explicit to_rgb888(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return {static_cast<uint8_t>(blue(p)), static_cast<uint8_t>(green(p)),
                static_cast<uint8_t>(red(p))};
    }
};

// The plain grey level: each term truncated before the sum, so white gives 253.
struct to_gray8 {
    using source = uint32_t;
    using target = uint8_t;
    explicit to_gray8(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return static_cast<target>((red(p) >> 2) + (green(p) >> 1) + (blue(p) >> 2));
    }
};

// The grey level of the SIMD converters: weights summing to 256, so white gives 255.
struct to_gray8_weighted {
    using source = uint32_t;
    using target = uint8_t;
    explicit to_gray8_weighted(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return static_cast<target>((54 * red(p) + 184 * green(p) + 18 * blue(p)) >> 8);
    }
};

struct argb1555_to_argb8888 {
    using source = uint16_t;
    using target = uint32_t;
    explicit argb1555_to_argb8888(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return ((p & 0x7C00u) << 9) | ((p & 0x03E0u) << 6) | ((p & 0x001Fu) << 3);
    }
};

struct rgb565_to_argb8888 {
    using source = uint16_t;
    using target = uint32_t;
    explicit rgb565_to_argb8888(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return ((p & 0xF800u) << 8) | ((p & 0x07E0u) << 5) | ((p & 0x001Fu) << 3);
    }
};

struct rgb565_to_argb1555 {
    using source = uint16_t;
    using target = uint16_t;
    explicit rgb565_to_argb1555(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return static_cast<target>(((p & 0xFFC0u) >> 1) | (p & 0x1Fu));
    }
};

struct argb1555_to_rgb565 {
    using source = uint16_t;
    using target = uint16_t;
    explicit argb1555_to_rgb565(uintptr_t) {}
    target operator()(source p, unsigned) const {
        return static_cast<target>(((p & 0x7FE0u) << 1) | (p & 0x1Fu));
    }
};

// Table rules: `extra` points at the table (256 palette words, or 65536 grey bytes).
template <typename Source, typename Target>
struct lookup {
    using source = Source;
    using target = Target;
    const Target* table;
    explicit lookup(uintptr_t extra) : table(reinterpret_cast<const Target*>(extra)) {}
    target operator()(source i, unsigned) const { return table[i]; }
};
using palette_lookup = lookup<uint8_t, uint32_t>;
using gray_table_lookup = lookup<uint16_t, uint8_t>;

template <typename T>
struct same {
    using source = T;
    using target = T;
    explicit same(uintptr_t) {}
    target operator()(source p, unsigned) const { return p; }
};

// Converts `Group` pixels (or, in the main loop, a block of several groups) from `s` to `d`.
template <typename Rule, unsigned Group, unsigned Copies>
inline void convert_group(const Rule& rule, const uint8_t*& s, uint8_t*& d) {
    typename Rule::source in[Group];
    std::memcpy(in, s, sizeof in);
    typename Rule::target out[Group * Copies];
    // Fully unrolled, the group lives in registers and is stored as whole words.
#pragma GCC unroll 16
    for (unsigned i = 0; i < Group; ++i)
#pragma GCC unroll 2
        for (unsigned c = 0; c < Copies; ++c)
            out[i * Copies + c] = rule(in[i], i * Copies + c);
    std::memcpy(d, out, sizeof out);
    s += sizeof in;
    d += sizeof out;
}

// Converts the whole groups of `Group` pixels in `count` and ignores the rest; with `Copies` = 2
// every source pixel is written twice. Groups are read and written as blocks, so the stores are
// whole words (two 16-bit or four 8-bit results per 32-bit store); the main loop takes eight
// pixels at a time, which the compiler unrolls and vectorises.
template <typename Rule, unsigned Group, unsigned Copies>
void convert_line(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    constexpr unsigned Block = Group > 8 ? Group : 8;
    static_assert(Block % Group == 0);
    const Rule rule(extra);
    // Local copies: stores through `d` could alias the callers' pointers.
    const uint8_t* s = src;
    uint8_t* d = dst;
    for (uint32_t blocks = count / Block; blocks > 0; --blocks)
        convert_group<Rule, Block, Copies>(rule, s, d);
    for (uint32_t groups = count % Block / Group; groups > 0; --groups)
        convert_group<Rule, Group, Copies>(rule, s, d);
    src = s;
    dst = d;
}

} // namespace convert_detail
