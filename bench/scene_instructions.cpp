// Runs whole scene frames, from the first track read to the presented picture, for an instruction
// counter (`make instructions`): under
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*run_frames*'
// the count covers the frames alone, after a first frame that registers the tracks.
// Usage: scene_instructions [kaleido0|bitmapdist] [frames]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scene_bench.h"

namespace {

[[gnu::noinline]] void run_frames(part& scene, float time, int frames) {
    for (int f = 0; f < frames; ++f)
        scene.run(time, 0);
}

} // namespace

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "kaleido0";
    const int frames = argc > 2 ? std::atoi(argv[2]) : 10;
    const bool kaleidoscope = std::strcmp(name, "kaleido0") == 0;
    if ((!kaleidoscope && std::strcmp(name, "bitmapdist") != 0) || frames < 1) {
        std::fprintf(stderr, "usage: scene_instructions [kaleido0|bitmapdist] [frames >= 1]\n");
        return 2;
    }
    scene_bench::stage stage;
    part& scene = kaleidoscope ? static_cast<part&>(stage.kaleido) : stage.distortion;
    const float time = kaleidoscope ? scene_bench::kaleido_time : scene_bench::distortion_time;
    scene.run(time, 0);
    run_frames(scene, time, frames);
    return 0;
}
