#pragma once
// Fixture modules for the music tests, made with the XM writer, and helpers for position words.
#include "xmwriter/xmwriter.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace music_fixture {

// A looping square wave that starts and ends on a zero crossing.
inline xm::sample square_wave(bool sixteen_bit) {
    xm::sample s;
    s.sixteen_bit = sixteen_bit;
    const int16_t high = sixteen_bit ? 12000 : 48;
    for (int i = 0; i < 32; ++i)
        s.data.push_back(i == 0 ? 0 : (i < 16 ? high : int16_t(-high)));
    s.loop = xm::loop_type::forward;
    s.loop_length = uint32_t(s.data.size());
    return s;
}

// One channel, `patterns` patterns of 64 rows played in order, a note every four rows with the
// pitch changing from pattern to pattern. Rows pass at bpm * 2 / 5 / speed per second: the
// defaults give 24 rows per second.
inline xm::song clock_song(uint16_t bpm = 120, uint16_t speed = 2, int patterns = 2) {
    xm::song s;
    s.name = "clock";
    s.channels = 1;
    s.bpm = bpm;
    s.speed = speed;
    for (int p = 0; p < patterns; ++p) {
        xm::pattern pat;
        for (int row = 0; row < 64; row += 4)
            pat.at(row, 0, 1) = {xm::note_number(4, (row / 4 + p * 3) % 12), 1, 0, 0, 0};
        s.patterns.push_back(pat);
        s.orders.push_back(uint8_t(p));
    }
    s.instruments.push_back({"square", {square_wave(true)}});
    return s;
}

inline std::vector<uint8_t> clock_module(uint16_t bpm = 120, uint16_t speed = 2, int patterns = 2) {
    return xm::encode(clock_song(bpm, speed, patterns));
}

// A fast module for tests that wait for playback on a device: 96 rows per second.
inline std::vector<uint8_t> fast_module() {
    return clock_module(240, 1, 2);
}

inline int order_of(uint64_t position) {
    return int(position & 0xFFFF);
}
inline int row_of(uint64_t position) {
    return int((position >> 16) & 0xFFFF);
}
// Rows from the start, patterns taken as 64 rows.
inline int rows_of(uint64_t position) {
    return order_of(position) * 64 + row_of(position);
}

// Polls `done` every millisecond until it holds or `seconds` pass; returns whether it held.
inline bool wait_until(const std::function<bool()>& done, double seconds = 10.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Device tests play on SDL's dummy driver, which needs no sound card and consumes audio in real
// time.
inline void use_dummy_audio() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

} // namespace music_fixture
