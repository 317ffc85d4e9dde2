#include "platform/audio_timeline.h"

void audio_timeline::note(uint64_t frame, uint64_t position) {
    entries[next] = {frame, position};
    next = (next + 1) % capacity;
    if (count < capacity)
        ++count;
}

uint64_t audio_timeline::at(uint64_t frame, uint64_t fallback) const {
    for (size_t i = 1; i <= count; ++i) {
        const entry& e = entries[(next + capacity - i) % capacity];
        if (e.frame <= frame)
            return e.position;
    }
    return fallback;
}
