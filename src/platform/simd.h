#pragma once
// The SIMD fast paths (SSE2 on x86-64) are chosen once, at first use, and the scalar reference
// serves everywhere else. Setting the environment variable DEMO_NO_SIMD to anything but "0" or ""
// forces the scalar paths, so that the same tests run both.

// True when the SIMD fast paths may be used: compiled in, supported by the processor, not disabled.
bool simd_enabled();

// Picks the fast or the scalar form of a kernel once; calls go through the chosen pointer.
template <typename Fn>
Fn simd_choose(Fn fast, Fn scalar) {
    return simd_enabled() ? fast : scalar;
}
