// An arbitrary byte stream from the editor, fed to the poll through a socket pair: whatever
// arrives, every track keeps its invariants and the poll ends with the connection dropped when
// the stream ends.
#include <algorithm>
#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

#include "fuzz_checks.h"
#include "libsync/device.h"

namespace {

// Well below the socket pair's buffer, so the whole input fits before the poll reads it.
constexpr size_t MAX_STREAM = 64 * 1024;

int callback_calls;
sync_cb callbacks = {
    [](void*, int) { ++callback_calls; },
    [](void*, int) { ++callback_calls; },
    [](void*) { return 1; },
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence_library_diagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    int buffer = 4 * MAX_STREAM;
    setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);

    // Tracks exist before the connection, so the program sends nothing but row reports. The
    // base folder does not exist, so a save command writes nothing.
    sync_device* d = sync_create_device("fuzz-no-such-folder\\");
    for (const char* name : {"a", "b", "c"})
        sync_get_track(d, name);
    d->sock = pair[0];

    size_t length = std::min(size, MAX_STREAM);
    if (length == 0 || send(pair[1], data, length, MSG_NOSIGNAL) == ssize_t(length)) {
        shutdown(pair[1], SHUT_WR);
        fuzz_require(sync_update(d, 0, &callbacks, nullptr) == -1, "the stream's end drops it");
        fuzz_require(d->sock == tcp_invalid, "no connection after a failure");
        fuzz_require(sync_update(d, 0, &callbacks, nullptr) == -1, "and it stays dropped");
    }
    fuzz_require(d->num_tracks == 3, "no track made by the editor");
    for (int i = 0; i < d->num_tracks; ++i)
        check_track(d->tracks[i]);

    sync_destroy_device(d);
    close(pair[1]);
    return 0;
}
