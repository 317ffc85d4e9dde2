#pragma once
// Reader for uncompressed TGA images: a 32-bit path for true-colour pictures (24- or 32-bit files)
// and an 8-bit path for single-channel pictures. Each path has a header step (to learn the size)
// and a data step that fills memory the caller provides. The data step reads only what the file
// holds and writes only inside the `height` rows of `pitch` bytes it was given; a short or damaged
// file ends with a result code.
#include <cstdint>

// Result codes; tga_load_str[code] is the matching message.
enum tga_result : int {
    TGA_OK = 0,
    TGA_NOT_FOUND = 1,  // the file could not be opened
    TGA_IO_ERROR = 2,   // a read failed or the file ended early
    TGA_BAD_FORMAT = 3, // image type or pixel depth not accepted
    TGA_NO_MEMORY = 4,  // allocation failed
};
extern const char* const tga_load_str[5];

// The 18-byte file header, little-endian fields decoded.
struct tga_header {
    uint8_t id_length;
    uint8_t colour_map_type;
    uint8_t image_type; // 2: true colour, 3: grey (both uncompressed)
    uint16_t colour_map_first;
    uint16_t colour_map_length;
    uint8_t colour_map_entry_size; // bits per palette entry
    uint16_t x_origin, y_origin;
    uint16_t width, height;
    uint8_t pixel_depth;
    uint8_t descriptor; // bit 5 (0x20): the first stored row is the top row
};

// topDown: -1 stores the picture top row first, 0 bottom row first.
constexpr int TGA_TOP_DOWN = -1;
constexpr int TGA_BOTTOM_UP = 0;

// Accepts image type 2 with a pixel depth of 24 or more.
int tga_load_header(const char* name, tga_header* header);
// Reads the picture into `pixels` as 0xAARRGGBB words (24-bit files get alpha 0xFF), rows `pitch`
// bytes apart (0: width x 4; used rounded down to a multiple of 4, at least width x 4).
int tga_load_data(const char* name, const tga_header* header, uint32_t* pixels, int topDown,
                  unsigned pitch);

// Accepts a pixel depth of exactly 8, any image type.
int tga_load8_header(const char* name, tga_header* header);
// Reads the 8-bit picture into `pixels`, rows `pitch` bytes apart (0: width). With a `palette` of
// 256 entries, also fills it: a grey ramp for grey images, else the file's colour map (entries
// that would fall beyond 255 are skipped).
int tga_load8_data(const char* name, const tga_header* header, uint8_t* pixels, uint32_t* palette,
                   int topDown, unsigned pitch);
