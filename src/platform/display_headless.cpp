#include "platform/display_headless.h"

#include <algorithm>
#include <cstring>

namespace {

headless_config config;
headless_record record;

int32_t injected(headless_op op) {
    return config.fail[static_cast<size_t>(op)];
}

// The standard direct-colour layout of each display depth.
display_pixel_format standard_format(uint32_t depth) {
    switch (depth) {
    case 8:
        return {DISPLAY_PIXEL_RGB | DISPLAY_PIXEL_INDEXED8, 8, 0, 0, 0};
    case 15:
        return {DISPLAY_PIXEL_RGB, 16, 0x7C00, 0x3E0, 0x1F};
    case 16:
        return {DISPLAY_PIXEL_RGB, 16, 0xF800, 0x7E0, 0x1F};
    default:
        return {DISPLAY_PIXEL_RGB, depth, 0xFF0000, 0xFF00, 0xFF};
    }
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
    bool locked = false, lost = false, primary = false;
    headless_surface* back = nullptr; // flip chain only; owned by this surface
    display_clipper* clipper = nullptr;
    display_palette* palette = nullptr;

    uint32_t bytes_per_pixel() const { return (bpp + 7) / 8; }
};

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

    void lose_surfaces();

  private:
    headless_surface* make_surface(uint32_t width, uint32_t height);
    void forget(headless_surface* surface);

    std::vector<headless_surface*> surfaces; // every surface made, back buffers included
    bool has_primary = false;
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
    surface->bpp = standard_format(record.current.bpp).bpp;
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
    format = config.format ? *config.format : standard_format(record.current.bpp);
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
    lock.backbuffers = s->back ? 1 : 0;
    return DISPLAY_OK;
}

int32_t headless_display::unlock(display_surface* surface) {
    if (int32_t r = injected(headless_op::unlock))
        return r;
    headless_surface* s = as_surface(surface);
    if (!s || !s->locked)
        return DISPLAY_ERR_INVALID;
    s->locked = false;
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
    if (to.right <= to.left || to.bottom <= to.top || from.right <= from.left ||
        from.bottom <= from.top || from.left < 0 || from.top < 0 ||
        int64_t(from.right) > src->width || int64_t(from.bottom) > src->height)
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

void headless_display::lose_surfaces() {
    for (headless_surface* surface : surfaces)
        surface->lost = true;
}

bool headless_init() {
    if (injected(headless_op::init))
        return false;
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
