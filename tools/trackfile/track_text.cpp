#include "track_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "libsync/device.h"

namespace {

constexpr const char* TYPE_NAMES[KEY_TYPE_COUNT] = {"step", "linear", "smooth", "quadratic"};

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> result;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && is_blank(line[at]))
            ++at;
        size_t start = at;
        while (at < line.size() && !is_blank(line[at]))
            ++at;
        if (at > start)
            result.push_back(line.substr(start, at - start));
    }
    return result;
}

bool parse_hex32(std::string_view text, uint32_t& value) {
    if (text.size() != 8)
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parse_row(std::string_view text, int32_t& row) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), row);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parse_type(std::string_view text, uint8_t& type) {
    for (int i = 0; i < KEY_TYPE_COUNT; ++i)
        if (text == TYPE_NAMES[i]) {
            type = static_cast<uint8_t>(i);
            return true;
        }
    return false;
}

std::string hex32(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

// Reads the text line by line, keeping what the error messages need.
class Parser {
  public:
    Parser(std::vector<TrackText>& tracks, std::string& error) : tracks_(tracks), error_(error) {}

    bool line(std::string_view text) {
        ++number_;
        if (text.find('\0') != std::string_view::npos)
            return fail("a NUL byte in the line");
        text = trim(text);
        if (text.empty() || text.front() == '#')
            return true;
        std::vector<std::string_view> words = fields(text);
        if (words[0] == "track")
            return track(trim(text.substr(5)));
        if (words[0] == "id")
            return id(words);
        return key(words);
    }

  private:
    bool fail(const std::string& what) {
        error_ = "line " + std::to_string(number_) + ": " + what;
        return false;
    }

    bool start(std::string name, uint32_t id) {
        auto [earlier, fresh] = first_line_of_id_.emplace(id, number_);
        if (!fresh) {
            const TrackText& other = tracks_[track_of_id_[id]];
            std::string other_name = other.name.empty() ? "id " + hex32(id) : other.name;
            return fail("the track's file " + track_file_name(id) + " is already used by " +
                        other_name + " on line " + std::to_string(earlier->second));
        }
        track_of_id_[id] = tracks_.size();
        tracks_.push_back({std::move(name), id, {}});
        return true;
    }

    bool track(std::string_view name) {
        if (name.empty())
            return fail("\"track\" needs a name");
        std::string owned(name);
        return start(owned, static_cast<uint32_t>(sync_track_id(owned.c_str())));
    }

    bool id(const std::vector<std::string_view>& words) {
        uint32_t value = 0;
        if (words.size() != 2 || !parse_hex32(words[1], value) || value > 0x7FFFFFFF)
            return fail("\"id\" needs eight hexadecimal digits, 00000000 to 7FFFFFFF");
        return start("", value);
    }

    bool key(const std::vector<std::string_view>& words) {
        if (tracks_.empty())
            return fail("a key before the first \"track\" line");
        if (words.size() != 3)
            return fail("a key is: row value interpolation (step, linear, smooth or quadratic)");
        track_key key{};
        if (!parse_row(words[0], key.row))
            return fail("row \"" + std::string(words[0]) + "\" is not a whole number in range");
        if (!parse_value(words[1], key.value))
            return fail("value \"" + std::string(words[1]) + "\" is not a number");
        if (!parse_type(words[2], key.type))
            return fail("interpolation \"" + std::string(words[2]) +
                        "\" is not step, linear, smooth or quadratic");
        std::vector<track_key>& keys = tracks_.back().keys;
        if (!keys.empty() && key.row <= keys.back().row)
            return fail("row " + std::to_string(key.row) + " does not come after row " +
                        std::to_string(keys.back().row));
        keys.push_back(key);
        return true;
    }

    std::vector<TrackText>& tracks_;
    std::string& error_;
    int number_ = 0;
    std::map<uint32_t, int> first_line_of_id_;
    std::map<uint32_t, size_t> track_of_id_;
};

} // namespace

std::string format_value(float value) {
    if (std::isnan(value)) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return "nan:" + hex32(bits);
    }
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end);
}

bool parse_value(std::string_view text, float& value) {
    if (text.substr(0, 4) == "nan:") {
        uint32_t bits = 0;
        if (!parse_hex32(text.substr(4), bits))
            return false;
        std::memcpy(&value, &bits, sizeof bits);
        return std::isnan(value);
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

const char* key_type_name(uint8_t type) {
    return type < KEY_TYPE_COUNT ? TYPE_NAMES[type] : "invalid";
}

std::string format_tracks(const std::vector<TrackText>& tracks) {
    std::string text;
    for (const TrackText& track : tracks) {
        if (!text.empty())
            text += '\n';
        text += track.name.empty() ? "id " + hex32(track.id) : "track " + track.name;
        text += '\n';
        for (const track_key& key : track.keys) {
            text += std::to_string(key.row) + ' ' + format_value(key.value) + ' ' +
                    key_type_name(key.type) + '\n';
        }
    }
    return text;
}

bool parse_tracks(std::string_view text, std::vector<TrackText>& tracks, std::string& error) {
    tracks.clear();
    Parser parser(tracks, error);
    while (!text.empty()) {
        size_t end = text.find('\n');
        if (!parser.line(text.substr(0, end)))
            return false;
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return true;
}

std::string track_file_name(uint32_t id) {
    return hex32(id) + ".trk";
}

bool track_file_id(std::string_view file_name, uint32_t& id) {
    if (file_name.size() != 12 || file_name.substr(8) != ".trk")
        return false;
    for (char c : file_name.substr(0, 8))
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return parse_hex32(file_name.substr(0, 8), id) && id <= 0x7FFFFFFF;
}
