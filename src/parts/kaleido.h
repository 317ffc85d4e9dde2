#pragma once
// The kaleidoscope scene: a texture folded into rotating mirror wedges, the overlay sprites and
// light bars, an optional coloured radial blur, then blur and glow, brightness mask, line glitch
// and fade into the back surface, which it presents.
#include <memory>

#include "parts/part.h"
#include "parts/scene_frame.h"

class kaleido0 : public part {
  public:
    kaleido0();
    ~kaleido0() override;

    // Loads "assets\texture.tga" and "assets\texture1.tga" (256 x 256 each) and allocates the
    // work surfaces. Non-zero, with the reason printed, when something is missing or unfit.
    int init(qbx_surface* target, unsigned long flags) override;
    int run(float time, float frameTime) override;

  private:
    scene_surfaces surfaces;
    std::unique_ptr<qbx_surface> texture, texture1;
};
