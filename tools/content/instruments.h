#pragma once
// The module's instruments, synthesised: drums from noise and swept sines, tonal instruments from
// additive partials over whole cycles so that their loops are seamless and every note is in tune.
#include <cstdint>
#include <vector>

#include "xmwriter/xmwriter.h"

namespace content {

// Instrument numbers as the pattern cells name them (1-based).
enum instrument_id : uint8_t {
    kick = 1,
    snare,
    closed_hat,
    open_hat,
    crash,
    reverse_crash, // swells for exactly 32 rows (one bar) into the next downbeat
    bass,
    pad,
    pluck,
    lead,
    bell,
};

constexpr double rows_per_second = 24.0;
constexpr int ticks_per_row = 4;

std::vector<xm::instrument> make_instruments();

} // namespace content
