#pragma once
// "zoveta", the soundtrack: a piece in D minor at 180 beats per minute (24 rows per second, 8 rows
// a beat, 32 rows a bar, two bars a pattern), composed here as data and written out as an XM song.
#include <string>
#include <vector>

#include "xmwriter/xmwriter.h"

namespace content {

constexpr int rows_per_beat = 8;
constexpr int rows_per_bar = 32;
constexpr int rows_per_pattern = 64;

// A stretch of the piece with one character; the choreography changes scenes on these borders.
struct section {
    std::string name;
    int first_bar;
    int bars;
};

// Every section in order; together they cover the song from bar 0 to its end.
const std::vector<section>& song_sections();
int song_bars();

xm::song make_song();

} // namespace content
