#pragma once
// A deterministic random source for the generators: a 64-bit xorshift-multiply generator, so the
// same seed gives the same sound and the same picture on every machine.
#include <cstdint>

namespace content {

class noise_source {
  public:
    explicit noise_source(uint64_t seed) : state(seed | 1) {}

    // -1..1
    double next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const uint64_t v = state * 0x2545F4914F6CDD1DULL;
        return double(v >> 11) / double(1ULL << 52) - 1.0;
    }
    // 0..1
    double unit() { return 0.5 * (next() + 1.0); }

  private:
    uint64_t state;
};

} // namespace content
