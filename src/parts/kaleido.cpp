#include "parts/kaleido.h"

#include "parts/common.h"
#include "parts/kaleido_grid.h"
#include "parts/tracks.h"

namespace {

// A texture of the 256-wide grid mapper: 256 x 256 pixels and the repeated first line.
std::unique_ptr<qbx_surface> load_256(const char* scene, const char* name) {
    std::unique_ptr<qbx_surface> texture(loadTexture(name, true, false));
    if (texture && (texture->rect_width != 256 || texture->rect_height != 256)) {
        scene_failure(scene, "a kaleidoscope texture must be 256 x 256 pixels");
        texture.reset();
    }
    return texture;
}

kaleido_tracks read_grid_tracks(float time) {
    return {track("kaleido#rotConstVel", time), track("kaleido#rotSinSwing", time),
            track("kaleido#rotSinVel", time),   track("kaleido#angle", time),
            track("kaleido#pow", time),         track("kaleido#scale", time),
            track("kaleido#subdiv", time),      track("kaleido#dispConstX", time),
            track("kaleido#dispSpeedX", time),  track("kaleido#dispSwingX", time),
            track("kaleido#dispConstY", time),  track("kaleido#dispSpeedY", time),
            track("kaleido#dispSwingY", time)};
}

} // namespace

kaleido0::kaleido0() : part("kaleido0") {}

kaleido0::~kaleido0() = default;

int kaleido0::init(qbx_surface* target, unsigned long) {
    if (int failed = surfaces.create(name, target))
        return failed;
    texture = load_256(name, "assets\\texture.tga");
    texture1 = load_256(name, "assets\\texture1.tga");
    return texture && texture1 ? 0 : 1;
}

int kaleido0::run(float time, float) {
    const scene_surfaces& s = surfaces;
    clear_borders(s);
    const overlay_settings overlay = read_overlay(time);
    const qbx_surface& tex = track("kaleido#texture", time) > 0 ? *texture1 : *texture;
    overlay_trendwhore(time, common.overlayMap, 20, 11);

    kaleido_nodes(kaleido_frame_at(read_grid_tracks(time), time), s.nodes.get());
    grid_tmap_8b(s.render_line(2), s.nodes.get(), tex.data, 22);
    draw_overlay_and_bars(s, time, overlay);

    finish_frame(s, time, true, [] {});
    return 0;
}
