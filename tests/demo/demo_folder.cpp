#include "demo_folder.h"

#include <filesystem>

#include "libsync/device.h"
#include "libsync/track_file.h"
#include "music/music_fixture.h"
#include "obj/tga_fixture.h"

namespace {

// An uncompressed picture, top row first, with a pattern that changes along both axes.
std::vector<uint8_t> picture(uint16_t width, uint16_t height, bool grey) {
    TgaSpec spec;
    spec.width = width;
    spec.height = height;
    spec.image_type = grey ? 3 : 2;
    spec.depth = grey ? 8 : 32;
    spec.descriptor = grey ? 0x20 : 0x28;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t v = uint8_t(x * 7 + y * 13);
            if (grey) {
                spec.pixels.push_back(uint8_t(128 + v / 2));
            } else {
                for (uint8_t channel : {v, uint8_t(x ^ y), uint8_t(y * 3), uint8_t(255)})
                    spec.pixels.push_back(channel);
            }
        }
    return make_tga(spec);
}

} // namespace

DemoFolder::DemoFolder() {
    using test_support::write_file;
    std::filesystem::create_directories(file("assets"));
    std::filesystem::create_directories(file("tracks"));
    write_file(file("zoveta.xm"), music_fixture::clock_module(120, 2, 3));
    write_file(file("assets/alpha.tga"), picture(320, 180, true));
    write_file(file("assets/overlay.tga"), picture(16, 32, false));
    write_file(file("assets/texture.tga"), picture(256, 256, false));
    write_file(file("assets/texture1.tga"), picture(256, 256, false));
    write_file(file("assets/512.tga"), picture(512, 256, false));
    write_file(file("assets/logo.tga"), picture(64, 32, false));
}

void DemoFolder::track(const std::string& name, const std::vector<track_key>& keys) {
    test_support::write_file(file("tracks/" + std::string(sync_track_path("", name.c_str()))),
                             track_file_encode(keys.data(), int32_t(keys.size())));
}

void DemoFolder::run_track(const std::vector<std::pair<int, float>>& keys) {
    std::vector<track_key> out;
    if (keys.empty() || keys.front().first > 0)
        out.push_back({0, 0.0f, KEY_STEP});
    for (const auto& [row, value] : keys)
        out.push_back({row, value, KEY_STEP});
    track("main#run", out);
}

void DemoFolder::remove(const std::string& relative) {
    std::filesystem::remove(file(relative));
}
