#include "libsync/timeline.h"

#include <climits>
#include <cmath>
#include <cstdio>

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
    connected = false;
    givenUp = false;
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
    connected = true;
    return false;
}

// Nobody is left to lift the editor's pause.
void Timeline::editorLost() {
    connected = false;
    if (callbacks.is_playing && callbacks.pause && !callbacks.is_playing(nullptr))
        callbacks.pause(nullptr, 0);
}

bool Timeline::update(double time) {
    int row = row_of(rowRate * time);
    if (!remote || givenUp)
        return false;
    if (sync_update(device, row, &callbacks, nullptr) == 0)
        return false;
    if (connected) {
        editorLost();
        if (!device->timed_out)
            std::fprintf(stderr,
                         "sync editor at %s: connection lost, playing on and "
                         "reconnecting when it is back\n",
                         host);
    }
    if (!device->timed_out && sync_connect(device, host, SYNC_DEFAULT_PORT) == 0) {
        connected = true;
        std::fprintf(stderr, "sync editor at %s: connected again\n", host);
    } else if (device->timed_out) {
        givenUp = true;
        std::fprintf(stderr, "sync editor at %s stopped answering: playing on without it\n", host);
    }
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
