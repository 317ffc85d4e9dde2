#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/display.h"
#include "platform/display_headless.h"

namespace {

bool collect(const display_mode_desc& mode, void* context) {
    static_cast<std::vector<display_mode_desc>*>(context)->push_back(mode);
    return true;
}

bool has_mode(const std::vector<display_mode_desc>& modes, uint32_t w, uint32_t h, uint32_t bpp) {
    return std::any_of(modes.begin(), modes.end(), [&](const display_mode_desc& m) {
        return m.width == w && m.height == h && m.bpp == bpp;
    });
}

std::vector<display_message> dispatched;

intptr_t record_message(display_window window, uint32_t message, uintptr_t wparam,
                        intptr_t lparam) {
    dispatched.push_back({window, message, wparam, lparam});
    return intptr_t(message) + 1;
}

class Headless : public ::testing::Test {
  protected:
    void SetUp() override {
        headless_display_reset();
        headless_display_config().desktop = {64, 48, 32};
        headless_display_config().modes = {{32, 24, 32}, {32, 24, 16}, {16, 8, 8}};
        ASSERT_EQ(0, headless_backend.create(device));
    }
    void exclusive() {
        ASSERT_EQ(
            0, device->set_cooperative_level(nullptr, display_cooperation::exclusive_fullscreen));
    }
    std::unique_ptr<display> device;
};

} // namespace

TEST(DisplayBackends, ChosenByName) {
    setenv("DEMO_DISPLAY", "headless", 1);
    EXPECT_EQ(&headless_backend, display_backend_choose());
    headless_backend.quit();
    setenv("DEMO_DISPLAY", "nowhere", 1);
    EXPECT_EQ(nullptr, display_backend_choose());
    EXPECT_EQ(nullptr, display_backend_find("nowhere"));
    EXPECT_NE(nullptr, display_backend_find("sdl"));
    EXPECT_STREQ("DEMO_DISPLAY=nowhere names no display backend", display_backend_failure());
    headless_display_reset();
    headless_display_config().fail_on(headless_op::init);
    setenv("DEMO_DISPLAY", "headless", 1);
    EXPECT_EQ(nullptr, display_backend_choose());
    headless_display_reset();
    // Unnamed, only the screen's backend is tried: headless runs only when asked for.
    unsetenv("DEMO_DISPLAY");
    setenv("SDL_VIDEODRIVER", "nowhere", 1);
    EXPECT_EQ(nullptr, display_backend_choose());
    EXPECT_STREQ("no X11 or Wayland display could be opened (SDL: nowhere not available)",
                 display_backend_failure());
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const display_backend* chosen = display_backend_choose();
    EXPECT_EQ(display_backends[0], chosen);
    EXPECT_STREQ("", display_backend_failure());
    if (chosen)
        chosen->quit();
    unsetenv("SDL_VIDEODRIVER");
}

TEST_F(Headless, ListsItsModesAndStops) {
    std::vector<display_mode_desc> seen;
    ASSERT_EQ(0, device->enum_modes(collect, &seen));
    EXPECT_EQ(3u, seen.size());
    EXPECT_TRUE(has_mode(seen, 16, 8, 8));
    seen.clear();
    ASSERT_EQ(0, device->enum_modes(
                     [](const display_mode_desc& m, void* c) {
                         collect(m, c);
                         return false;
                     },
                     &seen));
    EXPECT_EQ(1u, seen.size());
    headless_display_config().fail_on(headless_op::enum_modes, DISPLAY_ERR_NO_MODE);
    EXPECT_EQ(DISPLAY_ERR_NO_MODE, device->enum_modes(collect, &seen));
}

TEST_F(Headless, ModeSwitchNeedsExclusiveLevelAndAnOfferedMode) {
    EXPECT_EQ(DISPLAY_ERR_NOT_EXCLUSIVE, device->set_display_mode(32, 24, 32));
    exclusive();
    EXPECT_EQ(DISPLAY_ERR_NO_MODE, device->set_display_mode(33, 24, 32));
    display_surface* primary = nullptr;
    ASSERT_EQ(0, device->create_primary(primary));
    ASSERT_EQ(0, device->set_display_mode(32, 24, 16));
    EXPECT_EQ(16u, headless_display_record().current.bpp);
    // The switch took the surface's memory away.
    display_lock lock;
    EXPECT_EQ(DISPLAY_ERR_SURFACE_LOST, device->lock(primary, lock));
    ASSERT_EQ(0, device->restore(primary));
    ASSERT_EQ(0, device->lock(primary, lock));
    EXPECT_EQ(0, device->unlock(primary));
    device->release(primary);
    ASSERT_EQ(0, device->restore_display_mode());
    EXPECT_EQ(64u, headless_display_record().current.width);
}

TEST_F(Headless, PixelFormatFollowsTheDisplayDepth) {
    exclusive();
    display_surface* primary = nullptr;
    display_pixel_format format;
    ASSERT_EQ(0, device->create_primary(primary));
    ASSERT_EQ(0, device->get_pixel_format(primary, format));
    EXPECT_EQ(DISPLAY_PIXEL_RGB, format.flags);
    EXPECT_EQ(32u, format.bpp);
    EXPECT_EQ(0xFF0000u, format.r_mask);
    device->release(primary);
    ASSERT_EQ(0, device->set_display_mode(32, 24, 16));
    ASSERT_EQ(0, device->create_primary(primary));
    ASSERT_EQ(0, device->get_pixel_format(primary, format));
    EXPECT_EQ(0xF800u, format.r_mask);
    display_lock lock;
    ASSERT_EQ(0, device->lock(primary, lock));
    EXPECT_EQ(64u, lock.pitch);
    EXPECT_EQ(24u, lock.height);
    EXPECT_EQ(0u, lock.backbuffers);
    device->unlock(primary);
    headless_display_config().format = display_pixel_format{0x20, 8, 0, 0, 0};
    ASSERT_EQ(0, device->get_pixel_format(primary, format));
    EXPECT_EQ(0x20u, format.flags);
    device->release(primary);
}

TEST_F(Headless, OnePrimaryAtATime) {
    display_surface *a = nullptr, *b = nullptr;
    ASSERT_EQ(0, device->create_primary(a));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->create_primary(b));
    EXPECT_EQ(nullptr, b);
    EXPECT_EQ(1u, headless_display_record().live_surfaces);
    device->release(a);
    EXPECT_EQ(0u, headless_display_record().live_surfaces);
    ASSERT_EQ(0, device->create_primary(b));
    device->release(b);
}

TEST_F(Headless, FlipChainShowsTheBackBuffer) {
    display_surface* primary = nullptr;
    EXPECT_EQ(DISPLAY_ERR_NOT_EXCLUSIVE, device->create_flip_chain(1, primary));
    exclusive();
    headless_display_config().fail_on(headless_op::create_flip_chain);
    EXPECT_EQ(DISPLAY_ERR_FAILED, device->create_flip_chain(1, primary));
    headless_display_config().fail_on(headless_op::create_flip_chain, 0);
    ASSERT_EQ(0, device->create_flip_chain(1, primary));
    display_surface* back = nullptr;
    ASSERT_EQ(0, device->get_back_buffer(primary, back));
    display_lock lock;
    ASSERT_EQ(0, device->lock(back, lock));
    lock.data[0] = 0x5A;
    EXPECT_EQ(DISPLAY_ERR_BUSY, device->lock(back, lock));
    EXPECT_EQ(DISPLAY_ERR_BUSY, device->flip(primary));
    ASSERT_EQ(0, device->unlock(back));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->unlock(back));
    ASSERT_EQ(0, device->flip(primary));
    ASSERT_EQ(0, device->lock(primary, lock));
    EXPECT_EQ(0x5A, lock.data[0]);
    EXPECT_EQ(1u, lock.backbuffers);
    device->unlock(primary);
    headless_display_lose_surfaces();
    EXPECT_EQ(DISPLAY_ERR_SURFACE_LOST, device->flip(primary));
    ASSERT_EQ(0, device->restore(primary));
    EXPECT_EQ(0, device->flip(primary));
    display_surface* none = nullptr;
    display_surface* plain = nullptr;
    ASSERT_EQ(0, device->create_offscreen(8, 8, plain));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->get_back_buffer(plain, none));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->flip(plain));
    device->release(plain);
    device->release(primary);
}

TEST_F(Headless, BlitScalesAndClips) {
    display_surface *picture = nullptr, *primary = nullptr;
    ASSERT_EQ(0, device->create_offscreen(2, 2, picture));
    ASSERT_EQ(0, device->create_primary(primary));
    display_lock lock;
    ASSERT_EQ(0, device->lock(picture, lock));
    auto* p = reinterpret_cast<uint32_t*>(lock.data);
    p[0] = 1, p[1] = 2, p[2] = 3, p[3] = 4;
    ASSERT_EQ(0, device->unlock(picture));
    // 2 x 2 doubled to 4 x 4 at (62, 46): only the top-left 2 x 2 lies on the 64 x 48 display.
    ASSERT_EQ(0, device->blit(primary, {62, 46, 66, 50}, picture, {0, 0, 2, 2}));
    ASSERT_EQ(0, device->lock(primary, lock));
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<uint32_t*>(lock.data + y * lock.pitch)[x];
    };
    EXPECT_EQ(1u, pixel(62, 46));
    EXPECT_EQ(1u, pixel(63, 47));
    EXPECT_EQ(0u, pixel(61, 46));
    device->unlock(primary);
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->blit(primary, {0, 0, 4, 4}, picture, {0, 0, 3, 2}));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->blit(primary, {0, 0, 0, 4}, picture, {0, 0, 2, 2}));
    ASSERT_EQ(0, device->blit(primary, {0, 0, 4, 4}, picture, {0, 0, 2, 2}));
    ASSERT_EQ(0, device->lock(primary, lock));
    EXPECT_EQ(2u, pixel(2, 0));
    EXPECT_EQ(3u, pixel(1, 3));
    EXPECT_EQ(4u, pixel(3, 3));
    device->unlock(primary);
    EXPECT_EQ(2u, headless_display_record().blits);
    device->release(picture);
    device->release(primary);
}

TEST_F(Headless, PaletteAndClipper) {
    display_palette_entry entries[DISPLAY_PALETTE_SIZE] = {};
    display_palette* palette = nullptr;
    ASSERT_EQ(0, device->create_palette(entries, palette));
    entries[0] = {1, 2, 3, DISPLAY_PALETTE_NOCOLLAPSE};
    ASSERT_EQ(0, device->set_palette_entries(palette, 255, 1, entries));
    EXPECT_EQ(3, headless_display_record().palette[255].blue);
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->set_palette_entries(palette, 255, 2, entries));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->set_palette_entries(palette, 0xFFFFFFFF, 2, entries));
    display_surface* primary = nullptr;
    ASSERT_EQ(0, device->create_primary(primary));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->set_palette(primary, palette)); // 32-bit display
    display_clipper* clipper = nullptr;
    ASSERT_EQ(0, device->create_clipper(clipper));
    EXPECT_EQ(0, device->set_clipper_window(clipper, nullptr));
    EXPECT_EQ(0, device->set_clipper(primary, clipper));
    headless_display_config().fail_on(headless_op::create_palette);
    display_palette* refused = nullptr;
    EXPECT_EQ(DISPLAY_ERR_FAILED, device->create_palette(entries, refused));
    EXPECT_EQ(nullptr, refused);
    device->release(clipper);
    device->release(palette);
    device->release(primary);
}

TEST_F(Headless, EveryOperationCanBeMadeToFail) {
    exclusive();
    display_surface* surface = nullptr;
    ASSERT_EQ(0, device->create_flip_chain(1, surface));
    display_lock lock;
    display_pixel_format format;
    display_surface* back = nullptr;
    display_clipper* clipper = nullptr;
    display_mode_desc desktop;
    display_window window = nullptr;
    int32_t x, y;
    display_rect rect;
    const std::pair<headless_op, std::function<int32_t()>> calls[] = {
        {headless_op::desktop_mode, [&] { return headless_backend.desktop_mode(desktop); }},
        {headless_op::set_cooperative_level,
         [&] { return device->set_cooperative_level(nullptr, display_cooperation::normal); }},
        {headless_op::set_display_mode, [&] { return device->set_display_mode(32, 24, 32); }},
        {headless_op::restore_display_mode, [&] { return device->restore_display_mode(); }},
        {headless_op::wait_vertical_blank, [&] { return device->wait_vertical_blank(); }},
        {headless_op::create_offscreen, [&] { return device->create_offscreen(8, 8, back); }},
        {headless_op::get_back_buffer, [&] { return device->get_back_buffer(surface, back); }},
        {headless_op::get_pixel_format, [&] { return device->get_pixel_format(surface, format); }},
        {headless_op::lock, [&] { return device->lock(surface, lock); }},
        {headless_op::unlock, [&] { return device->unlock(surface); }},
        {headless_op::restore, [&] { return device->restore(surface); }},
        {headless_op::flip, [&] { return device->flip(surface); }},
        {headless_op::blit,
         [&] {
             return device->blit(surface, {0, 0, 1, 1}, surface, {0, 0, 1, 1});
         }},
        {headless_op::set_clipper, [&] { return device->set_clipper(surface, nullptr); }},
        {headless_op::set_palette, [&] { return device->set_palette(surface, nullptr); }},
        {headless_op::create_clipper, [&] { return device->create_clipper(clipper); }},
        {headless_op::set_clipper_window,
         [&] { return device->set_clipper_window(nullptr, nullptr); }},
        {headless_op::register_window_class,
         [&] {
             return device->register_window_class({"c", record_message});
         }},
        {headless_op::create_window,
         [&] {
             return device->create_window({"c", "", {}, {0, 0, 8, 8}}, window);
         }},
        {headless_op::client_origin, [&] { return device->client_origin(window, x, y); }},
        {headless_op::client_rect, [&] { return device->client_rect(window, rect); }},
    };
    for (const auto& [op, call] : calls) {
        headless_display_config().fail_on(op, -77);
        EXPECT_EQ(-77, call()) << int(op);
        headless_display_config().fail_on(op, 0);
    }
    device->release(surface);
}

namespace {

// SDL's dummy video driver: windows and the software renderer without a screen.
class SdlDisplay : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_RENDER_DRIVER", "software", 1);
        sdl = display_backend_find("sdl");
        ASSERT_NE(nullptr, sdl);
        if (!sdl->init())
            GTEST_SKIP() << "no SDL video driver: " << display_backend_failure();
        ASSERT_EQ(0, sdl->create(device));
    }
    void TearDown() override {
        device.reset();
        if (sdl)
            sdl->quit();
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("SDL_RENDER_DRIVER");
    }
    // The messages waiting now.
    std::vector<display_message> messages() {
        std::vector<display_message> seen;
        for (display_message m; device->peek_message(m);)
            seen.push_back(m);
        return seen;
    }
    const display_backend* sdl = nullptr;
    std::unique_ptr<display> device;
};

// The SDL window of the display's window with that caption.
SDL_Window* sdl_window_titled(const char* caption) {
    for (Uint32 id = 1; id < 64; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id);
            w && std::strcmp(SDL_GetWindowTitle(w), caption) == 0)
            return w;
    return nullptr;
}

} // namespace

TEST_F(SdlDisplay, OffersTheClassicSizesAtEveryDepth) {
    display_mode_desc desktop;
    EXPECT_EQ(0, sdl->desktop_mode(desktop));
    EXPECT_GT(desktop.width, 0u);
    std::vector<display_mode_desc> seen;
    ASSERT_EQ(0, device->enum_modes(collect, &seen));
    for (auto [w, h] : {std::pair{320, 180},
                        {320, 200},
                        {320, 240},
                        {640, 360},
                        {640, 400},
                        {640, 480},
                        {800, 600},
                        {1280, 720}})
        for (uint32_t bpp : {8u, 15u, 16u, 32u})
            EXPECT_TRUE(has_mode(seen, w, h, bpp)) << w << "x" << h << "x" << bpp;
    EXPECT_TRUE(has_mode(seen, desktop.width, desktop.height, desktop.bpp));
    for (size_t i = 0; i < seen.size(); ++i)
        for (size_t j = i + 1; j < seen.size(); ++j)
            EXPECT_FALSE(seen[i].width == seen[j].width && seen[i].height == seen[j].height &&
                         seen[i].bpp == seen[j].bpp);
}

TEST_F(SdlDisplay, FullScreenHostModeWithFlipChain) {
    ASSERT_EQ(0, device->register_window_class({"full", record_message}));
    display_window window = nullptr;
    ASSERT_EQ(0, device->create_window({"full", "full", display_window_style::popup, {}}, window));
    display_surface* primary = nullptr;
    EXPECT_EQ(DISPLAY_ERR_NOT_EXCLUSIVE, device->set_display_mode(320, 180, 16));
    EXPECT_EQ(DISPLAY_ERR_NOT_EXCLUSIVE, device->create_flip_chain(1, primary));
    ASSERT_EQ(0, device->set_cooperative_level(window, display_cooperation::exclusive_fullscreen));
    EXPECT_EQ(DISPLAY_ERR_NO_MODE, device->set_display_mode(321, 180, 16));
    ASSERT_EQ(0, device->set_display_mode(320, 180, 16));
    ASSERT_EQ(0, device->create_flip_chain(1, primary));
    display_surface* back = nullptr;
    ASSERT_EQ(0, device->get_back_buffer(primary, back));
    display_pixel_format format;
    ASSERT_EQ(0, device->get_pixel_format(primary, format));
    EXPECT_EQ(16u, format.bpp);
    EXPECT_EQ(0xF800u, format.r_mask);
    display_lock lock;
    ASSERT_EQ(0, device->lock(back, lock));
    EXPECT_EQ(640u, lock.pitch);
    EXPECT_EQ(1u, lock.backbuffers);
    lock.data[0] = 0x1F;
    EXPECT_EQ(DISPLAY_ERR_BUSY, device->flip(primary));
    ASSERT_EQ(0, device->unlock(back));
    ASSERT_EQ(0, device->flip(primary));
    ASSERT_EQ(0, device->lock(primary, lock));
    EXPECT_EQ(0x1F, lock.data[0]);
    ASSERT_EQ(0, device->unlock(primary));
    // The pointer is over the full-screen window: the window hears of it.
    const std::vector<display_message> seen = messages();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const display_message& m) {
        return m.window == window && m.message == DISPLAY_MSG_SETCURSOR;
    }));
    // A lost device loses the surfaces until they are restored.
    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    SDL_PushEvent(&reset);
    messages();
    EXPECT_EQ(DISPLAY_ERR_SURFACE_LOST, device->flip(primary));
    EXPECT_EQ(DISPLAY_ERR_SURFACE_LOST, device->lock(back, lock));
    ASSERT_EQ(0, device->restore(primary));
    EXPECT_EQ(0, device->flip(primary));
    ASSERT_EQ(0, device->restore_display_mode());
    EXPECT_EQ(DISPLAY_ERR_SURFACE_LOST, device->flip(primary)) << "the mode changed back";
    device->release(primary);
    // Hidden over the full-screen window, the pointer comes back when the mode ends.
    device->show_cursor(false);
    EXPECT_EQ(SDL_DISABLE, SDL_ShowCursor(SDL_QUERY));
    device->destroy_window(window);
    EXPECT_EQ(0, device->set_cooperative_level(window, display_cooperation::normal));
    EXPECT_EQ(SDL_ENABLE, SDL_ShowCursor(SDL_QUERY));
}

TEST_F(SdlDisplay, WindowMessagesFromEvents) {
    ASSERT_EQ(0, device->register_window_class({"w", record_message, true}));
    display_window window = nullptr;
    ASSERT_EQ(0, device->create_window(
                     {"w", "messages", display_window_style::framed, {10, 20, 330, 200}}, window));
    display_rect client;
    ASSERT_EQ(0, device->client_rect(window, client));
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(180, client.bottom);
    SDL_Window* shown = sdl_window_titled("messages");
    ASSERT_NE(nullptr, shown);
    messages();

    const Uint32 id = SDL_GetWindowID(shown);
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = id;
    for (SDL_Keycode key : {SDLK_ESCAPE, SDLK_q, SDLK_F1}) {
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
    event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = id;
    for (Uint8 what : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_MINIMIZED,
                       SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_CLOSE}) {
        event.window.event = what;
        SDL_PushEvent(&event);
    }
    event = {};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    const std::vector<std::pair<uint32_t, uintptr_t>> expected = {
        {DISPLAY_MSG_KEYDOWN, DISPLAY_KEY_ESCAPE},
        {DISPLAY_MSG_KEYDOWN, 'Q'},
        {DISPLAY_MSG_KEYDOWN, DISPLAY_KEY_OTHER},
        {DISPLAY_MSG_PAINT, 0},
        {DISPLAY_MSG_SYSCOMMAND, DISPLAY_COMMAND_MINIMIZE},
        {DISPLAY_MSG_ACTIVATEAPP, 0},
        {DISPLAY_MSG_CLOSE, 0},
        {DISPLAY_MSG_CLOSE, 0},
    };
    std::vector<std::pair<uint32_t, uintptr_t>> seen;
    dispatched.clear();
    for (const display_message& m : messages()) {
        EXPECT_EQ(window, m.window);
        seen.push_back({m.message, m.wparam});
        device->dispatch_message(m);
    }
    EXPECT_EQ(expected, seen);
    EXPECT_EQ(expected.size(), dispatched.size());

    device->destroy_window(window);
    EXPECT_EQ(nullptr, sdl_window_titled("messages"));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->client_rect(window, client));
}

TEST_F(SdlDisplay, WindowedBlitOfAnOffscreenPicture) {
    ASSERT_EQ(0, device->register_window_class({"w", record_message, true}));
    display_window window = nullptr;
    ASSERT_EQ(0, device->create_window({"w", "blit", display_window_style::framed, {0, 0, 64, 32}},
                                       window));
    display_surface *primary = nullptr, *picture = nullptr;
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->create_primary(primary)) << "no window has the display";
    ASSERT_EQ(0, device->set_cooperative_level(window, display_cooperation::normal));
    ASSERT_EQ(0, device->create_primary(primary));
    ASSERT_EQ(0, device->create_offscreen(64, 32, picture));
    display_clipper* clipper = nullptr;
    ASSERT_EQ(0, device->create_clipper(clipper));
    ASSERT_EQ(0, device->set_clipper_window(clipper, window));
    ASSERT_EQ(0, device->set_clipper(primary, clipper));
    int32_t x = 0, y = 0;
    ASSERT_EQ(0, device->client_origin(window, x, y));
    EXPECT_EQ(0, device->blit(primary, {x, y, x + 64, y + 32}, picture, {0, 0, 64, 32}));
    EXPECT_EQ(DISPLAY_ERR_INVALID,
              device->blit(primary, {x, y, x + 64, y + 32}, picture, {0, 0, 65, 32}));
    EXPECT_EQ(DISPLAY_ERR_UNSUPPORTED, device->blit(picture, {0, 0, 8, 8}, primary, {0, 0, 8, 8}));
    device->release(picture);
    device->release(primary);
    device->release(clipper);
    device->destroy_window(window);
}

TEST_F(Headless, PresentedPicturesReachTheObserver) {
    std::vector<uint32_t> seen; // first pixel of every presented picture
    headless_display_config().on_present = [&](const display_lock& picture) {
        EXPECT_EQ(2u, picture.width);
        seen.push_back(*reinterpret_cast<const uint32_t*>(picture.data));
    };
    display_surface *picture = nullptr, *other = nullptr, *primary = nullptr;
    ASSERT_EQ(0, device->create_offscreen(2, 2, picture));
    ASSERT_EQ(0, device->create_offscreen(2, 2, other));
    ASSERT_EQ(0, device->create_primary(primary));
    display_lock lock;
    ASSERT_EQ(0, device->lock(picture, lock));
    *reinterpret_cast<uint32_t*>(lock.data) = 7;
    ASSERT_EQ(0, device->unlock(picture));
    ASSERT_EQ(0, device->blit(other, {0, 0, 2, 2}, picture, {0, 0, 2, 2})); // off screen: unseen
    ASSERT_EQ(0, device->blit(primary, {0, 0, 2, 2}, picture, {0, 0, 2, 2}));
    EXPECT_EQ(std::vector<uint32_t>{7}, seen);
    device->release(picture);
    device->release(other);
    device->release(primary);
}

TEST_F(Headless, WindowsGetTheirMessagesInOrder) {
    display_window window = nullptr;
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->create_window({"none", "x", {}, {0, 0, 8, 8}}, window));
    ASSERT_EQ(0, device->register_window_class({"c", record_message, true}));
    display_rect frame{0, 0, 32, 16};
    device->adjust_window_rect(frame, display_window_style::framed);
    EXPECT_EQ(-HEADLESS_FRAME_SIDE, frame.left);
    EXPECT_EQ(-HEADLESS_FRAME_CAPTION, frame.top);
    frame = {10 + frame.left, 20 + frame.top, 10 + frame.right, 20 + frame.bottom};
    ASSERT_EQ(0,
              device->create_window({"c", "caption", display_window_style::framed, frame}, window));
    int32_t x = 0, y = 0;
    display_rect client;
    ASSERT_EQ(0, device->client_origin(window, x, y));
    ASSERT_EQ(0, device->client_rect(window, client));
    EXPECT_EQ(std::make_pair(10, 20), std::make_pair(x, y));
    EXPECT_EQ(32, client.right);
    EXPECT_EQ(16, client.bottom);
    EXPECT_EQ("caption", headless_display_window(window)->caption);

    dispatched.clear();
    headless_display_post(window, DISPLAY_MSG_PAINT);
    headless_display_post(window, DISPLAY_MSG_KEYDOWN, DISPLAY_KEY_ESCAPE, 5);
    display_message message;
    while (device->peek_message(message))
        EXPECT_EQ(intptr_t(message.message) + 1, device->dispatch_message(message));
    ASSERT_EQ(2u, dispatched.size());
    EXPECT_EQ(DISPLAY_MSG_PAINT, dispatched[0].message);
    EXPECT_EQ(DISPLAY_KEY_ESCAPE, dispatched[1].wparam);
    EXPECT_EQ(5, dispatched[1].lparam);

    // Default handling minimises and shows the class's arrow.
    headless_record& record = headless_display_record();
    device->show_cursor(false);
    device->default_window_proc(window, DISPLAY_MSG_SETCURSOR, 0, 0);
    EXPECT_TRUE(record.cursor_shown);
    device->default_window_proc(window, DISPLAY_MSG_SYSCOMMAND, DISPLAY_COMMAND_MINIMIZE, 0);
    EXPECT_TRUE(headless_display_window(window)->minimised);
    EXPECT_EQ(2u, record.defaulted.size());

    // The exclusive window covers the display, in every mode it switches to.
    exclusive();
    ASSERT_EQ(0, device->set_cooperative_level(window, display_cooperation::exclusive_fullscreen));
    ASSERT_EQ(0, device->set_display_mode(32, 24, 16));
    ASSERT_EQ(0, device->client_rect(window, client));
    EXPECT_EQ(32, client.right);
    EXPECT_EQ(24, client.bottom);

    // A window that is gone takes its messages with it, and its handle is refused.
    headless_display_post(window, DISPLAY_MSG_CLOSE);
    EXPECT_EQ(1u, record.live_windows);
    device->destroy_window(window);
    device->destroy_window(window);
    EXPECT_EQ(0u, record.live_windows);
    EXPECT_FALSE(device->peek_message(message));
    EXPECT_EQ(DISPLAY_ERR_INVALID, device->client_rect(window, client));
    EXPECT_EQ(nullptr, headless_display_window(window));
    EXPECT_EQ(0, device->dispatch_message({window, DISPLAY_MSG_PAINT, 0, 0}));
}
