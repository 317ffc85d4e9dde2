#include <new>

#include "framebuffer/exception.h"
#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"

namespace {

constexpr const char* no_table_memory = "qbx_modehack() xlat table memory allocation error";

uint8_t* allocate_graytable() {
    auto* table = new (std::nothrow) uint8_t[65536]();
    if (!table)
        throw qbx_exception(QBX_ERR_NO_MEMORY, no_table_memory);
    return table;
}

// Grey levels of rgb565 pixels.
void fill_graytable_16(uint8_t* table) {
    for (uint32_t r = 0; r < 32; ++r)
        for (uint32_t g = 0; g < 64; ++g)
            for (uint32_t b = 0; b < 32; ++b)
                table[(r << 11) | (g << 5) | b] = uint8_t((76 * r + 74 * g + 29 * b) >> 5);
}

// Grey levels of argb1555 pixels; the top bit does not matter.
void fill_graytable_15(uint8_t* table) {
    for (uint32_t t = 0; t < 2; ++t)
        for (uint32_t r = 0; r < 32; ++r)
            for (uint32_t g = 0; g < 32; ++g)
                for (uint32_t b = 0; b < 32; ++b)
                    table[(t << 15) | (r << 10) | (g << 5) | b] =
                        uint8_t((76 * r + 149 * g + 29 * b) >> 5);
}

bool standard_32bit(const qbx_surface& display) {
    return display.bpp == 32 && display.r_mask == 0xFF0000 && display.g_mask == 0xFF00 &&
           display.b_mask == 0xFF;
}

} // namespace

uint32_t qbx_mode::modehack(qbx_mode* mode) {
    qbx_logf("\n  >> __qbx_mode::modehack(): ---------start--------\n");
    const uint32_t result = qbx_guarded([mode]() -> uint32_t {
        if (!mode)
            return QBX_ERR_NO_MODE;
        const uint32_t display_bpp = mode->backbuffer.bpp;

        // An 8-bit display shows its pictures in grey levels (a 32-bit one through the grey
        // converters) until the application loads a palette of its own.
        if (display_bpp == 8) {
            qbx_palette grey(256, 32);
            for (uint32_t i = 0; i < 256; ++i)
                grey.data[i] = i * 0x010101;
            qbx_setpal(grey, 0, 256, 0);
        }

        if (mode->bpp == 8 && display_bpp != 8) {
            delete mode->palette;
            mode->palette = nullptr;
            mode->palette = new qbx_palette(256, 32);
            if (!standard_32bit(mode->backbuffer)) {
                delete[] mode->xlat;
                mode->xlat = new (std::nothrow) uint32_t[mode->backbuffer.width]();
                if (!mode->xlat)
                    throw qbx_exception(QBX_ERR_NO_MEMORY, no_table_memory);
            }
        }

        if (display_bpp == 8 && (mode->convflags & QBX_CONV_TABLE) &&
            (mode->bpp == 16 || mode->bpp == 15)) {
            delete[] mode->graytable;
            mode->graytable = nullptr;
            mode->graytable = allocate_graytable();
            if (mode->bpp == 16)
                fill_graytable_16(mode->graytable);
            else
                fill_graytable_15(mode->graytable);
        }
        return 0;
    });
    qbx_logf("\n   >> __qbx_mode::modehack(): ----------end---------\n");
    return result;
}
