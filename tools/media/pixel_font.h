#pragma once
// The project's own pixel font: printable ASCII in a 5 x 9 cell (capitals and digits 7 rows high,
// lower case with descenders), drawn one pixel per dot or scaled up in whole pixels.
#include <cstdint>
#include <string_view>

#include "media/image.h"

namespace media {

constexpr int glyph_width = 5;
constexpr int glyph_height = 9; // rows 0..6 above the baseline, 7..8 below
constexpr int glyph_advance = 6;
constexpr int line_height = 10;

// Whether the dot at (x, y) of the glyph of `c` is set; characters outside printable ASCII look
// like '?'.
bool glyph_dot(char c, int x, int y);

// Width in pixels of `text` on one line at `scale`, without the gap after the last glyph.
int text_width(std::string_view text, int scale = 1);

// Draws `text` with its top-left corner at (x, y), every dot a scale x scale square of `colour`;
// whatever falls outside the picture is left out.
void draw_text(image& picture, int x, int y, std::string_view text, uint32_t colour, int scale = 1);

} // namespace media
