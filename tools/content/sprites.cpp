#include <algorithm>
#include <cmath>
#include <functional>

#include "content/images.h"
#include "content/paint.h"
#include "media/pixel_font.h"

namespace content {

namespace {

// How much of a line of `width` pixels lies on a pixel at distance `d` from its centre.
double stroke(double d, double width) {
    return clamp01(width / 2 + 0.5 - std::fabs(d));
}

// Every sprite is a coverage function of the pixel centre (x, y in 0..16) and a colour.
struct sprite {
    std::function<double(double, double)> coverage;
    colour tint;
};

double ring(double x, double y, double cx, double cy, double r, double w) {
    return stroke(std::hypot(x - cx, y - cy) - r, w);
}

double segment(double x, double y, double ax, double ay, double bx, double by, double w) {
    const double dx = bx - ax, dy = by - ay;
    const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return stroke(std::hypot(x - ax - t * dx, y - ay - t * dy), w);
}

double box(double x, double y, double x0, double y0, double x1, double y1) {
    return (x >= x0 && x < x1 && y >= y0 && y < y1) ? 1.0 : 0.0;
}

std::vector<sprite> sprites() {
    const colour cyan = hex(0x40E8FF), magenta = hex(0xFF50C8), amber = hex(0xFFB040),
                 white = hex(0xF0F0FF), green = hex(0x60FF9C);
    const double c = 8.0; // the middle of a sprite
    return {
        // 0 and 1: quarter circles through the middles of the edges; laid at random they draw
        // endless curves.
        {[](double x, double y) {
             return std::max(ring(x, y, 0, 0, 8, 1.6), ring(x, y, 16, 16, 8, 1.6));
         },
         cyan},
        {[](double x, double y) {
             return std::max(ring(x, y, 16, 0, 8, 1.6), ring(x, y, 0, 16, 8, 1.6));
         },
         cyan},
        {[=](double x, double y) {
             return std::max(segment(x, y, c, 3, c, 13, 1.4), segment(x, y, 3, c, 13, c, 1.4));
         },
         white},
        {[=](double x, double y) {
             return std::max(segment(x, y, 4, 4, 12, 12, 1.4), segment(x, y, 12, 4, 4, 12, 1.4));
         },
         magenta},
        {[=](double x, double y) { return ring(x, y, c, c, 5, 1.4); }, cyan},
        {[=](double x, double y) { return clamp01(3.5 - std::hypot(x - c, y - c)); }, amber},
        {[=](double x, double y) { return stroke(std::fabs(x - c) + std::fabs(y - c) - 5.5, 1.4); },
         green},
        {[](double x, double y) {
             return std::max(box(x, y, 3, 3, 13, 4.5) + box(x, y, 3, 11.5, 13, 13),
                             box(x, y, 3, 3, 4.5, 13) + box(x, y, 11.5, 3, 13, 13));
         },
         white},
        {[](double x, double y) { // corner brackets
             const double h = box(x, y, 2, 2, 7, 3.5) + box(x, y, 9, 12.5, 14, 14);
             const double v = box(x, y, 2, 2, 3.5, 7) + box(x, y, 12.5, 9, 14, 14);
             return std::min(1.0, h + v);
         },
         amber},
        {[=](double x, double y) { // triangle
             return std::max({segment(x, y, c, 3, 13, 12.5, 1.3),
                              segment(x, y, 13, 12.5, 3, 12.5, 1.3),
                              segment(x, y, 3, 12.5, c, 3, 1.3)});
         },
         magenta},
        {[](double x, double y) { // dot grid
             return (int(x) % 4 == 1 && int(y) % 4 == 1) ? 1.0 : 0.0;
         },
         cyan},
        {[](double x, double y) { // level meter
             const int column = int(x) / 3;
             const double level = 4 + (column * 7) % 11;
             return (int(x) % 3 != 2 && x >= 1 && x < 15 && y >= 15 - level && y < 15) ? 1.0 : 0.0;
         },
         green},
        {[=](double x, double y) {
             return std::max(ring(x, y, c, c, 6, 1.2), ring(x, y, c, c, 2.5, 1.2));
         },
         white},
        {[=](double x, double y) { // arrow
             return std::max({segment(x, y, 3, c, 13, c, 1.5), segment(x, y, 13, c, 9, 4, 1.5),
                              segment(x, y, 13, c, 9, 12, 1.5)});
         },
         amber},
        {[=](double x, double y) { // sparkle
             const double dx = std::fabs(x - c), dy = std::fabs(y - c);
             return clamp01(1.6 - std::sqrt(dx * dy) - 0.12 * (dx + dy));
         },
         white},
        {[](double x, double y) { // scan lines
             return (int(y) % 3 == 0 && x >= 1 && x < 15) ? 0.8 : 0.0;
         },
         magenta},
    };
}

// Coverage of a sprite's pixel, averaged over 4 x 4 points for smooth edges.
double coverage(const sprite& s, int x, int y) {
    double sum = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
            sum += s.coverage(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
    return sum / 16;
}

} // namespace

media::image make_overlay() {
    const std::vector<sprite> all = sprites();
    media::image out(overlay_sprite_size, overlay_sprite_size * int(all.size()), 0xFF000000u);
    for (size_t i = 0; i < all.size(); ++i)
        for (int y = 0; y < overlay_sprite_size; ++y)
            for (int x = 0; x < overlay_sprite_size; ++x)
                out.at(x, int(i) * overlay_sprite_size + y) =
                    to_pixel(all[i].tint * coverage(all[i], x, y));
    return out;
}

media::gray_image make_mask() {
    constexpr int w = 320, h = 180;
    media::gray_image out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0);
            const double r = std::sqrt(dx * dx * 0.8 + dy * dy * 0.7);
            const double vignette = 1.0 - 0.42 * std::pow(smoothstep(0.25, 1.25, r), 1.3);
            const double scanline = y % 2 ? 0.9 : 1.0;
            out.at(x, y) = uint8_t(std::lround(255.0 * vignette * scanline));
        }
    return out;
}

} // namespace content
