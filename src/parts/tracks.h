#pragma once
// How the scenes read their tracks, and how track values become the integers the kernels take.
#include <cmath>
#include <cstdint>
#include <limits>

#include "libsync/timeline.h"
#include "parts/common.h"

// The value of the named track at scene time `time` (seconds).
inline double track(const char* name, float time) {
    return timeline->getTrack(name, time);
}

// x truncated toward zero, held to the 32-bit range; NaN gives 0.
inline int32_t trunc_int(double x) {
    if (!(x == x))
        return 0;
    if (x <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (x >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(x);
}

// x truncated toward zero and wrapped to 32 bits, as a coordinate whose low bits address a
// wrapping texture; 0 for NaN, the infinities and magnitudes of 2^63 or more.
inline int32_t trunc_wrap(double x) {
    if (!(std::fabs(x) < 0x1p63))
        return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(x)));
}
