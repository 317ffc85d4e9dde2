#include "libsync/track.h"

#include <cassert>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

int sync_find_key(const sync_track* t, int row) {
    int lo = 0;
    int hi = t->num_keys;
    while (lo < hi) {
        int mi = (lo + hi) / 2;
        assert(mi != hi);
        if (t->keys[mi].row < row)
            lo = mi + 1;
        else if (t->keys[mi].row > row)
            hi = mi;
        else
            return mi;
    }
    assert(lo == hi);
    return -lo - 1;
}

// The index of the last key on or before the row (-1 when the row lies before the first key).
// Rows outside the int range (and NaN) land before the first or after the last key.
static int segment_start(const sync_track* t, double row) {
    if (!(row >= static_cast<double>(INT_MIN)))
        return -1;
    if (row >= static_cast<double>(INT_MAX) + 1.0)
        return t->num_keys - 1;
    int idx = sync_find_key(t, static_cast<int>(std::floor(row)));
    return idx >= 0 ? idx : -idx - 2;
}

double sync_get_val(const sync_track* t, double row) {
    if (t->num_keys == 0)
        return 0.0;
    int idx = segment_start(t, row);
    if (idx < 0)
        return t->keys[0].value;
    if (idx > t->num_keys - 2)
        return t->keys[t->num_keys - 1].value;

    const track_key& k0 = t->keys[idx];
    const track_key& k1 = t->keys[idx + 1];
    double a = k0.value;
    double b = k1.value;
    // In double: the distance between two int rows may not fit an int.
    double x = (row - k0.row) / (static_cast<double>(k1.row) - k0.row);
    switch (k0.type) {
    case KEY_LINEAR:
        return a + (b - a) * x;
    case KEY_SMOOTHSTEP:
        return a + (b - a) * x * x * (3.0 - 2.0 * x);
    case KEY_QUADRATIC:
        return a + (b - a) * std::pow(x, 2.0);
    default:
        return a;
    }
}

int sync_set_key(sync_track* t, const track_key* k) {
    int idx = sync_find_key(t, k->row);
    if (idx >= 0) {
        t->keys[idx] = *k;
        return 0;
    }
    int pos = -idx - 1;
    void* grown = std::realloc(t->keys, sizeof(track_key) * (static_cast<size_t>(t->num_keys) + 1));
    if (!grown)
        return -1;
    t->keys = static_cast<track_key*>(grown);
    std::memmove(t->keys + pos + 1, t->keys + pos, sizeof(track_key) * (t->num_keys - pos));
    t->keys[pos] = *k;
    t->num_keys++;
    return 0;
}

int sync_del_key(sync_track* t, int row) {
    int idx = sync_find_key(t, row);
    if (idx < 0)
        return -1;
    int remaining = t->num_keys - 1;
    if (remaining == 0) {
        std::free(t->keys);
        t->keys = nullptr;
        t->num_keys = 0;
        return 0;
    }
    // A fresh array, so that a failed allocation leaves the track exactly as it was.
    auto* kept = static_cast<track_key*>(std::malloc(sizeof(track_key) * remaining));
    if (!kept)
        return -1;
    std::memcpy(kept, t->keys, sizeof(track_key) * idx);
    std::memcpy(kept + idx, t->keys + idx + 1, sizeof(track_key) * (remaining - idx));
    std::free(t->keys);
    t->keys = kept;
    t->num_keys = remaining;
    return 0;
}
