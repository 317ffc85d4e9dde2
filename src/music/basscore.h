#pragma once
// The music system's real backend: plays a tracker module through the program's audio layer
// (platform/audio.h) and reports the order and row being heard. It plays on the default audio
// device, or on none: then the sound comes only from audio_render, which also moves the position.
#include "music/musicsys.h"

#include "platform/audio.h"

// Stereo frames per second of everything the backend plays.
constexpr uint32_t MUSIC_OUTPUT_RATE = 44100;

class bassmod : public musicsys {
  public:
    HMUSIC handle = 0; // the loaded module; 0 before the first load and after a failed one

    // `device`: AUDIO_DEVICE_DEFAULT or AUDIO_DEVICE_NONE, opened by init.
    explicit bassmod(int device = AUDIO_DEVICE_DEFAULT);
    ~bassmod() override;

    // Starts decoding a module file in the background for a later load of it (by any bassmod),
    // which then waits for that instead of decoding it itself; null drops what no load took.
    static void prefetch(const char* fname);

    bool init(bool manual) override;
    bool load(const char* fname) override;
    bool loadmem(const void* ptr, uint32_t len) override;
    bool play() override;
    bool play(int order, int row) override;
    bool pause() override;
    bool stop() override;
    bool free() override;
    int getorder() override;
    int getrow() override;
    int gettick() override;
    int getins(int ch) override;
    bool setpos(int order, int row) override;
    bool setvol(float vol) override;

  private:
    int device_;
};

// The 64-bit position argument for an order and a row: (row << 16) | order in 32 bits, widened
// with its sign.
uint64_t music_position_word(int order, int row);
