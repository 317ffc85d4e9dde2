#pragma once
// The program's audio layer: tracker modules decoded by libopenmpt and played on the default SDL2
// audio device (or rendered offline into a caller's buffer). The calls keep the shape the music
// backend was written against: results are true on success, a music handle of 0 means failure,
// positions are 64-bit words and AUDIO_POS_ERROR (all ones) reports a failed read-out.
//
// Call from one thread. Playback runs on the device's own thread; every piece of decoder state is
// touched only under the layer's lock.
//
// The reported position is the one being heard: the mixer renders in small chunks and notes the
// decoder's order and row at the end of each, and a read-out picks the note for the sample that
// reaches the output now (the samples handed to the device minus those still buffered). So it lags
// the decoder by at most one device buffer; a paused or stopped music reports the position it was
// paused or stopped at.
#include <cstdint>

using HMUSIC = uint32_t;

// Devices for BASS_Init.
constexpr int AUDIO_DEVICE_DEFAULT = -1; // the system's default output device
constexpr int AUDIO_DEVICE_NONE = 0;     // no device: sound comes out only through audio_render

// Flags for BASS_MusicLoad.
constexpr uint32_t AUDIO_MUSIC_LOOP = 0x4;    // loop the module forever
constexpr uint32_t AUDIO_MUSIC_RAMPS = 0x400; // volume ramping (avoids clicks on volume changes)

// Position mode for BASS_ChannelGetPosition and BASS_ChannelSetPosition: the low 16 bits of the
// position word hold the order, the next 16 bits the row.
constexpr uint32_t AUDIO_POS_ORDER_ROW = 1;
constexpr uint64_t AUDIO_POS_ERROR = ~uint64_t(0);

// Frames the device takes per hand-over, and the frames rendered between two position notes.
constexpr uint32_t AUDIO_DEVICE_BUFFER_FRAMES = 1024;
constexpr uint32_t AUDIO_CHUNK_FRAMES = 256;

// Starts the layer on a device at `freq` Hz, 32-bit float stereo. Fails when the layer is already
// started, the device is neither AUDIO_DEVICE_DEFAULT nor AUDIO_DEVICE_NONE, the rate is outside
// 8000..192000, or no device can be opened. `flags`, `window` and `guid` are not used.
bool BASS_Init(int device, uint32_t freq, uint32_t flags, void* window, const void* guid);

// Starts reading and decoding the module file `file` on a worker thread, so that a later
// BASS_MusicLoad of the whole file (offset and length 0) takes the decoder from there rather than
// decode it then (so it loads the file as the prefetch read it); where the prefetch failed, the
// load reads the file again. Needs no started layer. A new prefetch, or a null `file`, drops one
// that no load took, waiting for it to end.
void audio_prefetch(const char* file);

// Stops everything, closes the device and forgets every music (their handles become invalid).
// False when the layer was not started.
bool BASS_Free();

// Loads a module from the file `file` (a path; `mem` false) or from `length` bytes at `file`
// (`mem` true), starting `offset` bytes in; for a file, length 0 means up to its end. `freq` must
// be 0 or the device rate. The music is stopped at order 0, row 0. Returns 0 when the layer is not
// started or the data is not a module this layer can play.
HMUSIC BASS_MusicLoad(bool mem, const void* file, uint64_t offset, uint32_t length, uint32_t flags,
                      uint32_t freq);

// Plays the music from where it is (where it was paused or stopped); `restart` starts it from
// order 0, row 0. True also when it is already playing.
bool BASS_ChannelPlay(HMUSIC handle, bool restart);

// Pauses a playing music; the reported position holds. False when it is not playing.
bool BASS_ChannelPause(HMUSIC handle);

// Stops the music; it keeps its position, so a later play continues from there.
bool BASS_ChannelStop(HMUSIC handle);

// The audible position in the given mode, or AUDIO_POS_ERROR for an invalid handle or mode.
uint64_t BASS_ChannelGetPosition(HMUSIC handle, uint32_t mode);

// Moves the decoder to an order and row (low 32 bits of `pos`, see AUDIO_POS_ORDER_ROW); the
// reported position is the new one at once. False for an invalid handle or mode, an order past the
// order list or a row past its pattern.
bool BASS_ChannelSetPosition(HMUSIC handle, uint64_t pos, uint32_t mode);

// The master volume in percent, 0 to 100, applied to everything the layer outputs.
bool BASS_SetVolume(float volume);

// Renders `frames` stereo frames (interleaved float pairs) into `out` when the layer was started
// with AUDIO_DEVICE_NONE, and advances the reported positions by them. False otherwise.
bool audio_render(float* out, uint32_t frames);

// The decoder's own position (order and row as above) of a music, ahead of the audible one by
// what is still buffered; AUDIO_POS_ERROR for an invalid handle.
uint64_t audio_decoder_position(HMUSIC handle);
