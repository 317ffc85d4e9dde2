#include "platform/simd.h"

#include <cstdlib>
#include <cstring>

namespace {

bool detect() {
    const char* off = std::getenv("DEMO_NO_SIMD");
    if (off && *off && std::strcmp(off, "0") != 0)
        return false;
#if defined(__SSE2__)
    return true; // part of the x86-64 baseline
#else
    return false;
#endif
}

} // namespace

bool simd_enabled() {
    static const bool enabled = detect();
    return enabled;
}
