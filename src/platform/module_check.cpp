#include "platform/module_check.h"

#include <cstring>

namespace {

constexpr char xm_signature[] = "Extended Module: ";
constexpr size_t xm_signature_length = sizeof xm_signature - 1;
constexpr uint8_t xm_adpcm_marker = 0xAD; // 4-bit ADPCM sample data
constexpr uint8_t xm_sixteen_bit = 0x10;
constexpr uint32_t xm_sample_header_size = 40;

// Reads little-endian fields; any read past the end marks the walk as failed.
class reader {
  public:
    reader(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool fits(uint64_t pos, uint64_t length) const { return pos <= size && length <= size - pos; }
    uint32_t u8(uint64_t pos) { return fits(pos, 1) ? data[pos] : fail(); }
    uint32_t u16(uint64_t pos) { return fits(pos, 2) ? data[pos] | data[pos + 1] << 8 : fail(); }
    uint32_t u32(uint64_t pos) { return fits(pos, 4) ? u16(pos) | u16(pos + 2) << 16 : fail(); }
    bool ok = true;

  private:
    uint32_t fail() {
        ok = false;
        return 0;
    }
    const uint8_t* data;
    size_t size;
};

} // namespace

bool module_data_complete(const uint8_t* data, size_t size) {
    if (size < xm_signature_length || std::memcmp(data, xm_signature, xm_signature_length) != 0)
        return true;
    reader in(data, size);
    const uint32_t patterns = in.u16(70);
    const uint32_t instruments = in.u16(72);
    uint64_t pos = 60 + uint64_t(in.u32(60));
    for (uint32_t p = 0; p < patterns && in.ok; ++p)
        pos += uint64_t(in.u32(pos)) + in.u16(pos + 7); // header, then packed data
    for (uint32_t i = 0; i < instruments && in.ok; ++i) {
        const uint32_t samples = in.u16(pos + 27);
        const uint32_t sample_header_size = samples ? in.u32(pos + 29) : 0;
        if (!in.ok)
            break;
        if (samples && sample_header_size != xm_sample_header_size)
            return true; // not laid out as usual: the decoder judges it
        pos += in.u32(pos);
        uint64_t sample_bytes = 0;
        for (uint32_t s = 0; s < samples && in.ok; ++s) {
            const uint64_t header = pos + uint64_t(s) * sample_header_size;
            const uint64_t length = in.u32(header);
            const bool adpcm =
                in.u8(header + 17) == xm_adpcm_marker && !(in.u8(header + 14) & xm_sixteen_bit);
            sample_bytes += adpcm ? 16 + (length + 1) / 2 : length;
        }
        pos += uint64_t(samples) * sample_header_size + sample_bytes;
    }
    return in.ok && in.fits(pos, 0);
}
