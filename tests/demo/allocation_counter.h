#pragma once
// Counts operator new on the calling thread, so a test sees what its own thread allocates while
// other threads (audio) go about their work.
#include <cstddef>

size_t thread_allocations();
