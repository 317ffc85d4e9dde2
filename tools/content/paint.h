#pragma once
// Painting tools for the procedural images: colours as floating-point triples, and noise that
// repeats with a whole number of cells across the picture, so textures built from it tile
// without a seam.
#include <cstdint>

namespace content {

struct colour {
    double r = 0, g = 0, b = 0;
};

inline colour operator+(colour a, colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline colour operator*(colour a, double k) {
    return {a.r * k, a.g * k, a.b * k};
}
inline colour operator*(colour a, colour b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b};
}
inline colour mix(colour a, colour b, double t) {
    return a * (1 - t) + b * t;
}
// 0x112233 as a colour.
colour hex(uint32_t rgb);
// An opaque pixel, channels clamped to 0..1 and rounded.
uint32_t to_pixel(colour c);
colour from_pixel(uint32_t p);

double clamp01(double x);
double smoothstep(double edge0, double edge1, double x);

// A hash of integers to 0..1.
double hash01(int32_t x, int32_t y, uint32_t seed);

// Smooth value noise in 0..1 at (x, y) measured in cells; it repeats every `period` cells in both
// directions.
double tiled_noise(double x, double y, int period, uint32_t seed);
// Octaves of tiled noise from `period` cells up, each twice as fine and `gain` as strong; the sum
// is scaled back to about 0..1. (u, v) in 0..1 covers one repeat.
double tiled_fbm(double u, double v, int period, int octaves, double gain, uint32_t seed);

// Cells around random points, `cells` across one repeat, with distances measured around the
// wrap: the nearest and second-nearest point distances (in units of the repeat) and the nearest
// point's cell.
struct voronoi_hit {
    double nearest = 0;
    double second = 0;
    int cell_x = 0;
    int cell_y = 0;
    double point_x = 0; // position of the nearest point, in units of the repeat
    double point_y = 0;
};
voronoi_hit tiled_voronoi(double u, double v, int cells, uint32_t seed);

} // namespace content
