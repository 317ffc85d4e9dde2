#pragma once
// What every track must satisfy, whatever the fuzz input: no keys and no array, or keys in
// strictly ascending rows with valid types. A violation stops the fuzzer.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "libsync/track.h"

inline void fuzz_require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stdout, "broken: %s\n", what);
        std::abort();
    }
}

inline void check_track(const sync_track* t) {
    fuzz_require(t->num_keys >= 0, "key count not negative");
    fuzz_require((t->num_keys == 0) == (t->keys == nullptr), "an empty track has no array");
    for (int i = 0; i < t->num_keys; ++i) {
        fuzz_require(t->keys[i].type < KEY_TYPE_COUNT, "type codes 0 to 3");
        fuzz_require(i == 0 || t->keys[i - 1].row < t->keys[i].row, "rows strictly ascending");
    }
    // Evaluation reads only inside the array, anywhere on the track.
    for (double row : {-1e12, -1.5, 0.0, 0.5, 7.25, 1e6, 1e12}) {
        double value = sync_get_val(t, row);
        (void)value;
    }
    if (t->num_keys > 0) {
        fuzz_require(sync_find_key(t, t->keys[0].row) == 0, "first key found on its row");
        double before = sync_get_val(t, double(t->keys[0].row) - 1.0);
        fuzz_require(std::isnan(before) || before == double(t->keys[0].value),
                     "the first key's value before it");
    }
}

// Diagnostics the library prints for bad input would flood the fuzzer's output. Only the stdio
// stream is swapped: the sanitizers still report on descriptor 2.
inline void silence_library_diagnostics() {
    if (FILE* null = std::fopen("/dev/null", "w"))
        stderr = null;
}
