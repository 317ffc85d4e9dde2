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
