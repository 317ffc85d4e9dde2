#pragma once
// Builds small TGA files in memory for the loader tests.
#include <cstdint>
#include <vector>

struct TgaSpec {
    uint8_t image_type = 2;
    uint8_t depth = 32;
    uint8_t descriptor = 0x28; // top row first, 8 alpha bits
    uint16_t width = 0, height = 0;
    std::vector<uint8_t> id; // image ID bytes
    uint16_t map_first = 0, map_length = 0;
    uint8_t map_entry_size = 0;
    std::vector<uint8_t> map;    // colour map bytes
    std::vector<uint8_t> pixels; // stored pixel bytes, in file order
};

inline std::vector<uint8_t> make_tga(const TgaSpec& s) {
    std::vector<uint8_t> out = {
        static_cast<uint8_t>(s.id.size()),
        static_cast<uint8_t>(s.map_length ? 1 : 0),
        s.image_type,
        static_cast<uint8_t>(s.map_first),
        static_cast<uint8_t>(s.map_first >> 8),
        static_cast<uint8_t>(s.map_length),
        static_cast<uint8_t>(s.map_length >> 8),
        s.map_entry_size,
        0,
        0,
        0,
        0,
        static_cast<uint8_t>(s.width),
        static_cast<uint8_t>(s.width >> 8),
        static_cast<uint8_t>(s.height),
        static_cast<uint8_t>(s.height >> 8),
        s.depth,
        s.descriptor,
    };
    out.reserve(out.size() + s.id.size() + s.map.size() + s.pixels.size());
    out.insert(out.end(), s.id.begin(), s.id.end());
    out.insert(out.end(), s.map.begin(), s.map.end());
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    return out;
}
