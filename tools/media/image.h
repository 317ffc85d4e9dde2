#pragma once
// A picture in memory, 32-bit pixels 0xAARRGGBB (blue in the lowest byte), row 0 at the top, and
// its output as an uncompressed TGA file; also an 8-bit grey picture for masks.
#include <cstdint>
#include <string>
#include <vector>

namespace media {

struct image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // width x height, row by row

    image() = default;
    image(int width, int height, uint32_t fill = 0);

    uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

struct gray_image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    gray_image() = default;
    gray_image(int width, int height, uint8_t fill = 0);

    uint8_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Packs channels 0..255 into a pixel.
constexpr uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// The bytes of a TGA file, stored top row first: a 32-bit true-colour file with its alpha, or an
// 8-bit grey one.
std::vector<uint8_t> encode_tga(const image& picture);
std::vector<uint8_t> encode_tga(const gray_image& picture);

// Writes the file; false when it cannot be written.
bool save_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace media
