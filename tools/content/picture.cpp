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
    const double d = std::fabs(std::fmod(std::fabs(a - b), double(width)));
    return std::min(d, width - d);
}

// The middle of the picture, where the title stands over the lake: a dark wooded headland with
// no lights, so that the added title reads against it.
constexpr double headland_x = 256, headland_reach = 110;

double in_headland(double x) {
    return 1.0 - smoothstep(0.6, 1.0, wrapped_distance(x, headland_x) / headland_reach);
}

// Deep indigo overhead, violet lower down and a rose afterglow along the mountains.
colour sky(int y) {
    const double t = double(y) / shore;
    const colour c = mix(hex(0x0A0C2C), hex(0x2A2470), std::pow(t, 1.3));
    return c + hex(0x6A2A78) * (0.8 * smoothstep(0.45, 1.0, t)) +
           hex(0xC04A70) * (0.5 * smoothstep(0.75, 1.0, t));
}

// Curtains of light rising from a wavy lower edge, green below, violet above with a pink fringe
// at the foot, streaked with vertical rays.
colour aurora(int x, int y) {
    struct curtain {
        double base, swing, reach, strength;
        colour low, high;
        uint32_t seed;
    };
    static const curtain curtains[] = {
        {66, 24, 48, 1.5, hex(0x30FF90), hex(0xA040FF), 41},
        {44, 18, 30, 1.0, hex(0x40F0FF), hex(0xFF50C0), 43},
        {84, 14, 22, 0.8, hex(0x60FF70), hex(0x40A0FF), 47},
    };
    colour sum;
    for (const curtain& k : curtains) {
        const double edge = k.base + k.swing * (ridge(x, 5, 3, k.seed) - 0.5) * 2.0;
        const double above = edge - y;
        const double streak = tiled_fbm(double(x) / width, 0.2, 48, 3, 0.6, k.seed + 1);
        const double rays = 0.35 + 1.2 * streak * streak;
        const double light = (above >= 0 ? smoothstep(-2, 4, above) * std::exp(-above / k.reach)
                                         : 0.35 * std::exp(above / 2.5)) *
                             rays * k.strength;
        colour tint = mix(k.low, k.high, smoothstep(0, 1.6 * k.reach, above));
        tint = tint + hex(0xFF5090) * (0.6 * (1.0 - smoothstep(0, 4, above)));
        sum = sum + tint * (0.8 * light);
    }
    return sum;
}

constexpr double moon_x = 96, moon_y = 26, moon_r = 12;

colour moon(int x, int y, colour behind) {
    const double d = std::hypot(wrapped_distance(x, moon_x), y - moon_y);
    if (d < moon_r + 0.5) {
        const double edge = clamp01(moon_r + 0.5 - d);
        const double limb = 0.75 + 0.25 * std::sqrt(clamp01(1 - (d * d) / (moon_r * moon_r)));
        const double seas = tiled_fbm(double(x) / width, double(y) / height, 64, 3, 0.5, 51);
        const colour disc = hex(0xFFF6E4) * (limb * (0.85 + 0.3 * (seas - 0.5) * 2.0));
        return mix(behind, disc, edge);
    }
    return behind + hex(0x90A0E0) * (0.55 * std::exp(-(d - moon_r) / 14.0));
}

// Windows of a village along the shore: warm points that the lake draws out into long streaks.
struct light {
    double x;
    int y;
    colour tint;
};

std::vector<light> shore_lights() {
    noise_source pick(77);
    std::vector<light> lights;
    for (int i = 0; i < 26; ++i) {
        const double x = pick.unit() * width;
        const int y = shore - 2 - int(pick.unit() * 5);
        const colour tint = mix(hex(0xFFB040), hex(0xFF7050), pick.unit());
        if (in_headland(x) == 0)
            lights.push_back({x, y, tint});
    }
    return lights;
}

// Sky, stars, aurora and moon above the mountains.
void paint_sky(std::vector<colour>& above) {
    for (int y = 0; y < shore; ++y)
        for (int x = 0; x < width; ++x)
            above[size_t(y) * width + size_t(x)] = sky(y);
    noise_source stars(61);
    for (int i = 0; i < 420; ++i) {
        const int x = int(stars.unit() * width), y = 3 + int(stars.unit() * 100);
        const double glow = 0.3 + 0.7 * std::pow(stars.unit(), 3.0);
        const colour tint = mix(hex(0xA8C0FF), hex(0xFFE8C8), stars.unit());
        above[size_t(y) * width + size_t(x)] = above[size_t(y) * width + size_t(x)] + tint * glow;
        if (glow > 0.65) // the brightest have a small cross
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int sx = (x + dx + width) % width, sy = std::clamp(y + dy, 0, shore - 1);
                colour& p = above[size_t(sy) * width + size_t(sx)];
                p = p + tint * (glow * 0.4);
            }
    }
    for (int y = 0; y < shore; ++y)
        for (int x = 0; x < width; ++x) {
            colour& p = above[size_t(y) * width + size_t(x)];
            p = moon(x, y, p + aurora(x, y));
        }
}

// The tops of the pines along the shore, per column: low ones all along it, tall and dense ones
// on the headland.
std::vector<double> pine_tops() {
    noise_source pines(71);
    std::vector<double> tree_top(width, shore);
    for (int i = 0; i < 300; ++i) {
        const double cx = pines.unit() * width, grow = pines.unit() * pines.unit();
        const double wood = in_headland(cx);
        if (i >= 110 && wood == 0)
            continue; // the extra trees stand on the headland only
        const double tall = 4 + (9 + 14 * wood) * grow + 8 * wood;
        for (int x = int(cx - tall); x <= int(cx + tall); ++x) {
            const double half = tall * 0.32;
            const double reach = 1.0 - wrapped_distance(x, cx) / half;
            if (reach > 0) {
                double& top = tree_top[size_t((x + width) % width)];
                top = std::min(top, shore - 1 - tall * std::min(1.0, reach * 1.2));
            }
        }
    }
    return tree_top;
}

// Two mountain ranges lit by the aurora, a row of pines along the shore and the village's
// windows among them.
void paint_land(std::vector<colour>& above) {
    const std::vector<double> tree_top = pine_tops();
    for (int x = 0; x < width; ++x) {
        // Ridged noise gives sharp peaks: the far range rises high, the near hills stay low.
        const double far =
            shore - 14 - 62 * std::pow(1.0 - std::fabs(2 * ridge(x, 5, 5, 81) - 1), 2.2);
        const double near = shore - 6 - 26 * std::pow(ridge(x, 4, 5, 83), 1.8);
        const colour rim = mix(hex(0x30FF90), hex(0x60C0FF), ridge(x, 3, 2, 87));
        for (int y = 0; y < shore; ++y) {
            colour& p = above[size_t(y) * width + size_t(x)];
            const double height_up = shore - far;
            if (y >= far) {
                const double below_top = y - far;
                const double strata =
                    tiled_fbm(double(x) / width, double(y) / height, 32, 4, 0.55, 89);
                colour rock = mix(hex(0x4A4C96), hex(0x1C1E4C), smoothstep(0, 34, below_top)) *
                              (0.75 + 0.5 * strata);
                // Snow on the high peaks, and the aurora's light on the ridge line.
                const double snow =
                    smoothstep(36, 58, height_up) * (1.0 - smoothstep(4, 16, below_top)) *
                    smoothstep(0.35, 0.6,
                               tiled_fbm(double(x) / width, double(y) / height, 64, 3, 0.5, 85));
                rock =
                    rock + hex(0xB0C8FF) * (0.8 * snow) + rim * (0.55 * std::exp(-below_top / 2));
                p = mix(p, rock, clamp01(y - far + 1));
            }
            if (y >= near) {
                const double below_top = y - near;
                const colour hill =
                    mix(hex(0x262858), hex(0x10122A), smoothstep(0, 20, below_top)) +
                    rim * (0.3 * std::exp(-below_top / 1.5));
                p = mix(p, hill, clamp01(below_top + 1));
            }
            if (y >= tree_top[size_t(x)])
                p = hex(0x080A18);
            // Mist over the water line.
            p = p + hex(0x7060B0) * (0.3 * std::exp(-(shore - 1 - y) / 5.0));
        }
    }
    for (const light& l : shore_lights()) {
        const int x = int(l.x);
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const int y = l.y + dy;
                if (y < 0 || y >= shore)
                    continue;
                const double d = std::hypot(dx, dy);
                colour& p = above[size_t(y) * width + size_t((x + dx + width) % width)];
                p = p + l.tint * (d < 0.5 ? 1.2 : 0.35 * std::exp(-d / 1.2));
            }
    }
}

std::vector<colour> land() {
    std::vector<colour> above(size_t(width) * shore);
    paint_sky(above);
    paint_land(above);
    return above;
}

// Plankton glowing under the surface: small cyan and green sparks with a soft halo, more of them
// toward the viewer.
void paint_plankton(media::image& out) {
    noise_source sparks(97);
    for (int i = 0; i < 300; ++i) {
        const double x = sparks.unit() * width;
        const int y = shore + 12 + int(std::sqrt(sparks.unit()) * (height - shore - 24));
        const double glow = 0.4 + 0.6 * sparks.unit();
        const colour tint = mix(hex(0x30E0FF), hex(0x50FF90), sparks.unit());
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const double d = std::hypot(dx * 0.8, dy * 1.4);
                uint32_t& p = out.at((int(x) + dx + width) % width, y + dy);
                p = to_pixel(from_pixel(p) + tint * (glow * std::exp(-d * d / 1.5)));
            }
    }
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
    // the viewer, bluer, crossed by bands of rippled light; the moon's glitter and the village's
    // windows are drawn out into streaks on it.
    const std::vector<light> lights = shore_lights();
    for (int y = shore; y < height; ++y) {
        const int depth = y - shore;
        const int mirrored = height - 1 - y;
        const double swing = 1.0 + depth * 0.06;
        for (int x = 0; x < width; ++x) {
            const double wave = tiled_noise(double(x) / width * 32, depth * 0.45, 32, 91) - 0.5;
            const int sx = x + int(std::lround(swing * 2.5 * wave));
            const double band = tiled_noise(double(x) / width * 16, depth * 0.7, 16, 95);
            const double sheen = 0.85 + 0.5 * smoothstep(0.55, 0.8, band);
            colour c = at(sx, mirrored) * hex(0xA8B8E8) * (sheen * (0.95 - 0.2 * depth / shore));
            const double near_moon =
                std::exp(-std::pow(wrapped_distance(x, moon_x) / (5 + depth * 0.16), 2));
            if (hash01(x, y, 93) < 0.4 * near_moon)
                c = c + hex(0xFFF4DC) * (0.6 * near_moon);
            for (const light& l : lights) {
                const double off = wrapped_distance(x + 1.5 * wave * swing, l.x);
                if (off < 2.5 && hash01(x, y, 99) < 0.75)
                    c = c + l.tint * (0.8 * std::exp(-depth / 40.0) * (1 - off / 2.5));
            }
            c = c + hex(0x7060B0) * (0.3 * std::exp(-depth / 5.0));
            out.at(x, y) = to_pixel(c);
        }
    }
    paint_plankton(out);
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
