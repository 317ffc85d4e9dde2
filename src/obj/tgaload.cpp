#include "obj/tgaload.h"

#include "platform/path.h"

#include <cstdio>
#include <memory>
#include <vector>

const char* const tga_load_str[5] = {
    "ok\n",
    "error: input file not found",
    "error: IO error",
    "error: incorrect input format",
    "error: memory allocation error",
};

namespace {

struct file_closer {
    void operator()(FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

file_ptr open_file(const char* name) {
    return file_ptr(std::fopen(os_path(name).c_str(), "rb"));
}

// Reads exactly `size` bytes; an error or an early end of file both count as a failed read.
bool read_exact(FILE* f, void* buffer, size_t size) {
    return std::fread(buffer, 1, size, f) == size && !std::ferror(f);
}

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int read_header(const char* name, tga_header* header) {
    file_ptr f = open_file(name);
    if (!f)
        return TGA_NOT_FOUND;
    uint8_t raw[18];
    if (!read_exact(f.get(), raw, sizeof raw))
        return TGA_IO_ERROR;
    header->id_length = raw[0];
    header->colour_map_type = raw[1];
    header->image_type = raw[2];
    header->colour_map_first = le16(raw + 3);
    header->colour_map_length = le16(raw + 5);
    header->colour_map_entry_size = raw[7];
    header->x_origin = le16(raw + 8);
    header->y_origin = le16(raw + 10);
    header->width = le16(raw + 12);
    header->height = le16(raw + 14);
    header->pixel_depth = raw[16];
    header->descriptor = raw[17];
    return TGA_OK;
}

long pixel_data_offset(const tga_header& h) {
    return 18L + h.id_length + long(h.colour_map_length) * ((h.colour_map_entry_size + 7) / 8);
}

bool seek(FILE* f, long offset) {
    return std::fseek(f, offset, SEEK_SET) == 0 && !std::ferror(f);
}

// Rows go top to bottom or bottom to top in the destination.
struct row_walker {
    uint8_t* row;
    long step;

    row_walker(uint8_t* base, const tga_header& h, int topDown, size_t pitch) {
        const int stored_top_first = (h.descriptor & 0x20) ? -1 : 0;
        const bool reverse = (topDown ^ stored_top_first) != 0;
        row = reverse && h.height ? base + (h.height - 1) * pitch : base;
        step = reverse ? -long(pitch) : long(pitch);
    }
    uint8_t* next() {
        uint8_t* current = row;
        row += step;
        return current;
    }
};

uint32_t bgr_to_argb(const uint8_t* p) {
    return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

void load_colour_map(FILE* f, const tga_header& h, uint32_t* palette) {
    const int entry_bytes = h.colour_map_entry_size == 24 ? 3 : 4;
    uint8_t entry[4];
    for (unsigned i = 0; i < h.colour_map_length; ++i) {
        if (!read_exact(f, entry, entry_bytes))
            return;
        const unsigned index = h.colour_map_first + i;
        if (index > 255)
            continue;
        palette[index] = entry_bytes == 3 ? bgr_to_argb(entry)
                                          : uint32_t(entry[0]) | uint32_t(entry[1]) << 8 |
                                                uint32_t(entry[2]) << 16 | uint32_t(entry[3]) << 24;
    }
}

} // namespace

int tga_load_header(const char* name, tga_header* header) {
    if (int result = read_header(name, header))
        return result;
    if (header->image_type != 2 || header->pixel_depth < 24)
        return TGA_BAD_FORMAT;
    return TGA_OK;
}

int tga_load8_header(const char* name, tga_header* header) {
    if (int result = read_header(name, header))
        return result;
    if (header->pixel_depth != 8)
        return TGA_BAD_FORMAT;
    return TGA_OK;
}

int tga_load_data(const char* name, const tga_header* header, uint32_t* pixels, int topDown,
                  unsigned pitch) {
    const tga_header& h = *header;
    if (h.pixel_depth < 24)
        return TGA_BAD_FORMAT;
    const size_t row_bytes = size_t(h.width) * 4;
    if (pitch == 0)
        pitch = static_cast<unsigned>(row_bytes);
    pitch &= ~3u;
    if (pitch < row_bytes)
        return TGA_BAD_FORMAT;
    file_ptr f = open_file(name);
    if (!f)
        return TGA_NOT_FOUND;
    if (!seek(f.get(), pixel_data_offset(h)))
        return TGA_IO_ERROR;

    const bool packed = h.pixel_depth == 24;
    std::vector<uint8_t> stored(packed ? size_t(h.width) * 3 : 0);
    row_walker rows(reinterpret_cast<uint8_t*>(pixels), h, topDown, pitch);
    for (unsigned y = 0; y < h.height; ++y) {
        uint8_t* row = rows.next();
        if (!packed) {
            if (!read_exact(f.get(), row, row_bytes))
                return TGA_IO_ERROR;
            continue;
        }
        if (!read_exact(f.get(), stored.data(), stored.size()))
            return TGA_IO_ERROR;
        uint32_t* out = reinterpret_cast<uint32_t*>(row);
        for (unsigned x = 0; x < h.width; ++x)
            out[x] = bgr_to_argb(&stored[x * 3]);
    }
    return TGA_OK;
}

int tga_load8_data(const char* name, const tga_header* header, uint8_t* pixels, uint32_t* palette,
                   int topDown, unsigned pitch) {
    const tga_header& h = *header;
    if (h.pixel_depth != 8)
        return TGA_BAD_FORMAT;
    if (pitch == 0)
        pitch = h.width;
    if (pitch < h.width)
        return TGA_BAD_FORMAT;
    file_ptr f = open_file(name);
    if (!f)
        return TGA_NOT_FOUND;

    if (palette) {
        if (h.image_type == 3) {
            for (uint32_t i = 0; i < 256; ++i)
                palette[i] = i * 0x010101u;
        } else {
            if (!seek(f.get(), 18L + h.id_length))
                return TGA_IO_ERROR;
            load_colour_map(f.get(), h, palette);
        }
    }
    if (!seek(f.get(), pixel_data_offset(h)))
        return TGA_IO_ERROR;
    row_walker rows(pixels, h, topDown, pitch);
    for (unsigned y = 0; y < h.height; ++y)
        if (!read_exact(f.get(), rows.next(), h.width))
            return TGA_IO_ERROR;
    return TGA_OK;
}
