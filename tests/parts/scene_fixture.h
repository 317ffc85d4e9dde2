#pragma once
// Both scenes initialised on a scene world as the driver does it, and frames run with chosen track
// values.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "obj/sintab.h"
#include "parts/bmpdist.h"
#include "parts/kaleido.h"
#include "support/scene_world.h"

using track_values = std::map<std::string, double>;
using picture = std::vector<uint32_t>;

inline track_values operator+(track_values a, const track_values& b) {
    for (const auto& [name, value] : b)
        a[name] = value;
    return a;
}

inline const track_values kaleido_view = {{"kaleido#scale", 3},       {"kaleido#pow", 1},
                                          {"kaleido#subdiv", 4},      {"kaleido#rotConstVel", 0.4},
                                          {"kaleido#dispConstX", 60}, {"kaleido#dispConstY", 30}};
inline const track_values distortion_view = {{"bitmapdist#sineScale", 1}, {"bitmapdist#scale", 1}};
// Every effect's parameters, with every effect switched off.
inline const track_values effects = {
    {"overlay#type", 3},       {"overlay#freq", 2},   {"overlay#opacity", 1},
    {"bars#intensity", 0.5},   {"bars#colored", 1},   {"radialBlur#strength", 2},
    {"radialBlur#scale", 256}, {"glitch#shift", 8},   {"glitch#colored", 1},
    {"glitch#blockSize", 3},   {"blur#blurWidth", 3}, {"blur#addOpacity", 0.5},
    {"main#blendcolor", 0.3}};

class Scenes : public ::testing::Test {
  protected:
    void SetUp() override { initsintab(); }
    void TearDown() override { donesintab(); }

    // Initialises both scenes in the driver's order.
    void start() {
        ASSERT_EQ(0, distortion.init(&w.back, 0));
        ASSERT_EQ(0, kaleido.init(&w.back, 0));
    }

    // A run from its start with these tracks: the generators reset and the back surface black
    // (the glitch's taps reach into lines not yet drawn in a frame).
    void begin(const track_values& tracks) {
        std::memset(w.back.data, 0, w.back.size);
        w.clear_tracks();
        w.set(tracks);
        w.open_tracks();
        reset_random_state();
    }
    // The back surface after the scene's next frame.
    picture run(part& scene, float time) {
        scene.run(time, 0);
        picture out(320 * 180);
        for (uint32_t y = 0; y < 180; ++y)
            std::memcpy(&out[y * 320], w.back.lockrect() + y * w.back.pitch, 320 * 4);
        return out;
    }
    // The 320 x 180 pixels the display showed last.
    picture shown() const {
        picture out(320 * 180);
        for (uint32_t y = 0; y < 180 && !w.shown.empty(); ++y)
            std::memcpy(&out[y * 320], &w.shown[y * w.shown_pitch], 320 * 4);
        return out;
    }
    // The first frame of a run with these tracks.
    picture frame(part& scene, const track_values& tracks, float time = 1) {
        begin(tracks);
        return run(scene, time);
    }

    scene_world::world w;
    bitmapdist distortion;
    kaleido0 kaleido;
};
