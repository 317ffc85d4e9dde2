#include "contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "media/pixel_font.h"

namespace {

constexpr int COLUMNS = 6;
constexpr int GAP = 6; // around and between the cells
constexpr int LABEL_HEIGHT = media::line_height + 2;
constexpr uint32_t BACKGROUND = media::argb(255, 24, 24, 28);
constexpr uint32_t LABEL_COLOUR = media::argb(255, 220, 220, 220);

} // namespace

media::image contact_sheet(const std::vector<thumbnail>& thumbnails) {
    if (thumbnails.empty())
        return media::image(GAP, GAP, BACKGROUND);
    const int width = thumbnails.front().picture.width, height = thumbnails.front().picture.height;
    const int count = int(thumbnails.size());
    const int columns = std::min(COLUMNS, count), rows = (count + COLUMNS - 1) / COLUMNS;
    const int cell_width = width + GAP, cell_height = height + LABEL_HEIGHT + GAP;
    media::image sheet(GAP + columns * cell_width, GAP + rows * cell_height, BACKGROUND);
    for (int i = 0; i < count; ++i) {
        const int left = GAP + (i % COLUMNS) * cell_width, top = GAP + (i / COLUMNS) * cell_height;
        const media::image& picture = thumbnails[size_t(i)].picture;
        for (int y = 0; y < std::min(height, picture.height); ++y)
            std::copy_n(picture.pixels.begin() + std::ptrdiff_t(y) * picture.width,
                        std::min(width, picture.width), &sheet.at(left, top + y));
        media::draw_text(sheet, left, top + height + 2, thumbnails[size_t(i)].label, LABEL_COLOUR);
    }
    return sheet;
}

std::string time_label(double seconds) {
    const long hundredths = std::lround(seconds * 100);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%02ld", hundredths / 6000, hundredths / 100 % 60,
                  hundredths % 100);
    return text;
}
