#pragma once
// The production's pictures, painted procedurally: the two kaleidoscope textures, the picture
// behind the distortion, the logo, the overlay sprites and the brightness mask.
#include <string>

#include "media/image.h"

namespace content {

constexpr int overlay_sprite_size = 16;
constexpr int overlay_sprite_count = 16;

// "texture.tga", 256 x 256, tiles seamlessly: stained glass in jewel colours.
media::image make_stained_glass();
// "texture1.tga", 256 x 256, tiles seamlessly: swirling ink with gold contour lines.
media::image make_ink();
// "512.tga", 512 x 256, tiles seamlessly: an aurora over mountains and a wooded headland,
// mirrored in a lake with village lights and glowing plankton.
media::image make_picture();
// "logo.tga": "foldline" and "Parallax Foundry" on black, 296 wide.
media::image make_logo();
// "overlay.tga": a strip of 16 x 16 sprites, top to bottom; 0 and 1 are truchet arcs that join
// into curves whichever way they are laid.
media::image make_overlay();
// "alpha.tga", 320 x 180 grey: a vignette with faint scanlines.
media::gray_image make_mask();

// Writes every image into `folder` under its asset name; false when one cannot be written.
bool write_images(const std::string& folder);

} // namespace content
