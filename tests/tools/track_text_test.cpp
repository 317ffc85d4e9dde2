#include "track_text.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "libsync/device.h"
#include "libsync/track_file.h"
#include "support/test_support.h"

namespace {

bool same_keys(const std::vector<track_key>& a, const std::vector<track_key>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].row != b[i].row || a[i].type != b[i].type ||
            std::memcmp(&a[i].value, &b[i].value, sizeof(float)) != 0)
            return false;
    return true;
}

std::string parse_error(const std::string& text) {
    std::vector<TrackText> tracks;
    std::string error;
    EXPECT_FALSE(parse_tracks(text, tracks, error)) << text;
    return error;
}

const char* const CANONICAL = "track blur#blurWidth\n"
                              "0 1 step\n"
                              "16 0.1 linear\n"
                              "32 -2.5e-07 smooth\n"
                              "48 inf quadratic\n"
                              "\n"
                              "track main#blendfade\n"
                              "\n"
                              "id 00000061\n"
                              "-3 -0 step\n"
                              "2147483647 nan:FFC00001 step\n";

TEST(TrackText, ParsesAndFormatsTheCanonicalFormUnchanged) {
    std::vector<TrackText> tracks;
    std::string error;
    ASSERT_TRUE(parse_tracks(CANONICAL, tracks, error)) << error;
    ASSERT_EQ(3u, tracks.size());
    EXPECT_EQ("blur#blurWidth", tracks[0].name);
    EXPECT_EQ(0x4401F8E3u, tracks[0].id);
    ASSERT_EQ(4u, tracks[0].keys.size());
    EXPECT_EQ(16, tracks[0].keys[1].row);
    EXPECT_EQ(0.1f, tracks[0].keys[1].value);
    EXPECT_EQ(KEY_SMOOTHSTEP, tracks[0].keys[2].type);
    EXPECT_EQ(KEY_QUADRATIC, tracks[0].keys[3].type);
    EXPECT_TRUE(tracks[1].keys.empty());
    EXPECT_EQ("", tracks[2].name);
    EXPECT_EQ(0x61u, tracks[2].id);
    EXPECT_TRUE(std::signbit(tracks[2].keys[0].value));
    EXPECT_TRUE(std::isnan(tracks[2].keys[1].value));
    EXPECT_EQ(CANONICAL, format_tracks(tracks));
}

TEST(TrackText, CommentsBlankLinesSpacingAndLineEndsAreFree) {
    std::vector<TrackText> tracks;
    std::string error;
    ASSERT_TRUE(parse_tracks("# tracks of the first scene\r\n\r\n  track   kaleido#zoom  \r\n"
                             "\t0\t  2.5   linear\r\n   # between keys\n10 3 step",
                             tracks, error))
        << error;
    ASSERT_EQ(1u, tracks.size());
    EXPECT_EQ("kaleido#zoom", tracks[0].name);
    EXPECT_TRUE(same_keys({{0, 2.5f, KEY_LINEAR}, {10, 3.0f, KEY_STEP}}, tracks[0].keys));
}

TEST(TrackText, RandomTracksRoundTripBitForBit) {
    uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    std::vector<TrackText> tracks;
    for (int t = 0; t < 20; ++t) {
        TrackText track;
        track.name = "scene#param" + std::to_string(t);
        track.id = static_cast<uint32_t>(sync_track_id(track.name.c_str()));
        int32_t row = static_cast<int32_t>(random() % 1000) - 500;
        for (int k = 0; k < 30; ++k) {
            uint32_t bits = random();
            float value;
            std::memcpy(&value, &bits, sizeof value);
            track.keys.push_back({row, value, static_cast<uint8_t>(random() % 4)});
            row += 1 + static_cast<int32_t>(random() % 100);
        }
        tracks.push_back(track);
    }
    std::vector<TrackText> parsed;
    std::string error;
    std::string text = format_tracks(tracks);
    ASSERT_TRUE(parse_tracks(text, parsed, error)) << "seed " << seed << ": " << error;
    ASSERT_EQ(tracks.size(), parsed.size()) << "seed " << seed;
    for (size_t i = 0; i < tracks.size(); ++i) {
        EXPECT_EQ(tracks[i].name, parsed[i].name) << "seed " << seed;
        EXPECT_TRUE(same_keys(tracks[i].keys, parsed[i].keys)) << "seed " << seed << " track " << i;
        // And through the file bytes, as build and dump do it.
        std::vector<uint8_t> bytes =
            track_file_encode(parsed[i].keys.data(), static_cast<int32_t>(parsed[i].keys.size()));
        std::vector<track_key> decoded;
        std::string problem;
        ASSERT_TRUE(track_file_decode(bytes.data(), bytes.size(), decoded, problem)) << problem;
        EXPECT_TRUE(same_keys(tracks[i].keys, decoded)) << "seed " << seed << " track " << i;
    }
    EXPECT_EQ(text, format_tracks(parsed)) << "seed " << seed;
}

TEST(TrackText, ValuesReadBackIdentically) {
    for (float value : {0.1f, 1.0f / 3.0f, std::numeric_limits<float>::denorm_min(),
                        std::numeric_limits<float>::max(), -std::numeric_limits<float>::infinity(),
                        16777217.0f, -0.0f}) {
        float back = 0;
        ASSERT_TRUE(parse_value(format_value(value), back)) << format_value(value);
        EXPECT_EQ(0, std::memcmp(&value, &back, sizeof value)) << format_value(value);
    }
    float nan = 0;
    EXPECT_FALSE(parse_value("nan:3F800000", nan)) << "bits that are not a NaN";
    EXPECT_FALSE(parse_value("1.5x", nan));
    EXPECT_FALSE(parse_value("", nan));
}

TEST(TrackText, ErrorsNameTheLine) {
    EXPECT_EQ("line 2: a key before the first \"track\" line", parse_error("# c\n0 1 step\n"));
    EXPECT_EQ("line 2: row \"x\" is not a whole number in range",
              parse_error("track a\nx 1 step\n"));
    EXPECT_EQ("line 2: row \"2147483648\" is not a whole number in range",
              parse_error("track a\n2147483648 1 step\n"));
    EXPECT_EQ("line 3: value \"1,5\" is not a number",
              parse_error("track a\n0 1 step\n1 1,5 step"));
    EXPECT_EQ("line 2: interpolation \"ease\" is not step, linear, smooth or quadratic",
              parse_error("track a\n0 1 ease\n"));
    EXPECT_NE(std::string::npos, parse_error("track a\n0 1\n").find("line 2: a key is"));
    EXPECT_NE(std::string::npos, parse_error("track a\n0 1 step extra\n").find("line 2: a key is"));
    EXPECT_EQ("line 3: row 4 does not come after row 5",
              parse_error("track a\n5 1 step\n4 1 step\n"));
    EXPECT_EQ("line 3: row 5 does not come after row 5",
              parse_error("track a\n5 1 step\n5 1 step\n"));
    EXPECT_EQ("line 1: \"track\" needs a name", parse_error("track   \n"));
    EXPECT_EQ("line 4: the track's file 00000061.trk is already used by a on line 1",
              parse_error("track a\n0 1 step\n\nid 00000061\n"));
    // Different names that hash alike would overwrite each other's file.
    EXPECT_EQ("line 2: the track's file 4C514140.trk is already used by c#aaaaaa on line 1",
              parse_error("track c#aaaaaa\ntrack c#ckuukc\n"));
    EXPECT_NE(std::string::npos, parse_error("id 80000000\n").find("line 1: \"id\" needs"));
    EXPECT_NE(std::string::npos, parse_error("id 61\n").find("line 1: \"id\" needs"));
    EXPECT_EQ("line 2: a NUL byte in the line",
              parse_error(std::string("track a\n0 1\0 step\n", 17)));
}

TEST(TrackText, FileNamesAreIds) {
    EXPECT_EQ("4401F8E3.trk", track_file_name(0x4401F8E3));
    uint32_t id = 0;
    EXPECT_TRUE(track_file_id("587DE7E3.trk", id));
    EXPECT_EQ(0x587DE7E3u, id);
    for (const char* name : {"587de7e3.trk", "587DE7E3.TRK", "87DE7E3.trk", "80000000.trk",
                             "587DE7E3.trk~", "+87DE7E3.trk"})
        EXPECT_FALSE(track_file_id(name, id)) << name;
}

} // namespace
