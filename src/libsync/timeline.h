#pragma once
// The program's one way to sync tracks: owns the sync device, turns seconds into rows, caches
// every track handed out under its id, and evaluates tracks.
#include <cstdint>
#include <map>

#include "libsync/device.h"

class Timeline {
  public:
    Timeline() = default;
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // File mode: tracks come from the track files under prefix. True on failure.
    bool open(const char* prefix);
    // Connects to the editor at host (port 1338 unless host says "name:port"). True on failure;
    // the device then still serves tracks from their files.
    bool open(const char* prefix, const char* host);

    // Polls the editor with the row of `time`, reconnecting once when the connection is down.
    // Does nothing in file mode. Always false.
    //
    // Losing the editor is told in one line on standard error, and playback paused by it resumes.
    // An editor that closed the connection is looked for again on every call; one that stopped
    // answering (SYNC_TIMEOUT_MS passed in the middle of a step) is given up for the rest of the
    // run, so a silent editor costs the demo one wait, not one per frame.
    bool update(double time);

    bool isRemote() const { return remote; }

    // Makes sure the named track is known; returns its id.
    int loadTrack(const char* name);

    // The value at `time` of the track registered under id; 0.0 when there is none.
    double getTrack(int id, double time) const;
    // The value at `time` of the named track, registered on first use; 0.0 when the device
    // cannot supply it.
    double getTrack(const char* name, double time);

    float rowRate = 24.0f; // rows per second
    sync_cb callbacks = {};

  private:
    void createDevice(const char* prefix);
    sync_track* fetchTrack(const char* name);
    void editorLost();

    bool remote = false;
    bool connected = false; // as of the last open or update
    bool givenUp = false;   // the editor stopped answering: no more polls
    const char* host = nullptr;
    sync_device* device = nullptr;
    std::map<uint32_t, sync_track*> trackMap;
};
