// The media library: the pixel font the logo and the contact sheets are lettered with, and the
// WAV files the soundtrack is measured from.
#include "media/pixel_font.h"
#include "media/wav.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {

std::string glyph_bits(char c) {
    std::string bits;
    for (int y = 0; y < media::glyph_height; ++y)
        for (int x = 0; x < media::glyph_width; ++x)
            bits += media::glyph_dot(c, x, y) ? '#' : '.';
    return bits;
}

uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

} // namespace

TEST(PixelFont, EveryPrintableCharacterHasItsOwnGlyph) {
    std::set<std::string> seen;
    for (char c = '!'; c <= '~'; ++c) {
        const std::string bits = glyph_bits(c);
        EXPECT_NE(std::string::npos, bits.find('#')) << c << " is empty";
        EXPECT_TRUE(seen.insert(bits).second) << c << " looks like another character";
    }
    EXPECT_EQ(std::string::npos, glyph_bits(' ').find('#'));
    EXPECT_EQ(glyph_bits('?'), glyph_bits('\x7F')) << "unknown characters show as '?'";
    for (char c : std::string("gjpqy")) // descenders go below the baseline
        EXPECT_NE(std::string::npos, glyph_bits(c).find('#', 7 * media::glyph_width)) << c;
    for (char c : std::string("AZaz09"))
        EXPECT_EQ(std::string::npos, glyph_bits(c).find('#', 7 * media::glyph_width)) << c;
}

TEST(PixelFont, DrawsScaledTextInsideThePictureOnly) {
    EXPECT_EQ(0, media::text_width(""));
    EXPECT_EQ(17, media::text_width("abc"));
    EXPECT_EQ(34, media::text_width("abc", 2));
    media::image picture(12, 10);
    media::draw_text(picture, -3, -4, "I", 0xFFFFFFFFu, 2); // clipped on the left and at the top
    media::draw_text(picture, 8, 6, "W", 0xFF00FF00u, 2);   // and on the right and at the bottom
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool i = media::glyph_dot('I', (x + 3) / 2, (y + 4) / 2) && x + 3 < 10;
            const bool w = x >= 8 && y >= 6 && media::glyph_dot('W', (x - 8) / 2, (y - 6) / 2);
            const uint32_t expected = w ? 0xFF00FF00u : i ? 0xFFFFFFFFu : 0u;
            EXPECT_EQ(expected, picture.at(x, y)) << x << "," << y;
        }
}

TEST(Wav, HeaderDescribesFloatSamplesThatFollowUnchanged) {
    const float samples[6] = {0.0f, -1.0f, 0.5f, 1.25f, -0.25f, 1e-3f};
    const std::vector<uint8_t> wav = media::encode_wav(samples, 3, 2, 44100);
    ASSERT_EQ(58u + sizeof samples, wav.size());
    EXPECT_EQ(0, std::memcmp(wav.data(), "RIFF", 4));
    EXPECT_EQ(wav.size() - 8, u32_at(wav, 4));
    EXPECT_EQ(0, std::memcmp(wav.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(3, wav[20]); // IEEE float
    EXPECT_EQ(2, wav[22]); // channels
    EXPECT_EQ(44100u, u32_at(wav, 24));
    EXPECT_EQ(44100u * 8, u32_at(wav, 28));
    EXPECT_EQ(32, wav[34]); // bits
    EXPECT_EQ(0, std::memcmp(wav.data() + 38, "fact", 4));
    EXPECT_EQ(3u, u32_at(wav, 46)); // frames
    EXPECT_EQ(0, std::memcmp(wav.data() + 50, "data", 4));
    EXPECT_EQ(sizeof samples, u32_at(wav, 54));
    EXPECT_EQ(0, std::memcmp(wav.data() + 58, samples, sizeof samples));
}
