#pragma once
// Buffers with guard bands for the filter tests, and pixel helpers.
#include <cstdint>
#include <cstring>
#include <vector>

#include "obj/filter.h"

namespace filter_test {

// Bytes of memory between two guard bands of a fixed pattern. A kernel that writes outside the
// memory breaks a guard; one that reads a guard picks up the pattern, which the expected values
// of the tests do not contain.
class guarded {
  public:
    static constexpr size_t band = 64;
    static constexpr uint8_t pattern = 0xA5;

    explicit guarded(size_t bytes, uint8_t fill = 0) : size_(bytes) {
        mem_.assign(band, pattern);
        mem_.resize(band + bytes, fill);
        mem_.resize(band + bytes + band, pattern);
    }
    uint8_t* data() { return mem_.data() + band; }
    const uint8_t* data() const { return mem_.data() + band; }
    uint8_t* end() { return data() + size_; }
    size_t size() const { return size_; }
    const std::vector<uint8_t>& all() const { return mem_; }
    bool guards_intact() const {
        for (size_t k = 0; k < band; ++k)
            if (mem_[k] != pattern || mem_[band + size_ + k] != pattern)
                return false;
        return true;
    }

    uint32_t px(size_t i) const {
        uint32_t v;
        std::memcpy(&v, data() + 4 * i, 4);
        return v;
    }
    void set_px(size_t i, uint32_t v) { std::memcpy(data() + 4 * i, &v, 4); }

  private:
    std::vector<uint8_t> mem_;
    size_t size_;
};

// One line for a kernel called directly: the span defaults to the source line.
inline flt_line line_of(uint8_t* dst, const uint8_t* src, const uint8_t* third, size_t width,
                        uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0, int32_t n = 2,
                        int32_t count = 2) {
    return flt_line{dst,       src, third, p0,      p1,  p2,
                    4 * width, n,   count, nullptr, src, src + 4 * width};
}

inline uint32_t grey(uint32_t v) {
    return v * 0x01010101u;
}

// A small xorshift generator for seeded random input.
class random_bytes {
  public:
    explicit random_bytes(uint32_t seed) : s_((seed * 2654435761u) | 1) {}
    uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    uint32_t below(uint32_t n) { return next() % n; }
    int32_t between(int32_t lo, int32_t hi) {
        return lo + static_cast<int32_t>(below(hi - lo + 1));
    }
    // Mostly the extreme values 0, 1, 254, 255, otherwise any byte.
    uint8_t byte() {
        static constexpr uint8_t extremes[] = {0, 1, 254, 255};
        const uint32_t r = next();
        return (r & 1) ? extremes[(r >> 1) & 3] : static_cast<uint8_t>(r >> 8);
    }
    void fill(uint8_t* p, size_t n) {
        for (size_t k = 0; k < n; ++k)
            p[k] = byte();
    }

  private:
    uint32_t s_;
};

} // namespace filter_test
