#include "quoblex_fixture.h"

namespace {

class BackBuffer : public QuoblexTest {
  protected:
    void SetUp() override {
        QuoblexTest::SetUp();
        headless_display_config().desktop = {640, 480, 32};
        start();
        ASSERT_EQ(0, qbx_dd.dd->create_primary(mode.primary));
        mode.back = mode.primary;
        mode.flags = QBX_MODE_DIRECT_LOCK;
        mode.active = true;
        mode.xpad = 10;
        mode.ypad = 5;
        mode.backbuffer.flags = QBX_SURF_FOREIGN;
        mode.backbuffer.bpp = 32;
        curmode = &mode;
    }
    void TearDown() override {
        curmode = nullptr;
        QuoblexTest::TearDown();
    }
    // Where the display surface's pixels start.
    uint8_t* display_pixels() {
        display_lock lock;
        EXPECT_EQ(0, qbx_dd.dd->lock(mode.back, lock));
        EXPECT_EQ(0, qbx_dd.dd->unlock(mode.back));
        return lock.data;
    }
    qbx_mode mode;
};

} // namespace

TEST_F(BackBuffer, LocksThePictureAreaOfTheDisplay) {
    uint8_t* pixels = display_pixels();
    uint8_t* p = mode.backbuffer.lock();
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(640u * 4, mode.backbuffer.pitch);
    EXPECT_EQ(pixels + 5 * 640 * 4 + 10 * 4, p);
    EXPECT_TRUE(mode.backbuffer.flags & QBX_SURF_LOCKED);
    EXPECT_EQ(nullptr, mode.backbuffer.lock()); // already locked
    EXPECT_EQ(0u, mode.backbuffer.unlock());
    EXPECT_FALSE(mode.backbuffer.flags & QBX_SURF_LOCKED);
    EXPECT_EQ(p, qbx_surface_lock(&mode.backbuffer));
    EXPECT_EQ(0u, qbx_surface_unlock(&mode.backbuffer));
}

TEST_F(BackBuffer, ConvertedOrDoubledModesLockOnlyWhenForced) {
    for (uint32_t convflags :
         {0x20000u, QBX_CONV_DOUBLE_X, QBX_CONV_DOUBLE_Y, QBX_CONV_DOUBLE_LINES}) {
        mode.convflags = convflags;
        EXPECT_EQ(nullptr, mode.backbuffer.lock()) << convflags;
        ASSERT_NE(nullptr, mode.backbuffer.lock(1)) << convflags;
        EXPECT_EQ(0u, mode.backbuffer.unlock());
    }
    mode.convflags = 0;
    for (uint32_t flags : {0u, QBX_MODE_DIRECT_LOCK | QBX_MODE_PRIMARY_ONLY,
                           QBX_MODE_DIRECT_LOCK | 0x08, QBX_MODE_DIRECT_LOCK | 0x10}) {
        mode.flags = flags;
        EXPECT_EQ(nullptr, mode.backbuffer.lock()) << flags;
    }
}

TEST_F(BackBuffer, NothingHappensWithoutAnActiveMode) {
    mode.active = false;
    EXPECT_EQ(nullptr, mode.backbuffer.lock(1));
    EXPECT_EQ(0u, mode.backbuffer.unlock());
    curmode = nullptr;
    EXPECT_EQ(nullptr, mode.backbuffer.lock(1));
    EXPECT_EQ(0u, mode.backbuffer.unlock());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(BackBuffer, LostSurfaceIsRestoredBeforeLocking) {
    headless_display_lose_surfaces();
    EXPECT_NE(nullptr, mode.backbuffer.lock());
    EXPECT_EQ(0u, mode.backbuffer.unlock());
}

TEST_F(BackBuffer, DisplayFailuresAreReported) {
    testing::internal::CaptureStderr();
    headless_display_config().fail_on(headless_op::lock);
    EXPECT_EQ(nullptr, mode.backbuffer.lock());
    headless_display_config().fail_on(headless_op::lock, 0);
    headless_display_config().fail_on(headless_op::restore, DISPLAY_ERR_SURFACE_LOST);
    EXPECT_EQ(0xFFFFFFF7u, mode.backbuffer.unlock());
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(2u, boxes().size());
    EXPECT_EQ("ddraw error (hr: 0xFFFFFFF8): can't lock surface", boxes()[0].text);
    EXPECT_EQ("ddraw error (hr: 0xFFFFFFFC): can't restore surface", boxes()[1].text);
}
