#pragma once
// Display modes: the application asks for a picture size and depth, and qbx_addmode turns that
// into a qbx_mode record that says which host display mode to set, whether the picture is shown
// doubled, where it sits on the screen and how its pixels are converted. The record's index in
// `modes` is the handle that setting a mode takes.
#include <cstdint>
#include <deque>
#include <vector>

#include "framebuffer/convert.h"
#include "framebuffer/surface.h"
#include "platform/display.h"

// Mode flag bits (qbx_mode::flags). The bits below 0x1000 come from the application's request.
constexpr uint32_t QBX_MODE_SETUP = 0x00000080;  // always let the user choose in the setup dialog
constexpr uint32_t QBX_MODE_ASPECT = 0x00000300; // aspect wanted: one of the four below
constexpr uint32_t QBX_MODE_ASPECT_4_3 = 0x000, QBX_MODE_ASPECT_16_9 = 0x100,
                   QBX_MODE_ASPECT_16_10 = 0x200, QBX_MODE_ASPECT_ANY = 0x300;
constexpr uint32_t QBX_MODE_NO_DIRECT_LOCK = 0x00000018; // either bit forbids direct locking
constexpr uint32_t QBX_MODE_DIRECT_LOCK = 0x00000400;    // direct locking wanted
constexpr uint32_t QBX_MODE_SIMD = 0x00001000;           // SIMD converters may be chosen
constexpr uint32_t QBX_MODE_WINDOWED = 0x01000000;
constexpr uint32_t QBX_MODE_PRIMARY_ONLY = 0x02000000; // full screen without a flip chain
constexpr uint32_t QBX_MODE_PORTRAIT = 0x10000000;     // the host mode is taller than wide
constexpr uint32_t QBX_MODE_DOUBLED = 0x40000000;
constexpr uint32_t QBX_MODE_FALLBACK = 0x80000000; // offered when no display mode matches

// Conversion flag bits (qbx_mode::convflags) set when a mode is added.
constexpr uint32_t QBX_CONV_32_TO_8 = 0x00000001; // 32-bit picture, 8-bit display
constexpr uint32_t QBX_CONV_TABLE = 0x00010000;   // pixels looked up in a table
// Added when the mode is set (the converter's choice).
constexpr uint32_t QBX_CONV_CONVERTS = 0x00020000;     // a converting procedure, not a copy
constexpr uint32_t QBX_CONV_VIA_XLAT = 0x00400000;     // 8-bit picture: to argb8888 in xlat first
constexpr uint32_t QBX_CONV_NO_ROUTE = 0x00800000;     // no procedure for this pair of formats
constexpr uint32_t QBX_CONV_DOUBLE_X = 0x10000000;     // every pixel doubled horizontally
constexpr uint32_t QBX_CONV_DOUBLE_LINES = 0x20000000; // every source line converted twice
constexpr uint32_t QBX_CONV_DOUBLE_Y = 0x40000000;     // the picture doubled vertically
constexpr uint32_t QBX_CONV_DITHER = 0x80000000;       // 32-bit picture on a 15/16-bit display

// Aspect targets, width / height in 16.16 fixed point.
constexpr uint32_t QBX_ASPECT_4_3 = 0x15555, QBX_ASPECT_16_9 = 0x1C71C, QBX_ASPECT_16_10 = 0x19999,
                   QBX_ASPECT_ANY = 0xFFFFFFFF;

// Results of qbx_addmode besides a handle (0 or more).
constexpr int32_t QBX_MODE_USER_BREAK = -3; // the user left the setup dialog

// The host display mode of a record.
struct qbx_host_props {
    uint32_t x = 0, y = 0, bpp = 0;
};

struct qbx_mode;
using qbx_mode_comparer = bool (*)(const qbx_mode& a, const qbx_mode& b);

// One display-mode record. Copying copies the fields and owns nothing.
struct qbx_mode {
    const char* name = nullptr;     // window caption; null: the library banner
    void* data = nullptr;           // always null; becomes backbuffer.data when the mode is set
    uint32_t width = 0, height = 0; // the picture as shown: the request, doubled where flagged
    uint32_t bpp = 0;               // the application's bits per pixel
    uint32_t reserved0 = 0, reserved1 = 0;
    uint32_t aspect = 0; // host width / height, 16.16 (candidates only)
    uint32_t xpad = 0;   // pixels left of the picture on the display
    uint32_t ypad = 0;   // lines above it
    uint32_t flags = 0;
    uint32_t reserved2 = 0;
    qbx_converter converter = nullptr;
    uint32_t convflags = 0;
    qbx_surface_backbuffer backbuffer; // the locked display surface
    display_surface* primary = nullptr;
    display_surface* back = nullptr; // where the library draws
    display_palette* ddpalette = nullptr;
    qbx_palette* palette = nullptr; // 8-bit picture on a deeper display
    uint32_t* xlat = nullptr;       // one line of argb8888 for an 8-bit picture
    uint8_t* graytable = nullptr;   // 15/16-bit pixel to grey level, 65536 entries
    display_window hwnd = nullptr;
    bool active = false;
    uint32_t winwidth = 0, winheight = 0;
    display_clipper* clipper = nullptr;
    display_surface* secondary = nullptr; // the off-screen surface of a windowed mode
    qbx_host_props host;

    // Frees graytable, xlat and palette (each set to null).
    void free_tables();

    // Enumeration callback: adds a reported mode inside the filter (`context`) to setupmodes.
    static bool qbx_enum_callback(const display_mode_desc& mode, void* context);
    // True when b's host depth, height or width respectively is smaller than a's.
    static bool bpp_sort(const qbx_mode& a, const qbx_mode& b);
    static bool y_sort(const qbx_mode& a, const qbx_mode& b);
    static bool x_sort(const qbx_mode& a, const qbx_mode& b);
    // Stable bubble sort: exchanges neighbours while comparer(left, right) is true.
    static void sortmodes(std::vector<qbx_mode>& list, qbx_mode_comparer comparer);
    // The candidate of setupmodes that best fits the request, or -1.
    static int32_t findbestmode(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags,
                                uint32_t aspect);
    // Builds the tables an 8-, 15- or 16-bit picture needs on a display of another depth.
    static uint32_t modehack(qbx_mode* mode);
};

extern std::vector<qbx_mode> setupmodes; // candidates of the latest qbx_addmode
extern std::deque<qbx_mode> modes;       // added modes; records never move or go
extern qbx_mode* curmode;                // the mode that is set, or null

// Adds a mode for an x by y picture of bpp bits; returns its handle (0 or more),
// QBX_MODE_USER_BREAK, or an error code (negative kinds included).
int32_t qbx_addmode(const char* name, uint32_t x, uint32_t y, uint32_t bpp, uint32_t rate,
                    uint32_t flags);
int32_t qbx_addmode(uint32_t x, uint32_t y, uint32_t bpp, uint32_t rate, uint32_t flags);

qbx_mode* qbx_getmodestruct(int32_t index); // null when there is no such record
qbx_mode* qbx_getcurrentmodestruct();
