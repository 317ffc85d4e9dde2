// The SDL display backend. Full screen is drawn by scaling the picture to the desktop, so besides
// the display's own modes every classic picture size is offered. Claiming the display, surfaces
// and presentation are not provided by this backend yet: those operations fail with
// DISPLAY_ERR_UNSUPPORTED.
#include <algorithm>
#include <vector>

#include <SDL.h>

#include "platform/display.h"

namespace {

constexpr display_mode_desc classic_sizes[] = {
    {320, 180, 0}, {320, 200, 0}, {320, 240, 0}, {640, 360, 0},
    {640, 400, 0}, {640, 480, 0}, {800, 600, 0}, {1280, 720, 0},
};
constexpr uint32_t classic_depths[] = {16, 32};

// Bits per pixel as the library counts them: the memory size of a pixel (a 24-bit colour in a
// 32-bit word counts as 32).
uint32_t depth_of(Uint32 format) {
    const uint32_t bytes = SDL_BYTESPERPIXEL(format);
    return bytes ? bytes * 8 : SDL_BITSPERPIXEL(format);
}

bool listed(const std::vector<display_mode_desc>& modes, const display_mode_desc& mode) {
    return std::any_of(modes.begin(), modes.end(), [&](const display_mode_desc& m) {
        return m.width == mode.width && m.height == mode.height && m.bpp == mode.bpp;
    });
}

class sdl_display final : public display {
  public:
    int32_t enum_modes(display_enum_callback callback, void* context) override {
        if (!callback)
            return DISPLAY_ERR_INVALID;
        const int count = SDL_GetNumDisplayModes(0);
        if (count < 0)
            return DISPLAY_ERR_FAILED;
        std::vector<display_mode_desc> modes;
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(0, i, &mode) != 0)
                return DISPLAY_ERR_FAILED;
            const display_mode_desc desc{uint32_t(mode.w), uint32_t(mode.h), depth_of(mode.format)};
            if (!listed(modes, desc)) // the same size at several refresh rates counts once
                modes.push_back(desc);
        }
        for (display_mode_desc size : classic_sizes)
            for (uint32_t depth : classic_depths)
                if (size.bpp = depth; !listed(modes, size))
                    modes.push_back(size);
        for (const display_mode_desc& mode : modes)
            if (!callback(mode, context))
                break;
        return DISPLAY_OK;
    }

    int32_t set_cooperative_level(display_window, display_cooperation) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t set_display_mode(uint32_t, uint32_t, uint32_t) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    // Nothing here changes the display mode, so the desktop's is always in place.
    int32_t restore_display_mode() override { return DISPLAY_OK; }
    int32_t wait_vertical_blank() override { return DISPLAY_ERR_UNSUPPORTED; }

    int32_t create_primary(display_surface*& surface) override {
        surface = nullptr;
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t create_flip_chain(uint32_t, display_surface*& primary) override {
        primary = nullptr;
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t create_offscreen(uint32_t, uint32_t, display_surface*& surface) override {
        surface = nullptr;
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t get_back_buffer(display_surface*, display_surface*& back) override {
        back = nullptr;
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t get_pixel_format(display_surface*, display_pixel_format&) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t lock(display_surface*, display_lock&) override { return DISPLAY_ERR_UNSUPPORTED; }
    int32_t unlock(display_surface*) override { return DISPLAY_ERR_UNSUPPORTED; }
    int32_t restore(display_surface*) override { return DISPLAY_ERR_UNSUPPORTED; }
    int32_t flip(display_surface*) override { return DISPLAY_ERR_UNSUPPORTED; }
    int32_t blit(display_surface*, const display_rect&, display_surface*,
                 const display_rect&) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t set_clipper(display_surface*, display_clipper*) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t set_palette(display_surface*, display_palette*) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    void release(display_surface* surface) override { delete surface; }

    int32_t create_clipper(display_clipper*& clipper) override {
        clipper = nullptr;
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t set_clipper_window(display_clipper*, display_window) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    void release(display_clipper* clipper) override { delete clipper; }

    int32_t create_palette(const display_palette_entry*, display_palette*& palette) override {
        palette = nullptr;
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t set_palette_entries(display_palette*, uint32_t, uint32_t,
                                const display_palette_entry*) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    void release(display_palette* palette) override { delete palette; }

    int32_t register_window_class(const display_window_class&) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    void adjust_window_rect(display_rect&, display_window_style) override {}
    int32_t create_window(const display_window_desc&, display_window& window) override {
        window = nullptr;
        return DISPLAY_ERR_UNSUPPORTED;
    }
    void destroy_window(display_window) override {}
    bool peek_message(display_message&) override { return false; }
    intptr_t dispatch_message(const display_message&) override { return 0; }
    intptr_t default_window_proc(display_window, uint32_t, uintptr_t, intptr_t) override {
        return 0;
    }
    int32_t client_origin(display_window, int32_t&, int32_t&) override {
        return DISPLAY_ERR_UNSUPPORTED;
    }
    int32_t client_rect(display_window, display_rect&) override { return DISPLAY_ERR_UNSUPPORTED; }
    void show_cursor(bool) override {}
};

bool sdl_init() {
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void sdl_quit() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int32_t sdl_desktop_mode(display_mode_desc& desc) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return DISPLAY_ERR_FAILED;
    desc = {uint32_t(mode.w), uint32_t(mode.h), depth_of(mode.format)};
    return DISPLAY_OK;
}

void sdl_message_box(display_icon icon, const char* caption, const char* text) {
    const Uint32 flags =
        icon == display_icon::warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_ERROR;
    SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
}

void sdl_set_screen_saver(bool enabled) {
    if (enabled)
        SDL_EnableScreenSaver();
    else
        SDL_DisableScreenSaver();
}

int32_t sdl_create(std::unique_ptr<display>& device) {
    device = std::make_unique<sdl_display>();
    return DISPLAY_OK;
}

} // namespace

extern const display_backend sdl_backend = {
    "sdl", sdl_init, sdl_quit, sdl_desktop_mode, sdl_message_box, sdl_set_screen_saver, sdl_create,
};
