// Runs the demo with the given switches and reports when its first frame was presented; with
// "--first" it ends there, otherwise the demo plays on.
#include <cstdio>
#include <cstring>

#include "demo/driver.h"
#include "elapsed.h"

int main(int argc, char** argv) {
    bool first_only = argc > 1 && std::strcmp(argv[1], "--first") == 0;
    if (first_only) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    demo_options options;
    options.after_pass = [first_only](const demo_pass& pass) {
        if (pass.frame == 0)
            std::fprintf(stderr, "first frame: %.1f ms\n", ms_since_start());
        return !first_only;
    };
    return demo_main(argc, argv, options);
}
