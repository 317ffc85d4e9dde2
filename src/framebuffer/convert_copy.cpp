// The copy and fill routines, their pixel forms (which also serve as converters when picture and
// display share a format) and the doubling pixel copies.
#include <cstdio>
#include <cstring>

#include "framebuffer/conv2x.h"
#include "framebuffer/convert.h"
#include "framebuffer/convert_line.h"
#include "framebuffer/convert_simd.h"
#include "framebuffer/cpuid.h"
#include "framebuffer/quoblex.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace convert_detail;

namespace {

// Copies whole blocks of `Block` bytes as moves of `Word`, then the rest byte by byte.
template <typename Word, uint32_t Block>
void copy_blocks(void* dst, const void* src, uint32_t bytes) {
    auto* d = static_cast<uint8_t*>(dst);
    const auto* s = static_cast<const uint8_t*>(src);
    for (uint32_t blocks = bytes / Block; blocks > 0; --blocks, s += Block, d += Block)
        for (uint32_t at = 0; at < Block; at += sizeof(Word)) {
            Word w;
            std::memcpy(&w, s + at, sizeof w);
            std::memcpy(d + at, &w, sizeof w);
        }
    for (uint32_t rest = bytes % Block; rest > 0; --rest)
        *d++ = *s++;
}

// Fills whole blocks of `Block` bytes with `value` repeated in `Word`s, then the remaining whole
// 32-bit words; a tail of 1 to 3 bytes is left alone.
template <typename Word, uint32_t Block>
void fill_blocks(void* dst, uint32_t value, uint32_t bytes) {
    auto* d = static_cast<uint8_t*>(dst);
    Word w;
    for (uint32_t at = 0; at < sizeof w; at += 4)
        std::memcpy(reinterpret_cast<uint8_t*>(&w) + at, &value, 4);
    for (uint32_t blocks = bytes / Block; blocks > 0; --blocks, d += Block)
        for (uint32_t at = 0; at < Block; at += sizeof w)
            std::memcpy(d + at, &w, sizeof w);
    for (uint32_t words = (bytes % Block) / 4; words > 0; --words, d += 4)
        std::memcpy(d, &value, 4);
}

using byte_copy = void (*)(void*, const void*, uint32_t);

// A byte copy as a converter over `count` pixels of `PixelBytes`, truncated to whole groups.
template <byte_copy Copy, uint32_t PixelBytes, uint32_t Group>
void copy_pixels(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t) {
    const uint32_t bytes = (count - count % Group) * PixelBytes;
    Copy(dst, src, bytes);
    src += bytes;
    dst += bytes;
}

} // namespace

namespace convert_simd {

void memcpy_scalar(void* dst, const void* src, uint32_t bytes) {
    copy_blocks<uint64_t, 32>(dst, src, bytes);
}
void memset_scalar(void* dst, uint32_t value, uint32_t bytes) {
    fill_blocks<uint64_t, 16>(dst, value, bytes);
}
void copy32_2x_scalar(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t extra) {
    convert_line<same<uint32_t>, 8, 2>(src, dst, count, extra);
}

#ifdef __SSE2__

void memcpy_sse2(void* dst, const void* src, uint32_t bytes) {
    auto* d = static_cast<uint8_t*>(dst);
    const auto* s = static_cast<const uint8_t*>(src);
    for (uint32_t blocks = bytes / 32; blocks > 0; --blocks, s += 32, d += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), b);
    }
    for (uint32_t rest = bytes % 32; rest > 0; --rest)
        *d++ = *s++;
}

void memset_sse2(void* dst, uint32_t value, uint32_t bytes) {
    auto* d = static_cast<uint8_t*>(dst);
    const __m128i v = _mm_set1_epi32(static_cast<int>(value));
    for (uint32_t blocks = bytes / 16; blocks > 0; --blocks, d += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v);
    for (uint32_t words = (bytes % 16) / 4; words > 0; --words, d += 4)
        std::memcpy(d, &value, 4);
}

// Group of 8: four pixels per half step, each written twice.
void copy32_2x_sse2(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t) {
    const uint8_t* s = src;
    uint8_t* d = dst;
    for (uint32_t groups = count / 8; groups > 0; --groups, s += 32, d += 64)
        for (uint32_t half = 0; half < 2; ++half) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * half));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32 * half), _mm_unpacklo_epi32(p, p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32 * half + 16),
                             _mm_unpackhi_epi32(p, p));
        }
    src = s;
    dst = d;
}

#endif

} // namespace convert_simd

using namespace convert_simd;

void qbx_memcpy(void* dst, const void* src, uint32_t bytes) {
    copy_blocks<uint32_t, 32>(dst, src, bytes);
}
void qbx_fpu_memcpy(void* dst, const void* src, uint32_t bytes) {
    copy_blocks<uint64_t, 16>(dst, src, bytes);
}
void qbx_mmx_memcpy(void* dst, const void* src, uint32_t bytes) {
    static const byte_copy chosen = simd_choose(memcpy_sse2, memcpy_scalar);
    chosen(dst, src, bytes);
}
void qbx_memset(void* dst, uint32_t value, uint32_t bytes) {
    fill_blocks<uint32_t, 32>(dst, value, bytes);
}
void qbx_mmx_memset(void* dst, uint32_t value, uint32_t bytes) {
    static const auto chosen = simd_choose(memset_sse2, memset_scalar);
    chosen(dst, value, bytes);
}

void qbx_memcpy(const uint8_t*& src, uint8_t*& dst, uint32_t bytes, uintptr_t x) {
    copy_pixels<qbx_memcpy, 1, 1>(src, dst, bytes, x);
}
void qbx_fpu_memcpy(const uint8_t*& src, uint8_t*& dst, uint32_t bytes, uintptr_t x) {
    copy_pixels<qbx_fpu_memcpy, 1, 1>(src, dst, bytes, x);
}
void qbx_mmx_memcpy(const uint8_t*& src, uint8_t*& dst, uint32_t bytes, uintptr_t x) {
    copy_pixels<qbx_mmx_memcpy, 1, 1>(src, dst, bytes, x);
}
void qbx_memcpy_32bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    copy_pixels<qbx_memcpy, 4, 4>(src, dst, count, x);
}
void qbx_memcpy_16bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    copy_pixels<qbx_memcpy, 2, 2>(src, dst, count, x);
}
void qbx_fpu_memcpy_32bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    copy_pixels<qbx_fpu_memcpy, 4, 4>(src, dst, count, x);
}
void qbx_fpu_memcpy_16bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    copy_pixels<qbx_fpu_memcpy, 2, 2>(src, dst, count, x);
}
void qbx_mmx_memcpy_32bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    copy_pixels<qbx_mmx_memcpy, 4, 4>(src, dst, count, x);
}
void qbx_mmx_memcpy_16bpp(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    copy_pixels<qbx_mmx_memcpy, 2, 2>(src, dst, count, x);
}

void qbx_memcpy_32bpp_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    copy32_2x_scalar(src, dst, count, x);
}
void qbx_mmx_memcpy_32bpp_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    dispatch<copy32_2x_sse2, copy32_2x_scalar>(src, dst, count, x);
}
void qbx_convert_16bpp_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<same<uint16_t>, 2, 2>(src, dst, count, x);
}
void qbx_convert_index8_2x(const uint8_t*& src, uint8_t*& dst, uint32_t count, uintptr_t x) {
    convert_line<same<uint8_t>, 4, 2>(src, dst, count, x);
}

bool qbx_test_fpu_memcpy() {
    // Bit patterns that an 80-bit floating-point round trip would alter.
    const uint32_t pattern[4] = {0xFFCFFCFF, 0xFFCDFCFF, 0xFFFFFFFF, 0xFF8FB9E0};
    uint32_t copy[4] = {};
    qbx_fpu_memcpy(copy, pattern, sizeof pattern);
    if (std::memcmp(copy, pattern, sizeof pattern) != 0) {
        if (qbx_log) {
            std::fprintf(qbx_log, "  warning: fpu 80->64bit truncation - fpu memcpy disabled\n");
            std::fflush(qbx_log);
        }
        return true;
    }
    return cpuid.family <= 4 || (qbx_flags & QBX_FLAG_OLDCPU) != 0;
}
