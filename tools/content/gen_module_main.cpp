// gen_module: writes the soundtrack "zoveta.xm", or lists its sections (name, first bar, bars).
//
//   gen_module <out.xm>
//   gen_module --sections
#include <cstdio>
#include <cstring>
#include <exception>

#include "content/score.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--sections") == 0) {
        for (const content::section& s : content::song_sections())
            std::printf("%s %d %d\n", s.name.c_str(), s.first_bar, s.bars);
        return 0;
    }
    if (argc != 2) {
        std::fputs("usage: gen_module <out.xm>\n       gen_module --sections\n", stderr);
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
