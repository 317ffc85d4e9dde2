#pragma once
// Services of the current display mode around presentation.
#include <cstdint>

#include "framebuffer/surface.h"

// Error codes of these services.
constexpr uint32_t QBX_ERR_NO_MODE = 0xA000;       // no display mode is set
constexpr uint32_t QBX_ERR_DIRECT_COLOUR = 0x8201; // palettes need an 8-bit picture or display

// qbx_setpal flag: wait for the vertical blank before loading.
constexpr uint32_t QBX_SETPAL_VBLANK = 0x1;

// Loads `count` entries of `palette` from `first` into the current mode: into the mode's own
// palette for an 8-bit picture on a deeper display, into the display's palette on an 8-bit
// display. Entries beyond either palette are not loaded. 0 or an error code.
uint32_t qbx_setpal(qbx_palette& palette, uint32_t first, uint32_t count, uint32_t flags);

// Waits for the start of the next vertical blank; returns 0.
uint32_t qbx_vblank();
