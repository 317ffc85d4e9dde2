#pragma once
// The headless display backend: surfaces in plain memory, a display mode list and desktop that
// the caller sets, and a failure that can be injected into every operation, so that every failure
// path above it can be exercised without a screen. It never blocks and never shows a box: message
// boxes are only recorded.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/display.h"

extern const display_backend headless_backend;

// Operations into which a failure can be injected.
enum class headless_op : uint32_t {
    init, // the platform cannot be brought up
    create,
    desktop_mode,
    enum_modes,
    set_cooperative_level,
    set_display_mode,
    restore_display_mode,
    wait_vertical_blank,
    create_primary,
    create_flip_chain,
    create_offscreen,
    get_back_buffer,
    get_pixel_format,
    lock,
    unlock,
    restore,
    flip,
    blit,
    set_clipper,
    set_palette,
    create_clipper,
    set_clipper_window,
    create_palette,
    set_palette_entries,
    register_window_class,
    create_window,
    client_origin,
    client_rect,
    count
};

// What the headless display offers; set by the caller before or while it runs.
struct headless_config {
    std::vector<display_mode_desc> modes; // reported by enum_modes, in this order
    display_mode_desc desktop{1920, 1080, 32};
    // Reported by get_pixel_format instead of the standard format of the current depth.
    std::optional<display_pixel_format> format;
    // Result of each operation: 0 lets it work, a negative code makes it fail with that code,
    // once `pass` more calls of it have worked.
    std::array<int32_t, static_cast<size_t>(headless_op::count)> fail{};
    std::array<uint32_t, static_cast<size_t>(headless_op::count)> pass{};
    // Sees every picture that reaches the screen, in that surface's own pixel format: the source
    // of a blit to a primary surface, the back buffer about to be shown by a flip, or a primary
    // surface without a flip chain when it is unlocked (what was written into it shows at once).
    // Setting a mode shows its cleared pages this way too.
    std::function<void(const display_lock& picture)> on_present;

    void fail_on(headless_op op, int32_t result = DISPLAY_ERR_FAILED, uint32_t after = 0) {
        fail[static_cast<size_t>(op)] = result;
        pass[static_cast<size_t>(op)] = after;
    }
};

// A window of the headless display. A framed window has a frame of fixed size around its client
// area (like a desktop's); a popup window has none, and the window given the exclusive level
// covers the whole display.
struct headless_window {
    std::string class_name, caption;
    display_window_style style = display_window_style::framed;
    display_rect frame;  // outer rectangle on the screen
    display_rect client; // client area on the screen
    bool minimised = false;
};
constexpr int32_t HEADLESS_FRAME_SIDE = 4, HEADLESS_FRAME_CAPTION = 24;

struct headless_message {
    display_icon icon;
    std::string caption, text;
};

// What happened on the headless display, for the caller to inspect.
struct headless_record {
    std::vector<headless_message> messages;
    bool screen_saver = true;
    bool initialised = false;
    display_mode_desc current; // the display mode now shown
    display_cooperation level = display_cooperation::normal;
    display_window window = nullptr; // from the last set_cooperative_level
    uint32_t vertical_blanks = 0;    // wait_vertical_blank calls
    uint32_t flips = 0, blits = 0;
    uint32_t live_surfaces = 0; // created and not yet released (back buffers not counted)
    // The entries of the palette last created or loaded.
    std::array<display_palette_entry, DISPLAY_PALETTE_SIZE> palette{};
    uint32_t live_windows = 0;
    bool cursor_shown = true;
    std::vector<display_message> defaulted; // messages left to default_window_proc
};

headless_config& headless_display_config();
headless_record& headless_display_record();
// Back to the default configuration (no modes, a 1920 x 1080 x 32 desktop, no failures) and an
// empty record.
void headless_display_reset();
// Marks every surface of the live display object lost, as a mode switch elsewhere would.
void headless_display_lose_surfaces();
// Queues a window message for the live display object, as the user's input would.
void headless_display_post(display_window window, uint32_t message, uintptr_t wparam = 0,
                           intptr_t lparam = 0);
// The live display object's window of that handle, or null.
const headless_window* headless_display_window(display_window window);
