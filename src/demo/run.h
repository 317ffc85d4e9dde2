#pragma once
// Everything one run of the demo owns, from start-up to tear-down.
#include <array>
#include <cstdint>
#include <memory>

#include "demo/clock.h"
#include "demo/profiler.h"
#include "demo/switches.h"
#include "framebuffer/surface.h"
#include "libsync/timeline.h"
#include "music/musicsys.h"
#include "parts/part.h"

// Music rows, and sync-track rows, per second.
constexpr double ROWS_PER_SECOND = 24.0;

// The scene table: the "main#run" value picks an entry.
constexpr int SCENE_BITMAPDIST = 0, SCENE_KALEIDO = 1, SCENE_COUNT = 2;

struct demo_run {
    controlFlags flags;
    int32_t mode = -1;                 // the display-mode handle
    std::unique_ptr<qbx_surface> back; // 320 x 180 x 32; every scene draws into it
    std::unique_ptr<musicsys> mod;
    std::unique_ptr<Profiler> profiler;
    std::unique_ptr<Time> timer; // the demo clock
    std::unique_ptr<Timeline> timeline;
    std::array<std::unique_ptr<part>, SCENE_COUNT> parts;
};
