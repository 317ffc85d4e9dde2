#pragma once
// Both scenes on a scene world, with tracks that ask for the same kernel work as the kernel-only
// frames of obj_scene.h: the same folded grid and wobble, 110 overlay sprites, five light bars,
// the radial blur at strength 2, the blur of width 3 (added to the picture in the kaleidoscope),
// the glitch in blocks with shifts of 8 .. 23 pixels, the logo, the fade.
#include <map>
#include <numbers>
#include <string>

#include "obj/sintab.h"
#include "parts/bmpdist.h"
#include "parts/kaleido.h"
#include "parts/kaleido_grid.h"
#include "support/scene_world.h"

namespace scene_bench {

constexpr float kaleido_time = 1.0f, distortion_time = 1.0f;

// Eight mirrored wedges turned by 0.7, the fold offset by 0.3, 0.8 texture widths per unit of
// radius, displaced by (900, -4000) / 256 texels.
inline const kaleido_tracks kaleido_grid = {0.7,         0, 0, 0.3 / std::numbers::pi, 1, 0.8, 4,
                                            900.0 / 256, 0, 0, -4000.0 / 256,          0, 0};

inline std::map<std::string, double> tracks() {
    const kaleido_tracks& k = kaleido_grid;
    return {{"kaleido#rotConstVel", k.rotConstVel},
            {"kaleido#angle", k.angle},
            {"kaleido#pow", k.pow},
            {"kaleido#scale", k.scale},
            {"kaleido#subdiv", k.subdiv},
            {"kaleido#dispConstX", k.dispConstX},
            {"kaleido#dispConstY", k.dispConstY},
            {"bitmapdist#sineScale", 0.8},
            {"bitmapdist#scale", 0.9},
            {"bitmapdist#logo", 1},
            // At time 1 this draws 110 sprites in three rectangles.
            {"overlay#en", 1},
            {"overlay#type", 1},
            {"overlay#count", 3},
            {"overlay#max", 1},
            {"overlay#freq", 657},
            {"overlay#opacity", 128.5 / 255},
            {"bars#count", 5},
            {"bars#intensity", 48.5 / 255},
            {"radialBlur#en", 1},
            {"radialBlur#strength", 2},
            {"radialBlur#scale", 256},
            {"glitch#en", 1},
            {"glitch#shift", 16},
            {"glitch#colored", 1},
            {"glitch#blockSize", 2},
            {"blur#blurEn", 1},
            {"blur#blurWidth", 3},
            {"blur#additive", 1},
            {"blur#addOpacity", 128.5 / 255},
            {"main#blendfade", 64.5 / 255},
            {"main#blendcolor", 32.5 / 255}};
}

// The world, its tracks, and both scenes initialised as the driver does it.
struct stage {
    stage() {
        w.keep_shown = false;
        initsintab();
        w.set(tracks());
        w.open_tracks();
        if (distortion.init(&w.back, 0) || kaleido.init(&w.back, 0))
            std::abort();
    }
    ~stage() { donesintab(); }

    scene_world::world w;
    bitmapdist distortion;
    kaleido0 kaleido;
};

} // namespace scene_bench
