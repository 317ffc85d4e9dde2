#include "libsync/timeline.h"

#include <climits>
#include <cmath>

// Truncates toward zero; times beyond the int range of rows stop at its ends.
static int row_of(double row) {
    if (std::isnan(row))
        return 0;
    if (row <= static_cast<double>(INT_MIN))
        return INT_MIN;
    if (row >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(row);
}

Timeline::~Timeline() {
    sync_destroy_device(device);
}

// A second open starts afresh rather than leaking the first device.
void Timeline::createDevice(const char* prefix) {
    trackMap.clear();
    sync_destroy_device(device);
    device = sync_create_device(prefix);
    remote = false;
    host = nullptr;
}

// Null when there is no device (open failed) or it cannot supply the track.
sync_track* Timeline::fetchTrack(const char* name) {
    return device ? sync_get_track(device, name) : nullptr;
}

bool Timeline::open(const char* prefix) {
    createDevice(prefix);
    return device == nullptr;
}

bool Timeline::open(const char* prefix, const char* editorHost) {
    createDevice(prefix);
    if (!device)
        return true;
    host = editorHost;
    if (sync_connect(device, host, SYNC_DEFAULT_PORT) != 0)
        return true;
    remote = true;
    return false;
}

bool Timeline::update(double time) {
    int row = row_of(rowRate * time);
    if (!remote)
        return false;
    if (sync_update(device, row, &callbacks, nullptr) != 0)
        sync_connect(device, host, SYNC_DEFAULT_PORT);
    return false;
}

int Timeline::loadTrack(const char* name) {
    int id = sync_track_id(name);
    if (sync_track* track = fetchTrack(name))
        trackMap[static_cast<uint32_t>(id)] = track;
    return id;
}

double Timeline::getTrack(int id, double time) const {
    auto found = trackMap.find(static_cast<uint32_t>(id));
    if (found == trackMap.end())
        return 0.0;
    return sync_get_val(found->second, rowRate * time);
}

double Timeline::getTrack(const char* name, double time) {
    uint32_t id = static_cast<uint32_t>(sync_track_id(name));
    auto found = trackMap.find(id);
    if (found == trackMap.end()) {
        sync_track* track = fetchTrack(name);
        if (!track)
            return 0.0;
        found = trackMap.emplace(id, track).first;
    }
    return sync_get_val(found->second, rowRate * time);
}
