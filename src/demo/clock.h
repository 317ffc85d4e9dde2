#pragma once
// The demo clock: seconds that can be stopped, resumed and set to any value. The sync editor's
// pause and seek requests drive it together with the music. Reads the library timer, so
// qbx_inittimer must have run first.

class Time {
  public:
    bool running = true;
    double offset = 0.0; // seconds added to the time since `origin` while running
    double held = 0.0;   // the value while stopped, and the value that start() resumes from
    double origin = 0.0; // the library timer's reading from which running time is counted

    Time() = default;
    virtual ~Time() = default;

    // The bool results carry no meaning: they are always false.
    virtual bool init();        // counts from now
    virtual double get();       // the clock's value in seconds
    virtual bool set(double t); // reads t from now on, running or not
    virtual bool start();       // resumes from `held`, also on a running clock
    virtual bool stop();        // freezes at the current value
};
