#include "track_folder.h"

#include <filesystem>
#include <fstream>
#include <set>

#include "libsync/track_file.h"

namespace fs = std::filesystem;

bool build_track_folder(const std::vector<TrackText>& tracks, const std::string& folder,
                        std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::set<uint32_t> named;
    for (const TrackText& track : tracks) {
        const fs::path path = fs::path(folder) / track_file_name(track.id);
        const std::vector<uint8_t> bytes =
            track_file_encode(track.keys.data(), static_cast<int32_t>(track.keys.size()));
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            error = "cannot write " + path.string();
            return false;
        }
        named.insert(track.id);
    }
    std::vector<fs::path> stale;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        uint32_t id;
        if (entry.is_regular_file() && track_file_id(entry.path().filename().string(), id) &&
            !named.count(id))
            stale.push_back(entry.path());
    }
    if (ec) {
        error = "cannot list " + folder;
        return false;
    }
    for (const fs::path& path : stale)
        if (!fs::remove(path, ec)) {
            error = "cannot remove " + path.string();
            return false;
        }
    return true;
}
