#include "platform/display_headless.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

namespace {

headless_config config;
headless_record record;

int32_t injected(headless_op op) {
    const size_t i = static_cast<size_t>(op);
    if (config.fail[i] && config.pass[i] > 0) {
        --config.pass[i];
        return DISPLAY_OK;
    }
    return config.fail[i];
}

bool same_mode(const display_mode_desc& a, const display_mode_desc& b) {
    return a.width == b.width && a.height == b.height && a.bpp == b.bpp;
}

struct headless_clipper : display_clipper {
    display_window window = nullptr;
};

struct headless_palette : display_palette {
    display_palette_entry entries[DISPLAY_PALETTE_SIZE];
};

struct headless_surface : display_surface {
    uint32_t width = 0, height = 0, bpp = 0, pitch = 0;
    std::vector<uint8_t> pixels;
    bool locked = false, lost = false, primary = false, chained = false;
    headless_surface* back = nullptr; // flip chain only; owned by this surface
    display_clipper* clipper = nullptr;
    display_palette* palette = nullptr;

    uint32_t bytes_per_pixel() const { return (bpp + 7) / 8; }
};

struct headless_window_object {
    headless_window state;
    display_window_proc proc = nullptr;
    bool arrow_cursor = false;
};

display_window handle_of(headless_window_object* window) {
    return reinterpret_cast<display_window>(window);
}

void present(headless_surface& picture) {
    if (config.on_present)
        config.on_present({picture.pixels.data(), picture.pitch, picture.width, picture.height, 0});
}

class headless_display final : public display {
  public:
    headless_display();
    ~headless_display() override;

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
    void release(display_clipper* clipper) override;

    int32_t create_palette(const display_palette_entry* entries,
                           display_palette*& palette) override;
    int32_t set_palette_entries(display_palette* palette, uint32_t first, uint32_t count,
                                const display_palette_entry* entries) override;
    void release(display_palette* palette) override;

    int32_t register_window_class(const display_window_class& window_class) override;
    void adjust_window_rect(display_rect& rect, display_window_style style) override;
    int32_t create_window(const display_window_desc& desc, display_window& window) override;
    void destroy_window(display_window window) override;
    bool peek_message(display_message& message) override;
    intptr_t dispatch_message(const display_message& message) override;
    intptr_t default_window_proc(display_window window, uint32_t message, uintptr_t wparam,
                                 intptr_t lparam) override;
    int32_t client_origin(display_window window, int32_t& x, int32_t& y) override;
    int32_t client_rect(display_window window, display_rect& rect) override;
    void show_cursor(bool shown) override;

    void lose_surfaces();
    void post(const display_message& message) { queue.push_back(message); }
    // The window of that handle while it exists, else null.
    headless_window_object* find_window(display_window window);

  private:
    headless_surface* make_surface(uint32_t width, uint32_t height);
    void forget(headless_surface* surface);
    // The exclusive window covers the display in its current mode.
    void cover_display();

    std::vector<headless_surface*> surfaces; // every surface made, back buffers included
    bool has_primary = false;
    std::map<std::string, display_window_class> classes; // names kept as strings
    std::vector<std::unique_ptr<headless_window_object>> windows;
    std::deque<display_message> queue;
};

headless_display* live = nullptr;

headless_surface* as_surface(display_surface* surface) {
    return static_cast<headless_surface*>(surface);
}

headless_display::headless_display() {
    record.current = config.desktop;
    record.level = display_cooperation::normal;
    live = this;
}

headless_display::~headless_display() {
    for (headless_surface* surface : surfaces)
        delete surface;
    record.live_windows -= uint32_t(windows.size());
    if (live == this)
        live = nullptr;
}

int32_t headless_display::enum_modes(display_enum_callback callback, void* context) {
    if (int32_t r = injected(headless_op::enum_modes))
        return r;
    if (!callback)
        return DISPLAY_ERR_INVALID;
    for (const display_mode_desc& mode : config.modes)
        if (!callback(mode, context))
            break;
    return DISPLAY_OK;
}

int32_t headless_display::set_cooperative_level(display_window window, display_cooperation level) {
    if (int32_t r = injected(headless_op::set_cooperative_level))
        return r;
    record.window = window;
    record.level = level;
    cover_display();
    return DISPLAY_OK;
}

int32_t headless_display::set_display_mode(uint32_t width, uint32_t height, uint32_t bpp) {
    if (int32_t r = injected(headless_op::set_display_mode))
        return r;
    if (record.level != display_cooperation::exclusive_fullscreen)
        return DISPLAY_ERR_NOT_EXCLUSIVE;
    const display_mode_desc wanted{width, height, bpp};
    if (std::none_of(config.modes.begin(), config.modes.end(),
                     [&](const display_mode_desc& m) { return same_mode(m, wanted); }))
        return DISPLAY_ERR_NO_MODE;
    record.current = wanted;
    lose_surfaces();
    cover_display();
    return DISPLAY_OK;
}

int32_t headless_display::restore_display_mode() {
    if (int32_t r = injected(headless_op::restore_display_mode))
        return r;
    if (!same_mode(record.current, config.desktop)) {
        record.current = config.desktop;
        lose_surfaces();
    }
    return DISPLAY_OK;
}

int32_t headless_display::wait_vertical_blank() {
    if (int32_t r = injected(headless_op::wait_vertical_blank))
        return r;
    ++record.vertical_blanks;
    return DISPLAY_OK;
}

headless_surface* headless_display::make_surface(uint32_t width, uint32_t height) {
    auto* surface = new headless_surface;
    surface->width = width;
    surface->height = height;
    surface->bpp = display_standard_format(record.current.bpp).bpp;
    surface->pitch = width * surface->bytes_per_pixel();
    surface->pixels.assign(size_t(surface->pitch) * height, 0);
    surfaces.push_back(surface);
    return surface;
}

int32_t headless_display::create_primary(display_surface*& surface) {
    surface = nullptr;
    if (int32_t r = injected(headless_op::create_primary))
        return r;
    if (has_primary)
        return DISPLAY_ERR_INVALID;
    headless_surface* primary = make_surface(record.current.width, record.current.height);
    primary->primary = true;
    has_primary = true;
    ++record.live_surfaces;
    surface = primary;
    return DISPLAY_OK;
}

int32_t headless_display::create_flip_chain(uint32_t backbuffers, display_surface*& primary) {
    primary = nullptr;
    if (int32_t r = injected(headless_op::create_flip_chain))
        return r;
    if (record.level != display_cooperation::exclusive_fullscreen)
        return DISPLAY_ERR_NOT_EXCLUSIVE;
    if (backbuffers != 1)
        return DISPLAY_ERR_UNSUPPORTED;
    if (int32_t r = create_primary(primary); display_failed(r))
        return r;
    as_surface(primary)->back = make_surface(record.current.width, record.current.height);
    as_surface(primary)->back->chained = true;
    return DISPLAY_OK;
}

int32_t headless_display::create_offscreen(uint32_t width, uint32_t height,
                                           display_surface*& surface) {
    surface = nullptr;
    if (int32_t r = injected(headless_op::create_offscreen))
        return r;
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        return DISPLAY_ERR_INVALID;
    surface = make_surface(width, height);
    ++record.live_surfaces;
    return DISPLAY_OK;
}

int32_t headless_display::get_back_buffer(display_surface* primary, display_surface*& back) {
    back = nullptr;
    if (int32_t r = injected(headless_op::get_back_buffer))
        return r;
    if (!primary || !as_surface(primary)->back)
        return DISPLAY_ERR_INVALID;
    back = as_surface(primary)->back;
    return DISPLAY_OK;
}

int32_t headless_display::get_pixel_format(display_surface* surface, display_pixel_format& format) {
    if (int32_t r = injected(headless_op::get_pixel_format))
        return r;
    if (!surface)
        return DISPLAY_ERR_INVALID;
    format = config.format ? *config.format : display_standard_format(record.current.bpp);
    return DISPLAY_OK;
}

int32_t headless_display::lock(display_surface* surface, display_lock& lock) {
    if (int32_t r = injected(headless_op::lock))
        return r;
    headless_surface* s = as_surface(surface);
    if (!s)
        return DISPLAY_ERR_INVALID;
    if (s->lost)
        return DISPLAY_ERR_SURFACE_LOST;
    if (s->locked)
        return DISPLAY_ERR_BUSY;
    s->locked = true;
    lock.data = s->pixels.data();
    lock.pitch = s->pitch;
    lock.width = s->width;
    lock.height = s->height;
    lock.backbuffers = s->back || s->chained ? 1 : 0;
    return DISPLAY_OK;
}

int32_t headless_display::unlock(display_surface* surface) {
    if (int32_t r = injected(headless_op::unlock))
        return r;
    headless_surface* s = as_surface(surface);
    if (!s || !s->locked)
        return DISPLAY_ERR_INVALID;
    s->locked = false;
    // A primary surface without a flip chain is on the screen: what was written shows now.
    if (s->primary && !s->back)
        present(*s);
    return DISPLAY_OK;
}

int32_t headless_display::restore(display_surface* surface) {
    if (int32_t r = injected(headless_op::restore))
        return r;
    headless_surface* s = as_surface(surface);
    if (!s)
        return DISPLAY_ERR_INVALID;
    for (; s; s = s->back)
        s->lost = false;
    return DISPLAY_OK;
}

int32_t headless_display::flip(display_surface* primary) {
    if (int32_t r = injected(headless_op::flip))
        return r;
    headless_surface* s = as_surface(primary);
    if (!s || !s->back)
        return DISPLAY_ERR_INVALID;
    if (s->lost || s->back->lost)
        return DISPLAY_ERR_SURFACE_LOST;
    if (s->locked || s->back->locked)
        return DISPLAY_ERR_BUSY;
    present(*s->back);
    s->pixels.swap(s->back->pixels);
    ++record.flips;
    return DISPLAY_OK;
}

int32_t headless_display::blit(display_surface* destination, const display_rect& to,
                               display_surface* source, const display_rect& from) {
    if (int32_t r = injected(headless_op::blit))
        return r;
    headless_surface* dst = as_surface(destination);
    headless_surface* src = as_surface(source);
    if (!dst || !src || dst->bpp != src->bpp)
        return DISPLAY_ERR_INVALID;
    if (!display_blit_rects_valid(to, from, src->width, src->height))
        return DISPLAY_ERR_INVALID;
    if (dst->lost || src->lost)
        return DISPLAY_ERR_SURFACE_LOST;
    if (dst->locked || src->locked)
        return DISPLAY_ERR_BUSY;
    const int64_t tw = int64_t(to.right) - to.left, th = int64_t(to.bottom) - to.top;
    const int64_t fw = int64_t(from.right) - from.left, fh = int64_t(from.bottom) - from.top;
    const int64_t x0 = std::max<int64_t>(to.left, 0), x1 = std::min<int64_t>(to.right, dst->width);
    const int64_t y0 = std::max<int64_t>(to.top, 0), y1 = std::min<int64_t>(to.bottom, dst->height);
    const uint32_t bytes = dst->bytes_per_pixel();
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t sy = from.top + (y - to.top) * fh / th;
        for (int64_t x = x0; x < x1; ++x) {
            const int64_t sx = from.left + (x - to.left) * fw / tw;
            std::memcpy(&dst->pixels[size_t(y) * dst->pitch + size_t(x) * bytes],
                        &src->pixels[size_t(sy) * src->pitch + size_t(sx) * bytes], bytes);
        }
    }
    if (dst->primary)
        present(*src);
    ++record.blits;
    return DISPLAY_OK;
}

int32_t headless_display::set_clipper(display_surface* surface, display_clipper* clipper) {
    if (int32_t r = injected(headless_op::set_clipper))
        return r;
    if (!surface)
        return DISPLAY_ERR_INVALID;
    as_surface(surface)->clipper = clipper;
    return DISPLAY_OK;
}

int32_t headless_display::set_palette(display_surface* surface, display_palette* palette) {
    if (int32_t r = injected(headless_op::set_palette))
        return r;
    if (!surface || as_surface(surface)->bpp != 8)
        return DISPLAY_ERR_INVALID;
    as_surface(surface)->palette = palette;
    return DISPLAY_OK;
}

void headless_display::forget(headless_surface* surface) {
    surfaces.erase(std::remove(surfaces.begin(), surfaces.end(), surface), surfaces.end());
    delete surface;
}

void headless_display::release(display_surface* surface) {
    headless_surface* s = as_surface(surface);
    if (!s || std::find(surfaces.begin(), surfaces.end(), s) == surfaces.end())
        return;
    if (s->primary)
        has_primary = false;
    if (s->back)
        forget(s->back);
    forget(s);
    --record.live_surfaces;
}

int32_t headless_display::create_clipper(display_clipper*& clipper) {
    clipper = nullptr;
    if (int32_t r = injected(headless_op::create_clipper))
        return r;
    clipper = new headless_clipper;
    return DISPLAY_OK;
}

int32_t headless_display::set_clipper_window(display_clipper* clipper, display_window window) {
    if (int32_t r = injected(headless_op::set_clipper_window))
        return r;
    if (!clipper)
        return DISPLAY_ERR_INVALID;
    static_cast<headless_clipper*>(clipper)->window = window;
    return DISPLAY_OK;
}

void headless_display::release(display_clipper* clipper) {
    delete clipper;
}

int32_t headless_display::create_palette(const display_palette_entry* entries,
                                         display_palette*& palette) {
    palette = nullptr;
    if (int32_t r = injected(headless_op::create_palette))
        return r;
    if (!entries)
        return DISPLAY_ERR_INVALID;
    auto* made = new headless_palette;
    std::copy(entries, entries + DISPLAY_PALETTE_SIZE, made->entries);
    std::copy(entries, entries + DISPLAY_PALETTE_SIZE, record.palette.begin());
    palette = made;
    return DISPLAY_OK;
}

int32_t headless_display::set_palette_entries(display_palette* palette, uint32_t first,
                                              uint32_t count,
                                              const display_palette_entry* entries) {
    if (int32_t r = injected(headless_op::set_palette_entries))
        return r;
    if (!palette || !entries || first > DISPLAY_PALETTE_SIZE ||
        count > DISPLAY_PALETTE_SIZE - first)
        return DISPLAY_ERR_INVALID;
    auto* loaded = static_cast<headless_palette*>(palette);
    std::copy(entries, entries + count, loaded->entries + first);
    std::copy(loaded->entries, loaded->entries + DISPLAY_PALETTE_SIZE, record.palette.begin());
    return DISPLAY_OK;
}

void headless_display::release(display_palette* palette) {
    delete palette;
}

int32_t headless_display::register_window_class(const display_window_class& window_class) {
    if (int32_t r = injected(headless_op::register_window_class))
        return r;
    if (!window_class.name || !window_class.proc)
        return DISPLAY_ERR_INVALID;
    display_window_class& kept = classes[window_class.name];
    kept = window_class;
    kept.name = nullptr; // the key holds the name
    return DISPLAY_OK;
}

void headless_display::adjust_window_rect(display_rect& rect, display_window_style style) {
    if (style != display_window_style::framed)
        return;
    rect.left -= HEADLESS_FRAME_SIDE;
    rect.top -= HEADLESS_FRAME_CAPTION;
    rect.right += HEADLESS_FRAME_SIDE;
    rect.bottom += HEADLESS_FRAME_SIDE;
}

int32_t headless_display::create_window(const display_window_desc& desc, display_window& window) {
    window = nullptr;
    if (int32_t r = injected(headless_op::create_window))
        return r;
    const auto window_class = desc.class_name ? classes.find(desc.class_name) : classes.end();
    if (window_class == classes.end())
        return DISPLAY_ERR_INVALID;
    auto made = std::make_unique<headless_window_object>();
    made->proc = window_class->second.proc;
    made->arrow_cursor = window_class->second.arrow_cursor;
    headless_window& state = made->state;
    state.class_name = desc.class_name;
    state.caption = desc.caption ? desc.caption : "";
    state.style = desc.style;
    state.frame = state.client = desc.frame;
    if (desc.style == display_window_style::framed) {
        state.client.left += HEADLESS_FRAME_SIDE;
        state.client.top += HEADLESS_FRAME_CAPTION;
        state.client.right -= HEADLESS_FRAME_SIDE;
        state.client.bottom -= HEADLESS_FRAME_SIDE;
    }
    if (state.client.right < state.client.left || state.client.bottom < state.client.top)
        return DISPLAY_ERR_INVALID;
    window = handle_of(made.get());
    windows.push_back(std::move(made));
    ++record.live_windows;
    return DISPLAY_OK;
}

headless_window_object* headless_display::find_window(display_window window) {
    for (const auto& w : windows)
        if (handle_of(w.get()) == window)
            return w.get();
    return nullptr;
}

void headless_display::destroy_window(display_window window) {
    if (!find_window(window))
        return;
    std::erase_if(queue, [&](const display_message& m) { return m.window == window; });
    std::erase_if(windows, [&](const auto& w) { return handle_of(w.get()) == window; });
    --record.live_windows;
}

bool headless_display::peek_message(display_message& message) {
    if (queue.empty())
        return false;
    message = queue.front();
    queue.pop_front();
    return true;
}

intptr_t headless_display::dispatch_message(const display_message& message) {
    headless_window_object* window = find_window(message.window);
    if (!window)
        return 0;
    return window->proc(message.window, message.message, message.wparam, message.lparam);
}

intptr_t headless_display::default_window_proc(display_window window, uint32_t message,
                                               uintptr_t wparam, intptr_t lparam) {
    record.defaulted.push_back({window, message, wparam, lparam});
    headless_window_object* w = find_window(window);
    if (!w)
        return 0;
    if (message == DISPLAY_MSG_SYSCOMMAND && (wparam & 0xFFF0) == DISPLAY_COMMAND_MINIMIZE)
        w->state.minimised = true;
    if (message == DISPLAY_MSG_SETCURSOR && w->arrow_cursor)
        show_cursor(true);
    return 0;
}

int32_t headless_display::client_origin(display_window window, int32_t& x, int32_t& y) {
    if (int32_t r = injected(headless_op::client_origin))
        return r;
    const headless_window_object* w = find_window(window);
    if (!w)
        return DISPLAY_ERR_INVALID;
    x = w->state.client.left;
    y = w->state.client.top;
    return DISPLAY_OK;
}

int32_t headless_display::client_rect(display_window window, display_rect& rect) {
    if (int32_t r = injected(headless_op::client_rect))
        return r;
    const headless_window_object* w = find_window(window);
    if (!w)
        return DISPLAY_ERR_INVALID;
    rect = {0, 0, w->state.client.right - w->state.client.left,
            w->state.client.bottom - w->state.client.top};
    return DISPLAY_OK;
}

void headless_display::show_cursor(bool shown) {
    record.cursor_shown = shown;
}

void headless_display::cover_display() {
    headless_window_object* w = find_window(record.window);
    if (!w || record.level != display_cooperation::exclusive_fullscreen)
        return;
    w->state.frame =
        w->state.client = {0, 0, int32_t(record.current.width), int32_t(record.current.height)};
}

void headless_display::lose_surfaces() {
    for (headless_surface* surface : surfaces)
        surface->lost = true;
}

bool headless_init() {
    if (injected(headless_op::init)) {
        display_backend_set_failure("the headless display was made to fail");
        return false;
    }
    record.initialised = true;
    return true;
}

void headless_quit() {
    record.initialised = false;
}

int32_t headless_desktop_mode(display_mode_desc& mode) {
    if (int32_t r = injected(headless_op::desktop_mode))
        return r;
    mode = config.desktop;
    return DISPLAY_OK;
}

void headless_message_box(display_icon icon, const char* caption, const char* text) {
    record.messages.push_back({icon, caption ? caption : "", text ? text : ""});
}

void headless_set_screen_saver(bool enabled) {
    record.screen_saver = enabled;
}

int32_t headless_create(std::unique_ptr<display>& device) {
    device.reset();
    if (int32_t r = injected(headless_op::create))
        return r;
    device = std::make_unique<headless_display>();
    return DISPLAY_OK;
}

} // namespace

const display_backend headless_backend = {
    "headless",           headless_init,
    headless_quit,        headless_desktop_mode,
    headless_message_box, headless_set_screen_saver,
    headless_create,
};

headless_config& headless_display_config() {
    return config;
}
headless_record& headless_display_record() {
    return record;
}

void headless_display_reset() {
    config = headless_config{};
    record = headless_record{};
}

void headless_display_lose_surfaces() {
    if (live)
        live->lose_surfaces();
}

void headless_display_post(display_window window, uint32_t message, uintptr_t wparam,
                           intptr_t lparam) {
    if (live)
        live->post({window, message, wparam, lparam});
}

const headless_window* headless_display_window(display_window window) {
    const headless_window_object* w = live ? live->find_window(window) : nullptr;
    return w ? &w->state : nullptr;
}
