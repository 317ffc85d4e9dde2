#include "parts/bmpdist.h"

#include <cmath>

#include "obj/sintab.h"
#include "obj/sprdraw.h"
#include "parts/common.h"
#include "parts/tracks.h"

namespace {

// The table index of an angle in radians: truncated toward zero, wrapped to 16 bits.
uint32_t angle_index(double radians) {
    const double units = radians * SINTAB_UNITS_PER_RADIAN;
    if (std::fabs(units) < 0x1p63)
        return static_cast<uint32_t>(static_cast<int64_t>(units)) & 0xFFFF;
    if (!std::isfinite(units))
        return 0;
    // So large that it is a whole number already; its remainder by 2^16 is exact.
    const double low = std::fmod(units, 65536.0);
    return static_cast<uint32_t>(low < 0 ? low + 65536.0 : low) & 0xFFFF;
}

double S(double radians) {
    return sintab[angle_index(radians)];
}

double C(double radians) {
    return costab[angle_index(radians)];
}

// Adds the logo, centred on render, at a brightness that pulses between about 19% and 31%.
void draw_logo(const scene_surfaces& s, const qbx_surface& logo, float time) {
    const uint32_t level = static_cast<uint32_t>(std::sin(4.3L * time) * 16 + 64);
    const uint32_t width = logo.rect_width, height = logo.rect_height;
    uint8_t* dst = s.render_line((frame_height - height) / 2) + (frame_width - width) / 2 * 4;
    flare_addmul(dst, logo.data, static_cast<int>(height), static_cast<int>(width / 2),
                 static_cast<int>(s.render->pitch - logo.pitch), 0, level * 0x010101u);
}

} // namespace

void distortion_nodes(float time, double sineScale, double scale, grid* nodes) {
    const double t = time, K = scale * 65536;
    const double swing = 12 * S(0.14 * t);
    for (int j = 0; j < 23; ++j) {
        const double fy = (-88 + 8 * j) * 0.0015625;
        const double s1 = S(swing + 22 * fy);
        const double s4 = S(12 * fy + 0.32 * t);
        for (int i = 0; i < 41; ++i) {
            const double fx = (-160 + 8 * i) * 0.0015625;
            const double s2 = S(0.14 * t + 42 * fx);
            const float X = static_cast<float>(fx + sineScale * (s1 * (s2 * 0.21)));
            const double c3 = C(21 * static_cast<double>(X) + 0.21 * t);
            const double Y = fy + sineScale * (0.21 * c3 * s4);
            grid& node = nodes[j * 41 + i];
            node.u = trunc_wrap(X * K + 65536);
            node.v = trunc_wrap(K * Y + 32768);
        }
    }
}

bitmapdist::bitmapdist() : part("bitmapdist") {}

bitmapdist::~bitmapdist() = default;

int bitmapdist::init(qbx_surface* target, unsigned long) {
    if (!sintab)
        return scene_failure(name, "the sine tables are not built");
    if (int failed = surfaces.create(name, target))
        return failed;
    texture.reset(loadTexture("assets\\512.tga", true, false));
    logo.reset(loadTexture("assets\\logo.tga", false, false));
    if (!texture || !logo)
        return 1;
    if (texture->rect_width != 512 || texture->rect_height != 256)
        return scene_failure(name, "the distortion texture must be 512 x 256 pixels");
    if (logo->rect_width > frame_width || logo->rect_height > frame_height)
        return scene_failure(name, "the logo must not be larger than 320 x 180 pixels");
    // Both scenes draw into this centred rectangle.
    target->rect((target->width - frame_width) / 2, (target->height - frame_height) / 2,
                 frame_width, frame_height);
    surfaces.render->rect((surfaces.render->width - frame_width) / 2,
                          (surfaces.render->height - frame_height) / 2, frame_width, frame_height);
    return 0;
}

int bitmapdist::run(float time, float) {
    const scene_surfaces& s = surfaces;
    clear_borders(s);
    const overlay_settings overlay = read_overlay(time);
    overlay_trendwhore(time, common.overlayMap, 20, 11);

    distortion_nodes(time, track("bitmapdist#sineScale", time), track("bitmapdist#scale", time),
                     s.nodes.get());
    grid_tmap_8b_512x256(s.render_line(2), s.nodes.get(), texture->data, 22);
    draw_overlay_and_bars(s, time, overlay);

    finish_frame(s, time, false, [&] {
        if (track("bitmapdist#logo", time) > 0)
            draw_logo(s, *logo, time);
    });
    return 0;
}
