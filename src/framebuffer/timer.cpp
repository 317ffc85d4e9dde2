#include "framebuffer/timer.h"

#include <chrono>

namespace {

// The counter runs at 10 MHz (100 ns per count): fine enough for frame timing, and slow enough
// that the 16.16 read-out (count << 16) stays exact for 325 days of running.
constexpr uint64_t counter_rate = 10'000'000;

uint64_t system_counter() {
    using namespace std::chrono;
    const auto now = steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        duration_cast<duration<int64_t, std::ratio<1, counter_rate>>>(now).count());
}

uint64_t (*read_counter)() = system_counter;

uint64_t elapsed() {
    tsc_val = read_counter();
    return tsc_val - tsc_start;
}

} // namespace

uint64_t tsc_rate = counter_rate;
uint64_t tsc_start = 0;
uint64_t tsc_val = 0;

uint32_t qbx_inittimer() {
    tsc_rate = counter_rate;
    tsc_start = read_counter();
    return 0;
}

uint32_t qbx_freetimer() {
    return 0;
}

uint32_t qbx_resettimer() {
    tsc_start = read_counter();
    return 0;
}

uint64_t qbx_getms() {
    return elapsed() * 1000 / tsc_rate;
}

uint64_t qbx_get16() {
    return (elapsed() << 16) / tsc_rate;
}

double qbx_getfloat() {
    const uint64_t d = elapsed();
    return static_cast<double>(d) / static_cast<double>(tsc_rate);
}

void qbx_timer_use_counter(uint64_t (*counter)()) {
    read_counter = counter ? counter : system_counter;
}
