#include "obj/sintab.h"

#include <cmath>

float* sintab = nullptr;
float* costab = nullptr;

namespace {

constexpr int table_entries = 0x14000; // a full turn plus the quarter that costab reaches past it
constexpr float two_pi_single = 6.2831855f;

// The extended-precision sine of step i, rounded to single precision. The angle is exact in double
// (a 24-bit float times a 17-bit step, over a power of two), and the double sine lies within a
// few units of its last place of the true value: where that whole neighbourhood rounds to one
// float, the extended sine rounds to it too, and only the few steps near a rounding boundary
// are evaluated in extended precision (ten times slower, most of the start-up time otherwise).
float sine_of_step(int i) {
    const double angle = static_cast<double>(i) * two_pi_single / 65536.0;
    const double sine = std::sin(angle);
    const double margin = std::fabs(sine) * 0x1p-50;
    const float below = static_cast<float>(sine - margin);
    if (below == static_cast<float>(sine + margin))
        return below;
    return static_cast<float>(std::sin(static_cast<long double>(angle)));
}

} // namespace

void initsintab() {
    donesintab();
    sintab = new float[table_entries];
    costab = sintab + 16384;
    for (int i = 0; i < table_entries; ++i)
        sintab[i] = sine_of_step(i);
}

void donesintab() {
    delete[] sintab;
    sintab = nullptr;
    costab = nullptr;
}
