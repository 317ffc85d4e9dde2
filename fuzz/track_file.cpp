// Arbitrary bytes as a track file: the track comes out empty, or with exactly the keys the file
// holds, and nothing outside the bytes is ever read.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fuzz_checks.h"
#include "libsync/device.h"
#include "libsync/track_file.h"

namespace {

// The file being loaded, served from memory through the device's file operations.
struct MemoryFile {
    const uint8_t* data;
    size_t size;
    size_t at;
};
MemoryFile file;

void* memory_open(const char*, const char*) {
    file.at = 0;
    return &file;
}

size_t memory_read(void* buffer, size_t size, size_t count, void* stream) {
    auto* f = static_cast<MemoryFile*>(stream);
    size_t items = std::min(count, (f->size - f->at) / size);
    std::memcpy(buffer, f->data + f->at, items * size);
    f->at += items * size;
    return items;
}

int memory_close(void*) {
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silence_library_diagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    file = {data, size, 0};
    sync_device* d = sync_create_device("fuzz\\");
    d->file_ops = {memory_open, memory_read, memory_close};
    sync_track* t = sync_get_track(d, "fuzz#track");
    fuzz_require(t != nullptr, "a track");
    check_track(t);
    if (t->num_keys > 0) {
        int32_t count = 0;
        fuzz_require(track_file_count(data, size, count) && count == t->num_keys,
                     "the count the file gives");
        fuzz_require(size == 4 + 9 * size_t(count), "a file of exactly its keys");
        fuzz_require(track_file_encode(t->keys, t->num_keys) ==
                         std::vector<uint8_t>(data, data + size),
                     "the keys the file holds");
    }
    sync_destroy_device(d);
    return 0;
}
