#include "framebuffer/framebuf.h"
#include "quoblex_fixture.h"

namespace {

class ModeHack : public QuoblexTest {
  protected:
    void SetUp() override {
        QuoblexTest::SetUp();
        start();
        mode.backbuffer.flags = QBX_SURF_FOREIGN;
        mode.backbuffer.width = 320;
        curmode = &mode;
    }
    void TearDown() override {
        mode.free_tables();
        if (mode.ddpalette)
            qbx_dd.dd->release(mode.ddpalette);
        curmode = nullptr;
        QuoblexTest::TearDown();
    }
    void display(uint32_t bpp, uint32_t r = 0, uint32_t g = 0, uint32_t b = 0) {
        mode.backbuffer.bpp = bpp;
        mode.backbuffer.r_mask = r;
        mode.backbuffer.g_mask = g;
        mode.backbuffer.b_mask = b;
    }
    void give_display_palette() {
        const display_palette_entry black[DISPLAY_PALETTE_SIZE] = {};
        ASSERT_EQ(0, qbx_dd.dd->create_palette(black, mode.ddpalette));
    }
    qbx_mode mode;
};

} // namespace

TEST_F(ModeHack, GreyTableFor16BitPictureOn8BitDisplay) {
    mode.bpp = 16;
    mode.convflags = QBX_CONV_TABLE;
    display(8);
    give_display_palette();
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    ASSERT_NE(nullptr, mode.graytable);
    EXPECT_EQ(0, mode.graytable[0]);
    EXPECT_EQ((76 * 31 + 74 * 63 + 29 * 31) >> 5, mode.graytable[0xFFFF]);
    EXPECT_EQ(76 >> 5, mode.graytable[1 << 11]);
    EXPECT_EQ((74 * 63) >> 5, mode.graytable[63 << 5]);
    EXPECT_EQ((76 * 16 + 74 * 32 + 29 * 8) >> 5, mode.graytable[(16 << 11) | (32 << 5) | 8]);
    EXPECT_EQ(nullptr, mode.palette);
    EXPECT_EQ(nullptr, mode.xlat);
    // The display got a grey ramp.
    for (uint32_t i = 0; i < 256; ++i) {
        const display_palette_entry& e = headless_display_record().palette[i];
        ASSERT_EQ(i, e.red);
        ASSERT_EQ(i, e.green);
        ASSERT_EQ(i, e.blue);
        ASSERT_EQ(DISPLAY_PALETTE_NOCOLLAPSE, e.flags);
    }
}

TEST_F(ModeHack, GreyTableFor15BitPictureIgnoresTheTopBit) {
    mode.bpp = 15;
    mode.convflags = QBX_CONV_TABLE;
    display(8);
    give_display_palette();
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    ASSERT_NE(nullptr, mode.graytable);
    EXPECT_EQ((76 * 31 + 149 * 31 + 29 * 31) >> 5, mode.graytable[0x7FFF]);
    EXPECT_EQ(mode.graytable[0x7FFF], mode.graytable[0xFFFF]);
    EXPECT_EQ(149 >> 5, mode.graytable[1 << 5]);
    for (uint32_t p = 0; p < 0x8000; p += 97)
        ASSERT_EQ(mode.graytable[p], mode.graytable[p | 0x8000]) << p;
}

TEST_F(ModeHack, NoGreyTableWithoutTheTableFlag) {
    mode.bpp = 16;
    display(8);
    give_display_palette();
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    EXPECT_EQ(nullptr, mode.graytable);
}

TEST_F(ModeHack, IndexedPictureOnDeeperDisplays) {
    mode.bpp = 8;
    display(16, 0xF800, 0x7E0, 0x1F);
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    ASSERT_NE(nullptr, mode.palette);
    EXPECT_EQ(256u, mode.palette->count);
    EXPECT_EQ(0u, mode.palette->data[255]);
    EXPECT_NE(nullptr, mode.xlat);
    mode.free_tables();

    display(32, 0xFF0000, 0xFF00, 0xFF); // the picture's own format: no line buffer
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    EXPECT_NE(nullptr, mode.palette);
    EXPECT_EQ(nullptr, mode.xlat);
    mode.free_tables();

    display(32, 0xFF, 0xFF00, 0xFF0000);
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    EXPECT_NE(nullptr, mode.xlat);
    // A second run replaces the tables instead of leaking them.
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    EXPECT_NE(nullptr, mode.palette);
}

TEST_F(ModeHack, MissingDisplayPaletteIsReportedButNotReturned) {
    mode.bpp = 16;
    mode.convflags = QBX_CONV_TABLE;
    display(8);
    testing::internal::CaptureStderr();
    EXPECT_EQ(0u, qbx_mode::modehack(&mode));
    EXPECT_EQ("ddraw error (hr: 0x00000000): can't locate ddraw palette object\n",
              testing::internal::GetCapturedStderr());
    EXPECT_NE(nullptr, mode.graytable);
}

TEST_F(ModeHack, PaletteLoading) {
    mode.bpp = 8;
    display(32, 0xFF0000, 0xFF00, 0xFF);
    ASSERT_EQ(0u, qbx_mode::modehack(&mode));
    qbx_palette colours(256, 32);
    for (uint32_t i = 0; i < 256; ++i)
        colours.data[i] = 0x10203 * i;
    // Into the mode's own palette, only the entries asked for.
    EXPECT_EQ(0u, qbx_setpal(colours, 10, 5, 0));
    EXPECT_EQ(0u, mode.palette->data[9]);
    EXPECT_EQ(0x10203u * 14, mode.palette->data[14]);
    EXPECT_EQ(0u, mode.palette->data[15]);
    // Past the end nothing is read or written.
    EXPECT_EQ(0u, qbx_setpal(colours, 250, 100, 0));
    EXPECT_EQ(0x10203u * 255, mode.palette->data[255]);
    EXPECT_EQ(0u, qbx_setpal(colours, 1000, 1, 0));

    // Into the display's palette, after a vertical blank when asked.
    mode.free_tables();
    display(8);
    give_display_palette();
    EXPECT_EQ(0u, qbx_setpal(colours, 0, 256, QBX_SETPAL_VBLANK));
    EXPECT_EQ(1u, headless_display_record().vertical_blanks);
    EXPECT_EQ(3 * 7, headless_display_record().palette[7].blue);
    EXPECT_EQ(2 * 7, headless_display_record().palette[7].green);
    EXPECT_EQ(7, headless_display_record().palette[7].red);

    mode.bpp = 32;
    display(32, 0xFF0000, 0xFF00, 0xFF);
    testing::internal::CaptureStderr();
    EXPECT_EQ(QBX_ERR_DIRECT_COLOUR, qbx_setpal(colours, 0, 256, 0));
    testing::internal::GetCapturedStderr();
}
