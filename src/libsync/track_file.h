#pragma once
// The bytes of a track file: the key count (signed 32-bit), then row (signed 32-bit), value
// (32-bit float) and type (one byte) of every key in ascending row order, all little-endian,
// 4 + 9 * count bytes in all.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "libsync/track.h"

constexpr size_t TRACK_FILE_HEADER_SIZE = 4;
constexpr size_t TRACK_FILE_KEY_SIZE = 9;

std::vector<uint8_t> track_file_encode(const track_key* keys, int32_t num_keys);

// The key count a file starts with, when it holds at least that much.
bool track_file_count(const uint8_t* bytes, size_t size, int32_t& count);

// Decodes a whole file. On damage (short, a count that does not match the size, rows not strictly
// ascending, a type code of 4 or more) returns false, leaves `keys` empty and says why in
// `problem`.
bool track_file_decode(const uint8_t* bytes, size_t size, std::vector<track_key>& keys,
                       std::string& problem);
