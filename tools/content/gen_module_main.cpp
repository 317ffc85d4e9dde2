// gen_module: writes the soundtrack "zoveta.xm".
//
//   gen_module <out.xm>
#include <cstdio>
#include <exception>

#include "content/score.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: gen_module <out.xm>\n", stderr);
        return 2;
    }
    try {
        if (!xm::save(content::make_song(), argv[1])) {
            std::fprintf(stderr, "gen_module: cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_module: %s\n", e.what());
        return 1;
    }
    return 0;
}
