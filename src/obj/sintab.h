#pragma once
// Sine and cosine tables over a full turn at 65536 steps per turn, single precision.
// Index with a 16-bit angle: trunc(radians * 10430.378350470453) & 0xFFFF.

extern float* sintab; // sintab[a] = sin(2 pi a / 65536), a in 0 .. 65535
extern float* costab; // costab[a] = cos(2 pi a / 65536) = sintab[a + 16384]

constexpr double SINTAB_UNITS_PER_RADIAN = 10430.378350470453;

// Allocates and fills both tables (one allocation of 81920 floats).
void initsintab();
// Frees them; both pointers become null.
void donesintab();
