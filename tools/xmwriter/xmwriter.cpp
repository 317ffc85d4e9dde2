#include "xmwriter/xmwriter.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace xm {

namespace {

// Sizes of the fixed records, counted from their own size field.
constexpr uint32_t song_header_size = 276;
constexpr uint32_t pattern_header_size = 9;
constexpr uint32_t instrument_header_size = 263;
constexpr uint32_t empty_instrument_header_size = 29;
constexpr uint32_t sample_header_size = 40;

// Packed cells start with a byte whose top bit is set; the low five bits say which fields follow.
constexpr uint8_t packed = 0x80;

void require(bool ok, const char* what) {
    if (!ok)
        throw std::invalid_argument(std::string("xm: ") + what);
}

class byte_writer {
  public:
    std::vector<uint8_t> bytes;

    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    // A fixed-width text field, cut or padded with `pad`.
    void text(const std::string& s, size_t width, uint8_t pad = 0) {
        for (size_t i = 0; i < width; ++i)
            u8(i < s.size() ? uint8_t(s[i]) : pad);
    }
};

bool point_index(int index, const envelope& e) {
    return index == -1 || (index >= 0 && size_t(index) < e.points.size());
}

void check_envelope(const envelope& e) {
    require(e.points.size() <= 12, "an envelope can have at most 12 points");
    for (size_t i = 0; i < e.points.size(); ++i) {
        require(e.points[i].value <= 64, "an envelope value must be 0..64");
        require(i == 0 || e.points[i].tick > e.points[i - 1].tick,
                "envelope points must come in ascending ticks");
    }
    require(point_index(e.sustain, e) && point_index(e.loop_start, e) && point_index(e.loop_end, e),
            "an envelope's sustain and loop must name its points");
    require((e.loop_start == -1) == (e.loop_end == -1) && e.loop_start <= e.loop_end,
            "an envelope loop needs a start point no later than its end point");
}

void check_song(const song& s) {
    require(s.channels >= 1 && s.channels <= 32, "channels must be 1..32");
    require(!s.orders.empty() && s.orders.size() <= 256, "the order list needs 1..256 entries");
    require(s.restart < s.orders.size(), "restart must name an entry of the order list");
    require(s.speed >= 1 && s.speed <= 31, "speed must be 1..31 ticks per row");
    require(s.bpm >= 32 && s.bpm <= 255, "bpm must be 32..255");
    require(!s.patterns.empty() && s.patterns.size() <= 256, "there must be 1..256 patterns");
    for (uint8_t order : s.orders)
        require(order < s.patterns.size(), "an order names a missing pattern");
    require(s.instruments.size() <= 128, "there can be at most 128 instruments");
    for (const instrument& ins : s.instruments) {
        check_envelope(ins.volume_envelope);
        check_envelope(ins.panning_envelope);
        require(ins.vibrato.wave <= vibrato_wave::ramp_up && ins.vibrato.depth <= 15 &&
                    ins.vibrato.rate <= 63,
                "auto-vibrato needs a known wave, depth 0..15 and rate 0..63");
    }
    for (const pattern& p : s.patterns) {
        require(p.rows >= 1 && p.rows <= 256, "a pattern must have 1..256 rows");
        require(p.cells.empty() || p.cells.size() == size_t(p.rows) * s.channels,
                "a pattern must hold rows x channels cells");
        for (const cell& c : p.cells) {
            require(c.note <= key_off, "a note must be 0..97");
            require(c.instrument <= s.instruments.size(), "a cell names a missing instrument");
        }
    }
    for (const instrument& ins : s.instruments) {
        require(ins.samples.size() <= 16, "an instrument can hold at most 16 samples");
        for (const sample& smp : ins.samples) {
            require(smp.volume <= 64, "a sample volume must be 0..64");
            require(smp.data.size() <= (smp.sixteen_bit ? 0x7FFFFFFFu : 0xFFFFFFFFu),
                    "a sample is too long");
            require(smp.loop_start <= smp.data.size() &&
                        smp.loop_length <= smp.data.size() - smp.loop_start,
                    "a sample loop must lie inside the sample");
            require(smp.loop == loop_type::none || smp.loop_length > 0,
                    "a looping sample needs a loop length");
            if (!smp.sixteen_bit)
                for (int16_t v : smp.data)
                    require(v >= -128 && v <= 127, "an 8-bit sample value must be -128..127");
        }
    }
}

void write_header(byte_writer& out, const song& s) {
    out.text("Extended Module: ", 17);
    out.text(s.name, 20, ' ');
    out.u8(0x1A);
    out.text("xmwriter", 20, ' ');
    out.u16(0x0104);
    out.u32(song_header_size);
    out.u16(uint16_t(s.orders.size()));
    out.u16(s.restart);
    out.u16(s.channels);
    out.u16(uint16_t(s.patterns.size()));
    out.u16(uint16_t(s.instruments.size()));
    out.u16(s.linear_frequencies ? 1 : 0);
    out.u16(s.speed);
    out.u16(s.bpm);
    for (size_t i = 0; i < 256; ++i)
        out.u8(i < s.orders.size() ? s.orders[i] : 0);
}

// A cell with every field present is stored as five plain bytes; any other cell as a flag byte
// followed by the fields it has.
void write_cell(byte_writer& out, const cell& c) {
    const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
    uint8_t mask = 0;
    for (int i = 0; i < 5; ++i)
        if (fields[i] != 0)
            mask |= uint8_t(1 << i);
    if (mask == 0x1F) {
        for (uint8_t f : fields)
            out.u8(f);
        return;
    }
    out.u8(packed | mask);
    for (int i = 0; i < 5; ++i)
        if (mask & (1 << i))
            out.u8(fields[i]);
}

void write_pattern(byte_writer& out, const pattern& p, uint16_t channels) {
    byte_writer data;
    const size_t cells = size_t(p.rows) * channels;
    for (size_t i = 0; i < cells; ++i)
        write_cell(data, p.cells.empty() ? cell{} : p.cells[i]);
    require(data.bytes.size() <= 0xFFFF, "a pattern's packed data exceeds 65535 bytes");
    out.u32(pattern_header_size);
    out.u8(0); // packing type
    out.u16(p.rows);
    out.u16(uint16_t(data.bytes.size()));
    out.bytes.insert(out.bytes.end(), data.bytes.begin(), data.bytes.end());
}

void write_sample_header(byte_writer& out, const sample& smp) {
    const uint32_t unit = smp.sixteen_bit ? 2 : 1; // lengths are stored in bytes
    out.u32(uint32_t(smp.data.size()) * unit);
    out.u32(smp.loop_start * unit);
    out.u32(smp.loop_length * unit);
    out.u8(smp.volume);
    out.u8(uint8_t(smp.finetune));
    out.u8(uint8_t(uint8_t(smp.loop) | (smp.sixteen_bit ? 0x10 : 0)));
    out.u8(smp.panning);
    out.u8(uint8_t(smp.relative_note));
    out.u8(0); // reserved
    out.text(smp.name, 22);
}

// Each value is stored as its difference to the previous one (the first to 0), wrapping.
void write_sample_data(byte_writer& out, const sample& smp) {
    int16_t previous = 0;
    for (int16_t v : smp.data) {
        const uint16_t delta = uint16_t(uint16_t(v) - uint16_t(previous));
        if (smp.sixteen_bit)
            out.u16(delta);
        else
            out.u8(uint8_t(delta));
        previous = v;
    }
}

void write_envelope_points(byte_writer& out, const envelope& e) {
    for (size_t i = 0; i < 12; ++i) {
        const envelope_point p = i < e.points.size() ? e.points[i] : envelope_point{};
        out.u16(p.tick);
        out.u16(p.value);
    }
}

void write_envelope_marks(byte_writer& out, const envelope& e) {
    out.u8(uint8_t(std::max(e.sustain, 0)));
    out.u8(uint8_t(std::max(e.loop_start, 0)));
    out.u8(uint8_t(std::max(e.loop_end, 0)));
}

// Bit 0: on, bit 1: sustain, bit 2: loop.
uint8_t envelope_flags(const envelope& e) {
    if (e.points.empty())
        return 0;
    return uint8_t(1 | (e.sustain >= 0 ? 2 : 0) | (e.loop_start >= 0 ? 4 : 0));
}

void write_instrument(byte_writer& out, const instrument& ins) {
    if (ins.samples.empty()) {
        out.u32(empty_instrument_header_size);
        out.text(ins.name, 22);
        out.u8(0); // type
        out.u16(0);
        return;
    }
    out.u32(instrument_header_size);
    out.text(ins.name, 22);
    out.u8(0);
    out.u16(uint16_t(ins.samples.size()));
    out.u32(sample_header_size);
    out.zeros(96); // every note plays sample 0
    write_envelope_points(out, ins.volume_envelope);
    write_envelope_points(out, ins.panning_envelope);
    out.u8(uint8_t(ins.volume_envelope.points.size()));
    out.u8(uint8_t(ins.panning_envelope.points.size()));
    write_envelope_marks(out, ins.volume_envelope);
    write_envelope_marks(out, ins.panning_envelope);
    out.u8(envelope_flags(ins.volume_envelope));
    out.u8(envelope_flags(ins.panning_envelope));
    out.u8(uint8_t(ins.vibrato.wave));
    out.u8(ins.vibrato.sweep);
    out.u8(ins.vibrato.depth);
    out.u8(ins.vibrato.rate);
    out.u16(ins.fadeout);
    out.zeros(22); // reserved
    for (const sample& smp : ins.samples)
        write_sample_header(out, smp);
    for (const sample& smp : ins.samples)
        write_sample_data(out, smp);
}

} // namespace

cell& pattern::at(int row, int channel, int channels) {
    cells.resize(size_t(rows) * size_t(channels));
    require(row >= 0 && row < rows && channel >= 0 && channel < channels,
            "a cell lies outside its pattern");
    return cells[size_t(row) * size_t(channels) + size_t(channel)];
}

std::vector<uint8_t> encode(const song& s) {
    check_song(s);
    byte_writer out;
    write_header(out, s);
    for (const pattern& p : s.patterns)
        write_pattern(out, p, s.channels);
    for (const instrument& ins : s.instruments)
        write_instrument(out, ins);
    return out.bytes;
}

bool save(const song& s, const std::string& path) {
    const std::vector<uint8_t> bytes = encode(s);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

} // namespace xm
