#pragma once
// The kaleidoscope's grid: 41 x 23 texel coordinates that fold a texture into mirrored wedges
// around the screen centre, rotate it and move it, recomputed every frame from the tracks.
//
// The node values are defined by an evaluation in extended precision (long double), node by
// node. kaleido_nodes gives exactly those values much faster: it works in double, bounds the
// difference to the extended evaluation for each node, and evaluates in extended precision only
// the nodes whose coordinate lies too close to a rounding boundary for double to decide.
#include <cstdint>

#include "obj/gridlerp.h"

inline constexpr int kaleido_columns = 41, kaleido_rows = 23;
inline constexpr int kaleido_node_count = kaleido_columns * kaleido_rows;

// The track values that shape the grid ("kaleido#...").
struct kaleido_tracks {
    double rotConstVel, rotSinSwing, rotSinVel;
    double angle, pow, scale, subdiv;
    double dispConstX, dispSpeedX, dispSwingX;
    double dispConstY, dispSpeedY, dispSwingY;
};

// What a frame's tracks make of the grid; (f) marks values kept in single precision.
struct kaleido_frame {
    float c, s;       // (f) cosine and sine of the rotation
    long double A;    // the fold's angle offset, radians
    long double P;    // half the radius power: r^2 is raised to it
    float K;          // (f) texels (x 256) per unit of radius
    float SEG;        // (f) the width of one mirror wedge, radians
    float offX, offY; // (f) displacement, 8.8 texel units
};

kaleido_frame kaleido_frame_at(const kaleido_tracks& tracks, float time);

// The plain extended-precision evaluation of every node (words 2 and 3 are left alone).
void kaleido_nodes_extended(const kaleido_frame& frame, grid* nodes);

// The same node values, fast. Returns how many nodes needed the extended-precision evaluation.
int kaleido_nodes(const kaleido_frame& frame, grid* nodes);
