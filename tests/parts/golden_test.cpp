// Whole frames of both scenes with every effect on, checked against the hashes in
// tests/data/scene_frames.txt. To accept new frames on purpose (after a deliberate change to what
// the scenes draw), run
//   DEMO_UPDATE_GOLDEN=1 build/tests/parts/test_parts --gtest_filter='Golden*'
// which rewrites the file from this build's frames; review and commit it.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "scene_fixture.h"

namespace {

uint64_t fnv1a(const picture& p) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint32_t pixel : p)
        for (int shift = 0; shift < 32; shift += 8)
            h = (h ^ (pixel >> shift & 0xFF)) * 0x100000001B3ull;
    return h;
}

std::string hex(uint64_t h) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

const char* const golden_file = DEMO_TEST_DATA "/scene_frames.txt";

using Golden = Scenes;

TEST_F(Golden, FramesWithEveryEffectOn) {
    start();
    const track_values on =
        effects + track_values{{"overlay#en", 1},      {"bars#count", 4},
                               {"radialBlur#en", 1},   {"glitch#en", 1},
                               {"blur#blurEn", 1},     {"blur#additive", 1},
                               {"bitmapdist#logo", 1}, {"main#blendfade", 0.25}};
    std::ostringstream made;
    for (part* scene : {static_cast<part*>(&kaleido), static_cast<part*>(&distortion)}) {
        begin(on + (scene == &kaleido ? kaleido_view : distortion_view));
        // One run: the random state and the back surface carry over from frame to frame.
        for (float time : {0.5f, 2.75f, 7.0f}) {
            const picture frame = run(*scene, time), on_display = shown();
            // The display shows the frame's colours as they are.
            for (size_t i = 0; i < frame.size(); ++i)
                ASSERT_EQ(frame[i] & 0xFFFFFF, on_display[i] & 0xFFFFFF) << scene->name << " " << i;
            made << scene->name << " " << time << " " << hex(fnv1a(frame)) << "\n";
        }
    }
    if (const char* update = std::getenv("DEMO_UPDATE_GOLDEN"); update && *update) {
        std::ofstream(golden_file) << made.str();
        GTEST_SKIP() << "wrote " << golden_file;
    }
    std::ifstream file(golden_file);
    std::stringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(expected.str(), made.str());
}

} // namespace
