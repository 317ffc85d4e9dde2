// The media library: the pixel font the logo and the contact sheets are lettered with, the PNG
// files of captured frames, and the WAV files of the soundtrack.
#include "media/pixel_font.h"
#include "media/png.h"
#include "media/wav.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
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

TEST(Wav, Pcm16HeaderAndSamples) {
    const std::vector<uint8_t> wav = media::wav_header_pcm16(1000, 2, 44100);
    ASSERT_EQ(44u, wav.size());
    EXPECT_EQ(0, std::memcmp(wav.data(), "RIFF", 4));
    EXPECT_EQ(36u + 4000, u32_at(wav, 4));
    EXPECT_EQ(0, std::memcmp(wav.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(16u, u32_at(wav, 16));
    EXPECT_EQ(1, wav[20]); // integer PCM
    EXPECT_EQ(2, wav[22]);
    EXPECT_EQ(44100u, u32_at(wav, 24));
    EXPECT_EQ(44100u * 4, u32_at(wav, 28));
    EXPECT_EQ(4, wav[32]);  // bytes per frame
    EXPECT_EQ(16, wav[34]); // bits
    EXPECT_EQ(0, std::memcmp(wav.data() + 36, "data", 4));
    EXPECT_EQ(4000u, u32_at(wav, 40));
    EXPECT_LE(36 + 4 * uint64_t(media::wav_max_frames_pcm16(2)), uint64_t(UINT32_MAX));

    const struct {
        float in;
        int16_t out;
    } samples[] = {{0.0f, 0},     {0.5f, 16384},      {-1.0f, -32768},
                   {1.0f, 32767}, {3.0f, 32767},      {-7.5f, -32768},
                   {1e-5f, 0},    {0.75f / 32768, 1}, {-1.25f / 32768, -1},
                   {NAN, 0},      {INFINITY, 32767},  {-INFINITY, -32768}};
    for (const auto& s : samples)
        EXPECT_EQ(s.out, media::pcm16(s.in)) << s.in;
}

TEST(Png, DecodesToThePicturesColours) {
    media::image picture(7, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            picture.at(x, y) =
                uint32_t(x * 0x2F1B07 + y * 0x0550A3) | 0x5A000000u; // top byte ignored
    const std::vector<uint8_t> bytes = media::encode_png(picture);
    EXPECT_EQ(bytes, media::encode_png(picture)) << "the same picture gives the same bytes";

    png_image decoded{};
    decoded.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&decoded, bytes.data(), bytes.size()));
    EXPECT_EQ(7u, decoded.width);
    EXPECT_EQ(3u, decoded.height);
    EXPECT_EQ(uint32_t(PNG_FORMAT_RGB), decoded.format) << "no alpha channel";
    decoded.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(21);
    ASSERT_TRUE(png_image_finish_read(&decoded, nullptr, pixels.data(), 0, nullptr));
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(picture.pixels[size_t(i)] | 0xFF000000u, pixels[size_t(i)]) << i;
    EXPECT_THROW(media::encode_png(media::image(0, 5)), std::invalid_argument);
}
