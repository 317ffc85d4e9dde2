// Runs whole kaleidoscope (or bitmap distortion) frames of kernel work for an instruction counter.
// Under
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*run_frames*'
// the count covers the frames alone. On a machine shared with other work the time of a frame
// drifts with the load; its instruction count does not, and the kernels are bound by instruction
// throughput, so the count tells whether a change to a kernel made the frame cheaper.
// Usage: frame_instructions [sse2|scalar] [frames] [kaleidoscope|distortion]
#include "obj_scene.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using frame_fn = void (*)(obj_scene::scene_buffers&, const obj_scene::kernel_set&);

[[gnu::noinline]] void run_frames(frame_fn frame, obj_scene::scene_buffers& b,
                                  const obj_scene::kernel_set& k, int frames) {
    for (int f = 0; f < frames; ++f)
        frame(b, k);
}

} // namespace

int main(int argc, char** argv) {
    const char* set = argc > 1 ? argv[1] : "sse2";
    const int frames = argc > 2 ? std::atoi(argv[2]) : 10;
    const char* kind = argc > 3 ? argv[3] : "kaleidoscope";
    frame_fn frame = nullptr;
    if (std::strcmp(kind, "kaleidoscope") == 0)
        frame = obj_scene::kaleidoscope_frame;
    if (std::strcmp(kind, "distortion") == 0)
        frame = obj_scene::distortion_frame;
    const obj_scene::kernel_set* kernels = nullptr;
    if (std::strcmp(set, "scalar") == 0)
        kernels = &obj_scene::scalar_kernels;
#ifdef __SSE2__
    if (std::strcmp(set, "sse2") == 0)
        kernels = &obj_scene::sse2_kernels;
#endif
    if (!kernels || frames < 1 || !frame) {
        std::fprintf(stderr, "usage: frame_instructions [sse2|scalar] [frames >= 1] "
                             "[kaleidoscope|distortion]\n");
        return 2;
    }
    static obj_scene::scene_buffers buffers;
    run_frames(frame, buffers, *kernels, frames);
    return 0;
}
