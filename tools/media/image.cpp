#include "media/image.h"

#include <fstream>

namespace media {

namespace {

// The 18-byte header: no image ID, no colour map, origin 0, the top-down bit set (plus the count
// of alpha bits for 32-bit pixels).
std::vector<uint8_t> tga_header(int width, int height, uint8_t type, uint8_t depth,
                                uint8_t alpha_bits) {
    std::vector<uint8_t> h(18, 0);
    h[2] = type;
    h[12] = uint8_t(width);
    h[13] = uint8_t(width >> 8);
    h[14] = uint8_t(height);
    h[15] = uint8_t(height >> 8);
    h[16] = depth;
    h[17] = uint8_t(0x20 | alpha_bits);
    return h;
}

} // namespace

image::image(int w, int h, uint32_t fill)
    : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

gray_image::gray_image(int w, int h, uint8_t fill)
    : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

std::vector<uint8_t> encode_tga(const image& picture) {
    std::vector<uint8_t> bytes = tga_header(picture.width, picture.height, 2, 32, 8);
    bytes.reserve(bytes.size() + 4 * picture.pixels.size());
    for (uint32_t p : picture.pixels)
        for (int shift = 0; shift < 32; shift += 8) // blue, green, red, alpha
            bytes.push_back(uint8_t(p >> shift));
    return bytes;
}

std::vector<uint8_t> encode_tga(const gray_image& picture) {
    std::vector<uint8_t> bytes = tga_header(picture.width, picture.height, 3, 8, 0);
    bytes.insert(bytes.end(), picture.pixels.begin(), picture.pixels.end());
    return bytes;
}

bool save_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

} // namespace media
