#pragma once
// A private X server (Xvfb) for one test: it picks a free display number itself, DISPLAY points
// at it while the object lives, and it is stopped when the object goes. Tests read pixels back
// from it and send it input, as a user's X server would see them.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <X11/Xlib.h>

namespace test_support {

class x_server {
  public:
    // `screen` is Xvfb's screen geometry, such as "1024x768x24".
    explicit x_server(const char* screen = "1024x768x24");
    ~x_server();
    x_server(const x_server&) = delete;
    x_server& operator=(const x_server&) = delete;

    // False, with the reason in why_not(), when Xvfb could not be started here.
    bool running() const { return connection != nullptr; }
    const std::string& why_not() const { return reason; }
    Display* display() const { return connection; }

    // The first window (depth first) whose title is `title`, or 0.
    Window find_window(const char* title) const;
    // Waits (pumping with `pump` in between) until `ready` is true or a generous deadline passes;
    // returns what `ready` said last.
    template <typename Ready, typename Pump>
    bool wait_until(Ready ready, Pump pump) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!ready()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pump();
        }
        return true;
    }

    // The pixel values of a rectangle of a window, as the server holds them (line by line).
    std::vector<uint32_t> read(Window window, int x, int y, int width, int height) const;
    // A key press and release through the XTEST extension, delivered like a keyboard's.
    void press_key(unsigned long keysym) const;
    // Gives the window the keyboard focus and puts the pointer over it.
    void focus(Window window) const;

  private:
    int pid = -1;
    Display* connection = nullptr;
    std::string reason, old_display;
    bool had_display = false;
};

} // namespace test_support
