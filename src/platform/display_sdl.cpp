// The SDL display backend. A surface is memory in the display's pixel format behind a streaming
// texture of the same format (an 8-bit surface is shown through its palette); presenting uploads
// it and draws it with nearest-neighbour scaling, the largest whole factor that fits, centred on
// black. Windowed modes draw into a resizable window; full screen is a desktop-sized window on
// which the host mode is emulated, so besides the display's own modes every classic picture size
// is offered at every depth. Window messages come from SDL's events.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <SDL.h>

#include "platform/display.h"

namespace {

constexpr display_mode_desc classic_sizes[] = {
    {320, 180, 0}, {320, 200, 0}, {320, 240, 0}, {640, 360, 0},
    {640, 400, 0}, {640, 480, 0}, {800, 600, 0}, {1280, 720, 0},
};
constexpr uint32_t classic_depths[] = {8, 15, 16, 32};
constexpr uint32_t largest_surface = 16384;

// Bits per pixel as the library counts them: the memory size of a pixel (a 24-bit colour in a
// 32-bit word counts as 32), except that rgb555 is 15.
uint32_t depth_of(Uint32 format) {
    if (SDL_BITSPERPIXEL(format) == 15)
        return 15;
    const uint32_t bytes = SDL_BYTESPERPIXEL(format);
    return bytes ? bytes * 8 : SDL_BITSPERPIXEL(format);
}

// The SDL format of the standard layout of a depth (display_standard_format).
Uint32 format_of(uint32_t depth) {
    switch (depth) {
    case 8:
        return SDL_PIXELFORMAT_INDEX8;
    case 15:
        return SDL_PIXELFORMAT_RGB555;
    case 16:
        return SDL_PIXELFORMAT_RGB565;
    case 24:
        return SDL_PIXELFORMAT_BGR24; // blue, green, red in memory
    default:
        return SDL_PIXELFORMAT_RGB888;
    }
}

bool same_mode(const display_mode_desc& a, const display_mode_desc& b) {
    return a.width == b.width && a.height == b.height && a.bpp == b.bpp;
}

bool listed(const std::vector<display_mode_desc>& modes, const display_mode_desc& mode) {
    return std::any_of(modes.begin(), modes.end(),
                       [&](const display_mode_desc& m) { return same_mode(m, mode); });
}

// The display's own modes (each size once, whatever its refresh rates) and the classic sizes.
int32_t list_modes(std::vector<display_mode_desc>& modes) {
    const int count = SDL_GetNumDisplayModes(0);
    if (count < 0)
        return DISPLAY_ERR_FAILED;
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0)
            return DISPLAY_ERR_FAILED;
        const display_mode_desc desc{uint32_t(mode.w), uint32_t(mode.h), depth_of(mode.format)};
        if (!listed(modes, desc))
            modes.push_back(desc);
    }
    for (display_mode_desc size : classic_sizes)
        for (uint32_t depth : classic_depths)
            if (size.bpp = depth; !listed(modes, size))
                modes.push_back(size);
    return DISPLAY_OK;
}

// Where a w x h picture goes in an area: the largest whole multiple of it that fits, centred;
// a picture larger than the area shrinks to fit with its aspect kept.
SDL_Rect fit(int w, int h, const SDL_Rect& area) {
    const int factor = std::min(area.w / w, area.h / h);
    int fw = w * factor, fh = h * factor;
    if (factor == 0) {
        const bool width_bound = int64_t(area.w) * h <= int64_t(area.h) * w;
        fw = width_bound ? area.w : int(int64_t(w) * area.h / h);
        fh = width_bound ? int(int64_t(h) * area.w / w) : area.h;
    }
    return {area.x + (area.w - fw) / 2, area.y + (area.h - fh) / 2, fw, fh};
}

// The key code a window procedure gets: letters as capitals, digits, and a few named keys.
uintptr_t key_code(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return uintptr_t('A' + (key - SDLK_a));
    if ((key >= SDLK_0 && key <= SDLK_9) || key == SDLK_ESCAPE || key == SDLK_RETURN ||
        key == SDLK_SPACE || key == SDLK_TAB || key == SDLK_BACKSPACE)
        return uintptr_t(key);
    return DISPLAY_KEY_OTHER;
}

struct sdl_window {
    SDL_Window* window = nullptr;
    display_window_proc proc = nullptr;
    bool arrow_cursor = false;
};

display_window handle_of(sdl_window* window) {
    return reinterpret_cast<display_window>(window);
}

struct sdl_palette : display_palette {
    SDL_Palette* palette = nullptr;
    ~sdl_palette() override { SDL_FreePalette(palette); }
};

struct sdl_clipper : display_clipper {
    display_window window = nullptr;
};

struct sdl_surface : display_surface {
    uint32_t width = 0, height = 0, depth = 0, pitch = 0;
    std::vector<uint8_t> pixels; // a windowed primary surface gets them only when locked
    SDL_Texture* texture = nullptr;
    bool locked = false, lost = false, primary = false, chained = false;
    sdl_surface* back = nullptr; // flip chain only; owned by this surface
    sdl_clipper* clipper = nullptr;
    sdl_palette* palette = nullptr;

    void forget_texture() {
        if (texture)
            SDL_DestroyTexture(texture);
        texture = nullptr;
    }
    ~sdl_surface() override { forget_texture(); }
};

sdl_surface* as_surface(display_surface* surface) {
    return static_cast<sdl_surface*>(surface);
}

class sdl_display final : public display {
  public:
    sdl_display();
    ~sdl_display() override;

    int32_t enum_modes(display_enum_callback callback, void* context) override;
    int32_t set_cooperative_level(display_window window, display_cooperation level) override;
    int32_t set_display_mode(uint32_t width, uint32_t height, uint32_t bpp) override;
    int32_t restore_display_mode() override;
    int32_t wait_vertical_blank() override;

    int32_t create_primary(display_surface*& surface) override;
    int32_t create_flip_chain(uint32_t backbuffers, display_surface*& primary) override;
    int32_t create_offscreen(uint32_t width, uint32_t height, display_surface*& surface) override;
    int32_t get_back_buffer(display_surface* primary, display_surface*& back) override;
    int32_t get_pixel_format(display_surface* surface, display_pixel_format& format) override;
    int32_t lock(display_surface* surface, display_lock& lock) override;
    int32_t unlock(display_surface* surface) override;
    int32_t restore(display_surface* surface) override;
    int32_t flip(display_surface* primary) override;
    int32_t blit(display_surface* destination, const display_rect& to, display_surface* source,
                 const display_rect& from) override;
    int32_t set_clipper(display_surface* surface, display_clipper* clipper) override;
    int32_t set_palette(display_surface* surface, display_palette* palette) override;
    void release(display_surface* surface) override;

    int32_t create_clipper(display_clipper*& clipper) override;
    int32_t set_clipper_window(display_clipper* clipper, display_window window) override;
    void release(display_clipper* clipper) override { delete clipper; }

    int32_t create_palette(const display_palette_entry* entries,
                           display_palette*& palette) override;
    int32_t set_palette_entries(display_palette* palette, uint32_t first, uint32_t count,
                                const display_palette_entry* entries) override;
    void release(display_palette* palette) override { delete palette; }

    int32_t register_window_class(const display_window_class& window_class) override;
    void adjust_window_rect(display_rect&, display_window_style) override {}
    int32_t create_window(const display_window_desc& desc, display_window& window) override;
    void destroy_window(display_window window) override;
    bool peek_message(display_message& message) override;
    intptr_t dispatch_message(const display_message& message) override;
    intptr_t default_window_proc(display_window window, uint32_t message, uintptr_t wparam,
                                 intptr_t lparam) override;
    int32_t client_origin(display_window window, int32_t& x, int32_t& y) override;
    int32_t client_rect(display_window window, display_rect& rect) override;
    void show_cursor(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

  private:
    sdl_window* find_window(display_window window) const;
    sdl_window* find_window(Uint32 id) const;
    sdl_surface* make_surface(uint32_t width, uint32_t height, bool allocate);
    // The renderer of the window that has the display, made when first needed.
    SDL_Renderer* renderer();
    void forget_renderer();
    void lose_surfaces();
    // Uploads the surface into its texture; false when that fails.
    bool upload(sdl_surface& surface);
    // Draws `from` of the surface into `area` of the window (output pixels) on black and shows
    // it, with or without waiting for the vertical blank.
    int32_t show(sdl_surface& surface, const SDL_Rect& from, const SDL_Rect& area, bool vsync);
    // The whole output of the window that has the display.
    SDL_Rect whole_output();
    // Turns one SDL event into window messages.
    void translate(const SDL_Event& event);
    void post(sdl_window* window, uint32_t message, uintptr_t wparam = 0) {
        queue.push_back({handle_of(window), message, wparam, 0});
    }

    display_mode_desc desktop, current;
    display_cooperation level = display_cooperation::normal;
    sdl_window* owner = nullptr; // the window of the last set_cooperative_level
    SDL_Renderer* renderer_ = nullptr;
    bool vsync_on = false;
    sdl_palette* shown_palette = nullptr; // the palette of an 8-bit display
    std::vector<sdl_surface*> surfaces;   // every surface made, back buffers included
    bool has_primary = false;
    std::map<std::string, display_window_class> classes;
    std::vector<std::unique_ptr<sdl_window>> windows;
    std::deque<display_message> queue;
    std::chrono::steady_clock::time_point epoch = std::chrono::steady_clock::now();
};

sdl_display::sdl_display() {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0)
        desktop = {uint32_t(mode.w), uint32_t(mode.h), depth_of(mode.format)};
    else
        desktop = {640, 480, 32};
    current = desktop;
}

sdl_display::~sdl_display() {
    for (sdl_surface* surface : surfaces)
        delete surface;
    forget_renderer();
    for (const auto& window : windows)
        SDL_DestroyWindow(window->window);
    SDL_ShowCursor(SDL_ENABLE);
}

int32_t sdl_display::enum_modes(display_enum_callback callback, void* context) {
    if (!callback)
        return DISPLAY_ERR_INVALID;
    std::vector<display_mode_desc> modes;
    if (int32_t r = list_modes(modes); display_failed(r))
        return r;
    for (const display_mode_desc& mode : modes)
        if (!callback(mode, context))
            break;
    return DISPLAY_OK;
}

sdl_window* sdl_display::find_window(display_window window) const {
    for (const auto& w : windows)
        if (handle_of(w.get()) == window)
            return w.get();
    return nullptr;
}

sdl_window* sdl_display::find_window(Uint32 id) const {
    SDL_Window* window = SDL_GetWindowFromID(id);
    for (const auto& w : windows)
        if (w->window == window)
            return w.get();
    return nullptr;
}

int32_t sdl_display::set_cooperative_level(display_window window, display_cooperation wanted) {
    sdl_window* w = find_window(window);
    // Leaving full screen gives the pointer back.
    if (wanted == display_cooperation::normal && level == display_cooperation::exclusive_fullscreen)
        SDL_ShowCursor(SDL_ENABLE);
    if (!w) {
        // The window is gone (a mode ends by destroying it first): only the level changes.
        level = display_cooperation::normal;
        return wanted == display_cooperation::normal ? DISPLAY_OK : DISPLAY_ERR_INVALID;
    }
    if (w != owner)
        forget_renderer();
    owner = w;
    const Uint32 fullscreen =
        wanted == display_cooperation::exclusive_fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    // The window covers its display by itself too, where no window manager makes it do so.
    SDL_Rect bounds;
    if (fullscreen &&
        SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(w->window), 0), &bounds) == 0) {
        SDL_SetWindowPosition(w->window, bounds.x, bounds.y);
        SDL_SetWindowSize(w->window, bounds.w, bounds.h);
    }
    if (SDL_SetWindowFullscreen(w->window, fullscreen) != 0)
        return DISPLAY_ERR_FAILED;
    if (fullscreen)
        post(w, DISPLAY_MSG_SETCURSOR); // the pointer is over the window now
    level = wanted;
    return DISPLAY_OK;
}

int32_t sdl_display::set_display_mode(uint32_t width, uint32_t height, uint32_t bpp) {
    if (level != display_cooperation::exclusive_fullscreen)
        return DISPLAY_ERR_NOT_EXCLUSIVE;
    std::vector<display_mode_desc> modes;
    if (int32_t r = list_modes(modes); display_failed(r))
        return r;
    if (!listed(modes, {width, height, bpp}))
        return DISPLAY_ERR_NO_MODE;
    current = {width, height, bpp};
    lose_surfaces();
    return DISPLAY_OK;
}

int32_t sdl_display::restore_display_mode() {
    if (!same_mode(current, desktop)) {
        current = desktop;
        lose_surfaces();
    }
    return DISPLAY_OK;
}

int32_t sdl_display::wait_vertical_blank() {
    using namespace std::chrono;
    SDL_DisplayMode mode;
    const int index = owner ? SDL_GetWindowDisplayIndex(owner->window) : 0;
    const int rate = SDL_GetCurrentDisplayMode(std::max(index, 0), &mode) == 0 && mode.refresh_rate
                         ? mode.refresh_rate
                         : 60;
    const nanoseconds period = nanoseconds(1'000'000'000) / rate;
    const nanoseconds since = steady_clock::now() - epoch;
    std::this_thread::sleep_until(epoch + (since / period + 1) * period);
    return DISPLAY_OK;
}

sdl_surface* sdl_display::make_surface(uint32_t width, uint32_t height, bool allocate) {
    auto* surface = new sdl_surface;
    surface->width = width;
    surface->height = height;
    surface->depth = current.bpp;
    surface->pitch = width * SDL_BYTESPERPIXEL(format_of(current.bpp));
    if (allocate)
        surface->pixels.assign(size_t(surface->pitch) * height, 0);
    surfaces.push_back(surface);
    return surface;
}

SDL_Renderer* sdl_display::renderer() {
    if (!renderer_ && owner) {
        renderer_ = SDL_CreateRenderer(owner->window, -1, 0);
        vsync_on = false;
    }
    return renderer_;
}

void sdl_display::forget_renderer() {
    if (!renderer_)
        return;
    for (sdl_surface* surface : surfaces)
        surface->forget_texture();
    SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
}

int32_t sdl_display::create_primary(display_surface*& surface) {
    surface = nullptr;
    if (has_primary || !renderer())
        return DISPLAY_ERR_INVALID;
    const bool fullscreen = level == display_cooperation::exclusive_fullscreen;
    sdl_surface* primary = make_surface(current.width, current.height, fullscreen);
    primary->primary = true;
    has_primary = true;
    surface = primary;
    return DISPLAY_OK;
}

int32_t sdl_display::create_flip_chain(uint32_t backbuffers, display_surface*& primary) {
    primary = nullptr;
    if (level != display_cooperation::exclusive_fullscreen)
        return DISPLAY_ERR_NOT_EXCLUSIVE;
    if (backbuffers != 1)
        return DISPLAY_ERR_UNSUPPORTED;
    if (int32_t r = create_primary(primary); display_failed(r))
        return r;
    sdl_surface* front = as_surface(primary);
    front->back = make_surface(current.width, current.height, true);
    front->back->chained = front->chained = true;
    return DISPLAY_OK;
}

int32_t sdl_display::create_offscreen(uint32_t width, uint32_t height, display_surface*& surface) {
    surface = nullptr;
    if (width == 0 || height == 0 || width > largest_surface || height > largest_surface)
        return DISPLAY_ERR_INVALID;
    surface = make_surface(width, height, true);
    return DISPLAY_OK;
}

int32_t sdl_display::get_back_buffer(display_surface* primary, display_surface*& back) {
    back = primary ? as_surface(primary)->back : nullptr;
    return back ? DISPLAY_OK : DISPLAY_ERR_INVALID;
}

int32_t sdl_display::get_pixel_format(display_surface* surface, display_pixel_format& format) {
    if (!surface)
        return DISPLAY_ERR_INVALID;
    format = display_standard_format(as_surface(surface)->depth);
    return DISPLAY_OK;
}

int32_t sdl_display::lock(display_surface* surface, display_lock& lock) {
    sdl_surface* s = as_surface(surface);
    if (!s)
        return DISPLAY_ERR_INVALID;
    if (s->lost)
        return DISPLAY_ERR_SURFACE_LOST;
    if (s->locked)
        return DISPLAY_ERR_BUSY;
    if (s->pixels.empty())
        s->pixels.assign(size_t(s->pitch) * s->height, 0);
    s->locked = true;
    lock = {s->pixels.data(), s->pitch, s->width, s->height, s->chained ? 1u : 0u};
    return DISPLAY_OK;
}

int32_t sdl_display::unlock(display_surface* surface) {
    sdl_surface* s = as_surface(surface);
    if (!s || !s->locked)
        return DISPLAY_ERR_INVALID;
    s->locked = false;
    // Full screen without a flip chain draws on the screen itself: it shows at once.
    if (s->primary && !s->chained && level == display_cooperation::exclusive_fullscreen)
        return show(*s, {0, 0, int(s->width), int(s->height)}, whole_output(), false);
    return DISPLAY_OK;
}

int32_t sdl_display::restore(display_surface* surface) {
    sdl_surface* s = as_surface(surface);
    if (!s)
        return DISPLAY_ERR_INVALID;
    for (; s; s = s->back) {
        if (s->lost)
            s->forget_texture();
        s->lost = false;
    }
    return DISPLAY_OK;
}

bool sdl_display::upload(sdl_surface& s) {
    SDL_Renderer* r = renderer();
    if (!r || s.pixels.empty())
        return false;
    const bool indexed = s.depth == 8;
    const Uint32 format = format_of(indexed ? 32 : s.depth);
    if (!s.texture) {
        s.texture =
            SDL_CreateTexture(r, format, SDL_TEXTUREACCESS_STREAMING, int(s.width), int(s.height));
        if (!s.texture || SDL_SetTextureScaleMode(s.texture, SDL_ScaleModeNearest) != 0)
            return false;
    }
    if (!indexed)
        return SDL_UpdateTexture(s.texture, nullptr, s.pixels.data(), int(s.pitch)) == 0;
    // An 8-bit display shows its pixels through the display's palette (black without one).
    void* texels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(s.texture, nullptr, &texels, &pitch) != 0)
        return false;
    const SDL_Palette* palette = shown_palette ? shown_palette->palette : nullptr;
    for (uint32_t y = 0; y < s.height; ++y) {
        const uint8_t* in = s.pixels.data() + size_t(y) * s.pitch;
        auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(texels) + size_t(y) * pitch);
        for (uint32_t x = 0; x < s.width; ++x) {
            const SDL_Color c = palette ? palette->colors[in[x]] : SDL_Color{0, 0, 0, 0};
            out[x] = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
    }
    SDL_UnlockTexture(s.texture);
    return true;
}

SDL_Rect sdl_display::whole_output() {
    int w = 0, h = 0;
    if (renderer())
        SDL_GetRendererOutputSize(renderer_, &w, &h);
    return {0, 0, w, h};
}

int32_t sdl_display::show(sdl_surface& surface, const SDL_Rect& from, const SDL_Rect& area,
                          bool vsync) {
    if (!upload(surface))
        return DISPLAY_ERR_FAILED;
    SDL_Renderer* r = renderer_;
    if (vsync != vsync_on) {
        SDL_RenderSetVSync(r, vsync ? 1 : 0);
        vsync_on = vsync;
    }
    // A renderer that cannot wait for the blank itself has it waited for here. The software
    // renderer takes the vsync flag but does not wait.
    SDL_RendererInfo info;
    if (vsync && (SDL_GetRendererInfo(r, &info) != 0 || !(info.flags & SDL_RENDERER_PRESENTVSYNC) ||
                  std::strcmp(info.name, "software") == 0))
        wait_vertical_blank();
    const SDL_Rect to = fit(from.w, from.h, area);
    if (SDL_SetRenderDrawColor(r, 0, 0, 0, 255) != 0 || SDL_RenderClear(r) != 0 ||
        SDL_RenderCopy(r, surface.texture, &from, &to) != 0)
        return DISPLAY_ERR_FAILED;
    SDL_RenderPresent(r);
    return DISPLAY_OK;
}

int32_t sdl_display::flip(display_surface* primary) {
    sdl_surface* s = as_surface(primary);
    if (!s || !s->back)
        return DISPLAY_ERR_INVALID;
    if (s->lost || s->back->lost)
        return DISPLAY_ERR_SURFACE_LOST;
    if (s->locked || s->back->locked)
        return DISPLAY_ERR_BUSY;
    s->pixels.swap(s->back->pixels);
    return show(*s, {0, 0, int(s->width), int(s->height)}, whole_output(), true);
}

int32_t sdl_display::blit(display_surface* destination, const display_rect& to,
                          display_surface* source, const display_rect& from) {
    sdl_surface* dst = as_surface(destination);
    sdl_surface* src = as_surface(source);
    if (!dst || !src || dst->depth != src->depth)
        return DISPLAY_ERR_INVALID;
    if (!display_blit_rects_valid(to, from, src->width, src->height))
        return DISPLAY_ERR_INVALID;
    // Only a picture for the screen is blitted here: onto a window's primary surface.
    if (!dst->primary || level != display_cooperation::normal)
        return DISPLAY_ERR_UNSUPPORTED;
    if (dst->lost || src->lost)
        return DISPLAY_ERR_SURFACE_LOST;
    if (dst->locked || src->locked)
        return DISPLAY_ERR_BUSY;
    const sdl_window* window = find_window(dst->clipper ? dst->clipper->window : nullptr);
    if (!window)
        window = owner;
    if (!window || !renderer())
        return DISPLAY_ERR_INVALID;
    // Screen to window coordinates, and window to output pixels (which differ on dense screens).
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window->window, &x, &y);
    SDL_GetWindowSize(window->window, &w, &h);
    const SDL_Rect output = whole_output();
    const double sx = w > 0 ? double(output.w) / w : 1, sy = h > 0 ? double(output.h) / h : 1;
    const SDL_Rect area{int((to.left - x) * sx), int((to.top - y) * sy),
                        int((to.right - to.left) * sx), int((to.bottom - to.top) * sy)};
    return show(*src, {from.left, from.top, from.right - from.left, from.bottom - from.top}, area,
                false);
}

int32_t sdl_display::set_clipper(display_surface* surface, display_clipper* clipper) {
    if (!surface)
        return DISPLAY_ERR_INVALID;
    as_surface(surface)->clipper = static_cast<sdl_clipper*>(clipper);
    return DISPLAY_OK;
}

int32_t sdl_display::set_palette(display_surface* surface, display_palette* palette) {
    sdl_surface* s = as_surface(surface);
    if (!s || s->depth != 8)
        return DISPLAY_ERR_INVALID;
    s->palette = static_cast<sdl_palette*>(palette);
    if (s->primary)
        shown_palette = s->palette;
    return DISPLAY_OK;
}

void sdl_display::release(display_surface* surface) {
    sdl_surface* s = as_surface(surface);
    if (!s || std::find(surfaces.begin(), surfaces.end(), s) == surfaces.end())
        return;
    if (s->primary) {
        has_primary = false;
        shown_palette = nullptr;
    }
    for (sdl_surface* gone : {s->back, s}) {
        if (!gone)
            continue;
        surfaces.erase(std::remove(surfaces.begin(), surfaces.end(), gone), surfaces.end());
        delete gone;
    }
}

int32_t sdl_display::create_clipper(display_clipper*& clipper) {
    clipper = new sdl_clipper;
    return DISPLAY_OK;
}

int32_t sdl_display::set_clipper_window(display_clipper* clipper, display_window window) {
    if (!clipper || !find_window(window))
        return DISPLAY_ERR_INVALID;
    static_cast<sdl_clipper*>(clipper)->window = window;
    return DISPLAY_OK;
}

int32_t sdl_display::create_palette(const display_palette_entry* entries,
                                    display_palette*& palette) {
    palette = nullptr;
    if (!entries)
        return DISPLAY_ERR_INVALID;
    auto made = std::make_unique<sdl_palette>();
    made->palette = SDL_AllocPalette(DISPLAY_PALETTE_SIZE);
    if (!made->palette)
        return DISPLAY_ERR_OUT_OF_MEMORY;
    if (int32_t r = set_palette_entries(made.get(), 0, DISPLAY_PALETTE_SIZE, entries);
        display_failed(r))
        return r;
    palette = made.release();
    return DISPLAY_OK;
}

int32_t sdl_display::set_palette_entries(display_palette* palette, uint32_t first, uint32_t count,
                                         const display_palette_entry* entries) {
    if (!palette || !entries || first > DISPLAY_PALETTE_SIZE ||
        count > DISPLAY_PALETTE_SIZE - first)
        return DISPLAY_ERR_INVALID;
    std::vector<SDL_Color> colours(count);
    for (uint32_t i = 0; i < count; ++i)
        colours[i] = {entries[i].red, entries[i].green, entries[i].blue, 255};
    return SDL_SetPaletteColors(static_cast<sdl_palette*>(palette)->palette, colours.data(),
                                int(first), int(count)) == 0
               ? DISPLAY_OK
               : DISPLAY_ERR_FAILED;
}

void sdl_display::lose_surfaces() {
    for (sdl_surface* surface : surfaces)
        surface->lost = true;
}

int32_t sdl_display::register_window_class(const display_window_class& window_class) {
    if (!window_class.name || !window_class.proc)
        return DISPLAY_ERR_INVALID;
    classes[window_class.name] = window_class;
    return DISPLAY_OK;
}

int32_t sdl_display::create_window(const display_window_desc& desc, display_window& window) {
    window = nullptr;
    const auto window_class = desc.class_name ? classes.find(desc.class_name) : classes.end();
    if (window_class == classes.end())
        return DISPLAY_ERR_INVALID;
    const bool framed = desc.style == display_window_style::framed;
    const int w = std::max(desc.frame.right - desc.frame.left, 1);
    const int h = std::max(desc.frame.bottom - desc.frame.top, 1);
    SDL_Window* made =
        SDL_CreateWindow(desc.caption ? desc.caption : "", desc.frame.left, desc.frame.top, w, h,
                         framed ? SDL_WINDOW_RESIZABLE : SDL_WINDOW_BORDERLESS);
    if (!made)
        return DISPLAY_ERR_FAILED;
    auto kept = std::make_unique<sdl_window>();
    kept->window = made;
    kept->proc = window_class->second.proc;
    kept->arrow_cursor = window_class->second.arrow_cursor;
    window = handle_of(kept.get());
    windows.push_back(std::move(kept));
    return DISPLAY_OK;
}

void sdl_display::destroy_window(display_window window) {
    sdl_window* w = find_window(window);
    if (!w)
        return;
    if (w == owner) {
        forget_renderer();
        owner = nullptr;
    }
    std::erase_if(queue, [&](const display_message& m) { return m.window == window; });
    SDL_DestroyWindow(w->window);
    std::erase_if(windows, [&](const auto& kept) { return kept.get() == w; });
}

void sdl_display::translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        for (const auto& w : windows)
            post(w.get(), DISPLAY_MSG_CLOSE);
        break;
    case SDL_KEYDOWN:
        if (sdl_window* w = find_window(event.key.windowID))
            post(w, DISPLAY_MSG_KEYDOWN, key_code(event.key.keysym.sym));
        break;
    case SDL_MOUSEMOTION:
        if (sdl_window* w = find_window(event.motion.windowID))
            post(w, DISPLAY_MSG_SETCURSOR);
        break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        lose_surfaces();
        break;
    case SDL_WINDOWEVENT: {
        sdl_window* w = find_window(event.window.windowID);
        if (!w)
            break;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            post(w, DISPLAY_MSG_CLOSE);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            post(w, DISPLAY_MSG_PAINT);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            post(w, DISPLAY_MSG_SYSCOMMAND, DISPLAY_COMMAND_MINIMIZE);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_FOCUS_LOST:
            post(w, DISPLAY_MSG_ACTIVATEAPP,
                 event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ? 1 : 0);
            break;
        case SDL_WINDOWEVENT_ENTER:
            post(w, DISPLAY_MSG_SETCURSOR);
            break;
        }
        break;
    }
    }
}

bool sdl_display::peek_message(display_message& message) {
    SDL_Event event;
    while (queue.empty() && SDL_PollEvent(&event))
        translate(event);
    if (queue.empty())
        return false;
    message = queue.front();
    queue.pop_front();
    return true;
}

intptr_t sdl_display::dispatch_message(const display_message& message) {
    const sdl_window* window = find_window(message.window);
    if (!window)
        return 0;
    return window->proc(message.window, message.message, message.wparam, message.lparam);
}

intptr_t sdl_display::default_window_proc(display_window window, uint32_t message, uintptr_t wparam,
                                          intptr_t) {
    const sdl_window* w = find_window(window);
    if (!w)
        return 0;
    if (message == DISPLAY_MSG_SYSCOMMAND && (wparam & 0xFFF0) == DISPLAY_COMMAND_MINIMIZE)
        SDL_MinimizeWindow(w->window);
    if (message == DISPLAY_MSG_SETCURSOR && w->arrow_cursor)
        SDL_ShowCursor(SDL_ENABLE);
    return 0;
}

int32_t sdl_display::client_origin(display_window window, int32_t& x, int32_t& y) {
    const sdl_window* w = find_window(window);
    if (!w)
        return DISPLAY_ERR_INVALID;
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(w->window, &wx, &wy);
    x = wx;
    y = wy;
    return DISPLAY_OK;
}

int32_t sdl_display::client_rect(display_window window, display_rect& rect) {
    const sdl_window* w = find_window(window);
    if (!w)
        return DISPLAY_ERR_INVALID;
    int width = 0, height = 0;
    SDL_GetWindowSize(w->window, &width, &height);
    rect = {0, 0, width, height};
    return DISPLAY_OK;
}

// Unless SDL_VIDEODRIVER names its drivers, SDL tries only the window systems that the
// environment points at (its others show nothing, and probing an absent one prints noise).
bool sdl_init() {
    std::string why;
    const char* named = SDL_getenv("SDL_VIDEODRIVER");
    if (!named || !*named) {
        std::string drivers = SDL_getenv("DISPLAY") ? "x11" : "";
        if (SDL_getenv("WAYLAND_DISPLAY"))
            drivers += drivers.empty() ? "wayland" : ",wayland";
        if (drivers.empty())
            why = "DISPLAY and WAYLAND_DISPLAY are not set";
        else
            SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    if (why.empty()) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
            return true;
        why = std::string("SDL: ") + SDL_GetError();
    }
    const std::string reason = "no X11 or Wayland display could be opened (" + why + ")";
    display_backend_set_failure(reason.c_str());
    return false;
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
