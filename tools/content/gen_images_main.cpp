// gen_images: paints the production's images into a folder (created when missing).
//
//   gen_images <folder>
#include <cstdio>
#include <filesystem>

#include "content/images.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: gen_images <folder>\n", stderr);
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(argv[1], error);
    if (!content::write_images(argv[1])) {
        std::fprintf(stderr, "gen_images: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
