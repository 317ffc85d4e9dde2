#include "libsync/device.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "libsync/track_file.h"
#include "platform/path.h"

namespace {

constexpr size_t PATH_CAPACITY = 260; // the longest path is 259 characters
constexpr char PROGRAM_GREETING[] = "hello, synctracker!";
constexpr char EDITOR_GREETING[] = "hello, demo!";

void* stream_open(const char* path, const char* mode) {
    return std::fopen(path, mode);
}
size_t stream_read(void* buffer, size_t size, size_t count, void* stream) {
    return std::fread(buffer, size, count, static_cast<FILE*>(stream));
}
int stream_close(void* stream) {
    return std::fclose(static_cast<FILE*>(stream));
}

char* duplicate(const char* text) {
    size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

bool is_ascii_alnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Keeps letters, digits, "_", "\" and "."; every other byte becomes "-" and two hex digits.
// The result stops at 259 characters, never in the middle of an escape.
void encode_base_path(const char* base, char* out) {
    static const char hex[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const auto* p = reinterpret_cast<const unsigned char*>(base); *p; ++p) {
        unsigned char c = *p;
        if (c == '_' || c == '\\' || c == '.' || is_ascii_alnum(c)) {
            if (n >= PATH_CAPACITY - 1)
                break;
            out[n++] = static_cast<char>(c);
        } else {
            if (n >= PATH_CAPACITY - 3)
                break;
            out[n++] = '-';
            out[n++] = hex[c >> 4];
            out[n++] = hex[c & 15];
        }
    }
    out[n] = '\0';
}

void put_be32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint32_t get_be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Whole-buffer transfers on the device's connection; a transfer that runs out of time marks
// the device timed out.
bool transfer_done(sync_device* d, tcp_status status) {
    if (status == tcp_status::timed_out)
        d->timed_out = true;
    return status == tcp_status::ok;
}

bool xsend(sync_device* d, const void* data, size_t size,
           tcp_deadline deadline = tcp_deadline_in(SYNC_TIMEOUT_MS)) {
    return transfer_done(d, tcp_send_all(d->sock, data, size, deadline));
}

bool xrecv(sync_device* d, void* data, size_t size,
           tcp_deadline deadline = tcp_deadline_in(SYNC_TIMEOUT_MS)) {
    return transfer_done(d, tcp_recv_all(d->sock, data, size, deadline));
}

void close_connection(sync_device* d) {
    tcp_close(d->sock);
    d->sock = tcp_invalid;
}

int find_track(const sync_device* d, const char* name) {
    for (int i = 0; i < d->num_tracks; ++i)
        if (std::strcmp(d->tracks[i]->name, name) == 0)
            return i;
    return -1;
}

void free_track(sync_track* t) {
    std::free(t->name);
    std::free(t->keys);
    std::free(t);
}

int create_track(sync_device* d, const char* name) {
    auto* t = static_cast<sync_track*>(std::calloc(1, sizeof(sync_track)));
    if (!t)
        return -1;
    t->name = duplicate(name);
    if (!t->name) {
        free_track(t);
        return -1;
    }
    size_t count = static_cast<size_t>(d->num_tracks) + 1;
    void* grown = std::realloc(d->tracks, sizeof(sync_track*) * count);
    if (!grown) {
        free_track(t);
        return -1;
    }
    d->tracks = static_cast<sync_track**>(grown);
    d->tracks[d->num_tracks] = t;
    return d->num_tracks++;
}

// Asks the editor for the track's keys; drops the connection when the request cannot be sent.
int fetch_track_data(sync_device* d, const sync_track* t) {
    uint32_t length = static_cast<uint32_t>(std::strlen(t->name));
    uint8_t header[5] = {CMD_GET_TRACK};
    put_be32(header + 1, length);
    if (!xsend(d, header, sizeof header) || !xsend(d, t->name, length)) {
        close_connection(d);
        return -1;
    }
    return 0;
}

// The file's bytes, but no more than a file with the key count it starts with can hold, plus
// one byte to tell whether anything follows.
std::vector<uint8_t> read_track_bytes(const sync_file_ops& ops, void* stream) {
    std::vector<uint8_t> bytes(TRACK_FILE_HEADER_SIZE);
    bytes.resize(ops.read(bytes.data(), 1, bytes.size(), stream));
    int32_t count = 0;
    if (!track_file_count(bytes.data(), bytes.size(), count) || count < 0)
        return bytes;
    size_t limit = TRACK_FILE_HEADER_SIZE + TRACK_FILE_KEY_SIZE * static_cast<size_t>(count) + 1;
    constexpr size_t chunk = 4096;
    while (bytes.size() < limit) {
        size_t have = bytes.size();
        size_t want = std::min(chunk, limit - have);
        bytes.resize(have + want);
        size_t got = ops.read(bytes.data() + have, 1, want, stream);
        bytes.resize(have + got);
        if (got < want)
            break;
    }
    return bytes;
}

// Fills an empty track from its file. A missing file leaves it empty without a word; a damaged
// one leaves it empty and says so in one line.
void load_track_file(sync_device* d, sync_track* t) {
    std::string path = os_path(sync_track_path(d->base, t->name));
    void* stream = d->file_ops.open(path.c_str(), "rb");
    if (!stream)
        return;
    std::vector<uint8_t> bytes = read_track_bytes(d->file_ops, stream);
    d->file_ops.close(stream);

    std::vector<track_key> keys;
    std::string problem;
    if (!track_file_decode(bytes.data(), bytes.size(), keys, problem)) {
        std::fprintf(stderr, "damaged track file %s (track %s): %s; the track stays empty\n",
                     path.c_str(), t->name, problem.c_str());
        return;
    }
    if (keys.empty())
        return;
    auto* array = static_cast<track_key*>(std::malloc(sizeof(track_key) * keys.size()));
    if (!array) {
        std::fprintf(stderr, "track file %s (track %s): out of memory; the track stays empty\n",
                     path.c_str(), t->name);
        return;
    }
    std::memcpy(array, keys.data(), sizeof(track_key) * keys.size());
    t->keys = array;
    t->num_keys = static_cast<int32_t>(keys.size());
}

// Every folder named before a backslash that exists must be a folder; a missing one is left to
// the open that follows.
bool leading_folders_usable(const std::string& path) {
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
        struct stat info;
        std::string folder = os_path(path.substr(0, at).c_str());
        if (stat(folder.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            return false;
    }
    return true;
}

bool save_track(const char* base, const sync_track* t) {
    std::string path = sync_track_path(base, t->name);
    if (!leading_folders_usable(path))
        return false;
    FILE* file = std::fopen(os_path(path.c_str()).c_str(), "wb");
    if (!file)
        return false;
    std::vector<uint8_t> bytes = track_file_encode(t->keys, t->num_keys);
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // A full disk often shows only when the buffer is flushed.
    bool closed = std::fclose(file) == 0;
    return written && closed;
}

bool exchange_greetings(sync_device* d, tcp_deadline deadline) {
    char answer[sizeof EDITOR_GREETING - 1];
    return xsend(d, PROGRAM_GREETING, sizeof PROGRAM_GREETING - 1, deadline) &&
           xrecv(d, answer, sizeof answer, deadline) &&
           std::memcmp(answer, EDITOR_GREETING, sizeof answer) == 0;
}

sync_track* track_by_number(const sync_device* d, uint32_t number) {
    return number < static_cast<uint32_t>(d->num_tracks) ? d->tracks[number] : nullptr;
}

// Receives and applies one command; false on any protocol failure.
bool handle_command(sync_device* d, sync_cb* cb, void* data) {
    uint8_t command;
    if (!xrecv(d, &command, 1))
        return false;
    switch (command) {
    case CMD_SET_KEY: {
        uint8_t payload[13];
        if (!xrecv(d, payload, sizeof payload))
            return false;
        sync_track* t = track_by_number(d, get_be32(payload));
        track_key key;
        key.row = static_cast<int32_t>(get_be32(payload + 4));
        uint32_t bits = get_be32(payload + 8);
        std::memcpy(&key.value, &bits, sizeof bits);
        key.type = payload[12];
        return t && key.type < KEY_TYPE_COUNT && sync_set_key(t, &key) == 0;
    }
    case CMD_DELETE_KEY: {
        uint8_t payload[8];
        if (!xrecv(d, payload, sizeof payload))
            return false;
        sync_track* t = track_by_number(d, get_be32(payload));
        if (!t)
            return false;
        int row = static_cast<int32_t>(get_be32(payload + 4));
        // Deleting a key that is not there changes nothing, so it is no reason to hang up.
        return sync_find_key(t, row) < 0 || sync_del_key(t, row) == 0;
    }
    case CMD_SET_ROW: {
        uint8_t payload[4];
        if (!xrecv(d, payload, sizeof payload))
            return false;
        if (cb && cb->set_row)
            cb->set_row(data, static_cast<int32_t>(get_be32(payload)));
        return true;
    }
    case CMD_PAUSE: {
        uint8_t flag;
        if (!xrecv(d, &flag, 1))
            return false;
        if (cb && cb->pause)
            cb->pause(data, flag);
        return true;
    }
    case CMD_SAVE_TRACKS:
        sync_save_tracks(d); // a failed save is not the connection's fault
        return true;
    default:
        std::fprintf(stderr, "unknown cmd: %02x\n", command);
        return false;
    }
}

} // namespace

sync_device* sync_create_device(const char* base) {
    if (!base || base[0] == '/')
        return nullptr;
    auto* d = static_cast<sync_device*>(std::calloc(1, sizeof(sync_device)));
    if (!d)
        return nullptr;
    char encoded[PATH_CAPACITY];
    encode_base_path(base, encoded);
    d->base = duplicate(encoded);
    if (!d->base) {
        std::free(d);
        return nullptr;
    }
    d->row = -1;
    d->sock = tcp_invalid;
    d->file_ops = {stream_open, stream_read, stream_close};
    return d;
}

void sync_destroy_device(sync_device* d) {
    if (!d)
        return;
    close_connection(d);
    for (int i = 0; i < d->num_tracks; ++i)
        free_track(d->tracks[i]);
    std::free(d->tracks);
    std::free(d->base);
    std::free(d);
}

int sync_connect(sync_device* d, const char* host, unsigned short port) {
    close_connection(d);
    d->timed_out = false;
    // One deadline for the whole attempt, however many addresses the name has.
    const tcp_deadline deadline = tcp_deadline_in(SYNC_TIMEOUT_MS);
    for (const tcp_address& address : tcp_resolve(host, port)) {
        tcp_status status;
        d->sock = tcp_connect(address, deadline, status);
        if (status == tcp_status::timed_out)
            d->timed_out = true;
        if (d->sock == tcp_invalid)
            continue;
        if (exchange_greetings(d, deadline))
            break;
        close_connection(d);
    }
    if (d->sock == tcp_invalid)
        return -1;
    d->timed_out = false;

    // The editor's keys replace whatever the program had.
    for (int i = 0; i < d->num_tracks; ++i) {
        std::free(d->tracks[i]->keys);
        d->tracks[i]->keys = nullptr;
        d->tracks[i]->num_keys = 0;
    }
    for (int i = 0; i < d->num_tracks; ++i)
        if (fetch_track_data(d, d->tracks[i]) != 0)
            return -1;
    return 0;
}

int sync_tcp_connect(sync_device* d, const char* host, unsigned short port) {
    return sync_connect(d, host, port);
}

int sync_update(sync_device* d, int row, sync_cb* cb, void* data) {
    if (d->sock == tcp_invalid)
        return -1;
    while (tcp_readable(d->sock)) {
        if (!handle_command(d, cb, data)) {
            close_connection(d);
            return -1;
        }
    }
    if (cb && cb->is_playing && cb->is_playing(data) && row != d->row) {
        uint8_t message[5] = {CMD_SET_ROW};
        put_be32(message + 1, static_cast<uint32_t>(row));
        if (!xsend(d, message, sizeof message)) {
            close_connection(d);
            return -1;
        }
        d->row = row;
    }
    return 0;
}

sync_track* sync_get_track(sync_device* d, const char* name) {
    int idx = find_track(d, name);
    if (idx >= 0)
        return d->tracks[idx];
    idx = create_track(d, name);
    if (idx < 0)
        return nullptr;
    sync_track* t = d->tracks[idx];
    if (d->sock != tcp_invalid)
        fetch_track_data(d, t); // on failure the connection is already closed
    else
        load_track_file(d, t);
    return t;
}

int sync_save_tracks(const sync_device* d) {
    for (int i = 0; i < d->num_tracks; ++i)
        if (!save_track(d->base, d->tracks[i]))
            return -1;
    return 0;
}

int sync_track_id(const char* name) {
    uint32_t h = 0;
    for (const auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        h = *p + h * 65599u;
    return static_cast<int>(h & 0x7FFFFFFFu);
}

const char* sync_track_path(const char* base, const char* name) {
    static char path[PATH_CAPACITY];
    std::snprintf(path, sizeof path, "%s", base);
    size_t length = std::strlen(path);
    char file_name[13];
    std::snprintf(file_name, sizeof file_name, "%08X.trk",
                  static_cast<unsigned>(sync_track_id(name)));
    std::snprintf(path + length, sizeof path - length, "%s", file_name);
    return path;
}
