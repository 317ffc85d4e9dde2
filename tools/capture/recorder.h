#pragma once
// A recording: the demo's own start-up, frame loop and tear-down (the driver) run in fixed steps of
// 1 / fps on the headless display, with the music rendered offline in step with the frames; every
// presented picture and its sound go to the output.
#include "options.h"

// Runs the demo from the current folder and records it as `options` say. Returns the exit code:
// 0, or 1 after a failure, which is told on standard error in one line (a failed start-up in the
// driver's own words). Files of a failed recording are removed.
int record(const capture_options& options);
