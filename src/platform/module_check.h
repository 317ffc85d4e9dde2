#pragma once
// The decoder accepts modules cut short and plays what is there; this layer refuses them instead.
// For XM files (the demo's format) the structure is walked: every pattern, instrument and sample
// the file declares must lie inside it. Other formats are left to the decoder.
#include <cstddef>
#include <cstdint>

// False when the bytes are an XM file whose declared contents run past its end.
bool module_data_complete(const uint8_t* data, size_t size);
