#pragma once
// Helpers for the converter tests: destination buffers with guard bands, random source lines and
// running one converter over one line.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "framebuffer/convert.h"

namespace convert_test {

constexpr uint8_t kUntouched = 0xA5; // what every destination byte holds before a converter runs
constexpr size_t kGuard = 64;

// A destination buffer of `size` bytes between two guard bands, all filled with kUntouched.
class Guarded {
  public:
    explicit Guarded(size_t size) : size_(size), bytes_(size + 2 * kGuard, kUntouched) {}
    uint8_t* data() { return bytes_.data() + kGuard; }
    const uint8_t* data() const { return bytes_.data() + kGuard; }
    size_t size() const { return size_; }
    // True when neither guard band was written.
    bool guards_intact() const {
        for (size_t i = 0; i < kGuard; ++i)
            if (bytes_[i] != kUntouched || bytes_[kGuard + size_ + i] != kUntouched)
                return false;
        return true;
    }
    // Index of the first byte from `from` on that was written, or size() when there is none.
    size_t first_written_from(size_t from) const {
        for (size_t i = from; i < size_; ++i)
            if (data()[i] != kUntouched)
                return i;
        return size_;
    }

  private:
    size_t size_;
    std::vector<uint8_t> bytes_;
};

// `n` random bytes in a vector of exactly that size, so that the sanitizer sees any read past it.
inline std::vector<uint8_t> random_bytes(std::mt19937& random, size_t n) {
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

// Where a converter left its pointers, as offsets from where they started.
struct Moved {
    size_t src = 0, dst = 0;
};

inline Moved run(qbx_converter proc, const uint8_t* src, uint8_t* dst, uint32_t count,
                 uintptr_t extra) {
    const uint8_t* s = src;
    uint8_t* d = dst;
    proc(s, d, count, extra);
    return {static_cast<size_t>(s - src), static_cast<size_t>(d - dst)};
}

// Little-endian load and store of `n` bytes (1 to 4).
inline uint32_t load(const uint8_t* p, unsigned n) {
    uint32_t v = 0;
    for (unsigned i = 0; i < n; ++i)
        v |= uint32_t{p[i]} << (8 * i);
    return v;
}

inline std::string hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

} // namespace convert_test
