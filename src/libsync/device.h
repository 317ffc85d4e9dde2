#pragma once
// The sync device: the registry of every track of the program and their one source of keys.
// Without a connection each track is filled once, from its track file, when first asked for.
// Connected to a sync editor over TCP, it asks the editor for every track's keys, applies the
// editor's edits, follows its pause and seek commands, reports the row while playing and saves
// all track files on request.
#include <cstddef>
#include <cstdint>

#include "libsync/track.h"
#include "platform/socket.h"

// Commands on the wire: one byte, then a fixed payload in network byte order.
enum sync_command : uint8_t {
    CMD_SET_KEY = 0,     // track u32, row i32, value f32, type u8 (editor to program)
    CMD_DELETE_KEY = 1,  // track u32, row i32 (editor to program)
    CMD_GET_TRACK = 2,   // name length u32, name bytes (program to editor)
    CMD_SET_ROW = 3,     // row i32 (both ways)
    CMD_PAUSE = 4,       // flag u8 (editor to program)
    CMD_SAVE_TRACKS = 5, // no payload (editor to program)
};

constexpr uint16_t SYNC_DEFAULT_PORT = 1338;

// How long the program waits for the editor at any step (connecting and greeting, the rest of a
// message once its command byte came, room to send) before it drops the connection, so an editor
// that falls silent cannot hold the demo.
constexpr int SYNC_TIMEOUT_MS = 2000;

// How track files are read; the standard C streams unless a user substitutes its own.
struct sync_file_ops {
    void* (*open)(const char* path, const char* mode);
    size_t (*read)(void* buffer, size_t size, size_t count, void* stream);
    int (*close)(void* stream);
};

struct sync_device {
    char* base;          // encoded base path, prefix of every track file path
    sync_track** tracks; // in the order first asked for; the index is the number on the wire
    int32_t num_tracks;
    int32_t row; // last row reported to the editor, -1 at first
    tcp_socket sock;
    sync_file_ops file_ops;
    // The connection was lost (or not made) because the editor did not answer within
    // SYNC_TIMEOUT_MS; cleared by the next sync_connect.
    bool timed_out;
};

// The program's side of the editor's commands; every member, and the record, may be null.
struct sync_cb {
    void (*pause)(void* data, int flag);
    void (*set_row)(void* data, int row);
    int (*is_playing)(void* data);
};

// Null when base is null, begins with "/", or memory runs out.
sync_device* sync_create_device(const char* base);
void sync_destroy_device(sync_device* d);

// Connects to the editor at host ("name", "name:port" or "[v6]:port"; `port` when none is given),
// drops every key and asks for every track again. 0 when connected, -1 otherwise.
int sync_connect(sync_device* d, const char* host, unsigned short port);
int sync_tcp_connect(sync_device* d, const char* host, unsigned short port);

// Handles every command the editor has sent, never waiting for more, then reports `row` while
// playing. -1 when there is no connection or it has just been dropped.
int sync_update(sync_device* d, int row, sync_cb* cb, void* data);

// The named track, created and filled on first use; null only when memory runs out.
sync_track* sync_get_track(sync_device* d, const char* name);

// Writes every track file; -1 at the first failure (later tracks are not written).
int sync_save_tracks(const sync_device* d);

// The 31-bit hash of a track name: the track's id and the name of its file.
int sync_track_id(const char* name);

// base followed by the eight-digit hexadecimal id and ".trk", in a static buffer of 260 bytes
// that the next call overwrites.
const char* sync_track_path(const char* base, const char* name);
