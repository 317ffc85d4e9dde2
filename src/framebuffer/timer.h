#pragma once
// The library's high-resolution timer: one start reading of a monotonic counter and its rate.
// Every read-out takes a fresh reading; results count from the start reading.
#include <cstdint>

// Counter state, library-wide: rate in counts per second, the start reading, the latest reading.
extern uint64_t tsc_rate;
extern uint64_t tsc_start;
extern uint64_t tsc_val;

uint32_t qbx_inittimer();  // reads the rate and the start reading; returns 0
uint32_t qbx_freetimer();  // returns 0
uint32_t qbx_resettimer(); // takes a new start reading; returns 0

uint64_t qbx_getms();  // milliseconds since the start reading (truncated)
uint64_t qbx_get16();  // 1/65536 s since the start reading (16.16 fixed-point seconds, truncated)
double qbx_getfloat(); // seconds since the start reading

// Replaces the system counter, which runs at tsc_rate counts per second, by another source (tests
// drive time by hand with it); null restores the system counter.
void qbx_timer_use_counter(uint64_t (*counter)());
