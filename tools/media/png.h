#pragma once
// PNG output: a picture as an 8-bit RGB file (the pixels' top byte is left out).
#include <cstdint>
#include <vector>

#include "media/image.h"

namespace media {

// The file's bytes. The same picture always gives the same bytes.
std::vector<uint8_t> encode_png(const image& picture);

} // namespace media
