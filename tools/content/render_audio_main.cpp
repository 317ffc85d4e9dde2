// render_audio: plays a module once through the program's audio layer, without a device, and
// writes what it mixed to a WAV file (32-bit float, 44100 Hz stereo) for measuring.
//
//   render_audio <module> <out.wav>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include <libopenmpt/libopenmpt.hpp>

#include "media/image.h"
#include "media/wav.h"
#include "platform/audio.h"

namespace {

constexpr int rate = 44100;

// The song's length, as the decoder computes it from the module alone.
double duration_seconds(const char* path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    std::ostringstream log;
    try {
        return openmpt::module(bytes.data(), bytes.size(), log).get_duration_seconds();
    } catch (const std::exception&) {
        return -1;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: render_audio <module> <out.wav>\n", stderr);
        return 2;
    }
    const double seconds = duration_seconds(argv[1]);
    if (seconds <= 0 || !BASS_Init(AUDIO_DEVICE_NONE, rate, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "render_audio: cannot read %s\n", argv[1]);
        return 1;
    }
    const HMUSIC music = BASS_MusicLoad(false, argv[1], 0, 0, AUDIO_MUSIC_RAMPS, 0);
    if (!music || !BASS_ChannelPlay(music, true)) {
        std::fprintf(stderr, "render_audio: cannot play %s\n", argv[1]);
        return 1;
    }
    const size_t frames = size_t(seconds * rate);
    std::vector<float> sound(2 * frames);
    constexpr size_t chunk = 4096;
    for (size_t done = 0; done < frames; done += chunk)
        audio_render(&sound[2 * done], uint32_t(std::min(chunk, frames - done)));
    BASS_Free();
    if (!media::save_bytes(argv[2], media::encode_wav(sound.data(), frames, 2, rate))) {
        std::fprintf(stderr, "render_audio: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
