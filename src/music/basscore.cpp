#include "music/basscore.h"

#include <cmath>

namespace {

constexpr uint32_t module_flags = AUDIO_MUSIC_LOOP | AUDIO_MUSIC_RAMPS;

} // namespace

uint64_t music_position_word(int order, int row) {
    const int32_t word = int32_t(uint32_t(row) << 16 | uint32_t(order));
    return uint64_t(int64_t(word));
}

bassmod::bassmod(int device) : device_(device) {
    name = "module playback: libopenmpt decoding, SDL2 audio output";
    is_ready = false;
    in_use = false;
}

bassmod::~bassmod() {
    bassmod::free();
}

void bassmod::prefetch(const char* fname) {
    audio_prefetch(fname);
}

bool bassmod::init(bool) {
    free();
    if (!BASS_Init(device_, MUSIC_OUTPUT_RATE, 0, nullptr, nullptr))
        return false;
    is_ready = true;
    return true;
}

bool bassmod::free() {
    if (is_ready)
        BASS_Free();
    is_ready = false;
    in_use = false;
    return true;
}

bool bassmod::load(const char* fname) {
    if (!is_ready)
        return false;
    handle = BASS_MusicLoad(false, fname, 0, 0, module_flags, 0);
    return handle != 0;
}

bool bassmod::loadmem(const void* ptr, uint32_t len) {
    if (!is_ready)
        return false;
    handle = BASS_MusicLoad(true, ptr, 0, len, module_flags, 0);
    return handle != 0;
}

bool bassmod::play() {
    if (!is_ready || !BASS_ChannelPlay(handle, false))
        return false;
    in_use = true;
    return true;
}

bool bassmod::play(int order, int row) {
    if (!is_ready || !BASS_ChannelPlay(handle, false))
        return false;
    BASS_ChannelSetPosition(handle, music_position_word(order, row), AUDIO_POS_ORDER_ROW);
    in_use = true;
    return true;
}

bool bassmod::pause() {
    if (!is_ready)
        return false;
    return BASS_ChannelPause(handle);
}

bool bassmod::stop() {
    BASS_ChannelStop(handle);
    in_use = false;
    return true;
}

int bassmod::getorder() {
    return int(BASS_ChannelGetPosition(handle, AUDIO_POS_ORDER_ROW) & 0xFFFF);
}

int bassmod::getrow() {
    return int(uint32_t(BASS_ChannelGetPosition(handle, AUDIO_POS_ORDER_ROW) >> 16));
}

int bassmod::gettick() {
    return -1;
}

int bassmod::getins(int) {
    return -1;
}

bool bassmod::setpos(int order, int row) {
    if (!in_use)
        return false;
    BASS_ChannelSetPosition(handle, music_position_word(order, row), AUDIO_POS_ORDER_ROW);
    return true;
}

bool bassmod::setvol(float vol) {
    if (!is_ready)
        return false;
    BASS_SetVolume(std::trunc(vol * 100)); // percent, cut toward zero
    return true;
}
