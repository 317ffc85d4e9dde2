// Fuzzes the two kernels whose taps leave their line (the colour-shift glitch and the 2x
// upscaler) with any image size, span, shift, mask and line count. The images are allocated to
// their exact size, so the sanitizer sees any read or write outside them; the fast path must also
// equal the scalar reference.
#include "obj/filter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Reads the fuzzer's bytes as numbers; zeros once they run out.
class reader {
  public:
    reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint32_t u32() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v |= static_cast<uint32_t>(byte()) << (8 * k);
        return v;
    }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

struct image {
    size_t width, height, pitch;
    int span; // 0 none, 1 all rows, 2 the pixels of the picture only
    std::vector<uint8_t> pixels;
    flt_buf slot(int32_t advance) {
        uint8_t* p = pixels.data();
        if (span == 0)
            return {p, advance};
        return {p, advance, p,
                span == 1 ? p + pixels.size() : p + (height - 1) * pitch + 4 * width};
    }
};

image make_image(reader& in, size_t spare_rows) {
    image img;
    img.width = 1 + in.byte() % 48;
    img.height = 1 + in.byte() % 8;
    img.pitch = 4 * (img.width + in.byte() % 3);
    img.span = in.byte() % 3;
    img.pixels.resize((img.height + spare_rows) * img.pitch);
    for (uint8_t& b : img.pixels)
        b = in.byte();
    return img;
}

template <typename Run>
void compare(const image& base, Run run) {
    image a = base, b = base;
    run(a, false);
    run(b, true);
    if (a.pixels != b.pixels)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    reader in(data, size);
    const bool glitch = in.byte() & 1;
    if (glitch) {
        const image img = make_image(in, 0);
        std::vector<flt_rgbsh> table(img.height);
        for (flt_rgbsh& rec : table)
            rec = {in.u32(), 0, static_cast<int32_t>(in.u32()), 0};
        compare(img, [&](image& im, bool fast) {
            flt_buf slots[] = {im.slot(static_cast<int32_t>(im.pitch)), {nullptr, 0}};
            flt_kernel k = detail::flt_rgbshift_avg_t_scalar;
#ifdef __SSE2__
            if (fast)
                k = detail::flt_rgbshift_avg_t_sse2;
#endif
            const fparm chain[] = {{k, 0, 0, 0, reinterpret_cast<uintptr_t>(table.data()), 0, 0,
                                    static_cast<int32_t>(im.width)},
                                   {nullptr, 0, 0, 0, 0, 0, 0, 0}};
            filter(chain, slots, static_cast<int>(im.height));
        });
    } else {
        // one spare row: without a span, odd lines read the line at the slot's pointer
        const image img = make_image(in, 1);
        const int count = static_cast<int>(2 * img.height) - (in.byte() & 1);
        compare(img, [&](image& im, bool fast) {
            std::vector<uint8_t> out(8 * im.width * 2 * im.height);
            flt_buf slots[] = {{out.data(), static_cast<int32_t>(8 * im.width)},
                               im.slot(static_cast<int32_t>(im.pitch / 2)),
                               {nullptr, 0}};
            flt_kernel k = detail::flt_bilinear_2x2_scalar;
#ifdef __SSE2__
            if (fast)
                k = detail::flt_bilinear_2x2_sse2;
#endif
            const fparm chain[] = {{k, 0, 1, 0, im.pitch / 2, 0, 0, static_cast<int32_t>(im.width)},
                                   {nullptr, 0, 0, 0, 0, 0, 0, 0}};
            filter(chain, slots, count);
            im.pixels.insert(im.pixels.end(), out.begin(), out.end());
        });
    }
    return 0;
}
