#pragma once
// The presented picture as the capture keeps it, and the sizes it is written at.
#include <cstdint>

#include "media/image.h"

// Copies a picture of 32-bit pixels 0x??RRGGBB, lines `pitch` bytes apart, with an opaque top byte.
void copy_picture(const uint8_t* pixels, uint32_t pitch, uint32_t width, uint32_t height,
                  media::image& out);

// Every pixel as a scale x scale square.
void enlarge(const media::image& picture, uint32_t scale, media::image& out);

// Half the width and height, every pixel the mean of a 2 x 2 square (rounded).
media::image halve(const media::image& picture);
