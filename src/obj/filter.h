#pragma once
// The filter driver and its line kernels. A chain of kernels runs over a set of line buffers one
// line at a time: every step of the chain runs on the current line, then every buffer moves on by
// its own advance. Pixels are 32-bit words 0xAARRGGBB; unless a kernel says otherwise its
// arithmetic treats the four bytes of a pixel alike, and results are truncated toward zero.
//
// Memory: a kernel reads and writes the lines it is given (the current `ptr` of the slots its step
// names, `bytes` long; transposed outputs write their pixels `p2` bytes apart). The only reads that
// leave a line are the taps of the glitch shift and of the 2x upscaler; those stay inside the
// source slot's span (`begin`, `end`, see flt_buf) and are clamped to the nearest pixel inside it.
// Inside the span the taps keep their plain memory offsets, so they fall into the neighbouring
// lines.
//
// A destination line either is one of the step's source lines (in place) or overlaps no memory the
// kernel reads; the blur kernels read their whole source line before they write.
#include <cstddef>
#include <cstdint>

struct flt_line;
using flt_kernel = void (*)(const flt_line&);

// One line buffer slot. A null `ptr` ends the slot list.
// `begin` and `end` optionally give the memory the slot's image occupies (first byte, one past the
// last byte; at least one pixel). Taps that leave the current line are clamped into it. Without
// them (either null) the span is the current line itself, so such taps repeat the line's end
// pixels. For the full plain-offset look, give the whole surface's memory; for edge clamping at the
// picture, give its rectangle's lines.
struct flt_buf {
    uint8_t* ptr;
    // Bytes added to `ptr` after every line: the pitch, 0 for a scratch line, 4 or 2 for transposed
    // output, half the pitch for the upscaler's source.
    int32_t advance;
    const uint8_t* begin = nullptr;
    const uint8_t* end = nullptr;
};

// Bit 31 of `fparm::dst`: the step runs only on lines whose remaining-line count is even.
inline constexpr uint32_t EVEN_LINES_ONLY = 0x80000000u;

// One step of a chain. A null `kernel` ends the chain. The parameters are pointer-sized so that
// `p0` can carry a table address (the glitch table); kernels read numbers from their low 32 bits.
struct fparm {
    flt_kernel kernel;
    uint32_t dst;   // destination slot index, optionally with EVEN_LINES_ONLY
    uint32_t src;   // source slot index
    uint32_t third; // second source slot index (blend partner or map)
    uintptr_t p0, p1, p2;
    int32_t width; // line width in pixels (for some kernels the source width)
};

// The per-line record of the colour-shift glitch: `mask` selects the channels to shift, `shift` is
// in pixels. Words 1 and 3 are not read.
struct flt_rgbsh {
    uint32_t mask;
    uint32_t unused1;
    int32_t shift;
    uint32_t unused3;
};
static_assert(sizeof(flt_rgbsh) == 16);

// What a kernel receives for one line: the current pointers of the step's three slots, the
// parameters, the line length, and the driver's line state.
struct flt_line {
    uint8_t* dst;
    const uint8_t* src;
    const uint8_t* third;
    uintptr_t p0, p1, p2;
    size_t bytes;             // 4 x width
    int32_t n;                // remaining lines, from count down to 1
    int32_t count;            // lines of this driver call
    const flt_buf* slots;     // the slot list
    const uint8_t* src_begin; // the source slot's span (resolved: never null)
    const uint8_t* src_end;

    int32_t index() const { return count - n; } // 0 for the first line
};

// Runs `chain` over `count` lines of `slots` (for n = count down to 1: every step, skipping
// EVEN_LINES_ONLY steps on odd n; then every slot advances). Returns false, running nothing and
// leaving the slots unchanged, when a step names a slot at or past the list's end or when the chain
// or the slot list is null.
bool filter(const fparm* chain, flt_buf* slots, int count);

// Box blur over a 2r-pixel window [x - r, x + r - 1] with the line's end pixels repeated outside
// it, per channel floor(S * m / 65536) with S a 16-bit sum and a signed 16 x 16 multiply keeping
// the high half, packed to a byte with saturation (negative gives 0). p0 = r (0 copies the line to
// consecutive pixels; radii above 64 are taken as 64, negative ones as 0), p1 = m (low 16 bits,
// signed), p2 = destination step in bytes between output pixels (signed). Any width works: windows
// wider than the line simply repeat the end pixels more often.
void flt_blur_h_tr_clamp(const flt_line& l);
// The same on every second source pixel (output width = width / 2; right of the line the last
// source pixel repeats), and only on lines with even n unless r is 0.
void flt_blur_h_half_tr_clamp(const flt_line& l);
// 2x upscale: `width` source pixels become 2 x width outputs. p0 = half the source pitch, and the
// source slot advances by half its pitch. Even n: the row doubled horizontally; odd n: rows k
// (p0 back) and k + 1 (p0 ahead) blended. The pixel after a row and the row after the last come
// from the span; outside it the row's last pixel and the last row repeat.
void flt_bilinear_2x2(const flt_line& l);
// Per channel min(65535, third * byte(p0) + src * byte(p1)) >> 8.
void flt_salpha(const flt_line& l);
// Per channel (src * map[i]) >> 8, `third` an 8-bit map of one byte per pixel.
void flt_modp8(const flt_line& l);
// Colour-shift glitch, per line record table[index] of the flt_rgbsh table at p0 (it must hold
// `count` records; a null table copies the line): per channel
// out[i] = (src[i] & ~M) | (((src[i - s] & M) + (src[i + s] & M)) >> 1), left to right, so in place
// a left tap sees pixels already rewritten.
void flt_rgbshift_avg_t(const flt_line& l);
// Per channel (byte(p1) * a + src * (256 - a)) >> 8 with a = byte of p0.
void flt_alphac(const flt_line& l);
// Per byte min(255, src + byte of p0): as a chain step and called directly on `bytes` bytes.
void flt_add(const flt_line& l);
void flt_add(uint8_t* dst, const uint8_t* src, size_t bytes, uint32_t p0);

// The scalar references and SSE2 fast paths behind the kernels above, for tests and benchmarks.
namespace detail {
void flt_blur_h_tr_clamp_scalar(const flt_line& l);
void flt_blur_h_half_tr_clamp_scalar(const flt_line& l);
void flt_bilinear_2x2_scalar(const flt_line& l);
void flt_salpha_scalar(const flt_line& l);
void flt_modp8_scalar(const flt_line& l);
void flt_rgbshift_avg_t_scalar(const flt_line& l);
void flt_alphac_scalar(const flt_line& l);
void flt_add_scalar(uint8_t* dst, const uint8_t* src, size_t bytes, uint32_t p0);
#ifdef __SSE2__
void flt_blur_h_tr_clamp_sse2(const flt_line& l);
void flt_blur_h_half_tr_clamp_sse2(const flt_line& l);
void flt_bilinear_2x2_sse2(const flt_line& l);
void flt_salpha_sse2(const flt_line& l);
void flt_modp8_sse2(const flt_line& l);
void flt_rgbshift_avg_t_sse2(const flt_line& l);
void flt_alphac_sse2(const flt_line& l);
void flt_add_sse2(uint8_t* dst, const uint8_t* src, size_t bytes, uint32_t p0);
#endif
} // namespace detail
