#include "content/paint.h"

#include <algorithm>
#include <cmath>

namespace content {

namespace {

int wrap(int i, int period) {
    return ((i % period) + period) % period;
}

double quintic(double t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

} // namespace

colour hex(uint32_t rgb) {
    return {double((rgb >> 16) & 0xFF) / 255.0, double((rgb >> 8) & 0xFF) / 255.0,
            double(rgb & 0xFF) / 255.0};
}

uint32_t to_pixel(colour c) {
    auto channel = [](double v) { return uint32_t(std::lround(clamp01(v) * 255.0)); };
    return 0xFF000000u | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

colour from_pixel(uint32_t p) {
    return hex(p & 0xFFFFFF);
}

double clamp01(double x) {
    return std::clamp(x, 0.0, 1.0);
}

double smoothstep(double edge0, double edge1, double x) {
    const double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

double hash01(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return double(h) / 4294967296.0;
}

double tiled_noise(double x, double y, int period, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int x0 = int(fx), y0 = int(fy);
    const double tx = quintic(x - fx), ty = quintic(y - fy);
    auto at = [&](int dx, int dy) {
        return hash01(wrap(x0 + dx, period), wrap(y0 + dy, period), seed);
    };
    const double top = at(0, 0) + (at(1, 0) - at(0, 0)) * tx;
    const double bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

double tiled_fbm(double u, double v, int period, int octaves, double gain, uint32_t seed) {
    double sum = 0, weight = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * tiled_noise(u * period, v * period, period, seed + uint32_t(i) * 101u);
        total += weight;
        weight *= gain;
        period *= 2;
    }
    return sum / total;
}

voronoi_hit tiled_voronoi(double u, double v, int cells, uint32_t seed) {
    const double x = u * cells, y = v * cells;
    const int cx = int(std::floor(x)), cy = int(std::floor(y));
    voronoi_hit hit;
    hit.nearest = hit.second = 1e9;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int gx = cx + dx, gy = cy + dy;
            const int wx = wrap(gx, cells), wy = wrap(gy, cells);
            const double px = gx + 0.1 + 0.8 * hash01(wx, wy, seed);
            const double py = gy + 0.1 + 0.8 * hash01(wx, wy, seed + 7);
            const double d = std::hypot(px - x, py - y) / cells;
            if (d < hit.nearest) {
                hit.second = hit.nearest;
                hit.nearest = d;
                hit.cell_x = wx;
                hit.cell_y = wy;
                hit.point_x = px / cells;
                hit.point_y = py / cells;
            } else if (d < hit.second) {
                hit.second = d;
            }
        }
    return hit;
}

} // namespace content
