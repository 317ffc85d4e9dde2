#pragma once
// Services of the current display mode around presentation.
#include <cstdint>

#include "framebuffer/surface.h"

// Makes the mode of handle `index` (from qbx_addmode) the current one: window or full screen,
// display surfaces, pixel converter. 0 or an error code.
uint32_t qbx_setmode(int32_t index);
// Undoes the current mode, if any; the two names are one operation. 0.
uint32_t qbx_donemode();
uint32_t qbx_restoremode();

// Converts `picture` (of the depth given to qbx_addmode) into the current mode's display surface.
// 0 or an error code.
uint32_t qbx_update(qbx_surface& picture, uint32_t flags);
// Shows what qbx_update wrote. Flag 0x1 waits for the vertical blank; 0x80000000 does not pump
// window messages. 0 or an error code.
uint32_t qbx_flip(uint32_t flags);
// Handles every pending window message; then sleeps 1 ms when `sleep`.
void qbx_messageloop(bool sleep);
// True once the user asked to quit (Escape or closing the window).
bool qbx_isexit();

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
