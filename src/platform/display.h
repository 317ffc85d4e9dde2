#pragma once
// The display layer: the operations the framebuffer library needs from the platform to list
// display modes, claim the display, and put pixels on it. Every operation returns a result code;
// a negative code is a failure (the display_result values below).
//
// A backend is one row of a table (display_backends) chosen once when the library starts: its
// platform part (desktop query, message boxes, screen saver) works without a display object, and
// `create` makes the display object that offers everything else.
#include <cstdint>
#include <memory>

// Result codes. 0 is success; every failure is negative.
enum display_result : int32_t {
    DISPLAY_OK = 0,
    DISPLAY_ERR_UNSUPPORTED = -1,   // this backend does not offer the operation
    DISPLAY_ERR_INVALID = -2,       // bad argument, handle or state
    DISPLAY_ERR_NO_MODE = -3,       // the display does not offer that mode
    DISPLAY_ERR_SURFACE_LOST = -4,  // the surface lost its memory; restore it
    DISPLAY_ERR_OUT_OF_MEMORY = -5, // no memory for a surface
    DISPLAY_ERR_BUSY = -6,          // the surface is locked
    DISPLAY_ERR_NOT_EXCLUSIVE = -7, // needs the exclusive full-screen level
    DISPLAY_ERR_FAILED = -8,        // the device refused the operation
};

inline bool display_failed(int32_t result) {
    return result < 0;
}

// One display mode: size and bits per pixel of its pixels.
struct display_mode_desc {
    uint32_t width = 0, height = 0, bpp = 0;
};

// Pixel format of a surface. `flags` has DISPLAY_PIXEL_RGB for a direct-colour format (8-bit
// indexed displays report it too, together with DISPLAY_PIXEL_INDEXED8).
constexpr uint32_t DISPLAY_PIXEL_INDEXED8 = 0x20;
constexpr uint32_t DISPLAY_PIXEL_RGB = 0x40;
struct display_pixel_format {
    uint32_t flags = 0;
    uint32_t bpp = 0;
    uint32_t r_mask = 0, g_mask = 0, b_mask = 0;
};

// What a lock yields: the pixels of the whole surface.
struct display_lock {
    uint8_t* data = nullptr;
    uint32_t pitch = 0;
    uint32_t width = 0, height = 0;
    uint32_t backbuffers = 0; // back buffers attached to this surface (flip chain: 1)
};

// A rectangle, right and bottom exclusive.
struct display_rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// One palette entry; DISPLAY_PALETTE_NOCOLLAPSE keeps it from being merged with another.
constexpr uint8_t DISPLAY_PALETTE_NOCOLLAPSE = 4;
struct display_palette_entry {
    uint8_t red = 0, green = 0, blue = 0, flags = 0;
};
constexpr uint32_t DISPLAY_PALETTE_SIZE = 256;

enum class display_cooperation : uint32_t {
    normal,               // a window on the desktop
    exclusive_fullscreen, // the application owns the display and may switch modes
};

enum class display_icon : uint32_t { warning, error };

// Objects made by a display object. Each backend derives its own; the library only holds
// pointers to them and hands them back to the display object that made them.
struct display_surface {
    virtual ~display_surface() = default;
};
struct display_clipper {
    virtual ~display_clipper() = default;
};
struct display_palette {
    virtual ~display_palette() = default;
};
// A window made by create_window; opaque to everything but the display object that made it.
struct display_window_handle;
using display_window = display_window_handle*;

// Window messages, as the window procedures receive them, with their parameters.
constexpr uint32_t DISPLAY_MSG_PAINT = 0x000F;       // the client area needs drawing again
constexpr uint32_t DISPLAY_MSG_CLOSE = 0x0010;       // the user asks to close the window
constexpr uint32_t DISPLAY_MSG_ACTIVATEAPP = 0x001C; // wparam: 1 activated, 0 deactivated
constexpr uint32_t DISPLAY_MSG_SETCURSOR = 0x0020;   // the pointer is over the window
constexpr uint32_t DISPLAY_MSG_KEYDOWN = 0x0100;     // wparam: the key code (below)
constexpr uint32_t DISPLAY_MSG_SYSCOMMAND = 0x0112;  // wparam: one of the commands below
constexpr uint32_t DISPLAY_KEY_ESCAPE = 0x1B;
constexpr uint32_t DISPLAY_KEY_OTHER = 0xFF; // a key without a code of its own here
constexpr uint32_t DISPLAY_COMMAND_MOVE = 0xF010;
constexpr uint32_t DISPLAY_COMMAND_MINIMIZE = 0xF020;

struct display_message {
    display_window window = nullptr;
    uint32_t message = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
};

// A window procedure: handles a message of its window and returns the message's result.
using display_window_proc = intptr_t (*)(display_window window, uint32_t message, uintptr_t wparam,
                                         intptr_t lparam);

// A window class: what the windows created with its name share.
struct display_window_class {
    const char* name = nullptr;
    display_window_proc proc = nullptr;
    bool arrow_cursor = false; // the standard arrow over its windows; false: none of its own
};

enum class display_window_style : uint32_t {
    framed, // caption, system menu and minimise box: a window on the desktop
    popup,  // no frame: the window of a full-screen mode
};

struct display_window_desc {
    const char* class_name = nullptr;
    const char* caption = nullptr;
    display_window_style style = display_window_style::framed;
    display_rect frame; // the outer rectangle, in screen coordinates
};

// Called once per display mode by enum_modes; returning false stops the enumeration.
using display_enum_callback = bool (*)(const display_mode_desc& mode, void* context);

// The display object.
class display {
  public:
    virtual ~display() = default;

    // Display modes and the claim on the display.
    virtual int32_t enum_modes(display_enum_callback callback, void* context) = 0;
    virtual int32_t set_cooperative_level(display_window window, display_cooperation level) = 0;
    virtual int32_t set_display_mode(uint32_t width, uint32_t height, uint32_t bpp) = 0;
    virtual int32_t restore_display_mode() = 0;
    // Waits for the start of the next vertical blank.
    virtual int32_t wait_vertical_blank() = 0;

    // Surfaces: the visible primary surface alone, the primary with a flip chain of
    // `backbuffers` back buffers, or an off-screen plain surface of the display's format.
    virtual int32_t create_primary(display_surface*& surface) = 0;
    virtual int32_t create_flip_chain(uint32_t backbuffers, display_surface*& primary) = 0;
    virtual int32_t create_offscreen(uint32_t width, uint32_t height,
                                     display_surface*& surface) = 0;
    // The flip chain's back buffer; it belongs to the chain and goes with its primary.
    virtual int32_t get_back_buffer(display_surface* primary, display_surface*& back) = 0;
    virtual int32_t get_pixel_format(display_surface* surface, display_pixel_format& format) = 0;
    // Locks the whole surface, waiting until it can be locked.
    virtual int32_t lock(display_surface* surface, display_lock& lock) = 0;
    virtual int32_t unlock(display_surface* surface) = 0;
    // Gives a lost surface its memory back (the contents are undefined).
    virtual int32_t restore(display_surface* surface) = 0;
    // Shows the back buffer of a flip chain at the next vertical blank.
    virtual int32_t flip(display_surface* primary) = 0;
    // Copies a rectangle, scaling when the sizes differ, clipped to the destination.
    virtual int32_t blit(display_surface* destination, const display_rect& to,
                         display_surface* source, const display_rect& from) = 0;
    virtual int32_t set_clipper(display_surface* surface, display_clipper* clipper) = 0;
    virtual int32_t set_palette(display_surface* surface, display_palette* palette) = 0;
    virtual void release(display_surface* surface) = 0;

    // Clipper: keeps blits to a primary surface inside a window.
    virtual int32_t create_clipper(display_clipper*& clipper) = 0;
    virtual int32_t set_clipper_window(display_clipper* clipper, display_window window) = 0;
    virtual void release(display_clipper* clipper) = 0;

    // Palette of an 8-bit display: DISPLAY_PALETTE_SIZE entries.
    virtual int32_t create_palette(const display_palette_entry* entries,
                                   display_palette*& palette) = 0;
    virtual int32_t set_palette_entries(display_palette* palette, uint32_t first, uint32_t count,
                                        const display_palette_entry* entries) = 0;
    virtual void release(display_palette* palette) = 0;

    // Windows. Registering a class name again replaces what the name stands for, so a class can
    // be registered once per use.
    virtual int32_t register_window_class(const display_window_class& window_class) = 0;
    // Grows a client rectangle to the outer rectangle of a window of that style.
    virtual void adjust_window_rect(display_rect& rect, display_window_style style) = 0;
    // Creates a visible window of a registered class.
    virtual int32_t create_window(const display_window_desc& desc, display_window& window) = 0;
    // Destroys a window; a handle of a window already gone is ignored.
    virtual void destroy_window(display_window window) = 0;
    // Takes the next waiting message of any window, without waiting; false when none waits.
    virtual bool peek_message(display_message& message) = 0;
    // Hands the message to its window's procedure; returns what the procedure returns.
    virtual intptr_t dispatch_message(const display_message& message) = 0;
    // What a window does with a message that its procedure leaves to it.
    virtual intptr_t default_window_proc(display_window window, uint32_t message, uintptr_t wparam,
                                         intptr_t lparam) = 0;
    // Where the window's client area starts on the screen, and its size as (0, 0, w, h).
    virtual int32_t client_origin(display_window window, int32_t& x, int32_t& y) = 0;
    virtual int32_t client_rect(display_window window, display_rect& rect) = 0;
    // Shows or hides the pointer.
    virtual void show_cursor(bool shown) = 0;
};

// One backend: its platform part and the maker of its display object.
struct display_backend {
    const char* name;
    // Brings the platform up; false when it cannot run here. Balanced by quit.
    bool (*init)();
    void (*quit)();
    // The desktop's current display mode.
    int32_t (*desktop_mode)(display_mode_desc& mode);
    // Shows a modal message box where the backend has a display; does nothing otherwise.
    void (*message_box)(display_icon icon, const char* caption, const char* text);
    void (*set_screen_saver)(bool enabled);
    int32_t (*create)(std::unique_ptr<display>& device);
};

// The backends, in order of preference; null-terminated.
extern const display_backend* const display_backends[];

// The backend of that name, or null.
const display_backend* display_backend_find(const char* name);

// The backend to use, already initialised: the one named by the environment variable
// DEMO_DISPLAY when it is set, otherwise the first of the table (the one with a screen); the
// others run only when named. Null when that one is unknown or cannot run; then
// display_backend_failure says why. The caller balances it with its quit.
const display_backend* display_backend_choose();

// Why the last choice of a backend failed, in a few words for the user; empty when it did not.
// A backend's init that fails gives its reason through display_backend_set_failure.
const char* display_backend_failure();
void display_backend_set_failure(const char* reason);

// Whether a blit may copy `from` (inside a source of that size) to `to`: both rectangles hold
// pixels; `to` may reach beyond the destination, which clips it.
bool display_blit_rects_valid(const display_rect& to, const display_rect& from,
                              uint32_t source_width, uint32_t source_height);

// The direct-colour layout of each display depth: 8 indexed, 15 rgb555, 16 rgb565, 24 rgb888,
// 32 xrgb8888.
display_pixel_format display_standard_format(uint32_t depth);
