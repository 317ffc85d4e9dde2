#pragma once
// The scene base class. The driver constructs every scene once, hands it the back surface through
// init, and each frame calls run on the scene that "main#run" selects; the scene draws the whole
// frame into the back surface and presents it.

class qbx_surface;

class part {
  public:
    const char* name; // the scene's name, not copied; "" when constructed without one

    part();
    explicit part(const char* name);
    virtual ~part();
    part(const part&) = delete;
    part& operator=(const part&) = delete;

    // Prepares the scene to draw into `target`. 0 on success; non-zero when a resource the scene
    // needs could not be loaded (its message is already printed).
    virtual int init(qbx_surface* target, unsigned long flags);
    // Not used by the driver; 0.
    virtual int main();
    // Draws and presents one frame at scene time `time` (seconds). `frameTime` is not read.
    virtual int run(float time, float frameTime);
};
