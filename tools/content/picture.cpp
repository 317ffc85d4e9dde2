#include <algorithm>
#include <cmath>
#include <vector>

#include "content/images.h"
#include "content/paint.h"
#include "content/random.h"

namespace content {

namespace {

constexpr int width = 512, height = 256;
constexpr int shore = 128; // the water line: rows below mirror the rows above

// A function of the column that repeats across the picture's width.
double ridge(int x, int cells, int octaves, uint32_t seed) {
    return tiled_fbm(double(x) / width, 0.37, cells, octaves, 0.5, seed);
}

double wrapped_distance(double a, double b) {
    const double d = std::fabs(a - b);
    return std::min(d, width - d);
}

colour sky(int y) {
    const double t = double(y) / shore;
    const colour c = mix(hex(0x03040F), hex(0x161338), std::pow(t, 1.5));
    return c + hex(0x3A1C58) * (0.7 * smoothstep(0.55, 1.0, t));
}

// Curtains of light rising from a wavy lower edge, green below, violet above, streaked with
// vertical rays.
colour aurora(int x, int y) {
    struct curtain {
        double base, swing, reach, strength;
        uint32_t seed;
    };
    static const curtain curtains[] = {{58, 22, 44, 1.25, 41}, {40, 18, 26, 0.7, 43}};
    colour sum;
    for (const curtain& k : curtains) {
        const double edge = k.base + k.swing * (ridge(x, 5, 3, k.seed) - 0.5) * 2.0;
        const double above = edge - y;
        const double streak = tiled_fbm(double(x) / width, 0.2, 48, 3, 0.6, k.seed + 1);
        const double rays = 0.3 + 1.1 * streak * streak;
        const double light = (above >= 0 ? smoothstep(-2, 4, above) * std::exp(-above / k.reach)
                                         : 0.3 * std::exp(above / 2.0)) *
                             rays * k.strength;
        colour tint = mix(hex(0x30FF88), hex(0xA040FF), smoothstep(0, 1.6 * k.reach, above));
        tint = tint + hex(0xFF5090) * (0.5 * (1.0 - smoothstep(0, 4, above)));
        sum = sum + tint * (0.75 * light);
    }
    return sum;
}

constexpr double moon_x = 96, moon_y = 30, moon_r = 11;

colour moon(int x, int y, colour behind) {
    const double d = std::hypot(wrapped_distance(x, moon_x), y - moon_y);
    if (d < moon_r + 0.5) {
        const double edge = clamp01(moon_r + 0.5 - d);
        const double limb = 0.75 + 0.25 * std::sqrt(clamp01(1 - (d * d) / (moon_r * moon_r)));
        const double seas = tiled_fbm(double(x) / width, double(y) / height, 64, 3, 0.5, 51);
        const colour disc = hex(0xF4F0E0) * (limb * (0.8 + 0.3 * (seas - 0.5) * 2.0));
        return mix(behind, disc, edge);
    }
    return behind + hex(0x8090C8) * (0.4 * std::exp(-(d - moon_r) / 12.0));
}

// The picture above the water line: sky, stars, aurora, moon and two mountain ranges with a row
// of pines along the shore.
std::vector<colour> land() {
    std::vector<colour> above(size_t(width) * shore);
    for (int y = 0; y < shore; ++y)
        for (int x = 0; x < width; ++x)
            above[size_t(y) * width + size_t(x)] = sky(y);
    noise_source stars(61);
    for (int i = 0; i < 320; ++i) {
        const int x = int(stars.unit() * width), y = 4 + int(stars.unit() * 96);
        const double glow = 0.25 + 0.75 * std::pow(stars.unit(), 3.0);
        const colour tint = mix(hex(0xA8C0FF), hex(0xFFE8C8), stars.unit());
        above[size_t(y) * width + size_t(x)] = above[size_t(y) * width + size_t(x)] + tint * glow;
        if (glow > 0.7) // the brightest have a small cross
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int sx = (x + dx + width) % width, sy = std::clamp(y + dy, 0, shore - 1);
                colour& p = above[size_t(sy) * width + size_t(sx)];
                p = p + tint * (glow * 0.35);
            }
    }
    for (int y = 0; y < shore; ++y)
        for (int x = 0; x < width; ++x) {
            colour& p = above[size_t(y) * width + size_t(x)];
            p = moon(x, y, p + aurora(x, y));
        }
    noise_source pines(71);
    std::vector<double> tree_top(width, shore);
    for (int i = 0; i < 110; ++i) {
        const double cx = pines.unit() * width, tall = 4 + 9 * pines.unit() * pines.unit();
        for (int x = int(cx - tall); x <= int(cx + tall); ++x) {
            const double half = tall * 0.32;
            const double reach = 1.0 - wrapped_distance(x, cx) / half;
            if (reach > 0) {
                double& top = tree_top[size_t((x + width) % width)];
                top = std::min(top, shore - 1 - tall * std::min(1.0, reach * 1.2));
            }
        }
    }
    for (int x = 0; x < width; ++x) {
        // Ridged noise gives sharp peaks: the far range rises high, the near hills stay low.
        const double far =
            shore - 14 - 62 * std::pow(1.0 - std::fabs(2 * ridge(x, 5, 5, 81) - 1), 2.2);
        const double near = shore - 6 - 26 * std::pow(ridge(x, 4, 5, 83), 1.8);
        for (int y = 0; y < shore; ++y) {
            colour& p = above[size_t(y) * width + size_t(x)];
            const double height_up = shore - far;
            if (y >= far) {
                const double below_top = y - far;
                colour rock = mix(hex(0x1C2044), hex(0x0C0E22), smoothstep(0, 30, below_top));
                // Snow on the high peaks, and the aurora's green on the ridge line.
                const double snow =
                    smoothstep(40, 60, height_up) * (1.0 - smoothstep(3, 12, below_top)) *
                    smoothstep(0.35, 0.6,
                               tiled_fbm(double(x) / width, double(y) / height, 64, 3, 0.5, 85));
                rock = rock + hex(0x7880B0) * (0.55 * snow) +
                       hex(0x30FF88) * (0.22 * std::exp(-below_top / 1.5));
                p = mix(p, rock, clamp01(y - far + 1));
            }
            if (y >= near) {
                const colour hill = mix(hex(0x0E1020), hex(0x06070E), smoothstep(0, 20, y - near));
                p = mix(p, hill, clamp01(y - near + 1));
            }
            if (y >= tree_top[size_t(x)])
                p = hex(0x04050A);
            p = p + hex(0x6070A8) * (0.22 * std::exp(-(shore - 1 - y) / 5.0));
        }
    }
    return above;
}

} // namespace

media::image make_picture() {
    const std::vector<colour> above = land();
    auto at = [&](int x, int y) {
        return above[size_t(std::clamp(y, 0, shore - 1)) * width +
                     size_t((x % width + width) % width)];
    };
    media::image out(width, height);
    for (int y = 0; y < shore; ++y)
        for (int x = 0; x < width; ++x)
            out.at(x, y) = to_pixel(at(x, y));
    // The lake: each row mirrors one above the shore, moved sideways by ripples that grow toward
    // the viewer, darker and bluer, with the moon's glitter on it.
    for (int y = shore; y < height; ++y) {
        const int depth = y - shore;
        const int mirrored = height - 1 - y;
        const double swing = 1.0 + depth * 0.05;
        for (int x = 0; x < width; ++x) {
            const double wave = tiled_noise(double(x) / width * 32, depth * 0.45, 32, 91) - 0.5;
            const int sx = x + int(std::lround(swing * 2.0 * wave));
            colour c = at(sx, mirrored) * hex(0x98A8D0) * (0.62 - 0.12 * depth / shore);
            const double near_moon =
                std::exp(-std::pow(wrapped_distance(x, moon_x) / (4 + depth * 0.12), 2));
            if (hash01(x, y, 93) < 0.35 * near_moon)
                c = c + hex(0xE8E4D0) * (0.5 * near_moon);
            c = c + hex(0x6070A8) * (0.22 * std::exp(-depth / 5.0));
            out.at(x, y) = to_pixel(c);
        }
    }
    // The bottom rows meet the top ones when the picture repeats: ease them into each other.
    for (int k = 0; k < 8; ++k) {
        const double w = (8 - k) / 9.0;
        for (int x = 0; x < width; ++x) {
            uint32_t& p = out.at(x, height - 1 - k);
            p = to_pixel(mix(from_pixel(p), from_pixel(out.at(x, 0)), w));
        }
    }
    return out;
}

} // namespace content
