#include <string>

#include "display_fixture.h"

namespace {

class Present : public DisplayModeTest {
  protected:
    // Sets the mode of `index` and forgets what setting it showed.
    void set(int32_t index) {
        ASSERT_LE(0, index);
        ASSERT_EQ(0u, qbx_setmode(index));
        presented = 0;
    }
    void frame(test_picture& picture, uint32_t flip_flags = 0) {
        ASSERT_EQ(0u, qbx_update(picture.surface, 1));
        ASSERT_EQ(0u, qbx_flip(flip_flags));
    }
    // The shown picture holds `picture` at (x0, y0).
    void expect_picture_at(test_picture& picture, uint32_t x0, uint32_t y0) {
        ASSERT_GE(shown.width, x0 + picture.surface.width);
        for (uint32_t y = 0; y < picture.surface.height; ++y)
            for (uint32_t x = 0; x < picture.surface.width; ++x)
                ASSERT_EQ(picture.at(x, y), shown.pixel32(x0 + x, y0 + y)) << x << ", " << y;
    }
};

} // namespace

TEST_F(Present, WindowedFrameIsBlittedIntoTheClientArea) {
    start();
    set(add_windowed(320, 180));
    test_picture picture;
    frame(picture);
    EXPECT_EQ(1u, presented);
    expect_picture_at(picture, 0, 0);
    // On the screen it is at the client area's place.
    display_lock screen;
    ASSERT_EQ(0, qbx_dd.dd->lock(curmode->primary, screen));
    const display_rect client = window().client;
    for (auto [x, y] : {std::pair{0, 0}, {319, 0}, {0, 179}, {319, 179}, {100, 50}}) {
        uint32_t p;
        std::memcpy(&p, screen.data + size_t(client.top + y) * screen.pitch + (client.left + x) * 4,
                    4);
        EXPECT_EQ(picture.at(x, y), p);
    }
    ASSERT_EQ(0, qbx_dd.dd->unlock(curmode->primary));
}

TEST_F(Present, FlipChainShowsThePictureBetweenThePadding) {
    offer({{320, 240}});
    start();
    set(add_fullscreen(320, 180, 32, QBX_MODE_DIRECT_LOCK | QBX_MODE_ASPECT_4_3));
    EXPECT_EQ(30u, curmode->ypad);
    test_picture picture;
    frame(picture);
    EXPECT_EQ(1u, presented);
    EXPECT_EQ(240u, shown.height);
    expect_picture_at(picture, 0, 30);
    EXPECT_EQ(0u, shown.pixel32(5, 29));
    EXPECT_EQ(0u, shown.pixel32(5, 210));
    frame(picture);
    EXPECT_EQ(2u, presented) << "each flip shows the page just drawn";
    expect_picture_at(picture, 0, 30);
}

TEST_F(Present, PrimaryOnlyShowsAtOnceAndWaitsOnlyWhenAsked) {
    offer({{320, 180}});
    start();
    headless_display_config().fail_on(headless_op::create_flip_chain);
    set(add_fullscreen(320, 180));
    test_picture picture;
    ASSERT_EQ(0u, qbx_update(picture.surface, 1));
    EXPECT_EQ(1u, presented);
    expect_picture_at(picture, 0, 0);
    headless_record& record = headless_display_record();
    ASSERT_EQ(0u, qbx_flip(0));
    EXPECT_EQ(0u, record.vertical_blanks);
    ASSERT_EQ(0u, qbx_flip(QBX_FLIP_VBLANK));
    EXPECT_EQ(1u, record.vertical_blanks);
    EXPECT_EQ(1u, presented);
    EXPECT_EQ(0u, record.flips + record.blits);
}

TEST_F(Present, DoubledRectangleLandsAtTwiceItsPlace) {
    offer({{640, 480}});
    start();
    set(add_chosen(320, 180, false));
    ASSERT_EQ(640u, curmode->width);
    ASSERT_EQ(60u, curmode->ypad);
    test_picture picture;
    picture.surface.rect(10, 4, 16, 8);
    frame(picture);
    const uint32_t xpad = curmode->xpad, ypad = curmode->ypad;
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            for (uint32_t copy = 0; copy < 4; ++copy)
                ASSERT_EQ(picture.at(10 + x, 4 + y),
                          shown.pixel32(20 + xpad + 2 * x + copy % 2, 8 + ypad + 2 * y + copy / 2));
    EXPECT_EQ(0u, shown.pixel32(19 + xpad, 8 + ypad));
    EXPECT_EQ(0u, shown.pixel32(20 + xpad, 7 + ypad));
    EXPECT_EQ(0u, shown.pixel32(52 + xpad, 8 + ypad));
    EXPECT_EQ(0u, shown.pixel32(20 + xpad, 24 + ypad));
}

TEST_F(Present, SixteenAndFifteenBitDesktops) {
    for (uint32_t depth : {16u, 15u}) {
        SCOPED_TRACE(depth);
        headless_display_config().desktop.bpp = depth;
        start();
        set(add_windowed(320, 180));
        test_picture picture;
        frame(picture);
        ASSERT_EQ(1u, presented);
        for (uint32_t y = 0; y < 180; y += 7)
            for (uint32_t x = 0; x < 320; ++x) {
                const uint32_t p = picture.at(x, y);
                const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                const uint32_t expected = depth == 16 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                                      : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
                ASSERT_EQ(expected, shown.pixel16(x, y)) << x << ", " << y;
            }
        qbx_done();
        reset_library();
    }
}

TEST_F(Present, NothingIsDrawnWhileMinimised) {
    start();
    set(add_windowed(320, 180));
    headless_display_post(curmode->hwnd, DISPLAY_MSG_SYSCOMMAND, DISPLAY_COMMAND_MINIMIZE);
    headless_display_config().fail_on(headless_op::lock);
    test_picture picture;
    EXPECT_EQ(0u, qbx_update(picture.surface, 1));
    EXPECT_EQ(0u, qbx_flip(0));
    EXPECT_EQ(0u, presented);
    EXPECT_TRUE(boxes().empty());
    headless_display_config().fail_on(headless_op::lock, 0);
    headless_display_post(curmode->hwnd, DISPLAY_MSG_PAINT);
    frame(picture);
    EXPECT_EQ(2u, presented) << "the paint and the frame";
    expect_picture_at(picture, 0, 0);
}

TEST_F(Present, LostSurfacesAreRestored) {
    offer({{320, 180}});
    start();
    set(add_fullscreen(320, 180));
    test_picture picture;
    headless_display_lose_surfaces();
    frame(picture);
    EXPECT_EQ(1u, presented);
    expect_picture_at(picture, 0, 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Present, PictureSizeChecks) {
    start();
    set(add_windowed(320, 200));
    test_picture shorter(320, 180);
    EXPECT_EQ(0u, qbx_update(shorter.surface, 1)) << "the width matches";
    set(add_windowed(320, 180));
    test_picture narrower(304, 200), taller(320, 200);
    test_picture outside(320, 180);
    outside.surface.rect(8, 0, 320, 180);
    qbx_surface eight_bit;
    ASSERT_EQ(0u, eight_bit.create(320, 180, QBX_FORMAT_GRAY8, 1, 0));
    const std::pair<qbx_surface*, uint32_t> refused[] = {
        {&narrower.surface, QBX_ERR_DIMENSIONS},
        {&taller.surface, QBX_ERR_DIMENSIONS},
        {&outside.surface, QBX_ERR_DIMENSIONS},
        {&eight_bit, 0xFFFFFFEDu},
    };
    for (const auto& [surface, code] : refused) {
        qbx_killcount = 3;
        EXPECT_EQ(code, qbx_update(*surface, 1)) << surface->width << "x" << surface->height;
    }
    EXPECT_EQ("error: invalid surface dimensions", boxes().at(0).text);
    EXPECT_EQ("error: can't find converter procedure (bpp == 8, mask == (0x0, 0x0, 0x0))",
              boxes().at(3).text);
    // Nothing was written, and the display surface can be drawn again.
    test_picture picture;
    frame(picture);
    expect_picture_at(picture, 0, 0);
}

TEST_F(Present, FailuresAreReportedAndTheNextFrameWorks) {
    offer({{320, 180}});
    start();
    const int32_t windowed = add_windowed(320, 180);
    const int32_t full = add_fullscreen(320, 180);
    struct failure {
        int32_t mode;
        headless_op op;
        uint32_t after;
        bool in_update;
        std::string text;
        bool recovers = true; // a failed unlock leaves the surface locked
    };
    const failure failures[] = {
        {windowed, headless_op::restore, 0, true, ddraw + "can't restore primary surface"},
        {windowed, headless_op::restore, 1, true, ddraw + "can't restore secondary surface"},
        {windowed, headless_op::lock, 0, true, ddraw + "can't lock surface"},
        {windowed, headless_op::unlock, 0, true, ddraw + "can't unlock surface", false},
        {windowed, headless_op::restore, 0, false, ddraw + "can't restore primary surface"},
        {windowed, headless_op::restore, 1, false, ddraw + "can't restore secondary surface"},
        {windowed, headless_op::client_origin, 0, false, win32 + "can't get origin of client data"},
        {windowed, headless_op::client_rect, 0, false, win32 + "can't get window client area"},
        {windowed, headless_op::blit, 0, false, ddraw + "can't blit secondary to primary surface"},
        {full, headless_op::flip, 0, false, ddraw + "can't flip"},
    };
    test_picture picture;
    for (const failure& f : failures) {
        SCOPED_TRACE(f.text);
        qbx_donemode();
        set(f.mode);
        qbx_killcount = 3;
        boxes().clear();
        headless_display_config().fail_on(f.op, DISPLAY_ERR_FAILED, f.after);
        const uint32_t code = f.in_update ? qbx_update(picture.surface, 1) : qbx_flip(0);
        headless_display_config().fail_on(f.op, 0);
        EXPECT_EQ(code_of(f.text), code);
        ASSERT_EQ(1u, boxes().size());
        EXPECT_EQ(f.text, boxes()[0].text);
        if (f.recovers) {
            frame(picture);
            expect_picture_at(picture, 0, 0);
        }
    }
}

TEST_F(Present, DirectLockingOfTheDisplaySurface) {
    offer({{320, 180}}); // the windowed-only fallback would drop the request for direct locking
    start();
    set(add_windowed(320, 180));
    uint8_t* pixels = curmode->backbuffer.lock();
    ASSERT_NE(nullptr, pixels);
    EXPECT_EQ(nullptr, curmode->backbuffer.lock()) << "already locked";
    reinterpret_cast<uint32_t*>(pixels)[0] = 0x123456;
    // A frame unlocks it first.
    test_picture picture;
    frame(picture);
    EXPECT_FALSE(curmode->backbuffer.flags & QBX_SURF_LOCKED);
    ASSERT_NE(nullptr, curmode->backbuffer.lock());
    EXPECT_EQ(0u, curmode->backbuffer.unlock());
    ASSERT_EQ(0u, qbx_flip(0));
    expect_picture_at(picture, 0, 0);

    set(add_windowed(320, 180, 32, QBX_MODE_DOUBLED));
    EXPECT_EQ(nullptr, curmode->backbuffer.lock());
    EXPECT_NE(nullptr, curmode->backbuffer.lock(1));
    EXPECT_EQ(0u, curmode->backbuffer.unlock());
}

TEST_F(Present, WaitPumpsAndWaitsForTheBlankOnlyForZero) {
    start();
    set(add_windowed(320, 180));
    headless_display_post(curmode->hwnd, DISPLAY_MSG_CLOSE);
    EXPECT_EQ(0u, qbx_wait(5));
    EXPECT_TRUE(qbx_isexit());
    EXPECT_EQ(0u, headless_display_record().vertical_blanks);
    EXPECT_EQ(0u, qbx_wait(0));
    EXPECT_EQ(1u, headless_display_record().vertical_blanks);
}

namespace {
int pauses = 0;
void count_pause() {
    ++pauses;
}
} // namespace

TEST_F(Present, ThePauseOfTheMessagePumpCanBeReplaced) {
    start();
    set(add_windowed(320, 180));
    test_picture picture;
    qbx_use_pause(count_pause);
    pauses = 0;
    frame(picture);
    EXPECT_EQ(1, pauses) << "one pause, in the flip's message pump";
    frame(picture, QBX_FLIP_NO_MESSAGES);
    EXPECT_EQ(1, pauses);
    qbx_use_pause(nullptr);
    frame(picture);
    EXPECT_EQ(1, pauses) << "the sleep is back";
}

TEST_F(Present, NoModeNoWork) {
    start();
    test_picture picture;
    EXPECT_EQ(QBX_ERR_NO_MODE, qbx_update(picture.surface, 1));
    EXPECT_EQ(QBX_ERR_NO_MODE, qbx_flip(0));
    EXPECT_TRUE(boxes().empty());
}

// Many modes and frames leave nothing behind (the sanitizer build checks the heap at exit).
TEST_F(Present, ThousandModesAndTenThousandFramesLeaveNothing) {
    headless_display_config().on_present = nullptr;
    offer({{320, 180}});
    start();
    const int32_t windowed = add_windowed(320, 180);
    const int32_t full = add_fullscreen(320, 180);
    test_picture picture;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ASSERT_EQ(0u, qbx_setmode(cycle % 2 ? windowed : full));
        ASSERT_EQ(0u, qbx_update(picture.surface, 1));
        ASSERT_EQ(0u, qbx_donemode());
    }
    const headless_record& record = headless_display_record();
    EXPECT_EQ(0u, record.live_surfaces);
    EXPECT_EQ(0u, record.live_windows);
    ASSERT_EQ(0u, qbx_setmode(full));
    const uint32_t flips = record.flips;
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(0u, qbx_update(picture.surface, 1));
        ASSERT_EQ(0u, qbx_flip(QBX_FLIP_NO_MESSAGES));
    }
    EXPECT_EQ(flips + 10000, record.flips);
    EXPECT_TRUE(boxes().empty());
}

// A 32-bit picture on an 8-bit display is shown in grey levels, through a grey ramp.
TEST_F(Present, EightBitDisplayShowsGreyLevels) {
    offer({{320, 180}}, {8});
    start();
    set(add_fullscreen(320, 180));
    ASSERT_EQ(8u, curmode->backbuffer.bpp);
    for (uint32_t i = 0; i < 256; i += 51)
        EXPECT_EQ(i, headless_display_record().palette[i].green);
    test_picture picture;
    frame(picture);
    const uint32_t p = picture.at(7, 3);
    const uint32_t grey = shown.pixels[3 * shown.pitch + 7];
    const uint32_t plain = ((p >> 16 & 0xFF) >> 2) + ((p >> 8 & 0xFF) >> 1) + ((p & 0xFF) >> 2);
    const uint32_t simd = (54 * (p >> 16 & 0xFF) + 184 * (p >> 8 & 0xFF) + 18 * (p & 0xFF)) >> 8;
    EXPECT_TRUE(grey == plain || grey == simd) << grey;
}
