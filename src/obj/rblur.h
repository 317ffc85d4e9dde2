#pragma once
// Radial blur: streaks a picture outward from its centre, in place.
#include <cstdint>

// Blends every pixel of the width x height picture at `image` (32-bit pixels, lines 2048 bytes
// apart) with a bilinear sample taken nearer the centre: at (i, j) * step / 32768 from the centre
// for the pixel at (i, j) from it, stepX and stepY having 15 fraction bits. Pixels are visited from
// the centre outward, four mirrored ones at a time, each reading the picture as it is by then, so
// the streaks build up over the whole radius. Per channel the pixel becomes
// min(65535, sample * sw + pixel * dw) >> 8 with the bytes sw of `sampleWeights` and dw of
// `destWeights`. With an odd width or height the last column or row is left alone. Samples that
// would fall outside the picture (steps above 32768 or below 0) are taken from its nearest edge
// pixel. Pictures wider than 512 pixels are left alone. `source` is not read.
void rblur_c_bl_alpha(const void* source, void* image, int width, int height, int stepX, int stepY,
                      uint32_t sampleWeights, uint32_t destWeights);

// The two forms behind rblur_c_bl_alpha, exposed so that they can be compared.
void rblur_c_bl_alpha_scalar(const void* source, void* image, int width, int height, int stepX,
                             int stepY, uint32_t sampleWeights, uint32_t destWeights);
#if defined(__SSE2__)
void rblur_c_bl_alpha_sse2(const void* source, void* image, int width, int height, int stepX,
                           int stepY, uint32_t sampleWeights, uint32_t destWeights);
#endif
