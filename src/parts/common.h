#pragma once
// What both scenes share: the textures loaded at start-up, the sprite overlay, the line-glitch
// table, the random generators, and the access layer through which every track is read.
#include <cstdint>

#include "obj/filter.h"

class qbx_surface;
class Timeline;

struct commonResources {
    qbx_surface* alpha = nullptr;        // "assets\alpha.tga", 8-bit brightness mask, 320 x 180
    qbx_surface* overlay = nullptr;      // "assets\overlay.tga", a strip of 16 x 16 sprites
    unsigned char* overlayMap = nullptr; // 20 x 11 bytes: 0 empty, k draws sprite k-1
};
extern commonResources common;

// The access layer the scenes read their tracks from; set by the driver before any scene runs.
extern Timeline* timeline;

// State of myrand and of the overlay generator; starts at 0.
extern uint32_t myseed;
// The next value of the shared xorshift-multiply generator.
unsigned myrand();

// The scenes' second generator (glitch blocks, the rows of the light bars): 15-bit results,
// 0 .. 32767, the same sequence on every platform and every run.
unsigned scene_rand();

// Puts both generators (myseed and scene_rand) back where a run starts, so that a run can be
// replayed frame for frame from its beginning. Call it before the first frame of each replay.
void reset_random_state();

// Clears and fills a width x height overlay map from the "overlay#..." tracks at `time`. 0.
int overlay_trendwhore(float time, unsigned char* map, unsigned width, unsigned height);
// Adds the sprites that `map` selects to `dst`, one size x size cell per byte, starting two lines
// down. Bytes beyond the strip's sprite count draw nothing; nothing is drawn unless the grid and
// the sprites fit inside the surfaces' rectangles. 0.
int spritegrid_draw(qbx_surface* dst, qbx_surface* sprites, unsigned char* map, unsigned size,
                    unsigned columns, unsigned rows, unsigned colour);
// Fills `count` glitch records (mask and shift) from the "glitch#..." tracks at `time`.
void fill_glitch(float time, flt_rgbsh* table, unsigned count);
// Loads a TGA file into a new surface, owned by the caller: 32-bit pixels, or 8-bit ones when
// eightBit. The surface has one extra line below the picture, a copy of line 0 when copyFirstRow;
// its active rectangle is the picture. On failure (missing, unreadable or unsupported file, a
// width that is not a multiple of 8) prints "unable to load texture NAME" to standard error and
// returns null.
qbx_surface* loadTexture(const char* name, bool copyFirstRow, bool eightBit);
