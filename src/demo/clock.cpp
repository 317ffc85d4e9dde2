#include "demo/clock.h"

#include "framebuffer/timer.h"

bool Time::init() {
    origin = qbx_getfloat();
    return false;
}

double Time::get() {
    if (!running)
        return held;
    return (qbx_getfloat() - origin) + offset;
}

bool Time::set(double t) {
    const double now = qbx_getfloat();
    offset = t;
    held = t;
    origin = now;
    return false;
}

bool Time::start() {
    const double now = qbx_getfloat();
    offset = 0.0;
    origin = now - held;
    running = true;
    return false;
}

bool Time::stop() {
    held = get();
    running = false;
    return false;
}
