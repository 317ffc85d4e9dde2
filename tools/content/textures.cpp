#include <cmath>

#include "content/images.h"
#include "content/paint.h"

namespace content {

namespace {

constexpr int texture_size = 256;

const colour jewels[8] = {hex(0xC8143C), hex(0x1E48D8), hex(0x10A050), hex(0xF0A010),
                          hex(0x8A2BE2), hex(0x18B8C8), hex(0xF04890), hex(0xFFD040)};

} // namespace

media::image make_stained_glass() {
    media::image out(texture_size, texture_size);
    const double px = 1.0 / texture_size; // one pixel in units of the repeat
    const colour lead = hex(0x0C0C16);
    for (int y = 0; y < texture_size; ++y)
        for (int x = 0; x < texture_size; ++x) {
            const double u = (x + 0.5) * px, v = (y + 0.5) * px;
            // Wobbly panes: the cell pattern is read through a gentle warp.
            const double wu = u + 0.025 * (tiled_fbm(u, v, 4, 3, 0.5, 11) - 0.5);
            const double wv = v + 0.025 * (tiled_fbm(u, v, 4, 3, 0.5, 12) - 0.5);
            const voronoi_hit pane = tiled_voronoi(wu, wv, 7, 3);
            const voronoi_hit facet = tiled_voronoi(wu, wv, 19, 5);
            const double pick = hash01(pane.cell_x, pane.cell_y, 17);
            colour glass =
                jewels[int(pick * 8) % 8] * (0.75 + 0.35 * hash01(pane.cell_x, pane.cell_y, 19));
            // Light shines through brightest at the middle of a pane; facets and mottling break
            // it up at finer scales.
            const double centre = 1.0 - smoothstep(0.0, 0.11, pane.nearest);
            const double facet_shade = 0.85 + 0.3 * hash01(facet.cell_x, facet.cell_y, 23);
            const double mottle = tiled_fbm(u, v, 16, 4, 0.55, 29);
            glass = glass * ((0.45 + 0.75 * centre) * facet_shade * (0.7 + 0.6 * mottle));
            const double crack = 1.0 - smoothstep(0.0, 0.8 * px, facet.second - facet.nearest);
            glass = glass + colour{1, 1, 1} * (0.12 * crack);
            // Lead came between panes, with a bright edge where the glass meets it.
            const double gap = (pane.second - pane.nearest) / px;
            const double came = 1.0 - smoothstep(1.4, 2.8, gap);
            const double rim = smoothstep(2.2, 3.0, gap) * (1.0 - smoothstep(3.0, 4.5, gap));
            colour c = mix(glass + colour{1, 0.95, 0.8} * (0.25 * rim), lead, came);
            out.at(x, y) = to_pixel(c);
        }
    return out;
}

media::image make_ink() {
    media::image out(texture_size, texture_size);
    const colour night = hex(0x120A36), teal = hex(0x0E8A90), magenta = hex(0xC81E70),
                 orange = hex(0xFF8C20), gold = hex(0xFFE2A0);
    auto contrast = [](double f) { return clamp01((f - 0.5) * 2.4 + 0.5); };
    for (int y = 0; y < texture_size; ++y)
        for (int x = 0; x < texture_size; ++x) {
            const double u = (x + 0.5) / texture_size, v = (y + 0.5) / texture_size;
            // Noise read at places moved by more noise, twice: the swirls of ink in water.
            const double qx = tiled_fbm(u, v, 2, 4, 0.45, 31), qy = tiled_fbm(u, v, 2, 4, 0.45, 32);
            const double rx = tiled_fbm(u + 0.6 * qx, v + 0.6 * qy, 3, 4, 0.45, 33);
            const double ry = tiled_fbm(u + 0.6 * qx, v + 0.6 * qy, 3, 4, 0.45, 34);
            const double f = contrast(tiled_fbm(u + 0.7 * rx, v + 0.7 * ry, 3, 5, 0.45, 35));
            colour c = mix(night, teal, smoothstep(0.25, 0.75, f));
            c = mix(c, magenta, 0.85 * smoothstep(0.45, 0.8, contrast(qx)));
            c = mix(c, orange, 0.75 * smoothstep(0.55, 0.85, contrast(ry)));
            // Gold contour lines of the ink's height, thin and bright.
            const double level = f * 9.0;
            const double line = std::fabs(level - std::round(level));
            c = mix(c, gold, 0.9 * (1.0 - smoothstep(0.04, 0.12, line)));
            // Fine grain on top, so that close views still show texture.
            c = c * (0.9 + 0.2 * tiled_fbm(u, v, 32, 3, 0.5, 37));
            out.at(x, y) = to_pixel(c);
        }
    return out;
}

} // namespace content
