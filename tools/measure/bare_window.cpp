// The least an SDL program that shows the demo's picture does: a 320 x 180 window with a renderer
// and a streaming texture, a new picture uploaded and presented once per refresh period (waited
// for with a sleep, as the demo's vertical-blank wait does). With --fullscreen it covers the
// display as the demo's full-screen modes do (the same window calls, the 320 x 240 host mode
// that "auto" picks, scaled to the desktop).
// Reports when its first frame was presented; runs for the given number of seconds (0: ends
// after it).
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "elapsed.h"

int main(int argc, char** argv) {
    const bool fullscreen = argc > 1 && std::strcmp(argv[1], "--fullscreen") == 0;
    const double seconds = argc > 1 + fullscreen ? std::atof(argv[1 + fullscreen]) : 0.0;
    const int width = 320, height = fullscreen ? 240 : 180;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window =
        fullscreen ? SDL_CreateWindow("bare window", 0, 0, 1, 1, SDL_WINDOW_BORDERLESS)
                   : SDL_CreateWindow("bare window", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      width, height, SDL_WINDOW_RESIZABLE);
    SDL_Rect bounds;
    if (window && fullscreen && SDL_GetDisplayBounds(0, &bounds) == 0) {
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                        SDL_TEXTUREACCESS_STREAMING, width, height)
                                    : nullptr;
    if (!texture) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        return 1;
    }

    using namespace std::chrono;
    const auto epoch = steady_clock::now();
    const nanoseconds period = nanoseconds(1'000'000'000) / 60;
    std::vector<uint32_t> picture(size_t(width) * height);
    bool quit = false;
    for (uint32_t frame = 0; !quit; ++frame) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            quit |= event.type == SDL_QUIT;
        for (size_t i = 0; i < picture.size(); ++i)
            picture[i] = uint32_t(i + frame) * 0x010101u;
        const nanoseconds since = steady_clock::now() - epoch;
        std::this_thread::sleep_until(epoch + (since / period + 1) * period);
        SDL_UpdateTexture(texture, nullptr, picture.data(), width * 4);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
        if (frame == 0)
            std::fprintf(stderr, "first frame: %.1f ms\n", ms_since_start());
        quit |= steady_clock::now() - epoch >= duration<double>(seconds);
    }
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
