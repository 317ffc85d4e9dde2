#include "content/score.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "content/instruments.h"

namespace content {

namespace {

enum channel : int {
    ch_kick,
    ch_snare,
    ch_hat,
    ch_open_hat,
    ch_crash,
    ch_bass,
    ch_pad, // six: two sets of three voices taking turns bar by bar, so that releases overlap
    ch_pluck = ch_pad + 6,
    ch_pluck_echo,
    ch_lead,
    ch_lead_echo,
    ch_harmony,
    ch_bell,
    channel_count
};

// Stereo position of each channel, 0 left to 255 right.
constexpr uint8_t channel_pan[channel_count] = {128, 128, 150, 100, 128, 128, 64, 128, 192,
                                                80,  140, 176, 96,  168, 128, 76, 180, 160};

// Every note's volume is raised by this (up to the tracker's 64) when the cells are written: the
// levels in the score are the balance, this sets the loudness of the whole mix.
constexpr double mix_gain = 1.25;

constexpr uint8_t effect_set_panning = 0x08;

constexpr uint8_t drum_note = xm::note_number(4, 0); // drum samples play at their own rate

struct event {
    int row;
    int channel;
    uint8_t note;
    uint8_t instrument;
    int volume; // 0..64, or -1 for none
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct chord {
    int root; // pitch class, 0 = C
    bool minor;
};

int pitch_class(int note) {
    return (note - 1) % 12;
}

bool in_chord(int note, chord c) {
    const int interval = (pitch_class(note) - c.root + 12) % 12;
    return interval == 0 || interval == 7 || interval == (c.minor ? 3 : 4);
}

// The chord's notes from `low` to `high`, ascending.
std::vector<int> chord_notes(chord c, int low, int high) {
    std::vector<int> notes;
    for (int n = low; n <= high; ++n)
        if (in_chord(n, c))
            notes.push_back(n);
    return notes;
}

// "D5", "A#4": a note name with an optional sharp and the octave.
int parse_note(const std::string& name) {
    static const int semitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G')
        throw std::invalid_argument("score: bad note " + name);
    const bool sharp = name[1] == '#';
    const int octave = name[sharp ? 2 : 1] - '0';
    return xm::note_number(octave, semitones[name[0] - 'A'] + (sharp ? 1 : 0));
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// Volume characters of drum lines: accent, normal, soft, ghost.
int drum_volume(char c) {
    switch (c) {
    case 'X':
        return 64;
    case 'x':
        return 46;
    case 'o':
        return 30;
    case 'g':
        return 18;
    default:
        return 0;
    }
}

class arrangement {
  public:
    explicit arrangement(std::vector<chord> bar_chords) : chords(std::move(bar_chords)) {}

    void note(int row, int ch, int note, uint8_t ins, int volume) {
        events.push_back({row, ch, uint8_t(note), ins, std::clamp(volume, 0, 64)});
    }
    void off(int row, int ch) { events.push_back({row, ch, xm::key_off, 0, -1}); }
    void effect(int row, int ch, uint8_t effect, uint8_t param) {
        events.push_back({row, ch, xm::no_note, 0, -1, effect, param});
    }

    const chord& chord_at(int bar) const { return chords[size_t(bar)]; }

    // One bar of a drum line: 16 characters a sixteenth each, or 32 a row each.
    void drums(int bar, int ch, uint8_t ins, const std::string& line, int level) {
        const int step = rows_per_bar / int(line.size());
        for (size_t i = 0; i < line.size(); ++i)
            if (int v = drum_volume(line[i]))
                note(bar * rows_per_bar + int(i) * step, ch, drum_note, ins, v * level / 64);
    }

    // One bar of bass, a sixteenth per character: R root, O octave, F fifth, '.' hold, '_' off.
    void bass_line(int bar, const std::string& line, int level) {
        const chord& c = chord_at(bar);
        int root = xm::note_number(1, 7); // the root between G-1 and F#2
        while (pitch_class(root) != c.root)
            ++root;
        for (size_t i = 0; i < line.size(); ++i) {
            const int row = bar * rows_per_bar + int(i) * 2;
            const char k = line[i];
            if (k == '_')
                off(row, ch_bass);
            else if (k != '.')
                note(row, ch_bass, root + (k == 'O' ? 12 : k == 'F' ? 7 : 0), bass, level);
        }
    }

    // The chord's three notes between F-3 and E-4, held for `bars`; the other set of pad channels
    // is released at the same moment.
    void pad_chord(int bar, int level, int bars = 1) {
        const int row = bar * rows_per_bar;
        const int set = bar % 2;
        const std::vector<int> voicing =
            chord_notes(chord_at(bar), xm::note_number(3, 5), xm::note_number(4, 4));
        for (int i = 0; i < 3; ++i) {
            off(row, ch_pad + 3 * (1 - set) + i);
            note(row, ch_pad + 3 * set + i, voicing[size_t(i)], pad, level);
            if (bars > 1)
                off(row + bars * rows_per_bar, ch_pad + 3 * set + i);
        }
    }
    void release_pads(int row) {
        for (int i = 0; i < 6; ++i)
            off(row, ch_pad + i);
    }

    // One bar of arpeggio over the chord's notes from A-3 up, a sixteenth per digit (the index of
    // the note), '.' holding.
    void arpeggio(int bar, const std::string& line, int level) {
        const std::vector<int> tones =
            chord_notes(chord_at(bar), xm::note_number(3, 9), xm::note_number(5, 9));
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '.')
                continue;
            const int accent = i % 4 == 0 ? 64 : i % 2 == 0 ? 52 : 44;
            note(bar * rows_per_bar + int(i) * 2, ch_pluck, tones[size_t(line[i] - '0')], pluck,
                 level * accent / 64);
        }
    }

    // A melody from `bar` on, an eighth note (4 rows) per word: a note name, '.' to hold, '_' to
    // release; moved up by `transpose` semitones.
    void melody(int bar, int ch, uint8_t ins, int level, const std::string& text,
                int transpose = 0) {
        int row = bar * rows_per_bar;
        for (const std::string& w : words(text)) {
            if (w == "_")
                off(row, ch);
            else if (w != ".")
                note(row, ch, parse_note(w) + transpose, ins, level);
            row += 4;
        }
    }

    // Notes and releases of one channel between two rows, played again `delay` rows later on
    // another channel, quieter: an echo on the other side of the stereo picture.
    void echo(int from, int to, int first_row, int end_row, int delay, double gain) {
        std::vector<event> copies;
        for (const event& e : events)
            if (e.channel == from && e.row >= first_row && e.row < end_row && e.note != 0) {
                event c = e;
                c.channel = to;
                c.row += delay;
                if (c.volume >= 0)
                    c.volume = int(std::lround(c.volume * gain));
                copies.push_back(c);
            }
        events.insert(events.end(), copies.begin(), copies.end());
    }

    // Under every note of the lead between two rows, the highest note of the bar's chord at least
    // a minor third below it.
    void harmonise(int first_row, int end_row, int level) {
        std::vector<event> voices;
        for (const event& e : events) {
            if (e.channel != ch_lead || e.row < first_row || e.row >= end_row || e.note == 0)
                continue;
            event v = e;
            v.channel = ch_harmony;
            if (e.note != xm::key_off) {
                const std::vector<int> below =
                    chord_notes(chord_at(e.row / rows_per_bar), e.note - 24, e.note - 3);
                v.note = uint8_t(below.back());
                v.volume = level;
            }
            voices.push_back(v);
        }
        events.insert(events.end(), voices.begin(), voices.end());
    }

    xm::song song(int bars) const {
        xm::song s;
        s.name = "zoveta";
        s.channels = channel_count;
        s.speed = ticks_per_row;
        s.bpm = uint16_t(rows_per_second * 2.5 * ticks_per_row);
        const int patterns = bars * rows_per_bar / rows_per_pattern;
        s.patterns.resize(size_t(patterns));
        for (int p = 0; p < patterns; ++p)
            s.orders.push_back(uint8_t(p));
        // Later events win over earlier ones on the same cell, field by field.
        for (const event& e : events) {
            if (e.row < 0 || e.row >= patterns * rows_per_pattern)
                throw std::logic_error("score: an event outside the song");
            xm::cell& c = s.patterns[size_t(e.row / rows_per_pattern)].at(e.row % rows_per_pattern,
                                                                          e.channel, channel_count);
            if (e.note) {
                c.note = e.note;
                c.instrument = e.instrument;
            }
            if (e.volume >= 0)
                c.volume = uint8_t(0x10 + std::min(64L, std::lround(e.volume * mix_gain)));
            if (e.effect) {
                c.effect = e.effect;
                c.param = e.param;
            }
        }
        // Each note starts at its channel's place in the stereo picture.
        for (xm::pattern& p : s.patterns)
            for (int row = 0; row < rows_per_pattern; ++row)
                for (int ch = 0; ch < channel_count; ++ch) {
                    xm::cell& c = p.at(row, ch, channel_count);
                    if (c.instrument && c.effect == 0) {
                        c.effect = effect_set_panning;
                        c.param = channel_pan[ch];
                    }
                }
        s.instruments = make_instruments();
        return s;
    }

  private:
    std::vector<chord> chords;
    std::vector<event> events;
};

// Chords of D minor: i, iv, V (harmonic minor), VI, III, VII.
constexpr chord Dm{2, true}, Gm{7, true}, A{9, false}, Bb{10, false}, F{5, false}, C{0, false};

const std::vector<chord> main_progression = {Dm, Bb, F, C};
const std::vector<chord> bridge_progression = {Gm, Bb, F, A};
const std::vector<chord> rise_progression = {Gm, Bb, C, A};

// The hook, eight bars over the main progression twice.
const char* const hook[8] = {
    "D5 . F5 . A5 . G5 F5", "F5 . D5 . . . A4 .",   "C5 . F5 . A5 . C6 .", "A5 . G5 . . . E5 .",
    "D5 . F5 . A5 . G5 F5", "F5 . D6 . . . C6 A#5", "A5 . . . C6 . A5 .",  "G5 . . . E5 . _ .",
};
// The second theme, over the bridge progression.
const char* const bridge_theme[8] = {
    "A#5 . . . A5 . G5 .", "F5 . . . D5 . F5 .",   "A5 . . . C6 . A5 .",  "G5 . . . E5 . C#5 .",
    "D6 . . . A#5 . G5 .", "A#5 . A5 . F5 . D5 .", "C5 . F5 . A5 . C6 .", "C#6 . . . . . _ .",
};

const std::string arp_line = "0241352402413542";
const std::string half_arp = "0.2.4.2.1.3.5.3.";

} // namespace

const std::vector<section>& song_sections() {
    static const std::vector<section> sections = {
        {"intro", 0, 8},    {"build", 8, 8},      {"theme", 16, 16},
        {"bridge", 32, 8},  {"breakdown", 40, 8}, {"rise", 48, 4},
        {"climax", 52, 16}, {"tag", 68, 4},       {"outro", 72, 16},
    };
    return sections;
}

int song_bars() {
    const section& last = song_sections().back();
    return last.first_bar + last.bars;
}

xm::song make_song() {
    std::vector<chord> chords;
    auto add = [&](const std::vector<chord>& progression, int times) {
        for (int i = 0; i < times; ++i)
            chords.insert(chords.end(), progression.begin(), progression.end());
    };
    add(main_progression, 8);                     // intro, build, theme: bars 0-31
    add(bridge_progression, 2);                   // bridge: 32-39
    add(main_progression, 2);                     // breakdown: 40-47
    add(rise_progression, 1);                     // rise: 48-51
    add(main_progression, 4);                     // climax: 52-67
    add(rise_progression, 1);                     // climax tag: 68-71
    add(main_progression, 3);                     // outro: 72-83
    chords.insert(chords.end(), {Bb, C, Dm, Dm}); // final cadence: 84-87
    arrangement a(chords);
    const int end_row = song_bars() * rows_per_bar;

    // Intro, bars 0-7: the chords swell in alone; the arpeggio and the hook on a bell join.
    for (int bar = 0; bar < 8; ++bar)
        a.pad_chord(bar, std::min(34, 18 + 4 * bar));
    for (int bar = 4; bar < 8; ++bar) {
        a.arpeggio(bar, half_arp, 10 + 3 * (bar - 4));
        a.melody(bar, ch_bell, bell, 26, hook[bar - 4]);
    }
    a.note(7 * rows_per_bar, ch_crash, drum_note, reverse_crash, 34);

    // Build, bars 8-15: the drums come in step by step over a pulsing bass.
    for (int bar = 8; bar < 16; ++bar) {
        const bool second_half = bar >= 12;
        a.pad_chord(bar, 34);
        a.arpeggio(bar, arp_line, 18 + bar - 8);
        a.bass_line(bar, second_half ? "R.....R._R......" : "R.......R.......", 36 + bar - 8);
        a.drums(bar, ch_kick, kick, second_half ? "X.........X....." : "X.......X.......", 60);
        a.drums(bar, ch_hat, closed_hat, second_half ? "o.x.o.x.o.x.o.x." : "g.o.g.o.g.o.g.o.", 48);
        if (bar >= 12 && bar < 15)
            a.drums(bar, ch_snare, snare, "........X.......", 56);
    }
    a.drums(15, ch_snare, snare, "....o.o.x.x.xxxxXXXXXXXXXXXXXXXX", 52);
    a.note(8 * rows_per_bar, ch_crash, drum_note, crash, 40);
    a.note(15 * rows_per_bar, ch_crash, drum_note, reverse_crash, 44);

    // Theme, bars 16-31: the hook over the full beat, then again with a new turn at its end.
    const char* const theme_kick[2] = {"X.........X.....", "X.........X...x."};
    // The theme's and the bridge's band: chords, arpeggio, bass, kick and snare.
    auto full_band = [&](int bar) {
        a.pad_chord(bar, 27);
        a.arpeggio(bar, arp_line, 20);
        a.bass_line(bar, "R.....R._R.O.._.", 44);
        a.drums(bar, ch_kick, kick, theme_kick[bar % 2], 64);
        a.drums(bar, ch_snare, snare, "....X.......X..g", 56);
    };
    for (int bar = 16; bar < 32; ++bar) {
        full_band(bar);
        a.drums(bar, ch_hat, closed_hat, "o.x.o.x.o.x.o.x.", 50);
        if (bar % 2)
            a.drums(bar, ch_open_hat, open_hat, "..............o.", 40);
        const int line = (bar - 16) % 8;
        a.melody(bar, ch_lead, lead, 56, bar == 31 ? "G5 . . . E5 . F5 G5" : hook[line]);
    }
    a.drums(31, ch_snare, snare, "....X.......XxXX", 56);
    a.note(16 * rows_per_bar, ch_crash, drum_note, crash, 48);
    a.note(24 * rows_per_bar, ch_crash, drum_note, crash, 40);

    // Bridge, bars 32-39: the second theme over iv - VI - III - V, open hats on the off-beats.
    for (int bar = 32; bar < 40; ++bar) {
        full_band(bar);
        a.drums(bar, ch_hat, closed_hat, "o.x.o.x.o.x.o.x.", 46);
        a.drums(bar, ch_open_hat, open_hat, "..o...o...o...o.", 32);
        a.melody(bar, ch_lead, lead, 56, bridge_theme[bar - 32]);
    }
    a.drums(39, ch_snare, snare, "....X...xxxxXXXX", 56);
    a.note(32 * rows_per_bar, ch_crash, drum_note, crash, 44);

    // Breakdown, bars 40-47: no drums; the hook on the bell over long bass notes, soft hats at
    // the end.
    a.note(40 * rows_per_bar, ch_crash, drum_note, crash, 40);
    a.note(40 * rows_per_bar, ch_kick, drum_note, kick, 56);
    for (int bar = 40; bar < 48; ++bar) {
        a.pad_chord(bar, 34);
        a.arpeggio(bar, half_arp, 16);
        a.bass_line(bar, "R...............", 34);
        a.melody(bar, ch_bell, bell, 40, hook[bar - 40]);
        if (bar >= 46)
            a.drums(bar, ch_hat, closed_hat, "g.o.g.o.g.o.g.o.", 48);
    }
    a.echo(ch_bell, ch_lead_echo, 40 * rows_per_bar, 48 * rows_per_bar, 6, 0.45);

    // Rise, bars 48-51: kick on every beat, the snare doubling its speed bar by bar, a line
    // climbing to the leading tone.
    const char* const rise_snare[4] = {"o.o.o.o.o.o.o.o.", "x.x.x.x.x.x.x.x.", "xxxxxxxxxxxxxxxx",
                                       "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX"};
    const char* const rise_line[4] = {"G4 . . . . . . .", "A#4 . . . . . . .", "C5 . . . . . . .",
                                      "C#5 . . . . . A4 C#5"};
    for (int bar = 48; bar < 52; ++bar) {
        const int step = bar - 48;
        a.pad_chord(bar, 34);
        a.arpeggio(bar, arp_line, 16 + 3 * step);
        a.bass_line(bar, "R.R.R.R.R.R.R.R.", 40 + 3 * step);
        a.drums(bar, ch_kick, kick, "X...X...X...X...", 44 + 6 * step);
        a.drums(bar, ch_snare, snare, rise_snare[step], 34 + 8 * step);
        a.drums(bar, ch_hat, closed_hat, "o.x.o.x.o.x.o.x.", 40);
        a.melody(bar, ch_lead, lead, 40 + 4 * step, rise_line[step]);
    }
    a.note(51 * rows_per_bar, ch_crash, drum_note, reverse_crash, 52);

    // Climax, bars 52-71: the hook twice with a harmony voice and echoes, the bell an octave up
    // the second time, sixteenth hats; then a tag over iv - VI - VII - V.
    const char* const tag[4] = {"D6 . . . A#5 . G5 .", "F5 . D6 . . . C6 A#5", "C6 . . . E6 . . .",
                                "C#6 . . . . . . ."};
    for (int bar = 52; bar < 72; ++bar) {
        a.pad_chord(bar, 29);
        a.arpeggio(bar, arp_line, 22);
        a.bass_line(bar, "R..R..R._R.O.F.O", 48);
        a.drums(bar, ch_kick, kick, theme_kick[bar % 2], 64);
        a.drums(bar, ch_snare, snare, "....X..g....X..g", 58);
        a.drums(bar, ch_hat, closed_hat, "xoxoxoxoxoxoxoxo", 42);
        a.drums(bar, ch_open_hat, open_hat, "......o.......o.", 36);
        if (bar < 68) {
            a.melody(bar, ch_lead, lead, 58, hook[(bar - 52) % 8]);
            if (bar >= 60)
                a.melody(bar, ch_bell, bell, 22, hook[bar - 60], 12);
        } else {
            a.melody(bar, ch_lead, lead, 58, tag[bar - 68]);
        }
    }
    a.drums(71, ch_snare, snare, "....X...XxXxXXXX", 58);
    for (int bar : {52, 60, 68})
        a.note(bar * rows_per_bar, ch_crash, drum_note, crash, 50);
    a.harmonise(52 * rows_per_bar, 72 * rows_per_bar, 34);

    // Outro, bars 72-87: the hook resolves, the drums thin out and stop, the bell recalls the
    // hook, and the last chord rings out.
    a.note(72 * rows_per_bar, ch_crash, drum_note, crash, 44);
    a.melody(72, ch_lead, lead, 50, "D6 . . . . . . . . . . . . . . _");
    for (int bar = 72; bar < 86; ++bar) {
        const int fading = 86 - bar;
        a.pad_chord(bar, std::min(32, 18 + fading));
        if (bar < 84)
            a.arpeggio(bar, bar < 80 ? arp_line : half_arp, 8 + fading);
        if (bar < 80) {
            a.bass_line(bar, "R...............", 44);
            a.drums(bar, ch_kick, kick, "X.........X.....", 40 + fading);
            a.drums(bar, ch_hat, closed_hat, "o.x.o.x.o.x.o.x.", 20 + 2 * fading);
        } else {
            a.bass_line(bar, "R...............", 30);
        }
        if (bar >= 76 && bar < 80)
            a.melody(bar, ch_bell, bell, 30, hook[bar - 76]);
    }
    a.echo(ch_bell, ch_lead_echo, 76 * rows_per_bar, 80 * rows_per_bar, 6, 0.4);
    a.pad_chord(86, 30);
    a.bass_line(86, "R...............", 36);
    a.note(86 * rows_per_bar, ch_bell, parse_note("D5"), bell, 36);
    a.note(86 * rows_per_bar, ch_kick, drum_note, kick, 40);
    a.note(86 * rows_per_bar, ch_crash, drum_note, crash, 30);
    a.release_pads(87 * rows_per_bar);
    a.off(87 * rows_per_bar, ch_bass);

    // Echoes of the arpeggio and the lead wherever they play.
    a.echo(ch_pluck, ch_pluck_echo, 0, end_row, 6, 0.45);
    a.echo(ch_lead, ch_lead_echo, 16 * rows_per_bar, 40 * rows_per_bar, 6, 0.38);
    a.echo(ch_lead, ch_lead_echo, 48 * rows_per_bar, 80 * rows_per_bar, 6, 0.38);
    return a.song(song_bars());
}

} // namespace content
