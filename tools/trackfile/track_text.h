#pragma once
// The readable form of track files, for people who author tracks. One block per track:
//
//     # a comment
//     track blur#blurWidth
//     0 1.5 linear
//     16 0.25 step
//
// A block starts with "track" and the track's name (the rest of the line), or with "id" and the
// eight hexadecimal digits of a track whose name is not known (a file dumped on its own). Then
// one key per line: row, value and interpolation by name (step, linear, smooth, quadratic), rows
// strictly ascending. Values are written so that they read back to the identical float; a NaN is
// written with its bits, as nan:7FC00000.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "libsync/track.h"

struct TrackText {
    std::string name; // empty when only the id is known
    uint32_t id = 0;
    std::vector<track_key> keys;
};

// The text of the blocks, in order, separated by blank lines.
std::string format_tracks(const std::vector<TrackText>& tracks);

// Reads the text form. On an error returns false with "line N: what is wrong" in `error`.
bool parse_tracks(std::string_view text, std::vector<TrackText>& tracks, std::string& error);

// "4401F8E3.trk": the file that holds the track with this id.
std::string track_file_name(uint32_t id);
// The id a track file name stands for; false unless the name is eight hex digits and ".trk".
bool track_file_id(std::string_view file_name, uint32_t& id);

std::string format_value(float value);
bool parse_value(std::string_view text, float& value);
const char* key_type_name(uint8_t type);
