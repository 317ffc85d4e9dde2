#include "libsync/track_file.h"

#include <cstring>

static void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

static uint32_t get_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::vector<uint8_t> track_file_encode(const track_key* keys, int32_t num_keys) {
    std::vector<uint8_t> out;
    out.reserve(TRACK_FILE_HEADER_SIZE + TRACK_FILE_KEY_SIZE * static_cast<size_t>(num_keys));
    put_u32(out, static_cast<uint32_t>(num_keys));
    for (int32_t i = 0; i < num_keys; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &keys[i].value, sizeof bits);
        put_u32(out, static_cast<uint32_t>(keys[i].row));
        put_u32(out, bits);
        out.push_back(keys[i].type);
    }
    return out;
}

bool track_file_count(const uint8_t* bytes, size_t size, int32_t& count) {
    if (size < TRACK_FILE_HEADER_SIZE)
        return false;
    count = static_cast<int32_t>(get_u32(bytes));
    return true;
}

bool track_file_decode(const uint8_t* bytes, size_t size, std::vector<track_key>& keys,
                       std::string& problem) {
    keys.clear();
    int32_t count = 0;
    if (!track_file_count(bytes, size, count)) {
        problem = "shorter than its 4-byte key count";
        return false;
    }
    if (count < 0) {
        problem = "key count " + std::to_string(count) + " is negative";
        return false;
    }
    size_t key_bytes = size - TRACK_FILE_HEADER_SIZE;
    if (key_bytes != TRACK_FILE_KEY_SIZE * static_cast<size_t>(count)) {
        problem = "key count " + std::to_string(count) + " needs " +
                  std::to_string(TRACK_FILE_HEADER_SIZE + TRACK_FILE_KEY_SIZE * size_t(count)) +
                  " bytes, the file has " + std::to_string(size);
        return false;
    }
    std::vector<track_key> decoded(static_cast<size_t>(count));
    const uint8_t* p = bytes + TRACK_FILE_HEADER_SIZE;
    for (int32_t i = 0; i < count; ++i, p += TRACK_FILE_KEY_SIZE) {
        track_key& key = decoded[i];
        key.row = static_cast<int32_t>(get_u32(p));
        uint32_t bits = get_u32(p + 4);
        std::memcpy(&key.value, &bits, sizeof bits);
        key.type = p[8];
        if (key.type >= KEY_TYPE_COUNT) {
            problem = "key " + std::to_string(i) + " has type code " + std::to_string(key.type) +
                      " (valid codes are 0 to 3)";
            return false;
        }
        if (i > 0 && key.row <= decoded[i - 1].row) {
            problem = "key " + std::to_string(i) + " at row " + std::to_string(key.row) +
                      " does not come after row " + std::to_string(decoded[i - 1].row);
            return false;
        }
    }
    keys = std::move(decoded);
    return true;
}
