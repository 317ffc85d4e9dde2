#include "parts/part.h"

part::part() : name("") {}

part::part(const char* name) : name(name) {}

part::~part() = default;

int part::init(qbx_surface*, unsigned long) {
    return 0;
}

int part::main() {
    return 0;
}

int part::run(float, float) {
    return 0;
}
