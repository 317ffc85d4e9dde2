// The choreography's source: every track the driver and the scenes read is there, its values stay
// where the scenes accept them, it builds into files the program reads back, scenes change on the
// music's section borders, and "main#run" ends the demo with the music.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "content/images.h"
#include "content/score.h"
#include "libsync/timeline.h"
#include "support/test_support.h"
#include "track_folder.h"
#include "track_text.h"

namespace {

// Every track the program reads, with the values its scenes accept (or that make sense).
struct accepted {
    const char* name;
    double low, high;
};
const accepted read_tracks[] = {
    {"main#run", -1, 1},
    {"main#blendfade", 0, 1},
    {"main#blendcolor", 0, 1},
    {"kaleido#texture", 0, 1},
    {"kaleido#subdiv", 1, 16},
    {"kaleido#scale", 0.1, 8},
    {"kaleido#pow", 0.2, 3},
    {"kaleido#angle", -4, 4},
    {"kaleido#rotConstVel", -3, 3},
    {"kaleido#rotSinSwing", 0, 3},
    {"kaleido#rotSinVel", 0, 3},
    {"kaleido#dispConstX", -4096, 4096},
    {"kaleido#dispConstY", -4096, 4096},
    {"kaleido#dispSpeedX", 0, 5},
    {"kaleido#dispSwingX", 0, 256},
    {"kaleido#dispSpeedY", 0, 5},
    {"kaleido#dispSwingY", 0, 256},
    {"bitmapdist#scale", 0.1, 4},
    {"bitmapdist#sineScale", 0, 1},
    {"bitmapdist#logo", 0, 1},
    {"overlay#en", 0, 1},
    {"overlay#opacity", 0, 1},
    {"overlay#type", 0, 3},
    {"overlay#max", 0, content::overlay_sprite_count - 1}, // draws sprites 0 .. max
    {"overlay#freq", 0, 24},
    {"overlay#count", 0, 16},
    {"bars#count", 0, 40},
    {"bars#intensity", 0, 1},
    {"bars#colored", 0, 1},
    {"radialBlur#en", 0, 1},
    {"radialBlur#strength", 0.07, 7.0}, // every weight and its complement fit a byte
    {"radialBlur#scale", -31232, 1536}, // steps from 0 to 1.0
    {"glitch#en", 0, 1},
    {"glitch#shift", 0, 64},
    {"glitch#colored", 0, 1},
    {"glitch#blockSize", 0, 32},
    {"blur#blurEn", 0, 1},
    {"blur#blurWidth", 1, 64},
    {"blur#additive", 0, 1},
    {"blur#addOpacity", 0, 1},
};

std::vector<TrackText> committed_tracks() {
    const std::vector<uint8_t> bytes = test_support::read_file(DEMO_CONTENT_DIR "/src/tracks.txt");
    std::vector<TrackText> tracks;
    std::string error;
    EXPECT_TRUE(parse_tracks(std::string(bytes.begin(), bytes.end()), tracks, error)) << error;
    return tracks;
}

const TrackText* find(const std::vector<TrackText>& tracks, const std::string& name) {
    for (const TrackText& t : tracks)
        if (t.name == name)
            return &t;
    return nullptr;
}

constexpr double rows_per_second = 24.0;

} // namespace

TEST(Tracks, EveryTrackTheProgramReadsHasKeysAndNoOtherTrackIsThere) {
    const std::vector<TrackText> tracks = committed_tracks();
    std::set<std::string> known;
    for (const accepted& a : read_tracks) {
        known.insert(a.name);
        const TrackText* t = find(tracks, a.name);
        ASSERT_NE(nullptr, t) << a.name << " has no source";
        EXPECT_FALSE(t->keys.empty()) << a.name;
    }
    for (const TrackText& t : tracks)
        EXPECT_TRUE(known.count(t.name)) << t.name << ": nothing reads it (a misspelt name?)";
}

// Track names written in the program's own sources must all be among those above.
TEST(Tracks, TheListCoversEveryTrackNameInThePrograms) {
    std::set<std::string> known;
    for (const accepted& a : read_tracks)
        known.insert(a.name);
    const std::regex name("\"([a-zA-Z]+#[a-zA-Z]+)\"");
    int found = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DEMO_SOURCE_DIR)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream file(entry.path());
        std::stringstream text;
        text << file.rdbuf();
        const std::string s = text.str();
        for (std::sregex_iterator it(s.begin(), s.end(), name), end; it != end; ++it, ++found)
            EXPECT_TRUE(known.count((*it)[1].str()))
                << (*it)[1].str() << " in " << entry.path() << " has no track source";
    }
    EXPECT_GT(found, 0) << "the driver names \"main#run\" at least";
}

TEST(Tracks, ValuesStayWhereTheScenesAcceptThem) {
    const std::vector<TrackText> tracks = committed_tracks();
    // Every interpolation stays between the values of its two keys: checking the keys suffices.
    for (const accepted& a : read_tracks) {
        const TrackText* t = find(tracks, a.name);
        ASSERT_NE(nullptr, t) << a.name;
        for (const track_key& k : t->keys) {
            EXPECT_GE(k.value, a.low) << a.name << " row " << k.row;
            EXPECT_LE(k.value, a.high) << a.name << " row " << k.row;
        }
    }
}

TEST(Tracks, ScenesChangeOnlyOnSectionBorders) {
    const TrackText* run = nullptr;
    const std::vector<TrackText> tracks = committed_tracks();
    ASSERT_NE(nullptr, run = find(tracks, "main#run"));
    std::set<int> borders;
    for (const content::section& s : content::song_sections())
        borders.insert(s.first_bar * content::rows_per_bar);
    const int end = content::song_bars() * content::rows_per_bar;
    for (const track_key& k : run->keys) {
        if (k.value >= 0) {
            EXPECT_TRUE(borders.count(k.row)) << "scene change at row " << k.row;
        }
    }
    EXPECT_EQ(end - 1, run->keys.back().row) << "the demo ends on the music's last row";
}

// Built into track files and read back through the program's access layer: the scene index is
// 0 or 1 while the music plays, the picture has faded out when it stops, and from the music's
// last row on "main#run" is negative, which ends the frame loop.
TEST(Tracks, BuiltFilesEndTheDemoWithTheMusic) {
    test_support::TempDir dir;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path()); // track folders are relative to the working folder
    std::string error;
    ASSERT_TRUE(build_track_folder(committed_tracks(), "tracks", error)) << error;
    {
        Timeline timeline;
        timeline.rowRate = float(rows_per_second);
        ASSERT_FALSE(timeline.open("tracks\\"));
        const int end = content::song_bars() * content::rows_per_bar;
        for (int row = 0; row < end - 1; ++row) {
            const double scene = timeline.getTrack("main#run", row / rows_per_second);
            ASSERT_TRUE(scene == 0 || scene == 1) << "row " << row << ": " << scene;
        }
        for (int row : {end - 1, end, end + 240})
            EXPECT_LT(timeline.getTrack("main#run", row / rows_per_second), 0) << row;
        EXPECT_GE(timeline.getTrack("main#blendfade", (end - 1) / rows_per_second), 0.99);
        EXPECT_EQ(0, timeline.getTrack("main#blendcolor", (end - 1) / rows_per_second));
    }
    std::filesystem::current_path(previous);
}
