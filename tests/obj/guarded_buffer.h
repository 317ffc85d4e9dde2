#pragma once
// Test buffers with canary bands around them, so that a stray write next to the usable bytes shows.
#include <cstddef>
#include <cstdint>
#include <vector>

class GuardedBuffer {
  public:
    // `size` usable bytes starting `misalign` bytes after a 16-byte boundary, filled with `fill`.
    GuardedBuffer(size_t size, size_t misalign = 0, uint8_t fill = 0)
        : bytes_(kGuard + 16 + size + kGuard), size_(size) {
        const auto base = reinterpret_cast<uintptr_t>(bytes_.data()) + kGuard;
        offset_ = kGuard + ((16 - base % 16) % 16) + misalign % 16;
        for (size_t i = 0; i < bytes_.size(); ++i)
            bytes_[i] = canary(i);
        for (size_t i = 0; i < size_; ++i)
            data()[i] = fill;
    }

    uint8_t* data() { return bytes_.data() + offset_; }
    const uint8_t* data() const { return bytes_.data() + offset_; }
    size_t size() const { return size_; }

    // True while every byte outside the usable range still holds its canary.
    bool guards_intact() const {
        for (size_t i = 0; i < bytes_.size(); ++i) {
            const bool usable = i >= offset_ && i < offset_ + size_;
            if (!usable && bytes_[i] != canary(i))
                return false;
        }
        return true;
    }

  private:
    static constexpr size_t kGuard = 64;
    static uint8_t canary(size_t i) { return static_cast<uint8_t>(i * 37 + 0x5A); }

    std::vector<uint8_t> bytes_;
    size_t offset_ = 0;
    size_t size_;
};
