#pragma once
// Writes Extended Module (XM) files: the header with speed and tempo, the order list, patterns of
// packed notes, and instruments (volume and panning envelopes, fade-out, auto-vibrato) whose
// samples are stored 8- or 16-bit, delta-coded.
//
// Usage: fill an xm::song (channels, orders, patterns, instruments), then xm::encode it or
// xm::save it to a file. Out-of-range values are refused with std::invalid_argument naming them;
// names longer than their field are cut.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace xm {

constexpr uint8_t no_note = 0;
constexpr uint8_t key_off = 97; // notes 1 to 96 are C-0 to B-7

// Builds a note number: note_number(4, 0) is C-4, the note that plays a sample at its own rate
// (8363 Hz) when its relative note and finetune are 0.
constexpr uint8_t note_number(int octave, int semitone) {
    return uint8_t(octave * 12 + semitone + 1);
}

struct cell {
    uint8_t note = no_note;
    uint8_t instrument = 0; // 1-based; 0 none
    uint8_t volume = 0;     // volume column byte; 0x10 + v sets volume v (0..64); 0 none
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct pattern {
    uint16_t rows = 64;
    std::vector<cell> cells; // rows x channels, row by row; empty means every cell empty

    cell& at(int row, int channel, int channels);
};

enum class loop_type : uint8_t { none = 0, forward = 1, ping_pong = 2 };

struct sample {
    std::string name;
    bool sixteen_bit = false;
    std::vector<int16_t> data; // sample values; for 8-bit samples each must lie in -128..127
    uint32_t loop_start = 0;   // in sample values
    uint32_t loop_length = 0;
    loop_type loop = loop_type::none;
    uint8_t volume = 64; // 0..64
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relative_note = 0;
};

struct envelope_point {
    uint16_t tick = 0; // ticks since the note started, ascending
    uint8_t value = 0; // 0..64: volume, or panning with 32 the centre
};

// Shapes a note over time; an envelope without points is off. A note holds at the sustain point
// until its key-off, then runs on to the end; a loop repeats the points between its two ends.
struct envelope {
    std::vector<envelope_point> points; // at most 12
    int sustain = -1;                   // point index, -1 none
    int loop_start = -1;                // point indices, -1 none
    int loop_end = -1;
};

enum class vibrato_wave : uint8_t { sine = 0, square = 1, ramp_down = 2, ramp_up = 3 };

// Pitch vibrato the instrument adds to every note by itself, reaching full depth after `sweep`
// ticks.
struct auto_vibrato {
    vibrato_wave wave = vibrato_wave::sine;
    uint8_t sweep = 0;
    uint8_t depth = 0; // 0..15
    uint8_t rate = 0;  // 0..63
};

// An instrument plays its first sample on every note.
struct instrument {
    instrument() = default;
    instrument(std::string name_, std::vector<sample> samples_)
        : name(std::move(name_)), samples(std::move(samples_)) {}

    std::string name;
    std::vector<sample> samples; // at most 16
    envelope volume_envelope;
    envelope panning_envelope;
    uint16_t fadeout = 0; // after key-off the volume falls by fadeout / 32768 per tick; 0 never
    auto_vibrato vibrato;
};

struct song {
    std::string name;
    uint16_t channels = 4; // 1..32
    uint16_t restart = 0;  // order the song loops back to
    uint16_t speed = 6;    // ticks per row, 1..31
    uint16_t bpm = 125;    // 32..255; a tick lasts 2.5 / bpm seconds
    bool linear_frequencies = true;
    std::vector<uint8_t> orders; // 1..256 pattern numbers
    std::vector<pattern> patterns;
    std::vector<instrument> instruments; // at most 128
};

// The file's bytes. Throws std::invalid_argument for a song it cannot write.
std::vector<uint8_t> encode(const song& s);

// Writes the file; false when it cannot be written. Throws like encode.
bool save(const song& s, const std::string& path);

} // namespace xm
