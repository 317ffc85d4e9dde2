#include <algorithm>
#include <vector>

#include "framebuffer/exception.h"
#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"

namespace {

// How many of `count` entries from `first` both palettes hold.
uint32_t loadable(uint32_t first, uint32_t count, uint32_t held_a, uint32_t held_b) {
    const uint32_t held = std::min(held_a, held_b);
    return first >= held ? 0 : std::min(count, held - first);
}

} // namespace

uint32_t qbx_vblank() {
    if (qbx_dd.dd)
        qbx_dd.dd->wait_vertical_blank();
    return 0;
}

uint32_t qbx_setpal(qbx_palette& palette, uint32_t first, uint32_t count, uint32_t flags) {
    return qbx_guarded([&]() -> uint32_t {
        if (!curmode)
            return QBX_ERR_NO_MODE;
        const uint32_t display_bpp = curmode->backbuffer.bpp;
        if (curmode->bpp != 8 && display_bpp != 8)
            throw qbx_exception(QBX_ERR_DIRECT_COLOUR, "can't set palette in direct color modes");
        if (display_bpp != 8) {
            qbx_palette* own = curmode->palette;
            if (!own)
                return 0;
            const uint32_t n = loadable(first, count, palette.count, own->count);
            std::copy(palette.data + first, palette.data + first + n, own->data + first);
            return 0;
        }
        if (!curmode->ddpalette || !qbx_dd.dd)
            throw qbx_exception::display(0, "can't locate ddraw palette object");
        const uint32_t n = loadable(first, count, palette.count, DISPLAY_PALETTE_SIZE);
        if (n == 0)
            return 0;
        std::vector<display_palette_entry> entries(n);
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t colour = palette.data[first + i];
            entries[i] = {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour),
                          DISPLAY_PALETTE_NOCOLLAPSE};
        }
        if (flags & QBX_SETPAL_VBLANK)
            qbx_vblank();
        qbx_check_display(
            qbx_dd.dd->set_palette_entries(curmode->ddpalette, first, n, entries.data()),
            "can't set palette");
        return 0;
    });
}
