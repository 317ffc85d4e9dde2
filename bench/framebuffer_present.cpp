// Presenting the demo's 320 x 180 frame: qbx_update + qbx_flip with the message pump (without
// its 1 ms sleep, which costs no work) on the headless display and on SDL's software renderer,
// 32-bit and 16-bit, beside a bare SDL program doing the same: upload, copy, present (and, at 16
// bits, SDL's own conversion first). The full-screen mode draws straight into the primary
// surface, so nothing waits for a vertical blank.
//
// On SDL it draws on the X server of DISPLAY; run it under `xvfb-run -a -s "-screen 0
// 320x180x24"` so that the picture fills the screen 1:1. Without DISPLAY it uses SDL's dummy
// driver, whose present shows nothing.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"
#include "framebuffer/setup.h"
#include "platform/display_headless.h"

namespace {

constexpr int width = 320, height = 180;

void use_software_renderer() {
    setenv("SDL_RENDER_DRIVER", "software", 1);
    if (!std::getenv("DISPLAY"))
        setenv("SDL_VIDEODRIVER", "dummy", 1);
}

std::vector<uint32_t> frame() {
    std::vector<uint32_t> pixels(width * height);
    std::mt19937 random(1234);
    for (uint32_t& p : pixels)
        p = random();
    return pixels;
}

// The setup dialog's choice: the 320 x 180 host mode of the wanted depth, full screen, drawn
// straight into the primary surface, not dithered; picked by the clicks a user would make.
uint32_t wanted_depth = 32;
bool choose_mode(dialog_window& window) {
    dialog_create(window);
    for (size_t i = 0; i < setupmodes.size(); ++i)
        if (setupmodes[i].host.x == width && setupmodes[i].host.bpp == wanted_depth)
            dialog_pick(window, QBX_SETUP_LIST, int32_t(i));
    dialog_click(window, QBX_SETUP_PRIMARY);
    dialog_click(window, QBX_SETUP_RUN);
    return true;
}

void present_frames(benchmark::State& state, const char* backend, uint32_t depth) {
    setenv("DEMO_DISPLAY", backend, 1);
    use_software_renderer();
    headless_display_reset();
    headless_display_config().modes = {{width, height, depth}};
    headless_display_config().desktop = {width, height, 32};
    if (qbx_init(0) != 0) {
        state.SkipWithError("the library does not start");
        return;
    }
    wanted_depth = depth;
    qbx_setup_dialog = choose_mode;
    const int32_t mode = qbx_addmode("bench", width, height, 32, 0, QBX_MODE_SETUP);
    if (mode < 0 || qbx_setmode(mode) != 0) {
        state.SkipWithError("no such mode");
        qbx_done();
        return;
    }
    qbx_surface picture;
    picture.create(width, height, QBX_FORMAT_ARGB8888, 1, 0);
    const std::vector<uint32_t> pixels = frame();
    std::copy(pixels.begin(), pixels.end(), reinterpret_cast<uint32_t*>(picture.data));
    for (auto _ : state) {
        qbx_update(picture, 1);
        qbx_flip(QBX_FLIP_NO_MESSAGES);
        qbx_messageloop(false);
    }
    state.SetItemsProcessed(state.iterations());
    qbx_donemode();
    qbx_done();
    unsetenv("DEMO_DISPLAY");
}

void bare_sdl(benchmark::State& state, Uint32 format) {
    use_software_renderer();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    SDL_Window* window = SDL_CreateWindow("bare", 0, 0, width, height,
                                          SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    SDL_Texture* texture =
        renderer ? SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height)
                 : nullptr;
    if (texture) {
        const std::vector<uint32_t> pixels = frame();
        std::vector<uint8_t> converted(size_t(width) * height * 4);
        const int bytes = SDL_BYTESPERPIXEL(format);
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(renderer, &w, &h);
        const int factor = std::max(1, std::min(w / width, h / height));
        const SDL_Rect to{(w - width * factor) / 2, (h - height * factor) / 2, width * factor,
                          height * factor};
        for (auto _ : state) {
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
            }
            const void* upload = pixels.data();
            if (format != SDL_PIXELFORMAT_RGB888) {
                SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, pixels.data(), width * 4,
                                  format, converted.data(), width * bytes);
                upload = converted.data();
            }
            SDL_UpdateTexture(texture, nullptr, upload, width * bytes);
            SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
            SDL_RenderClear(renderer);
            SDL_RenderCopy(renderer, texture, nullptr, &to);
            SDL_RenderPresent(renderer);
        }
        state.SetItemsProcessed(state.iterations());
    } else {
        state.SkipWithError(SDL_GetError());
    }
    if (texture)
        SDL_DestroyTexture(texture);
    if (renderer)
        SDL_DestroyRenderer(renderer);
    if (window)
        SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void BM_Present_Headless32(benchmark::State& state) {
    present_frames(state, "headless", 32);
}
void BM_Present_Sdl32(benchmark::State& state) {
    present_frames(state, "sdl", 32);
}
void BM_Present_Sdl16(benchmark::State& state) {
    present_frames(state, "sdl", 16);
}
void BM_BareSdl32(benchmark::State& state) {
    bare_sdl(state, SDL_PIXELFORMAT_RGB888);
}
void BM_BareSdl16(benchmark::State& state) {
    bare_sdl(state, SDL_PIXELFORMAT_RGB565);
}

BENCHMARK(BM_Present_Headless32)->UseRealTime();
BENCHMARK(BM_Present_Sdl32)->UseRealTime();
BENCHMARK(BM_BareSdl32)->UseRealTime();
BENCHMARK(BM_Present_Sdl16)->UseRealTime();
BENCHMARK(BM_BareSdl16)->UseRealTime();

} // namespace
