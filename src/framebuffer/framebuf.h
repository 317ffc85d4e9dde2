#pragma once
// Setting a display mode and presenting frames on it, with the services around presentation.
#include <cstdint>

#include "framebuffer/surface.h"
#include "platform/display.h"

// Makes the mode of handle `index` (from qbx_addmode) the current one: window or full screen,
// display surfaces, pixel converter. 0 or an error code.
uint32_t qbx_setmode(int32_t index);
// Undoes the current mode, if any; the two names are one operation. 0.
uint32_t qbx_donemode();
uint32_t qbx_restoremode();

// Window procedures of the windowed and of the full-screen modes: Escape or closing the window
// asks to quit (qbx_isexit); minimising, painting and activation switch the mode's `active`.
intptr_t WndProcW(display_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);
intptr_t WndProcF(display_window window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// qbx_update flag: load the picture's palette first.
constexpr uint32_t QBX_UPDATE_PALETTE = 0x10;
// qbx_flip flags: wait for the vertical blank first (windowed and primary-only modes); do not
// pump window messages (from inside a window procedure).
constexpr uint32_t QBX_FLIP_VBLANK = 0x1;
constexpr uint32_t QBX_FLIP_NO_MESSAGES = 0x80000000;

// Converts `picture` (of the depth given to qbx_addmode) into the current mode's display surface.
// 0 or an error code.
uint32_t qbx_update(qbx_surface& picture, uint32_t flags);
// The doubled path of qbx_update, given the display surface qbx_update has locked; unlocks it.
uint32_t qbx_update_2x(qbx_surface& picture, uint32_t flags, const display_lock& lock);
// Shows what qbx_update wrote. 0 or an error code.
uint32_t qbx_flip(uint32_t flags);
// Handles every pending window message; then sleeps 1 ms when `sleep`.
void qbx_messageloop(bool sleep);
// Replaces the 1 ms sleep of the message pump and of an update in an inactive mode by another
// pause (a run in fixed steps, which renders offline, has nothing to wait for); null restores it.
void qbx_use_pause(void (*pause)());
// True once the user asked to quit (Escape or closing the window).
bool qbx_isexit();

// Error codes of these services.
constexpr uint32_t QBX_ERR_NO_MODE = 0xA000;       // no such mode, or no display mode is set
constexpr uint32_t QBX_ERR_DIMENSIONS = 0x8003;    // the picture does not fit the display surface
constexpr uint32_t QBX_ERR_RECT = 1;               // the display surface's rectangle is not whole
constexpr uint32_t QBX_ERR_DIRECT_COLOUR = 0x8201; // palettes need an 8-bit picture or display

// qbx_setpal flag: wait for the vertical blank before loading.
constexpr uint32_t QBX_SETPAL_VBLANK = 0x1;

// Loads `count` entries of `palette` from `first` into the current mode: into the mode's own
// palette for an 8-bit picture on a deeper display, into the display's palette on an 8-bit
// display. Entries beyond either palette are not loaded. 0 or an error code.
uint32_t qbx_setpal(qbx_palette& palette, uint32_t first, uint32_t count, uint32_t flags);

// Waits for the start of the next vertical blank; returns 0.
uint32_t qbx_vblank();
// Pumps the window messages and sleeps 1 ms; then, only when `n` is 0, waits for the vertical
// blank. Returns 0.
uint32_t qbx_wait(uint32_t n);
