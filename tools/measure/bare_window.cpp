// The least an SDL program that shows the demo's picture does: a 320 x 180 window with a
// renderer and a streaming texture, a new picture uploaded and presented once per refresh
// period (waited for with a sleep, as the demo's windowed vertical-blank wait does). Reports when
// its first frame was presented; runs for the given number of seconds (0: ends after it).
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "elapsed.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.0;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("bare window", SDL_WINDOWPOS_CENTERED,
                                          SDL_WINDOWPOS_CENTERED, 320, 180, SDL_WINDOW_RESIZABLE);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                        SDL_TEXTUREACCESS_STREAMING, 320, 180)
                                    : nullptr;
    if (!texture) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        return 1;
    }

    using namespace std::chrono;
    const auto epoch = steady_clock::now();
    const nanoseconds period = nanoseconds(1'000'000'000) / 60;
    std::vector<uint32_t> picture(320 * 180);
    bool quit = false;
    for (uint32_t frame = 0; !quit; ++frame) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            quit |= event.type == SDL_QUIT;
        for (size_t i = 0; i < picture.size(); ++i)
            picture[i] = uint32_t(i + frame) * 0x010101u;
        const nanoseconds since = steady_clock::now() - epoch;
        std::this_thread::sleep_until(epoch + (since / period + 1) * period);
        SDL_UpdateTexture(texture, nullptr, picture.data(), 320 * 4);
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
