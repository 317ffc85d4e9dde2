#pragma once
#include <cstddef>

// How many times operator new has run in this program so far.
size_t allocation_count();
