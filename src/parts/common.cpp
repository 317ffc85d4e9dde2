// The helpers both scenes share: random generators, the overlay map and its sprites, the glitch
// table, texture loading.
#include "parts/common.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "framebuffer/surface.h"
#include "obj/sprdraw.h"
#include "obj/tgaload.h"
#include "parts/tracks.h"

commonResources common;
Timeline* timeline = nullptr;
uint32_t myseed = 0;

namespace {

// One step of the xorshift-multiply generator behind myrand and the overlay maps.
uint32_t next_seed(uint32_t s) {
    s ^= s >> 6;
    s ^= s << 12;
    s ^= s >> 15;
    return s * 0xB5ED7441u;
}

// The linear congruential generator of the C standard's example rand(), started as an unseeded
// rand() starts: 15-bit results.
constexpr uint32_t scene_rand_start = 1;
uint32_t scene_rand_state = scene_rand_start;

} // namespace

unsigned myrand() {
    myseed = next_seed(myseed);
    return myseed;
}

unsigned scene_rand() {
    scene_rand_state = scene_rand_state * 1103515245u + 12345u;
    return (scene_rand_state / 65536) % 32768;
}

void reset_random_state() {
    myseed = 0;
    scene_rand_state = scene_rand_start;
}

int overlay_trendwhore(float time, unsigned char* map, unsigned width, unsigned height) {
    std::memset(map, 0, size_t(width) * height);
    const int32_t type = trunc_int(track("overlay#type", time));
    // A negative maximum would make the divisor below 0 or negative: it counts as 0.
    const uint32_t max = static_cast<uint32_t>(std::max(0, trunc_int(track("overlay#max", time))));
    const int32_t freq = trunc_int(track("overlay#freq", time));
    const int32_t count = trunc_int(track("overlay#count", time));

    // The pattern depends only on freq x time, so it changes freq times per second.
    uint32_t s = static_cast<uint32_t>(trunc_int(static_cast<float>(freq) * time));
    auto draw = [&s] { return s = next_seed(s); };
    if (type == 3) {
        for (size_t i = 0; i < size_t(width) * height; ++i)
            map[i] = static_cast<unsigned char>((draw() & 1) + 1);
    } else if (type == 1 && width && height) {
        for (int32_t n = 0; n < count; ++n) {
            const uint32_t x0 = draw() % width;
            const uint32_t y0 = draw() % height;
            const uint32_t x1 = x0 + draw() % (width - x0);
            const uint32_t y1 = y0 + draw() % (height - y0);
            for (uint32_t y = y0; y < y1; ++y)
                for (uint32_t x = x0; x < x1; ++x)
                    map[size_t(y) * width + x] = static_cast<unsigned char>(draw() % (max + 1) + 1);
        }
    }
    myseed = s;
    return 0;
}

namespace {

bool rect_inside(const qbx_surface& s) {
    return uint64_t(s.rect_x) + s.rect_width <= s.width &&
           uint64_t(s.rect_y) + s.rect_height <= s.height;
}

} // namespace

int spritegrid_draw(qbx_surface* dst, qbx_surface* sprites, unsigned char* map, unsigned size,
                    unsigned columns, unsigned rows, unsigned colour) {
    const bool fits = size > 0 && size % 2 == 0 && dst->bpp == 32 && sprites->bpp == 32 &&
                      rect_inside(*dst) && rect_inside(*sprites) &&
                      uint64_t(columns) * size <= dst->rect_width &&
                      2 + uint64_t(rows) * size <= dst->rect_height && sprites->pitch == size * 4 &&
                      sprites->rect_width == size;
    if (!fits)
        return 0;
    // The strip holds its sprites top to bottom, size x size pixels each.
    const uint32_t sprite_count = sprites->rect_height / size;
    const size_t sprite_bytes = size_t(size) * size * 4;
    const uint8_t* strip = sprites->lockrect();
    uint8_t* origin = dst->lockrect() + 2 * size_t(dst->pitch); // below the two border lines
    const int dst_skip = static_cast<int>(dst->pitch - size * 4);
    for (unsigned row = 0; row < rows; ++row) {
        uint8_t* q = origin + size_t(row) * size * dst->pitch;
        for (unsigned column = 0; column < columns; ++column, ++map, q += size * 4) {
            const unsigned k = *map;
            if (k == 0 || k > sprite_count)
                continue;
            flare_addmul(q, strip + (k - 1) * sprite_bytes, static_cast<int>(size),
                         static_cast<int>(size / 2), dst_skip, 0, colour);
        }
    }
    return 0;
}

void fill_glitch(float time, flt_rgbsh* table, unsigned count) {
    const int32_t shift = trunc_int(track("glitch#shift", time));
    const bool colored = track("glitch#colored", time) > 0;
    const int64_t block_size = trunc_int(track("glitch#blockSize", time));
    const int32_t half = shift / 2;
    int64_t length = 1;
    for (unsigned i = 0; i < count; ++i) {
        if (i != 0 && i % length != 0) {
            table[i].mask = table[i - 1].mask;
            table[i].shift = table[i - 1].shift;
            continue;
        }
        // A block is at least one line long, whatever the block size track says.
        length = std::max<int64_t>(1, block_size + scene_rand() % 12 + 1);
        const unsigned bits = scene_rand() & 7;
        table[i].mask = !colored ? 0x00FFFFFFu
                                 : (bits & 4 ? 0xFF0000u : 0) | (bits & 2 ? 0xFF00u : 0) |
                                       (bits & 1 ? 0xFFu : 0);
        table[i].shift = shift == 0 ? 0 : static_cast<int32_t>(scene_rand()) % shift + half;
    }
}

qbx_surface* loadTexture(const char* name, bool copyFirstRow, bool eightBit) {
    tga_header header;
    int result = eightBit ? tga_load8_header(name, &header) : tga_load_header(name, &header);
    auto surface = std::make_unique<qbx_surface>();
    if (result == TGA_OK)
        result = surface->create(header.width, header.height + 1u,
                                 eightBit ? QBX_FORMAT_GRAY8 : QBX_FORMAT_ARGB8888, 1, 0) == 0
                     ? TGA_OK
                     : TGA_NO_MEMORY;
    if (result == TGA_OK) {
        uint8_t* pixels = surface->lockrect();
        result = eightBit
                     ? tga_load8_data(name, &header, pixels, nullptr, TGA_TOP_DOWN, surface->pitch)
                     : tga_load_data(name, &header, reinterpret_cast<uint32_t*>(pixels),
                                     TGA_TOP_DOWN, surface->pitch);
        // The extra line lets a bilinear fetch of the last line wrap to the first.
        if (result == TGA_OK && copyFirstRow)
            std::memcpy(pixels + size_t(header.height) * surface->pitch, pixels, surface->pitch);
    }
    if (result != TGA_OK) {
        std::fprintf(stderr, "unable to load texture %s\n", name);
        return nullptr;
    }
    surface->rect(0, 0, header.width, header.height);
    return surface.release();
}
