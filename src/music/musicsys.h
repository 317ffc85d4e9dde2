#pragma once
// The music system the driver talks to: start the audio device, load a module, play, pause, stop,
// seek to an order and row, and read back the order and row being played. This base class is the
// complete "null" backend: it plays nothing, its commands fail and its read-outs give -1.
#include <cstdint>

class musicsys {
  public:
    bool in_use = false;       // a module is playing (pause keeps it, stop and free clear it)
    bool is_ready = false;     // the audio device is initialised
    const char* name = "null"; // names the backend

    musicsys();
    virtual ~musicsys();
    musicsys(const musicsys&) = delete;
    musicsys& operator=(const musicsys&) = delete;

    virtual bool init(bool manual);
    virtual bool load(const char* fname);
    virtual bool loadmem(const void* ptr, uint32_t len);
    virtual bool play();
    virtual bool play(int order, int row);
    virtual bool pause();
    virtual bool stop();
    virtual bool free();
    virtual int getorder();
    virtual int getrow();
    virtual int gettick();
    virtual int getins(int ch);
    virtual bool setpos(int order, int row);
    virtual bool setvol(float vol);
    virtual const char* getdevinfo();
};
