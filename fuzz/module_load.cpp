// Any bytes given to the audio layer as a module: the XM completeness walk and the load either
// refuse them or give a music that plays; nothing reads outside the bytes.
#include "platform/audio.h"
#include "platform/module_check.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy, so that reads past the end hit the sanitizer's red zone.
    const std::vector<uint8_t> bytes(data, data + size);
    module_data_complete(bytes.data(), bytes.size());
    if (bytes.empty() || !BASS_Init(AUDIO_DEVICE_NONE, 44100, 0, nullptr, nullptr))
        return 0;
    const HMUSIC music = BASS_MusicLoad(true, bytes.data(), 0, uint32_t(bytes.size()),
                                        AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMPS, 0);
    if (music && BASS_ChannelPlay(music, false)) {
        static float out[2 * 1024];
        audio_render(out, 1024);
        BASS_ChannelGetPosition(music, AUDIO_POS_ORDER_ROW);
        BASS_ChannelSetPosition(music, uint64_t(size) << 16, AUDIO_POS_ORDER_ROW);
        BASS_ChannelStop(music);
    }
    BASS_Free(); // forgets the music
    return 0;
}
