// Pictures as the capture writes them: enlarged pixel for pixel, halved for thumbnails, laid out
// on a contact sheet under their times.
#include <gtest/gtest.h>

#include "contact_sheet.h"
#include "media/pixel_font.h"
#include "picture.h"

namespace {

TEST(CapturePicture, CopiedOpaqueEnlargedAndHalved) {
    const uint32_t source[2 * 3] = {0x00102030, 0x7F405060, 0, // pitch of three pixels
                                    0xFF708090, 0x00A0B0C0, 0};
    media::image picture;
    copy_picture(reinterpret_cast<const uint8_t*>(source), 12, 2, 2, picture);
    ASSERT_EQ(2, picture.width);
    EXPECT_EQ((std::vector<uint32_t>{0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0}),
              picture.pixels);

    media::image big;
    enlarge(picture, 3, big);
    ASSERT_EQ(6, big.width);
    ASSERT_EQ(6, big.height);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(picture.at(x / 3, y / 3), big.at(x, y)) << x << "," << y;

    const media::image half = halve(picture);
    ASSERT_EQ(1, half.width);
    ASSERT_EQ(1, half.height);
    // Channel by channel: (0x10 + 0x40 + 0x70 + 0xA0) / 4 = 0x58, and so on, rounded.
    EXPECT_EQ(0xFF586878u, half.at(0, 0));
    EXPECT_EQ(0xFF0000FFu, halve(media::image(2, 2, 0xFF0000FFu)).at(0, 0));
}

TEST(ContactSheet, ThumbnailsInRowsOfSixWithTheirTimesBelow) {
    std::vector<thumbnail> thumbnails;
    for (int i = 0; i < 8; ++i)
        thumbnails.push_back(
            {media::image(20, 10, 0xFF000000u | uint32_t(i + 1)), time_label(i * 2.0)});
    const media::image sheet = contact_sheet(thumbnails);
    const int cell_width = 20 + 6, cell_height = 10 + media::line_height + 2 + 6;
    EXPECT_EQ(6 + 6 * cell_width, sheet.width);
    EXPECT_EQ(6 + 2 * cell_height, sheet.height);
    for (int i = 0; i < 8; ++i) {
        const int left = 6 + (i % 6) * cell_width, top = 6 + (i / 6) * cell_height;
        EXPECT_EQ(thumbnails[size_t(i)].picture.at(0, 0), sheet.at(left, top)) << i;
        EXPECT_EQ(thumbnails[size_t(i)].picture.at(0, 0), sheet.at(left + 19, top + 9)) << i;
        // The label's first glyph, a '0', under the picture.
        bool lettered = false;
        for (int y = 0; y < media::glyph_height; ++y)
            for (int x = 0; x < media::glyph_width; ++x)
                lettered |= media::glyph_dot('0', x, y) &&
                            sheet.at(left + x, top + 12 + y) != sheet.at(0, 0);
        EXPECT_TRUE(lettered) << i;
    }
    EXPECT_EQ("0:00.00", time_label(0));
    EXPECT_EQ("0:02.50", time_label(2.5));
    EXPECT_EQ("1:57.33", time_label(117.333));
    EXPECT_EQ("61:00.00", time_label(3660));
}

} // namespace
