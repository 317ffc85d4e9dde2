#pragma once
// The demo driver as a library: switches, start-up, frame loop and tear-down, so that other
// programs of the project (the capture tool) run exactly what the demo runs.
#include <cstdint>
#include <functional>

class musicsys;

// What an embedding program may change about a run; the defaults play the demo.
struct demo_options {
    // Makes the music system in start-up step 4; empty: the module backend on the default audio
    // device.
    std::function<musicsys*()> make_music;
    // At the top of every loop pass, after the exit checks and before the demo clock and the music
    // position are read; `frames` is the number of finished passes.
    std::function<void(uint32_t frames)> before_pass;
    // After each pass, once its scene has presented; false ends the loop as Escape does.
    std::function<bool(uint32_t frames)> after_pass;
};

// Runs the demo with the program's arguments; returns the process exit code.
int demo_main(int argc, char** argv, const demo_options& options = {});
