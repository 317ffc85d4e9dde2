#pragma once
// Milliseconds since the moment in MEASURE_START_NS (nanoseconds of the real-time clock, as
// `date +%s%N` prints them just before the program starts), or -1 when it is not set.
#include <cstdint>
#include <cstdlib>
#include <ctime>

inline double ms_since_start() {
    const char* start = std::getenv("MEASURE_START_NS");
    if (!start)
        return -1.0;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t ns = int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    return double(ns - std::strtoll(start, nullptr, 10)) / 1e6;
}
