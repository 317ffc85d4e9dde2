#pragma once
// What both scenes share: the textures loaded at start-up, the sprite overlay, the line-glitch
// table, the random generators, and the access layer through which every track is read.
#include <cstdint>

#include "obj/filter.h"

class qbx_surface;
class Timeline;

struct commonResources {
    qbx_surface* alpha = nullptr;        // "assets\alpha.tga", 8-bit brightness mask
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

// Clears and fills a width x height overlay map from the "overlay#..." tracks at `time`. 0.
int overlay_trendwhore(float time, unsigned char* map, unsigned width, unsigned height);
// Adds the sprites that `map` selects to `dst`, one size x size cell per byte, starting two lines
// down. 0.
int spritegrid_draw(qbx_surface* dst, qbx_surface* sprites, unsigned char* map, unsigned size,
                    unsigned columns, unsigned rows, unsigned colour);
// Fills `count` glitch records from the "glitch#..." tracks at `time`.
void fill_glitch(float time, flt_rgbsh* table, unsigned count);
// Loads a TGA file into a new surface (one extra line below the picture, a copy of line 0 when
// copyFirstRow); prints "unable to load texture NAME" and returns null on failure.
qbx_surface* loadTexture(const char* name, bool copyFirstRow, bool eightBit);
