#pragma once
// Where a decoder was at which output frame: the mixer notes (frame, position word) after every
// chunk it renders, and a read-out asks for the position in force at the frame being heard.
#include <array>
#include <cstddef>
#include <cstdint>

class audio_timeline {
  public:
    // Enough notes for several device buffers of chunks, so the frame being heard always has one.
    static constexpr size_t capacity = 64;

    void clear() { count = 0; }

    // From `frame` on (frames counted on the output), the decoder is at `position`. Frames only
    // grow from note to note; the oldest note drops out when the ring is full.
    void note(uint64_t frame, uint64_t position);

    // The position of the latest note at or before `frame`, or `fallback` when every note is later
    // (nothing rendered since the last clear is being heard yet).
    uint64_t at(uint64_t frame, uint64_t fallback) const;

  private:
    struct entry {
        uint64_t frame;
        uint64_t position;
    };
    std::array<entry, capacity> entries{};
    size_t count = 0;
    size_t next = 0; // where the next note goes
};
