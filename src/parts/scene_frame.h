#pragma once
// What a scene owns besides its textures, and the steps of a frame that both scenes share: the
// sprite overlay, the light bars, the glitch table, the radial blur, the blur passes, the final
// pass into the back surface and the presentation.
#include <cstdint>
#include <memory>

#include "framebuffer/surface.h"
#include "obj/filter.h"
#include "obj/gridlerp.h"
#include "parts/tracks.h"

inline constexpr uint32_t frame_width = 320, frame_height = 180;

struct scene_surfaces {
    qbx_surface* target = nullptr;           // the back surface; the frame goes into its rectangle
    std::unique_ptr<qbx_surface> render;     // 320 x 180, pitch 2048: the picture is composed here
    std::unique_ptr<qbx_surface> halfT;      // 96 x 160, rectangle 90 x 160: blurred, transposed
    std::unique_ptr<qbx_surface> half;       // 160 x 96, rectangle 160 x 90: blurred
    std::unique_ptr<grid[]> nodes;           // 41 x 23 grid nodes
    std::unique_ptr<uint8_t[]> lineA, lineB; // scratch lines of the filter chains

    // Checks the back surface and the shared resources a frame needs, and allocates the rest.
    // 0, or non-zero after printing what is wrong, prefixed with the scene's name.
    int create(const char* scene, qbx_surface* target);

    // render's first pixel, and that of its line y.
    uint8_t* render_line(uint32_t y) const;
};

// Prints "SCENE: WHAT" to standard error and returns 1, for an init that cannot go on.
int scene_failure(const char* scene, const char* what);

// Lines 0, 1, 178 and 179 of render, which the grid does not draw, to black.
void clear_borders(const scene_surfaces& s);

// "overlay#en" and "overlay#opacity" at `time`.
struct overlay_settings {
    bool on;
    uint32_t colour; // multiplier of the sprites
};
overlay_settings read_overlay(float time);

// The overlay sprites (when on) and the light bars ("bars#...") onto render.
void draw_overlay_and_bars(const scene_surfaces& s, float time, const overlay_settings& overlay);

// The glitch table of a frame: zeroed, then filled from the tracks when `on`.
void prepare_glitch(float time, bool on, flt_rgbsh* table, unsigned count);

// The coloured radial blur on render, in place. The strength is held to where every channel's
// weight and its complement fit a byte.
void radial_blur(const scene_surfaces& s, float strength, float scale);

// The post-processing of a frame: the blur passes and the final pass into the back surface.
struct post_settings {
    bool blurOn = false;
    bool additive = false;  // the blur added to the picture (kaleidoscope only)
    uint32_t addColour = 0; // weight of the added blur
    int32_t blurWidth = 1;  // 1 .. 64
    uint32_t fade = 0, level = 0;
    const flt_rgbsh* glitch = nullptr; // the glitch table when the glitch is on
};
// The blur and fade tracks at `time`; the additive blend only when `additive` may be on.
post_settings read_post(float time, bool additive);
void post_process(const scene_surfaces& s, const post_settings& settings);

// Shows the back surface: converted into the display, then flipped.
void present(const scene_surfaces& s);

// The rest of a frame after the sprites and bars: the glitch table, `before_radial` (a scene's
// own drawing at that point), the radial blur, the post-processing and the presentation.
template <typename Draw>
void finish_frame(const scene_surfaces& s, float time, bool additive, Draw before_radial) {
    const bool radialOn = track("radialBlur#en", time) > 0;
    const float strength = static_cast<float>(track("radialBlur#strength", time));
    const float scale = static_cast<float>(track("radialBlur#scale", time));
    const bool glitchOn = track("glitch#en", time) > 0;
    flt_rgbsh glitch[frame_height];
    prepare_glitch(time, glitchOn, glitch, frame_height);
    before_radial();
    if (radialOn)
        radial_blur(s, strength, scale);
    post_settings post = read_post(time, additive);
    post.glitch = glitchOn ? glitch : nullptr;
    post_process(s, post);
    present(s);
}
