#pragma once
// Sprite blending onto 32-bit pixels, two pixels (one pair) at a time.
#include <cstdint>

// Adds a scaled sprite to the destination: for `lines` lines of `pairs` pixel pairs, every byte c
// of a destination pixel (alpha too) becomes min(255, dst_c + ((src_c * m_c) >> 8)), m_c being the
// byte of `multiplier` in the same position. After each line `dst` moves on by the line's bytes
// plus `dstSkip`, `src` by the line's bytes plus `srcSkip`. Nothing outside the lines is touched.
// The sprite and the destination must not overlap.
void flare_addmul(void* dst, const void* src, int lines, int pairs, int dstSkip, int srcSkip,
                  uint32_t multiplier);

// The two forms behind flare_addmul, exposed so that they can be compared.
void flare_addmul_scalar(void* dst, const void* src, int lines, int pairs, int dstSkip, int srcSkip,
                         uint32_t multiplier);
#if defined(__SSE2__)
void flare_addmul_sse2(void* dst, const void* src, int lines, int pairs, int dstSkip, int srcSkip,
                       uint32_t multiplier);
#endif
