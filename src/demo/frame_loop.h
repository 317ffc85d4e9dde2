#pragma once
// The frame loop: each pass turns the music position into the scene time, lets "main#run" on the
// demo clock choose the scene, and runs it; the scene draws and presents the frame.
#include <cstdint>

#include "demo/driver.h"
#include "demo/run.h"

// The weight of the previous scene time when the music position is blended in: 4 x the last frame
// time, at least 0.5. The first pass keeps the formula (the frame time starts at 0.3, so 1.2).
// A measured frame slower than 0.25 s, where the formula reaches 1 and the scene time would stop
// following the music or run away from it, takes 0.5, the weight of every frame rate from 8 fps
// up: the gap to the music halves with each frame and never overshoots.
float smoothingWeight(float frameTime, bool firstPass);

// The scene table entry for a "main#run" value, truncated toward zero, or -1 for none: negative
// values, values of 2 or more and NaN run no scene.
int sceneIndex(double run);

// Runs passes until the user quits, "main#run" turns negative at the top of a pass, or the
// options' after_pass says stop. Returns the number of finished passes.
uint32_t runFrameLoop(demo_run& run, const demo_options& options);
