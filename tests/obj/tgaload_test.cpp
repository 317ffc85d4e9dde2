#include "obj/tgaload.h"
#include "support/test_support.h"
#include "tga_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using test_support::TempDir;
using test_support::write_file;

constexpr uint32_t canary = 0xDEADBEEF;

class TgaLoad : public ::testing::Test {
  protected:
    std::string save(const TgaSpec& spec, const char* name = "image.tga") {
        const std::string path = dir_.file(name);
        write_file(path, make_tga(spec));
        return path;
    }
    TempDir dir_;
};

// A 2 x 2 picture whose stored rows are (row0: p0 p1) and (row1: p2 p3).
TgaSpec two_by_two(uint8_t depth, uint8_t descriptor) {
    TgaSpec s;
    s.depth = depth;
    s.descriptor = descriptor;
    s.width = s.height = 2;
    for (uint8_t p = 0; p < 4; ++p) {
        s.pixels.push_back(0x10 + p); // blue
        s.pixels.push_back(0x20 + p); // green
        s.pixels.push_back(0x30 + p); // red
        if (depth == 32)
            s.pixels.push_back(0x40 + p); // alpha
    }
    return s;
}

uint32_t stored(int p, bool alpha) {
    return (alpha ? uint32_t(0x40 + p) << 24 : 0xFF000000u) | uint32_t(0x30 + p) << 16 |
           uint32_t(0x20 + p) << 8 | uint32_t(0x10 + p);
}

TEST_F(TgaLoad, BottomUp24BitLandsTopRowFirst) {
    const std::string path = save(two_by_two(24, 0x00));
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load_header(path.c_str(), &h));
    EXPECT_EQ(2, h.width);
    EXPECT_EQ(2, h.height);
    std::vector<uint32_t> out(4, canary);
    ASSERT_EQ(TGA_OK, tga_load_data(path.c_str(), &h, out.data(), TGA_TOP_DOWN, 0));
    // The file's first row is the picture's bottom row: it goes to the last destination row.
    EXPECT_EQ(stored(2, false), out[0]);
    EXPECT_EQ(stored(3, false), out[1]);
    EXPECT_EQ(stored(0, false), out[2]);
    EXPECT_EQ(stored(1, false), out[3]);
}

TEST_F(TgaLoad, TopDown32BitIsCopiedInFileOrderWithItsAlpha) {
    const std::string path = save(two_by_two(32, 0x28));
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load_header(path.c_str(), &h));
    std::vector<uint32_t> out(4, canary);
    ASSERT_EQ(TGA_OK, tga_load_data(path.c_str(), &h, out.data(), TGA_TOP_DOWN, 0));
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(stored(p, true), out[p]) << p;
}

TEST_F(TgaLoad, BottomUpRequestReversesATopDownFile) {
    const std::string path = save(two_by_two(32, 0x28));
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load_header(path.c_str(), &h));
    std::vector<uint32_t> out(4, canary);
    ASSERT_EQ(TGA_OK, tga_load_data(path.c_str(), &h, out.data(), TGA_BOTTOM_UP, 0));
    EXPECT_EQ(stored(2, true), out[0]);
    EXPECT_EQ(stored(0, true), out[2]);
}

TEST_F(TgaLoad, PitchLargerThanARowLeavesTheGapsAlone) {
    for (uint8_t depth : {24, 32}) {
        for (uint8_t descriptor : {0x00, 0x28}) {
            const std::string path = save(two_by_two(depth, descriptor));
            tga_header h;
            ASSERT_EQ(TGA_OK, tga_load_header(path.c_str(), &h));
            // Rows 20 bytes apart (5 words), plus a guard word after the last row.
            std::vector<uint32_t> out(11, canary);
            ASSERT_EQ(TGA_OK, tga_load_data(path.c_str(), &h, out.data(), TGA_TOP_DOWN, 22))
                << "a pitch of 22 is used as 20";
            const bool top_first = descriptor & 0x20;
            EXPECT_EQ(stored(top_first ? 0 : 2, depth == 32), out[0]);
            EXPECT_EQ(stored(top_first ? 2 : 0, depth == 32), out[5]);
            for (int gap : {2, 3, 4, 7, 8, 9, 10})
                EXPECT_EQ(canary, out[gap]) << "depth " << int(depth) << " word " << gap;
        }
    }
}

TEST_F(TgaLoad, ImageIdAndColourMapAreSkipped) {
    TgaSpec s = two_by_two(24, 0x20);
    s.id.assign(40, 0x77);
    s.map_length = 256;
    s.map_entry_size = 24;
    s.map.assign(768, 0x99);
    const std::string path = save(s);
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load_header(path.c_str(), &h));
    std::vector<uint32_t> out(4, canary);
    ASSERT_EQ(TGA_OK, tga_load_data(path.c_str(), &h, out.data(), TGA_TOP_DOWN, 0));
    EXPECT_EQ(stored(0, false), out[0]) << "pixel data starts at 18 + 40 + 768";
}

TEST_F(TgaLoad, RefusedTypesAndDepths) {
    for (uint8_t type : {1, 3, 9, 10, 11}) {
        TgaSpec s = two_by_two(24, 0);
        s.image_type = type;
        tga_header h;
        EXPECT_EQ(TGA_BAD_FORMAT, tga_load_header(save(s).c_str(), &h)) << int(type);
    }
    for (uint8_t depth : {8, 15, 16}) {
        TgaSpec s = two_by_two(24, 0);
        s.depth = depth;
        tga_header h;
        EXPECT_EQ(TGA_BAD_FORMAT, tga_load_header(save(s).c_str(), &h)) << int(depth);
    }
}

TEST_F(TgaLoad, MissingFileFromEveryFunction) {
    const std::string path = dir_.file("missing.tga");
    tga_header h = {};
    h.width = h.height = 1;
    h.pixel_depth = 32;
    uint32_t pixel = canary;
    EXPECT_EQ(TGA_NOT_FOUND, tga_load_header(path.c_str(), &h));
    EXPECT_EQ(TGA_NOT_FOUND, tga_load8_header(path.c_str(), &h));
    EXPECT_EQ(TGA_NOT_FOUND, tga_load_data(path.c_str(), &h, &pixel, TGA_TOP_DOWN, 0));
    h.pixel_depth = 8;
    uint8_t byte = 0;
    EXPECT_EQ(TGA_NOT_FOUND, tga_load8_data(path.c_str(), &h, &byte, nullptr, TGA_TOP_DOWN, 0));
    EXPECT_EQ(canary, pixel);
}

TEST_F(TgaLoad, BackslashPathsReachTheFile) {
    std::filesystem::create_directory(dir_.file("assets"));
    save(two_by_two(32, 0x28), "assets/pic.tga");
    const std::string written = dir_.path() + "/assets\\pic.tga";
    tga_header h;
    EXPECT_EQ(TGA_OK, tga_load_header(written.c_str(), &h));
}

TEST_F(TgaLoad, TruncatedFilesEndWithAnIoErrorAndStayInTheirRows) {
    const std::vector<uint8_t> whole = make_tga(two_by_two(24, 0x00));
    for (size_t size = 0; size < whole.size(); ++size) {
        const std::string path = dir_.file("short.tga");
        write_file(path, std::vector<uint8_t>(whole.begin(), whole.begin() + size));
        tga_header h;
        const int header = tga_load_header(path.c_str(), &h);
        if (size < 18) {
            EXPECT_EQ(TGA_IO_ERROR, header) << size;
            continue;
        }
        ASSERT_EQ(TGA_OK, header) << size;
        std::vector<uint32_t> out(5, canary);
        EXPECT_EQ(TGA_IO_ERROR, tga_load_data(path.c_str(), &h, out.data(), TGA_TOP_DOWN, 0))
            << size;
        EXPECT_EQ(canary, out[4]) << size;
        if (size >= 18 + 6) { // the first stored row is complete: it stays in the last row
            EXPECT_EQ(stored(0, false), out[2]) << size;
        }
    }
}

TEST_F(TgaLoad, DataStepRefusesARowWiderThanThePitch) {
    const std::string path = save(two_by_two(32, 0x28));
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load_header(path.c_str(), &h));
    std::vector<uint32_t> out(4, canary);
    EXPECT_EQ(TGA_BAD_FORMAT, tga_load_data(path.c_str(), &h, out.data(), TGA_TOP_DOWN, 4));
    EXPECT_EQ(canary, out[0]);
}

TgaSpec grey(uint8_t type, uint16_t w, uint16_t h) {
    TgaSpec s;
    s.image_type = type;
    s.depth = 8;
    s.descriptor = 0x20;
    s.width = w;
    s.height = h;
    for (int i = 0; i < w * h; ++i)
        s.pixels.push_back(static_cast<uint8_t>(i * 7 + 1));
    return s;
}

TEST_F(TgaLoad, EightBitPathAcceptsOnlyDepthEight) {
    tga_header h;
    EXPECT_EQ(TGA_BAD_FORMAT, tga_load8_header(save(two_by_two(24, 0)).c_str(), &h));
    TgaSpec s = grey(3, 8, 2);
    s.map_length = 3; // colour map fields are not looked at for acceptance
    s.map_entry_size = 24;
    s.map.assign(9, 0);
    EXPECT_EQ(TGA_OK, tga_load8_header(save(s).c_str(), &h));
}

TEST_F(TgaLoad, EightBitRowsPitchAndGreyPalette) {
    const std::string path = save(grey(3, 8, 2));
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load8_header(path.c_str(), &h));
    std::vector<uint8_t> out(2 * 12 + 1, 0xEE);
    std::vector<uint32_t> palette(257, canary);
    ASSERT_EQ(TGA_OK,
              tga_load8_data(path.c_str(), &h, out.data(), palette.data(), TGA_TOP_DOWN, 12));
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(uint8_t(x * 7 + 1), out[x]);
        EXPECT_EQ(uint8_t((8 + x) * 7 + 1), out[12 + x]);
    }
    for (int gap : {8, 9, 10, 11, 20, 21, 22, 23, 24})
        EXPECT_EQ(0xEE, out[gap]) << gap;
    EXPECT_EQ(0u, palette[0]);
    EXPECT_EQ(0x808080u, palette[128]);
    EXPECT_EQ(0xFFFFFFu, palette[255]);
    EXPECT_EQ(canary, palette[256]);
}

TEST_F(TgaLoad, EightBitColourMapGoesToItsEntriesAndNeverPastTheEnd) {
    TgaSpec s = grey(1, 8, 1);
    s.map_first = 254;
    s.map_length = 4; // entries 254 .. 257: the last two have no place
    s.map_entry_size = 24;
    s.map = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::string path = save(s);
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load8_header(path.c_str(), &h));
    std::vector<uint32_t> palette(258, canary);
    std::vector<uint8_t> out(8);
    ASSERT_EQ(TGA_OK,
              tga_load8_data(path.c_str(), &h, out.data(), palette.data(), TGA_TOP_DOWN, 0));
    EXPECT_EQ(0xFF030201u, palette[254]);
    EXPECT_EQ(0xFF060504u, palette[255]);
    EXPECT_EQ(canary, palette[256]);
    EXPECT_EQ(canary, palette[253]);
    EXPECT_EQ(uint8_t(1), out[0]) << "pixels after the 12 map bytes";

    s.map_entry_size = 32;
    s.map_first = 0;
    s.map_length = 1;
    s.map = {0x11, 0x22, 0x33, 0x44};
    const std::string path32 = save(s, "map32.tga");
    ASSERT_EQ(TGA_OK, tga_load8_header(path32.c_str(), &h));
    ASSERT_EQ(TGA_OK,
              tga_load8_data(path32.c_str(), &h, out.data(), palette.data(), TGA_TOP_DOWN, 0));
    EXPECT_EQ(0x44332211u, palette[0]);
}

TEST_F(TgaLoad, EightBitTruncatedFile) {
    const std::vector<uint8_t> whole = make_tga(grey(3, 8, 2));
    const std::string path = dir_.file("short8.tga");
    write_file(path, std::vector<uint8_t>(whole.begin(), whole.end() - 1));
    tga_header h;
    ASSERT_EQ(TGA_OK, tga_load8_header(path.c_str(), &h));
    std::vector<uint8_t> out(17, 0xEE);
    EXPECT_EQ(TGA_IO_ERROR, tga_load8_data(path.c_str(), &h, out.data(), nullptr, TGA_TOP_DOWN, 0));
    EXPECT_EQ(0xEE, out[16]);
}

TEST(TgaStrings, OneMessagePerCode) {
    EXPECT_STREQ("ok\n", tga_load_str[TGA_OK]);
    EXPECT_STREQ("error: input file not found", tga_load_str[TGA_NOT_FOUND]);
    EXPECT_STREQ("error: IO error", tga_load_str[TGA_IO_ERROR]);
    EXPECT_STREQ("error: incorrect input format", tga_load_str[TGA_BAD_FORMAT]);
    EXPECT_STREQ("error: memory allocation error", tga_load_str[TGA_NO_MEMORY]);
}

} // namespace
