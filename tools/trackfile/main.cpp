// trackfile: dumps track files as readable text and builds track files from that text.
//
//   trackfile dump <file-or-folder>... [--names <text-source>]
//   trackfile build <text-source> <out-folder>   (also removes track files the source no
//                                                 longer names)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "libsync/track_file.h"
#include "track_folder.h"
#include "track_text.h"

namespace fs = std::filesystem;

namespace {

const char* const USAGE = "usage: trackfile dump <file-or-folder>... [--names <text-source>]\n"
                          "       trackfile build <text-source> <out-folder>\n";

bool read_whole(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    bytes = buffer.str();
    return !in.bad();
}

bool read_source(const fs::path& path, std::vector<TrackText>& tracks) {
    std::string text, error;
    if (!read_whole(path, text)) {
        std::fprintf(stderr, "trackfile: cannot read %s\n", path.c_str());
        return false;
    }
    if (!parse_tracks(text, tracks, error)) {
        std::fprintf(stderr, "trackfile: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool dump_file(const fs::path& path, const std::map<uint32_t, std::string>& names,
               std::vector<TrackText>& tracks) {
    TrackText track;
    if (!track_file_id(path.filename().string(), track.id)) {
        std::fprintf(stderr, "trackfile: %s: a track file is named by its id, like 4401F8E3.trk\n",
                     path.c_str());
        return false;
    }
    std::string bytes, problem;
    if (!read_whole(path, bytes)) {
        std::fprintf(stderr, "trackfile: cannot read %s\n", path.c_str());
        return false;
    }
    if (!track_file_decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), track.keys,
                           problem)) {
        std::fprintf(stderr, "trackfile: %s: damaged: %s\n", path.c_str(), problem.c_str());
        return false;
    }
    if (auto known = names.find(track.id); known != names.end())
        track.name = known->second;
    tracks.push_back(std::move(track));
    return true;
}

int dump(const std::vector<fs::path>& inputs, const std::map<uint32_t, std::string>& names) {
    std::vector<TrackText> tracks;
    bool ok = true;
    for (const fs::path& input : inputs) {
        std::error_code error;
        if (!fs::is_directory(input, error)) {
            ok = dump_file(input, names, tracks) && ok;
            continue;
        }
        // Every track file of the folder, in the order of their ids; other files are left alone.
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::directory_iterator(input, error)) {
            uint32_t id;
            if (entry.is_regular_file() && track_file_id(entry.path().filename().string(), id))
                files.push_back(entry.path());
        }
        if (error) {
            std::fprintf(stderr, "trackfile: cannot list %s\n", input.c_str());
            ok = false;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            ok = dump_file(file, names, tracks) && ok;
    }
    std::fputs(format_tracks(tracks).c_str(), stdout);
    return ok ? 0 : 1;
}

int build(const fs::path& source, const fs::path& folder) {
    std::vector<TrackText> tracks;
    if (!read_source(source, tracks))
        return 1;
    std::string error;
    if (!build_track_folder(tracks, folder.string(), error)) {
        std::fprintf(stderr, "trackfile: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "build")
        return build(args[1], args[2]);
    if (args.size() >= 2 && args[0] == "dump") {
        std::vector<fs::path> inputs;
        std::map<uint32_t, std::string> names;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] != "--names") {
                inputs.push_back(args[i]);
                continue;
            }
            std::vector<TrackText> named;
            if (++i == args.size() || !read_source(args[i], named))
                return 2;
            for (const TrackText& track : named)
                if (!track.name.empty())
                    names[track.id] = track.name;
        }
        if (!inputs.empty())
            return dump(inputs, names);
    }
    std::fputs(USAGE, stderr);
    return 2;
}
