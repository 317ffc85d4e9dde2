#include "picture.h"

#include <algorithm>
#include <cstring>

void copy_picture(const uint8_t* pixels, uint32_t pitch, uint32_t width, uint32_t height,
                  media::image& out) {
    if (out.width != int(width) || out.height != int(height))
        out = media::image(int(width), int(height));
    for (uint32_t y = 0; y < height; ++y) {
        uint32_t* line = &out.at(0, int(y));
        std::memcpy(line, pixels + size_t(y) * pitch, size_t(width) * 4);
        for (uint32_t x = 0; x < width; ++x)
            line[x] |= 0xFF000000u;
    }
}

void enlarge(const media::image& picture, uint32_t scale, media::image& out) {
    const int s = int(scale);
    if (out.width != picture.width * s || out.height != picture.height * s)
        out = media::image(picture.width * s, picture.height * s);
    for (int y = 0; y < picture.height; ++y) {
        uint32_t* first = &out.at(0, y * s);
        for (int x = 0; x < picture.width; ++x)
            std::fill_n(first + x * s, s, picture.at(x, y));
        for (int copy = 1; copy < s; ++copy)
            std::memcpy(&out.at(0, y * s + copy), first, size_t(out.width) * 4);
    }
}

media::image halve(const media::image& picture) {
    media::image out(picture.width / 2, picture.height / 2);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const uint32_t four[4] = {picture.at(2 * x, 2 * y), picture.at(2 * x + 1, 2 * y),
                                      picture.at(2 * x, 2 * y + 1),
                                      picture.at(2 * x + 1, 2 * y + 1)};
            uint32_t mean = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                uint32_t sum = 2; // rounds to nearest
                for (uint32_t p : four)
                    sum += (p >> shift) & 0xFF;
                mean |= (sum / 4) << shift;
            }
            out.at(x, y) = mean;
        }
    return out;
}
