// Feeds arbitrary bytes to both TGA paths as a file. Contract: every result is one of the codes,
// and the data steps stay inside exactly the rows they were given (the sanitizers watch the
// buffers, which are allocated to the byte).
#include "obj/tgaload.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& scratch_path() {
    static const std::string path = "/tmp/fuzz-tga-" + std::to_string(getpid()) + ".tga";
    return path;
}

void check_code(int code) {
    if (code < TGA_OK || code > TGA_BAD_FORMAT)
        std::abort();
}

// Keeps one run's memory bounded; the loaders accept any 16-bit size.
constexpr size_t max_pixels = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = scratch_path();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    tga_header h;
    int code = tga_load_header(path.c_str(), &h);
    check_code(code);
    if (code == TGA_OK && size_t(h.width) * h.height <= max_pixels) {
        const unsigned pitch = h.width * 4 + (size & 8); // sometimes wider than a row
        std::vector<uint8_t> pixels(size_t(pitch) * h.height);
        check_code(tga_load_data(path.c_str(), &h, reinterpret_cast<uint32_t*>(pixels.data()),
                                 (size & 1) ? TGA_TOP_DOWN : TGA_BOTTOM_UP, pitch));
    }
    code = tga_load8_header(path.c_str(), &h);
    check_code(code);
    if (code == TGA_OK && size_t(h.width) * h.height <= max_pixels) {
        std::vector<uint8_t> pixels(size_t(h.width) * h.height);
        std::vector<uint32_t> palette(256);
        check_code(tga_load8_data(path.c_str(), &h, pixels.data(), palette.data(),
                                  (size & 2) ? TGA_TOP_DOWN : TGA_BOTTOM_UP, 0));
    }
    return 0;
}
