#pragma once
// The demo driver as a library: switches, start-up, frame loop and tear-down, so that other
// programs of the project (the capture tool) run exactly what the demo runs.
//
// A fixed-step run (one picture per 1/fps of demo time, music rendered offline) drives the demo
// clock through the library timer's counter seam (qbx_timer_use_counter) from before_pass, and
// hands in its own music system through make_music. The settle wait after a full-screen mode is
// set reads the demo clock too, so such a counter must also move while nothing else runs (the
// headless backend's windowed modes skip that wait).
#include <cstdint>
#include <functional>

class musicsys;

// One finished pass of the frame loop, as the loop saw it.
struct demo_pass {
    uint32_t frame;  // passes finished before this one
    float t;         // the demo clock, seconds since the loop started
    float dt;        // t minus the previous pass's t
    float musicTime; // the music position in seconds, whole rows
    float sceneTime; // the smoothed music position handed to the scene
    int scene;       // the scene that ran (0 bitmap distortion, 1 kaleidoscope), or -1
};

// What an embedding program may change about a run; the defaults play the demo.
struct demo_options {
    // Makes the music system in start-up step 4; empty: the module backend on the default audio
    // device. The run owns and deletes what it returns.
    std::function<musicsys*()> make_music;
    // At the top of every loop pass, after the exit checks and before the demo clock and the music
    // position are read; `frames` is the number of finished passes.
    std::function<void(uint32_t frames)> before_pass;
    // After each pass, once its scene has presented; false ends the loop as Escape does.
    std::function<bool(const demo_pass& pass)> after_pass;
};

// Runs the demo with the program's arguments (upper-cased in place); returns the process exit
// code. Whatever start-up made is torn down before it returns, also after a failure.
//
// Beyond the switches: when the environment variable DEMO_EDITOR holds "host[:port]" the tracks
// come live from the sync editor there, which also pauses and seeks the demo.
int demo_main(int argc, char** argv, const demo_options& options = {});
