// The audio layer on libopenmpt (decoding) and SDL2 (output). One mixer serves both the device's
// callback and the offline render; the position bookkeeping is the same for both, only the frame
// being heard differs (offline it is the last one rendered).
#include "platform/audio.h"

#include "platform/audio_timeline.h"
#include "platform/module_check.h"
#include "platform/path.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.hpp>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

// libopenmpt reports load warnings to a stream; this layer prints nothing.
class discard_buffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
};

struct discard_stream : std::ostream {
    discard_buffer buffer;
    discard_stream() : std::ostream(&buffer) {}
};

enum class play_state { stopped, playing, paused };

// A decoder for one module; empty when the data is not a module this layer plays.
struct decoded_module {
    std::unique_ptr<discard_stream> log; // outlives `module`, which writes to it
    std::unique_ptr<openmpt::module> module;
};

struct music : decoded_module {
    play_state state = play_state::stopped;
    audio_timeline timeline;
    uint64_t held = 0; // reported while not playing, and until new audio is heard
};

struct engine_state {
    std::mutex lock;
    bool ready = false;
    SDL_AudioDeviceID device = 0; // 0: offline
    int32_t rate = 0;
    float volume = 1.0f;
    uint64_t frames_out = 0;       // frames handed to the device or rendered offline
    uint32_t last_handover = 0;    // frames of the latest hand-over to the device
    clock_type::time_point handed; // when it happened
    std::map<HMUSIC, music> musics;
    HMUSIC last_handle = 0; // handles are never reused, so stale ones stay invalid
    std::vector<float> scratch = std::vector<float>(2 * AUDIO_CHUNK_FRAMES);
};

engine_state engine;

uint64_t position_word(int32_t order, int32_t row) {
    return (uint64_t(uint16_t(row)) << 16) | uint16_t(order);
}

uint64_t decoder_position(const music& m) {
    return position_word(m.module->get_current_order(), m.module->get_current_row());
}

// The output frame being heard now. The latest hand-over starts playing when it is handed over and
// drains at the device rate; everything before it has been heard. Offline, all rendered frames are.
uint64_t audible_frame() {
    if (engine.device == 0)
        return engine.frames_out;
    const double elapsed = std::chrono::duration<double>(clock_type::now() - engine.handed).count();
    const double drained = std::clamp(elapsed * engine.rate, 0.0, double(engine.last_handover));
    return engine.frames_out - engine.last_handover + uint64_t(drained);
}

uint64_t reported_position(const music& m) {
    if (m.state != play_state::playing)
        return m.held;
    return m.timeline.at(audible_frame(), m.held);
}

// Leaves the playing state with the reported position held where it is now.
void hold(music& m, play_state state) {
    m.held = reported_position(m);
    m.state = state;
    m.timeline.clear();
}

music* find_music(HMUSIC handle) {
    if (!engine.ready)
        return nullptr;
    auto it = engine.musics.find(handle);
    return it == engine.musics.end() ? nullptr : &it->second;
}

// Renders `frames` frames of every playing music, summed and scaled by the master volume.
void mix(float* out, uint32_t frames) {
    std::fill(out, out + 2 * size_t(frames), 0.0f);
    for (uint32_t done = 0; done < frames; done += AUDIO_CHUNK_FRAMES) {
        const uint32_t count = std::min(AUDIO_CHUNK_FRAMES, frames - done);
        const uint64_t chunk_end = engine.frames_out + done + count;
        float* target = out + 2 * size_t(done);
        for (auto& [handle, m] : engine.musics) {
            if (m.state != play_state::playing)
                continue;
            const size_t got =
                m.module->read_interleaved_stereo(engine.rate, count, engine.scratch.data());
            for (size_t i = 0; i < 2 * got; ++i)
                target[i] += engine.volume * engine.scratch[i];
            if (got < count) { // the module ended (it does not loop): hold its last position
                m.held = decoder_position(m);
                m.state = play_state::stopped;
                m.timeline.clear();
            } else {
                m.timeline.note(chunk_end, decoder_position(m));
            }
        }
    }
    engine.frames_out += frames;
}

void SDLCALL device_callback(void*, Uint8* stream, int len) {
    const uint32_t frames = uint32_t(len) / (2 * sizeof(float));
    std::lock_guard guard(engine.lock);
    mix(reinterpret_cast<float*>(stream), frames);
    engine.last_handover = frames;
    engine.handed = clock_type::now();
}

// SDL's audio brings its event subsystem along, and with it handlers that turn Ctrl+C and SIGTERM
// into a quit event. Without a window nobody reads that event, and the program could not be
// interrupted; so unless a window system already takes the events, the signals keep their usual
// effect.
bool init_audio_subsystem() {
    if (SDL_WasInit(SDL_INIT_EVENTS))
        return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
    return started;
}

SDL_AudioDeviceID open_default_device(int32_t freq) {
    if (!init_audio_subsystem())
        return 0;
    SDL_AudioSpec want{};
    want.freq = freq;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = AUDIO_DEVICE_BUFFER_FRAMES;
    want.callback = device_callback;
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return device;
}

// Module files are small; anything bigger is refused rather than read into memory.
constexpr uint64_t max_module_file_bytes = uint64_t(1) << 28;

// Reads `length` bytes (0: up to the end) from `offset` on of a regular file.
bool read_file_part(const char* path, uint64_t offset, uint32_t length, std::vector<char>& bytes) {
    const std::string name = os_path(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error))
        return false;
    const uint64_t size = std::filesystem::file_size(name, error);
    if (error || offset > size)
        return false;
    const uint64_t wanted = length == 0 ? size - offset : length;
    if (wanted > size - offset || wanted > max_module_file_bytes)
        return false;
    std::ifstream file(name, std::ios::binary);
    file.seekg(std::streamoff(offset));
    bytes.resize(size_t(wanted));
    file.read(bytes.data(), std::streamsize(wanted));
    return bool(file);
}

decoded_module decode(const void* data, size_t size) {
    decoded_module decoded;
    if (!module_data_complete(static_cast<const uint8_t*>(data), size))
        return decoded;
    try {
        decoded.log = std::make_unique<discard_stream>();
        decoded.module = std::make_unique<openmpt::module>(
            data, size, *decoded.log,
            std::map<std::string, std::string>{{"seek.sync_samples", "1"}});
    } catch (const std::exception&) {
        decoded.module.reset();
    }
    return decoded;
}

// The decoder of `length` bytes (0: up to the end) from `offset` on of a module file.
decoded_module read_and_decode(const std::string& file, uint64_t offset, uint32_t length) {
    std::vector<char> bytes;
    if (!read_file_part(file.c_str(), offset, length, bytes))
        return {};
    return decode(bytes.data(), bytes.size());
}

// read_and_decode on a thread of its own. What the decoding used and freed stays in that thread's
// malloc arena, where nothing else allocates: it goes back to the system at once.
decoded_module prefetch_decode(const std::string& file) {
    decoded_module decoded = read_and_decode(file, 0, 0);
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    return decoded;
}

// The module file that audio_prefetch started decoding, and its decoder once that is done.
struct prefetch_slot {
    std::string file;
    std::future<decoded_module> decoded;
};

prefetch_slot prefetched;

// As read_and_decode, but a whole file that audio_prefetch decoded already is taken from there
// (unless that failed: the file may have changed since).
decoded_module decode_file(const char* file, uint64_t offset, uint32_t length) {
    if (offset == 0 && length == 0 && prefetched.decoded.valid() && prefetched.file == file) {
        decoded_module decoded = prefetched.decoded.get();
        prefetched = {};
        if (decoded.module)
            return decoded;
    }
    return read_and_decode(file, offset, length);
}

} // namespace

void audio_prefetch(const char* file) {
    prefetched = {};
    if (!file)
        return;
    try {
        prefetched.decoded = std::async(std::launch::async, prefetch_decode, std::string(file));
        prefetched.file = file;
    } catch (const std::exception&) {
        prefetched = {}; // no thread: the load decodes it
    }
}

bool BASS_Init(int device, uint32_t freq, uint32_t, void*, const void*) {
    {
        std::lock_guard guard(engine.lock);
        if (engine.ready)
            return false;
    }
    if (device != AUDIO_DEVICE_DEFAULT && device != AUDIO_DEVICE_NONE)
        return false;
    if (freq < 8000 || freq > 192000)
        return false;
    SDL_AudioDeviceID opened = 0;
    if (device == AUDIO_DEVICE_DEFAULT) {
        opened = open_default_device(int32_t(freq));
        if (opened == 0)
            return false;
    }
    {
        std::lock_guard guard(engine.lock);
        engine.ready = true;
        engine.device = opened;
        engine.rate = int32_t(freq);
        engine.volume = 1.0f;
        engine.frames_out = 0;
        engine.last_handover = 0;
        engine.handed = clock_type::now();
    }
    if (opened)
        SDL_PauseAudioDevice(opened, 0);
    return true;
}

bool BASS_Free() {
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard guard(engine.lock);
        if (!engine.ready)
            return false;
        device = engine.device;
    }
    // Closing waits for the device thread, whose callback takes the lock: do it unlocked.
    if (device)
        SDL_CloseAudioDevice(device);
    {
        std::lock_guard guard(engine.lock);
        engine.musics.clear();
        engine.ready = false;
        engine.device = 0;
    }
    if (device)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return true;
}

HMUSIC BASS_MusicLoad(bool mem, const void* file, uint64_t offset, uint32_t length, uint32_t flags,
                      uint32_t freq) {
    int32_t rate = 0;
    {
        std::lock_guard guard(engine.lock);
        if (!engine.ready)
            return 0;
        rate = engine.rate;
    }
    if (!file || (freq != 0 && freq != uint32_t(rate)))
        return 0;
    if (mem && length == 0)
        return 0;
    // Decoded outside the lock so that the device keeps playing meanwhile.
    music loaded;
    static_cast<decoded_module&>(loaded) =
        mem ? decode(static_cast<const char*>(file) + offset, length)
            : decode_file(static_cast<const char*>(file), offset, length);
    if (!loaded.module)
        return 0;
    try {
        loaded.module->set_repeat_count((flags & AUDIO_MUSIC_LOOP) ? -1 : 0);
        loaded.module->set_render_param(openmpt::module::RENDER_VOLUMERAMPING_STRENGTH,
                                        (flags & AUDIO_MUSIC_RAMPS) ? -1 : 0);
    } catch (const std::exception&) {
        return 0;
    }
    loaded.held = decoder_position(loaded);

    std::lock_guard guard(engine.lock);
    if (!engine.ready)
        return 0;
    if (++engine.last_handle == 0)
        ++engine.last_handle;
    engine.musics.emplace(engine.last_handle, std::move(loaded));
    return engine.last_handle;
}

bool BASS_ChannelPlay(HMUSIC handle, bool restart) {
    std::lock_guard guard(engine.lock);
    music* m = find_music(handle);
    if (!m)
        return false;
    if (restart) {
        m->module->set_position_order_row(0, 0);
        m->held = position_word(0, 0);
        m->timeline.clear();
    }
    if (m->state != play_state::playing) {
        m->state = play_state::playing;
        m->timeline.clear();
    }
    return true;
}

bool BASS_ChannelPause(HMUSIC handle) {
    std::lock_guard guard(engine.lock);
    music* m = find_music(handle);
    if (!m || m->state != play_state::playing)
        return false;
    hold(*m, play_state::paused);
    return true;
}

bool BASS_ChannelStop(HMUSIC handle) {
    std::lock_guard guard(engine.lock);
    music* m = find_music(handle);
    if (!m)
        return false;
    hold(*m, play_state::stopped);
    return true;
}

uint64_t BASS_ChannelGetPosition(HMUSIC handle, uint32_t mode) {
    std::lock_guard guard(engine.lock);
    const music* m = find_music(handle);
    if (!m || mode != AUDIO_POS_ORDER_ROW)
        return AUDIO_POS_ERROR;
    return reported_position(*m);
}

bool BASS_ChannelSetPosition(HMUSIC handle, uint64_t pos, uint32_t mode) {
    std::lock_guard guard(engine.lock);
    music* m = find_music(handle);
    if (!m || mode != AUDIO_POS_ORDER_ROW)
        return false;
    const int32_t order = int32_t(pos & 0xFFFF);
    const int32_t row = int32_t((pos >> 16) & 0xFFFF);
    openmpt::module& module = *m->module;
    if (order >= module.get_num_orders())
        return false;
    const int32_t pattern = module.get_order_pattern(order);
    if (pattern < 0 || pattern >= module.get_num_patterns() ||
        row >= module.get_pattern_num_rows(pattern))
        return false;
    module.set_position_order_row(order, row);
    m->held = position_word(order, row);
    m->timeline.clear();
    return true;
}

bool BASS_SetVolume(float volume) {
    std::lock_guard guard(engine.lock);
    if (!engine.ready || !(volume >= 0.0f && volume <= 100.0f))
        return false;
    engine.volume = volume / 100.0f;
    return true;
}

bool audio_render(float* out, uint32_t frames) {
    std::lock_guard guard(engine.lock);
    if (!engine.ready || engine.device != 0 || !out)
        return false;
    mix(out, frames);
    return true;
}

uint64_t audio_decoder_position(HMUSIC handle) {
    std::lock_guard guard(engine.lock);
    const music* m = find_music(handle);
    return m ? decoder_position(*m) : AUDIO_POS_ERROR;
}
