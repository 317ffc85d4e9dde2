#pragma once
// The framebuffer library's shared state. Status codes are 32-bit: 0 is success; negative error
// kinds appear as their two's complement (-9 is 0xFFFFFFF7).
#include <cstdint>
#include <cstdio>

// Library flags (qbx_flags).
constexpr uint32_t QBX_FLAG_NOMMX = 0x00000002;      // SIMD converters not used
constexpr uint32_t QBX_FLAG_MANUAL = 0x00000040;     // always show the setup dialog
constexpr uint32_t QBX_FLAG_NOAUTOFIND = 0x00000400; // no automatic best-mode search
constexpr uint32_t QBX_FLAG_OLDCPU = 0x00002000;     // treat the processor as family 4 or lower
constexpr uint32_t QBX_FLAG_LOWDEPTH = 0x80000000;   // desktop at 8 bpp or less: no windows

extern uint32_t qbx_flags;
extern uint32_t qbx_winver; // 0 here: the special cases of one Windows version never apply
extern FILE* qbx_log;       // the log stream, or null (no logging)
extern bool qbx_notifyExit; // the user asked to quit

#include <memory>

#include "platform/display.h"

// The library's name line: the window caption when a mode has no name of its own.
constexpr const char* QBX_BANNER = "quoblex type 3 - linux";

// The display backend in use (the "library", chosen and brought up by qbx_init) and the display
// object made through it.
struct qbx_dd_t {
    const display_backend* library = nullptr;
    std::unique_ptr<display> dd;
};
extern qbx_dd_t qbx_dd;

// Brings the library up: options, processor, desktop check, display object, timer. 0 or an error.
uint32_t qbx_init(uint32_t flags);
// Shuts the library down; the log stays open. Always 0.
uint32_t qbx_done();
// Gives the desktop its display mode back and switches the screen saver on again. Always 0.
uint32_t qbx_recover();
// Reads the options of the environment variable QUOBLEX into qbx_flags and qbx_log.
void qbx_getenv();

// A formatted line (or part of one) in the log, flushed at once; nothing without a log.
void qbx_logf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Tells the user: a message box where a display exists, the log, and standard error.
void qbx_message(display_icon icon, const char* caption, const char* text);
