#pragma once
// The bitmap distortion scene: a 512 x 256 picture seen through a wobbling sine grid, with a
// pulsing logo in the centre, the overlay sprites, light bars, radial blur, glitch and the same
// post-processing as the kaleidoscope. Its init centres the 320 x 180 frame on the back surface
// for both scenes.
#include <memory>

#include "obj/gridlerp.h"
#include "parts/part.h"
#include "parts/scene_frame.h"

class bitmapdist : public part {
  public:
    bitmapdist();
    ~bitmapdist() override;

    // Loads "assets\512.tga" (512 x 256) and "assets\logo.tga" (at most 320 x 180), allocates the
    // work surfaces and centres the frame's rectangle on `target`. Non-zero, with the reason
    // printed, when something is missing or unfit. Needs the sine tables.
    int init(qbx_surface* target, unsigned long flags) override;
    int run(float time, float frameTime) override;

  private:
    scene_surfaces surfaces;
    std::unique_ptr<qbx_surface> texture, logo;
};

// The distortion grid at scene time `time`: 41 x 23 nodes into `nodes` (words 2 and 3 are left
// alone). `sineScale` is the wobble's amplitude, `scale` the zoom (1: 320 pixels span 128 texels).
void distortion_nodes(float time, double sineScale, double scale, grid* nodes);
