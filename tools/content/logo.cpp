#include <cmath>
#include <string>
#include <vector>

#include "content/images.h"
#include "content/paint.h"
#include "media/pixel_font.h"

namespace content {

namespace {

constexpr int logo_width = 296, logo_height = 92;
constexpr int dot = 6; // the title's font dots are 6 x 6 pixel tiles

// Box blur of a coverage map, `radius` pixels each way, run twice for a soft falloff.
std::vector<double> soften(std::vector<double> map, int radius) {
    for (int pass = 0; pass < 4; ++pass) {
        std::vector<double> out(map.size(), 0.0);
        const bool across = pass % 2 == 0;
        for (int y = 0; y < logo_height; ++y)
            for (int x = 0; x < logo_width; ++x) {
                double sum = 0;
                for (int k = -radius; k <= radius; ++k) {
                    const int sx = across ? x + k : x, sy = across ? y : y + k;
                    if (sx >= 0 && sy >= 0 && sx < logo_width && sy < logo_height)
                        sum += map[size_t(sy) * logo_width + size_t(sx)];
                }
                out[size_t(y) * logo_width + size_t(x)] = sum / (2 * radius + 1);
            }
        map = std::move(out);
    }
    return map;
}

} // namespace

media::image make_logo() {
    const std::string title = "foldline", credit = "Parallax Foundry";
    std::vector<colour> light(size_t(logo_width) * logo_height);
    std::vector<double> ink(light.size(), 0.0);
    auto add = [&](int x, int y, colour c) {
        if (x >= 0 && y >= 0 && x < logo_width && y < logo_height)
            light[size_t(y) * logo_width + size_t(x)] =
                light[size_t(y) * logo_width + size_t(x)] + c;
    };

    // The title: every font dot a tile folded along its diagonal, lit from the top left, in a
    // gradient from cyan through violet to pink.
    const int title_x = (logo_width - media::text_width(title, dot)) / 2, title_y = 10;
    for (size_t i = 0; i < title.size(); ++i)
        for (int gy = 0; gy < media::glyph_height; ++gy)
            for (int gx = 0; gx < media::glyph_width; ++gx) {
                if (!media::glyph_dot(title[i], gx, gy))
                    continue;
                const int x0 = title_x + (int(i) * media::glyph_advance + gx) * dot;
                const int y0 = title_y + gy * dot;
                const double across = double(x0 - title_x) / media::text_width(title, dot);
                const colour hue = across < 0.5 ? mix(hex(0x40E0FF), hex(0xA070FF), across * 2)
                                                : mix(hex(0xA070FF), hex(0xFF60B0), across * 2 - 1);
                for (int y = 0; y < dot; ++y)
                    for (int x = 0; x < dot; ++x) {
                        const bool lit = x + y < dot - 1;
                        const bool crease = x + y == dot - 1;
                        // Near white where lit: the scene adds the logo at a third of its
                        // brightness, so it has to be bright to read over the lake.
                        add(x0 + x, y0 + y,
                            hue * (crease ? 0.9
                                   : lit  ? 0.8
                                          : 0.75) +
                                colour{1, 1, 1} * (lit      ? 0.6
                                                   : crease ? 0.25
                                                            : 0.1));
                        ink[size_t(y0 + y) * logo_width + size_t(x0 + x)] = 1.0;
                    }
            }
    const std::vector<double> glow = soften(ink, 4);
    for (int y = 0; y < logo_height; ++y)
        for (int x = 0; x < logo_width; ++x) {
            const double across = double(x) / logo_width;
            add(x, y,
                mix(hex(0x3060FF), hex(0xFF3090), across) *
                    (0.9 * glow[size_t(y) * logo_width + size_t(x)]));
        }

    // The fold line under the title, brightest in the middle.
    const int line_y = title_y + 7 * dot + 6;
    for (int x = 16; x < logo_width - 16; ++x) {
        const double fade = std::sin(3.14159265358979 * (x - 16) / (logo_width - 32));
        add(x, line_y, colour{0.9, 0.92, 1.0} * fade);
        add(x, line_y + 1, colour{0.3, 0.35, 0.6} * fade);
    }

    // The credit, twice as large as the font, with a pink and a cyan ghost one pixel to either
    // side.
    media::image credit_layer(logo_width, logo_height);
    const int credit_x = (logo_width - media::text_width(credit, 2)) / 2, credit_y = line_y + 7;
    media::draw_text(credit_layer, credit_x, credit_y, credit, 0xFFFFFFFFu, 2);
    for (int y = 0; y < logo_height; ++y)
        for (int x = 0; x < logo_width; ++x) {
            auto on = [&](int sx) {
                return sx >= 0 && sx < logo_width && credit_layer.at(sx, y) != 0;
            };
            add(x, y,
                colour{1, 1, 1} * (on(x) ? 1.0 : 0.0) + hex(0xFF4090) * (on(x + 1) ? 0.45 : 0.0) +
                    hex(0x40D0FF) * (on(x - 1) ? 0.45 : 0.0));
        }

    media::image out(logo_width, logo_height);
    for (size_t i = 0; i < light.size(); ++i)
        out.pixels[i] = to_pixel(light[i]);
    return out;
}

bool write_images(const std::string& folder) {
    const std::string at = folder + "/";
    return media::save_bytes(at + "texture.tga", media::encode_tga(make_stained_glass())) &&
           media::save_bytes(at + "texture1.tga", media::encode_tga(make_ink())) &&
           media::save_bytes(at + "512.tga", media::encode_tga(make_picture())) &&
           media::save_bytes(at + "logo.tga", media::encode_tga(make_logo())) &&
           media::save_bytes(at + "overlay.tga", media::encode_tga(make_overlay())) &&
           media::save_bytes(at + "alpha.tga", media::encode_tga(make_mask()));
}

} // namespace content
