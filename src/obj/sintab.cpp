#include "obj/sintab.h"

#include <cmath>

float* sintab = nullptr;
float* costab = nullptr;

namespace {

constexpr int table_entries = 0x14000; // a full turn plus the quarter that costab reaches past it
constexpr float two_pi_single = 6.2831855f;

} // namespace

void initsintab() {
    donesintab();
    sintab = new float[table_entries];
    costab = sintab + 16384;
    // The angle and the sine are evaluated in extended precision; only the result is rounded.
    for (int i = 0; i < table_entries; ++i) {
        const long double angle = (static_cast<long double>(i) * two_pi_single) / 65536.0L;
        sintab[i] = static_cast<float>(std::sin(angle));
    }
}

void donesintab() {
    delete[] sintab;
    sintab = nullptr;
    costab = nullptr;
}
