#pragma once
// A sync track: a named function of the music row, given by keys sorted by row. Each key carries
// a value and the interpolation type of the segment that starts at it.
#include <cstdint>

enum key_type : uint8_t {
    KEY_STEP = 0,       // the value holds until the next key
    KEY_LINEAR = 1,     // straight line to the next key
    KEY_SMOOTHSTEP = 2, // eases in and out
    KEY_QUADRATIC = 3,  // eases in
};
constexpr int KEY_TYPE_COUNT = 4;

struct track_key {
    int32_t row;
    float value;
    uint8_t type;
};

// Rows strictly ascending; `keys` is exactly `num_keys` long, null when there are none.
struct sync_track {
    char* name;
    track_key* keys;
    int32_t num_keys;
};

// The index of the key on `row`, or -(p + 1) where p is the index a key for `row` would take.
int sync_find_key(const sync_track* t, int row);

// The track's value at a fractional row: the first key's value before it, the last key's on and
// after it, 0.0 without keys. A type code of 4 or more holds its value like KEY_STEP.
double sync_get_val(const sync_track* t, double row);

// Inserts the key in order, or replaces the key on its row. 0, or -1 (track unchanged) when the
// key array cannot grow.
int sync_set_key(sync_track* t, const track_key* k);

// Removes the key on `row`. 0, or -1 with the track unchanged when there is no key on `row` or
// the smaller array cannot be allocated.
int sync_del_key(sync_track* t, int row);
