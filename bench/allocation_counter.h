#pragma once
#include <cstddef>

// How many blocks of memory this program has allocated so far: operator new, malloc, calloc and
// realloc alike.
size_t allocation_count();
