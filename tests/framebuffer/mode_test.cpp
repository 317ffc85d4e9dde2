#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "framebuffer/cpuid.h"
#include "quoblex_fixture.h"
#include "setup_script.h"
#include "support/test_support.h"

namespace {

using size_set = std::set<std::pair<uint32_t, uint32_t>>;

// Every size from a grid of widths and heights, at 16 and 32 bpp.
void offer_grid(std::initializer_list<uint32_t> widths, std::initializer_list<uint32_t> heights) {
    for (uint32_t w : widths)
        for (uint32_t h : heights)
            for (uint32_t depth : {16u, 32u})
                headless_display_config().modes.push_back({w, h, depth});
}

size_set candidate_sizes() {
    size_set sizes;
    for (const qbx_mode& m : setupmodes)
        sizes.insert({m.host.x, m.host.y});
    return sizes;
}

// A display mode reported to the enumeration callback with a filter that admits everything.
void report(uint32_t w, uint32_t h, uint32_t bpp, uint32_t flags = 0) {
    struct {
        uint32_t min_x, max_x, min_y, max_y, min_bpp, max_bpp, flags;
    } all{0, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF, flags};
    qbx_mode::qbx_enum_callback({w, h, bpp}, &all);
}

// The user of the setup dialog clicks these controls, then "run!".
void dialog_clicks(std::vector<uint32_t> ids) {
    script_dialog([ids](dialog_window& window) {
        for (uint32_t id : ids)
            dialog_click(window, id);
        dialog_click(window, QBX_SETUP_RUN);
    });
}

class ModeList : public QuoblexTest {};

} // namespace

TEST_F(ModeList, BoundsFor320x180At4To3) {
    offer_grid({320, 400, 640, 800}, {180, 200, 240, 256, 360, 400, 480, 512});
    start();
    ASSERT_GE(qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_4_3 | QBX_MODE_DIRECT_LOCK), 0);
    const size_set expected = {{320, 180}, {320, 200}, {320, 240},
                               {640, 360}, {640, 400}, {640, 480}};
    EXPECT_EQ(expected, candidate_sizes());
    for (const qbx_mode& m : setupmodes)
        EXPECT_EQ(m.host.x == 640, (m.flags & QBX_MODE_DOUBLED) != 0) << m.host.x;
}

TEST_F(ModeList, BoundsFor320x180At16To9) {
    offer_grid({320, 400, 640, 800}, {180, 200, 240, 256, 360, 400, 480, 512});
    start();
    ASSERT_GE(qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_16_9), 0);
    EXPECT_EQ((size_set{{320, 180}, {640, 360}}), candidate_sizes());
}

TEST_F(ModeList, AnyAspectBoundsLikeFourToThree) {
    offer_grid({320, 640}, {180, 200, 240, 256, 360, 400, 480, 512});
    start();
    ASSERT_GE(qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_ANY), 0);
    const size_set expected = {{320, 180}, {320, 200}, {320, 240},
                               {640, 360}, {640, 400}, {640, 480}};
    EXPECT_EQ(expected, candidate_sizes());
}

TEST_F(ModeList, BoundsForWiderAndTallerRequests) {
    offer_grid({320, 400, 512, 640, 800, 1024, 1280}, {240, 300, 320, 480, 576, 600, 720, 1024});
    start();
    // 320 < x <= 640: 2x wide from 2y to 1024 lines, then x to 640 wide, y to 480 lines.
    ASSERT_GE(qbx_addmode(400, 300, 32, 0, QBX_MODE_ASPECT_ANY), 0);
    EXPECT_EQ((size_set{{800, 600},
                        {800, 720},
                        {800, 1024},
                        {400, 300},
                        {400, 320},
                        {400, 480},
                        {512, 300},
                        {512, 320},
                        {512, 480},
                        {640, 300},
                        {640, 320},
                        {640, 480}}),
              candidate_sizes());
    // x > 640: up to the next standard width and the standard height for the aspect.
    ASSERT_GE(qbx_addmode(800, 576, 32, 0, QBX_MODE_ASPECT_4_3), 0);
    EXPECT_EQ((size_set{{800, 576}, {800, 600}}), candidate_sizes());
    ASSERT_GE(qbx_addmode(1024, 576, 32, 0, QBX_MODE_ASPECT_16_9), 0);
    EXPECT_EQ((size_set{{1024, 576}, {1024, 600}}), candidate_sizes());
    // x = 320, y >= 320: 640 and 320 wide, y to 480 lines.
    ASSERT_GE(qbx_addmode(320, 320, 32, 0, QBX_MODE_ASPECT_ANY), 0);
    EXPECT_EQ((size_set{{640, 320}, {640, 480}, {320, 320}, {320, 480}}), candidate_sizes());
}

TEST_F(ModeList, NarrowRequestsAreBoundedLikeA320WideOne) {
    offer_grid({160, 320, 640}, {90, 100, 120, 180, 200, 240});
    start();
    ASSERT_GE(qbx_addmode(160, 90, 32, 0, QBX_MODE_ASPECT_16_9), 0);
    EXPECT_EQ((size_set{{320, 180}, {160, 90}}), candidate_sizes());
    ASSERT_GE(qbx_addmode(160, 90, 32, 0, QBX_MODE_ASPECT_4_3), 0);
    EXPECT_EQ((size_set{{320, 180}, {320, 200}, {320, 240}, {160, 90}, {160, 100}, {160, 120}}),
              candidate_sizes());
}

TEST_F(ModeList, EmptyAndHugeRequestsAreRefused) {
    offer({{320, 180}});
    start();
    EXPECT_EQ(-12, qbx_addmode(0, 180, 32, 0, 0));
    EXPECT_EQ(-12, qbx_addmode(320, 0, 32, 0, 0));
    qbx_killcount = 3;
    EXPECT_EQ(-12, qbx_addmode(0xFFFFFFFF, 0xFFFFFFFF, 32, 0, 0));
    EXPECT_TRUE(modes.empty());
}

TEST_F(ModeList, CandidatesAreSortedByWidthHeightDepth) {
    headless_display_config().modes = {{640, 480, 16}, {320, 240, 32}, {640, 360, 32},
                                       {320, 180, 16}, {320, 240, 16}, {640, 360, 16},
                                       {320, 180, 32}, {320, 200, 24}};
    start();
    ASSERT_GE(qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_ANY), 0);
    std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> order;
    for (const qbx_mode& m : setupmodes)
        order.emplace_back(m.host.x, m.host.y, m.host.bpp);
    const decltype(order) expected = {{320, 180, 16}, {320, 180, 32}, {320, 200, 24},
                                      {320, 240, 16}, {320, 240, 32}, {640, 360, 16},
                                      {640, 360, 32}, {640, 480, 16}};
    EXPECT_EQ(expected, order);
}

TEST_F(ModeList, SortIsStable) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 random(seed);
    std::vector<qbx_mode> list(200);
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].host = {uint32_t(random() % 3), uint32_t(random() % 3), uint32_t(random() % 3)};
        list[i].reserved0 = uint32_t(i); // the original position
    }
    qbx_mode::sortmodes(list, qbx_mode::bpp_sort);
    qbx_mode::sortmodes(list, qbx_mode::y_sort);
    qbx_mode::sortmodes(list, qbx_mode::x_sort);
    for (size_t i = 1; i < list.size(); ++i) {
        const qbx_mode& a = list[i - 1];
        const qbx_mode& b = list[i];
        const auto ka = std::make_tuple(a.host.x, a.host.y, a.host.bpp, a.reserved0);
        const auto kb = std::make_tuple(b.host.x, b.host.y, b.host.bpp, b.reserved0);
        ASSERT_LT(ka, kb) << "seed " << seed << " at " << i;
    }
}

TEST_F(ModeList, CallbackSetsAspectAndPortraitFlag) {
    report(1366, 768, 32, 0x100);
    report(1280, 720, 32);
    report(480, 640, 16);
    ASSERT_EQ(3u, setupmodes.size());
    EXPECT_EQ(0x1C755u, setupmodes[0].aspect);
    EXPECT_EQ(0x100u, setupmodes[0].flags);
    EXPECT_EQ(QBX_ASPECT_16_9, setupmodes[1].aspect);
    EXPECT_EQ(QBX_MODE_PORTRAIT, setupmodes[2].flags);
    EXPECT_EQ((480ull << 17) / 640, setupmodes[2].aspect);
    EXPECT_EQ(16u, setupmodes[2].host.bpp);
}

TEST_F(ModeList, WideScreenWithInexactAspectNeverImproves) {
    report(1366, 768, 32);
    EXPECT_EQ(-1, qbx_mode::findbestmode(1280, 720, 32, QBX_MODE_ASPECT_16_9, QBX_ASPECT_16_9));
    report(1280, 720, 32);
    EXPECT_EQ(1, qbx_mode::findbestmode(1280, 720, 32, QBX_MODE_ASPECT_16_9, QBX_ASPECT_16_9));
    // With any aspect the nearer size wins.
    EXPECT_EQ(1, qbx_mode::findbestmode(1280, 720, 32, QBX_MODE_ASPECT_ANY, QBX_ASPECT_ANY));
}

TEST_F(ModeList, NearerDepthWinsAndLaterWinsATie) {
    report(320, 180, 16);
    report(320, 180, 24);
    report(320, 180, 32);
    EXPECT_EQ(1, qbx_mode::findbestmode(320, 180, 24, 0x100, QBX_ASPECT_16_9));
    EXPECT_EQ(2, qbx_mode::findbestmode(320, 180, 32, 0x100, QBX_ASPECT_16_9));
    EXPECT_EQ(0, qbx_mode::findbestmode(320, 180, 16, 0x100, QBX_ASPECT_16_9));
    setupmodes.erase(setupmodes.begin() + 1); // 16 and 32 are equally far from 24
    EXPECT_EQ(1, qbx_mode::findbestmode(320, 180, 24, 0x100, QBX_ASPECT_16_9));
}

TEST_F(ModeList, NearerDepthWinsAmongDoubledCandidates) {
    report(640, 360, 16, QBX_MODE_DOUBLED);
    report(640, 360, 32, QBX_MODE_DOUBLED);
    EXPECT_EQ(0, qbx_mode::findbestmode(320, 180, 16, 0x100, QBX_ASPECT_16_9));
    EXPECT_EQ(1, qbx_mode::findbestmode(320, 180, 32, 0x100, QBX_ASPECT_16_9));
}

TEST_F(ModeList, DemoRequestPicksTheExactModeOnAClassicList) {
    offer({{320, 180},
           {320, 200},
           {320, 240},
           {640, 360},
           {640, 400},
           {640, 480},
           {800, 600},
           {1280, 720}},
          {16, 32});
    start();
    const int32_t handle = qbx_addmode("demo", 320, 180, 32, 0, 0x500);
    ASSERT_EQ(0, handle);
    const qbx_mode* m = qbx_getmodestruct(handle);
    ASSERT_NE(nullptr, m);
    EXPECT_STREQ("demo", m->name);
    EXPECT_EQ(320u, m->host.x);
    EXPECT_EQ(180u, m->host.y);
    EXPECT_EQ(32u, m->host.bpp);
    EXPECT_EQ(320u, m->width);
    EXPECT_EQ(180u, m->height);
    EXPECT_EQ(0u, m->xpad);
    EXPECT_EQ(0u, m->ypad);
    EXPECT_EQ(0u, m->convflags);
    EXPECT_EQ(0x500u, m->flags & ~QBX_MODE_SIMD);
}

TEST_F(ModeList, AutomaticDoubledHostKeepsTheRequestFlags) {
    offer({{640, 360}});
    start();
    const int32_t handle = qbx_addmode(320, 180, 32, 0, 0x500);
    ASSERT_EQ(0, handle);
    const qbx_mode& m = *qbx_getmodestruct(handle);
    EXPECT_EQ(0u, m.flags & QBX_MODE_DOUBLED);
    EXPECT_EQ(0u, m.convflags);
    EXPECT_EQ(320u, m.width);
    EXPECT_EQ(180u, m.height);
    EXPECT_EQ(160u, m.xpad);
    EXPECT_EQ(90u, m.ypad);
}

TEST_F(ModeList, TallRequestsDoubleOnlyHorizontally) {
    offer({{640, 480}});
    start();
    const int32_t handle = qbx_addmode(320, 400, 32, 0, QBX_MODE_ASPECT_ANY);
    ASSERT_EQ(0, handle);
    const qbx_mode& m = *qbx_getmodestruct(handle);
    EXPECT_TRUE(m.flags & QBX_MODE_DOUBLED);
    EXPECT_EQ(QBX_CONV_DOUBLE_X, m.convflags);
    EXPECT_EQ(640u, m.width);
    EXPECT_EQ(400u, m.height);
    EXPECT_EQ(0u, m.xpad);
    EXPECT_EQ(40u, m.ypad);
}

TEST_F(ModeList, HostTooSmallForTheDoubledPictureIsRefused) {
    offer({{300, 400}});
    start();
    // The portrait host doubles the picture to 600 pixels, wider than the host.
    EXPECT_EQ(-12, qbx_addmode(300, 400, 32, 0, QBX_MODE_ASPECT_ANY));
    EXPECT_TRUE(modes.empty());
}

TEST_F(ModeList, DialogChoiceOfADoubledFullScreenMode) {
    offer({{320, 180}, {640, 360}});
    start();
    script_dialog([](dialog_window& window) {
        EXPECT_EQ(0, dialog_item(window, QBX_SETUP_LIST)->selection); // the automatic choice
        dialog_pick(window, QBX_SETUP_LIST, 1); // 640 x 360, found for a doubled picture
        dialog_click(window, QBX_SETUP_DITHER);
        dialog_click(window, QBX_SETUP_RUN);
    });
    const int32_t handle = qbx_addmode(320, 180, 32, 0, 0x500 | QBX_MODE_SETUP);
    ASSERT_EQ(0, handle);
    const qbx_mode& m = *qbx_getmodestruct(handle);
    EXPECT_EQ(0x500 | QBX_MODE_SETUP | QBX_MODE_DOUBLED, m.flags & ~QBX_MODE_SIMD);
    EXPECT_EQ(QBX_CONV_DITHER | QBX_CONV_DOUBLE_X | QBX_CONV_DOUBLE_Y | QBX_CONV_DOUBLE_LINES,
              m.convflags);
    EXPECT_EQ(640u, m.width);
    EXPECT_EQ(360u, m.height);
    EXPECT_EQ(0u, m.xpad);
    EXPECT_EQ(0u, m.ypad);
    EXPECT_EQ(640u, m.host.x);
}

TEST_F(ModeList, DialogChoiceOfADoubledWindow) {
    offer({{320, 180}});
    start();
    dialog_clicks({QBX_SETUP_WINDOWED, QBX_SETUP_DOUBLED});
    const int32_t handle = qbx_addmode(320, 180, 32, 0, QBX_MODE_SETUP);
    ASSERT_EQ(0, handle);
    const qbx_mode& m = *qbx_getmodestruct(handle);
    EXPECT_EQ(QBX_MODE_SETUP | QBX_MODE_WINDOWED | QBX_MODE_DOUBLED, m.flags & ~QBX_MODE_SIMD);
    EXPECT_EQ(640u, m.width);
    EXPECT_EQ(360u, m.height);
    EXPECT_EQ(640u, m.host.x);
    EXPECT_EQ(360u, m.host.y);
    EXPECT_EQ(32u, m.host.bpp);
    EXPECT_EQ(0u, m.xpad);
    EXPECT_EQ(0u, m.ypad);
}

TEST_F(ModeList, DepthConversionFlagsOfAnAutomaticChoice) {
    offer({{320, 180}}, {16});
    start();
    ASSERT_EQ(0, qbx_addmode(320, 180, 32, 0, 0x100));
    EXPECT_EQ(QBX_CONV_DITHER, modes[0].convflags);
    headless_display_config().modes = {{320, 180, 8}};
    ASSERT_EQ(1, qbx_addmode(320, 180, 32, 0, 0x100));
    EXPECT_EQ(QBX_CONV_32_TO_8, modes[1].convflags);
    ASSERT_EQ(2, qbx_addmode(320, 180, 16, 0, 0x100));
    EXPECT_EQ(0u, modes[2].convflags);
}

TEST_F(ModeList, SimdFlagFollowsTheProcessorAndNomMx) {
    offer({{320, 180}});
    start();
    ASSERT_EQ(0, qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_16_9));
    EXPECT_EQ((cpuid.features_edx & CPUID_EDX_MMX) != 0, (modes[0].flags & QBX_MODE_SIMD) != 0);
    qbx_done();
    setenv("QUOBLEX", "nommx", 1);
    start();
    EXPECT_EQ(0u, cpuid.features_edx & CPUID_EDX_MMX);
    ASSERT_EQ(0, qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_16_9));
    EXPECT_EQ(0u, modes[0].flags & QBX_MODE_SIMD);
}

TEST_F(ModeList, NoModeGivesTheWindowedFallbackCandidate) {
    offer({{1024, 768}});
    start();
    // Without a dialog to show (a backend without a front end), the fallback keeps the request's
    // flags, which cannot be set.
    qbx_setup_dialog = nullptr;
    EXPECT_EQ(-12, qbx_addmode(320, 180, 32, 0, 0));
    ASSERT_EQ(1u, setupmodes.size());
    EXPECT_EQ(0u, setupmodes[0].host.x + setupmodes[0].host.y + setupmodes[0].host.bpp);
    EXPECT_TRUE(modes.empty());

    script_dialog([](dialog_window& window) {
        EXPECT_EQ(std::vector<std::string>{"windowed only"},
                  dialog_item(window, QBX_SETUP_LIST)->entries);
        dialog_click(window, QBX_SETUP_RUN);
    });
    ASSERT_EQ(0, qbx_addmode(320, 180, 32, 0, 0));
    const qbx_mode& m = modes[0];
    EXPECT_TRUE(m.flags & QBX_MODE_WINDOWED);
    EXPECT_EQ(320u, m.host.x);
    EXPECT_EQ(180u, m.host.y);
    EXPECT_EQ(32u, m.host.bpp);
    EXPECT_EQ(0u, m.xpad);
}

TEST_F(ModeList, NoModeOnALowDepthDesktopIsAnError) {
    headless_display_config().desktop = {1024, 768, 8};
    start();
    EXPECT_EQ(-12, qbx_addmode(320, 180, 32, 0, 0));
    EXPECT_EQ("mode 320x180 32bpp adding error: can't find suitable mode", boxes().back().text);
}

TEST_F(ModeList, DialogResults) {
    offer({{320, 180}});
    start();
    // Asked for the dialog, the user closes it: the user break result, nothing added.
    script_dialog(dialog_close);
    EXPECT_EQ(QBX_MODE_USER_BREAK, qbx_addmode(320, 180, 32, 0, QBX_MODE_SETUP));
    qbx_flags |= QBX_FLAG_MANUAL;
    EXPECT_EQ(QBX_MODE_USER_BREAK, qbx_addmode(320, 180, 32, 0, 0));
    EXPECT_TRUE(modes.empty());
    EXPECT_TRUE(boxes().empty());
    // A dialog whose list lost its selection.
    script_dialog([](dialog_window& window) {
        dialog_item(window, QBX_SETUP_LIST)->selection = -1;
        dialog_send(window, DIALOG_COMMAND, QBX_SETUP_LIST | DIALOG_SELCHANGE << 16, 0);
        dialog_click(window, QBX_SETUP_RUN);
    });
    EXPECT_EQ(-11, qbx_addmode(320, 180, 32, 0, 0));
    EXPECT_EQ("mode 320x180 32bpp adding error: can't find suitable mode", boxes().back().text);
    EXPECT_TRUE(modes.empty());
    // No dialog to show: the automatic choice.
    qbx_setup_dialog = nullptr;
    EXPECT_EQ(0, qbx_addmode(320, 180, 32, 0, 0));
}

TEST_F(ModeList, NoAutofindLeavesTheChoiceToTheDialog) {
    offer({{320, 180}}, {16, 32}); // the 32-bit mode, second in the list, fits best
    start();
    dialog_clicks({});
    ASSERT_EQ(0, qbx_addmode(320, 180, 32, 0, QBX_MODE_SETUP | QBX_MODE_ASPECT_ANY));
    EXPECT_EQ(1, shown(QBX_SETUP_LIST).selection);
    qbx_done();
    setenv("QUOBLEX", "noautofind", 1);
    start();
    dialog_clicks({});
    ASSERT_EQ(0, qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_ANY));
    EXPECT_EQ(0, shown(QBX_SETUP_LIST).selection);
    EXPECT_EQ(16u, modes[0].host.bpp);
}

TEST_F(ModeList, FailingEnumerationIsADisplayError) {
    offer({{320, 180}});
    start();
    headless_display_config().fail_on(headless_op::enum_modes, DISPLAY_ERR_FAILED);
    EXPECT_EQ(-9, qbx_addmode(320, 180, 32, 0, 0));
    EXPECT_EQ("ddraw error (hr: 0xFFFFFFF8): can't enumerate display modes", boxes().back().text);
}

TEST_F(ModeList, AddingBeforeStartUpIsADisplayError) {
    EXPECT_EQ(-9, qbx_addmode(320, 180, 32, 0, 0));
}

TEST_F(ModeList, HandlesStayValidAndOutOfRangeGivesNull) {
    offer({{320, 180}});
    start();
    EXPECT_EQ(nullptr, qbx_getmodestruct(0));
    ASSERT_EQ(0, qbx_addmode("first", 320, 180, 32, 0, QBX_MODE_ASPECT_ANY));
    qbx_mode* first = qbx_getmodestruct(0);
    for (int32_t i = 1; i < 100; ++i)
        ASSERT_EQ(i, qbx_addmode(320, 180, 32, 0, QBX_MODE_ASPECT_ANY));
    EXPECT_EQ(first, qbx_getmodestruct(0));
    EXPECT_STREQ("first", first->name);
    EXPECT_EQ(nullptr, qbx_getmodestruct(100));
    EXPECT_EQ(nullptr, qbx_getmodestruct(-1));
    EXPECT_EQ(nullptr, qbx_getcurrentmodestruct());
    curmode = first;
    EXPECT_EQ(first, qbx_getcurrentmodestruct());
}
