#pragma once
// A place where the scenes run as they do in the demo, for tests and benchmarks: a scratch working
// folder whose "tracks\" and "assets\" hold constant tracks and small procedural pictures, the
// access layer opened on it, the shared resources loaded as the driver loads them, a 320 x 180
// back surface, a 320 x 180 x 32 display mode set on the headless display, and both random
// generators at their start.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"
#include "framebuffer/surface.h"
#include "libsync/timeline.h"
#include "libsync/track_file.h"
#include "obj/tga_fixture.h"
#include "parts/common.h"
#include "platform/display_headless.h"

namespace scene_world {

using picture_fn = std::function<uint32_t(uint32_t x, uint32_t y)>;

// Writes an uncompressed top-down TGA file: 32-bit pixels 0xAARRGGBB, or the low byte of each
// value as an 8-bit grey picture.
inline void write_picture(const std::string& path, uint32_t width, uint32_t height,
                          const picture_fn& pixel, bool eight_bit = false) {
    TgaSpec spec;
    spec.image_type = eight_bit ? 3 : 2;
    spec.depth = eight_bit ? 8 : 32;
    spec.descriptor = eight_bit ? 0x20 : 0x28;
    spec.width = static_cast<uint16_t>(width);
    spec.height = static_cast<uint16_t>(height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t p = pixel(x, y);
            for (int byte = 0; byte < (eight_bit ? 1 : 4); ++byte)
                spec.pixels.push_back(static_cast<uint8_t>(p >> (8 * byte)));
        }
    const std::vector<uint8_t> bytes = make_tga(spec);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline uint32_t rgb(double r, double g, double b) {
    auto byte = [](double c) { return static_cast<uint32_t>(std::fmin(255, std::fmax(0, c))); };
    return 0xFF000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
}

// The demo's pictures, made up: rings and stripes to fold, a chequered picture to wobble, a
// framed logo, two sprites, and a mask that darkens the edges.
inline uint32_t rings(uint32_t x, uint32_t y) {
    const double d = std::hypot(x - 128.0, y - 128.0);
    return rgb(128 + 127 * std::sin(d / 5), 255.0 * x / 256, 160 + 90 * std::cos(y / 9.0));
}
inline uint32_t stripes(uint32_t x, uint32_t y) {
    return rgb(40, 120 + 100 * std::sin((x + y) / 7.0), 200 + 55 * std::sin(x / 11.0));
}
inline uint32_t chequers(uint32_t x, uint32_t y) {
    const bool dark = ((x / 32) ^ (y / 32)) & 1;
    return dark ? rgb(x / 2, 40, y) : rgb(250, 230 - y / 2, 120 + x / 5);
}
inline uint32_t framed_logo(uint32_t x, uint32_t y) {
    const bool edge = x < 4 || y < 4 || x >= 60 || y >= 28 || (x / 8 + y / 8) % 3 == 0;
    return edge ? rgb(255, 255, 255) : rgb(60, 60, 200);
}
inline uint32_t two_sprites(uint32_t x, uint32_t y) {
    const uint32_t row = y % 16;
    const bool diamond = std::abs(int(x) - 8) + std::abs(int(row) - 8) < 7;
    const bool cross = x == 7 || x == 8 || row == 7 || row == 8;
    return y < 16 ? (diamond ? rgb(255, 80, 40) : 0) : (cross ? rgb(60, 255, 120) : 0);
}
inline uint32_t vignette(uint32_t x, uint32_t y) {
    const double d = std::hypot((x - 160.0) / 160, (y - 90.0) / 90);
    return static_cast<uint32_t>(255 * std::fmax(0.3, 1 - 0.6 * d * d));
}

class world {
  public:
    world() : previous(std::filesystem::current_path()) {
        char pattern[] = "/tmp/demo-scenes-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder = pattern;
        std::filesystem::current_path(folder);
        std::filesystem::create_directories("tracks");
        std::filesystem::create_directories("assets");
        write_picture("assets/texture.tga", 256, 256, rings);
        write_picture("assets/texture1.tga", 256, 256, stripes);
        write_picture("assets/512.tga", 512, 256, chequers);
        write_picture("assets/logo.tga", 64, 32, framed_logo);
        write_picture("assets/overlay.tga", 16, 32, two_sprites);
        write_picture("assets/alpha.tga", 320, 180, vignette, true);
        alpha.reset(loadTexture("assets\\alpha.tga", false, true));
        overlay.reset(loadTexture("assets\\overlay.tga", false, false));
        common = {alpha.get(), overlay.get(), map.data()};
        back.create(320, 180, QBX_FORMAT_ARGB8888, 1, 0);
        open_tracks();
        timeline = &access;
        reset_random_state();
        show_on_headless_display();
    }
    ~world() {
        qbx_done();
        modes.clear();
        setupmodes.clear();
        headless_display_reset();
        common = {};
        timeline = nullptr;
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    world(const world&) = delete;
    world& operator=(const world&) = delete;

    // Makes the named track hold `value` from row 0 on; takes effect at the next open_tracks.
    void set(const std::string& name, double value) {
        const track_key key{0, static_cast<float>(value), KEY_STEP};
        const std::vector<uint8_t> bytes = track_file_encode(&key, 1);
        std::ofstream(std::string("tracks/") + sync_track_path("", name.c_str()), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void set(const std::map<std::string, double>& values) {
        for (const auto& [name, value] : values)
            set(name, value);
    }
    // Removes every track file: every track reads 0 after the next open_tracks.
    void clear_tracks() {
        for (const auto& entry : std::filesystem::directory_iterator("tracks"))
            std::filesystem::remove(entry.path());
    }
    // The demo's display: a full-screen mode for a 320 x 180 x 32 picture, chosen automatically.
    void show_on_headless_display() {
        setenv("DEMO_DISPLAY", "headless", 1);
        headless_display_reset();
        headless_display_config().modes = {{320, 180, 32}};
        headless_display_config().on_present = [this](const display_lock& picture) {
            ++presented;
            if (keep_shown) {
                shown.assign(picture.data, picture.data + size_t(picture.pitch) * picture.height);
                shown_pitch = picture.pitch;
            }
        };
        const int32_t mode =
            qbx_init(0) == 0 ? qbx_addmode("scenes", 320, 180, 32, 0, QBX_MODE_ASPECT_16_9) : -1;
        if (mode < 0 || qbx_setmode(mode) != 0) {
            std::fprintf(stderr, "the headless display cannot show 320 x 180 x 32\n");
            std::abort();
        }
    }
    // Opens the access layer afresh, so that it reads the track files as they are now.
    void open_tracks() { access.open("tracks\\"); }

    // What the display showed last (320 x 180 pixels, the display's pitch) and how many pictures it
    // has shown; kept only while keep_shown.
    bool keep_shown = true;
    std::vector<uint8_t> shown;
    uint32_t shown_pitch = 0, presented = 0;

    std::filesystem::path previous, folder;
    Timeline access;
    std::unique_ptr<qbx_surface> alpha, overlay;
    std::vector<unsigned char> map = std::vector<unsigned char>(220);
    qbx_surface back;
};

} // namespace scene_world
