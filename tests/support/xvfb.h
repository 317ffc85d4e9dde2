#pragma once
// An X server of a test's own: Xvfb on a display number it picks itself, so that tests running in
// parallel never share one. Needs the Xvfb program (package xvfb).
#include <string>
#include <sys/types.h>

namespace test_support {

class Xvfb {
  public:
    // Starts the server and waits until it accepts clients; on failure, failure() says why.
    Xvfb();
    // Stops the server.
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool running() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }
    // The value for DISPLAY, like ":3".
    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_, failure_;
};

} // namespace test_support
