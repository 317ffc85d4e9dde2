#include "support/x_server.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace test_support {

namespace {

// Reads the display number Xvfb writes once it accepts connections; -1 after the wait or at EOF.
int read_display_number(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, 200) <= 0)
            continue;
        char c;
        if (read(fd, &c, 1) != 1)
            return -1;
        if (c == '\n')
            return text.empty() ? -1 : std::atoi(text.c_str());
        text += c;
    }
    return -1;
}

} // namespace

x_server::x_server(const char* screen) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        reason = std::string("no pipe: ") + std::strerror(errno);
        return;
    }
    const std::string fd = std::to_string(pipe_fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen",  "0",
                          screen, "-nolisten",  "tcp",      "-noreset", nullptr};
    pid = fork();
    if (pid == 0) {
        // The server goes with the test, however the test ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(pipe_fds[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execvp("Xvfb", const_cast<char* const*>(argv));
        _exit(127);
    }
    close(pipe_fds[1]);
    if (pid < 0) {
        close(pipe_fds[0]);
        reason = std::string("no process for Xvfb: ") + std::strerror(errno);
        return;
    }
    const int number = read_display_number(pipe_fds[0]);
    close(pipe_fds[0]);
    if (number < 0) {
        reason = "Xvfb did not come up (is it installed? scripts/deps.sh installs it)";
        return;
    }
    const std::string name = ":" + std::to_string(number);
    if (const char* old = std::getenv("DISPLAY")) {
        had_display = true;
        old_display = old;
    }
    setenv("DISPLAY", name.c_str(), 1);
    // A request about a window that is not (yet) as asked fails quietly instead of ending the
    // test; the caller sees the empty answer.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    connection = XOpenDisplay(name.c_str());
    if (!connection)
        reason = "Xvfb started on " + name + " but does not answer";
}

x_server::~x_server() {
    if (connection)
        XCloseDisplay(connection);
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (had_display)
        setenv("DISPLAY", old_display.c_str(), 1);
    else if (connection)
        unsetenv("DISPLAY");
}

namespace {

Window find_below(Display* display, Window parent, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, parent, &name) && name) {
        const bool same = std::strcmp(name, title) == 0;
        XFree(name);
        if (same)
            return parent;
    }
    Window root, up, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        found = find_below(display, children[i], title);
    if (children)
        XFree(children);
    return found;
}

} // namespace

Window x_server::find_window(const char* title) const {
    return find_below(connection, DefaultRootWindow(connection), title);
}

std::vector<uint32_t> x_server::read(Window window, int x, int y, int width, int height) const {
    std::vector<uint32_t> pixels;
    XImage* image =
        XGetImage(connection, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.reserve(size_t(width) * height);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            pixels.push_back(uint32_t(XGetPixel(image, column, row)));
    XDestroyImage(image);
    return pixels;
}

void x_server::press_key(unsigned long keysym) const {
    const KeyCode code = XKeysymToKeycode(connection, keysym);
    XTestFakeKeyEvent(connection, code, True, 0);
    XTestFakeKeyEvent(connection, code, False, 0);
    XSync(connection, False);
}

void x_server::focus(Window window) const {
    XWindowAttributes attributes;
    XGetWindowAttributes(connection, window, &attributes);
    XWarpPointer(connection, None, window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    XSetInputFocus(connection, window, RevertToParent, CurrentTime);
    XSync(connection, False);
}

} // namespace test_support

// SDL's X11 video opens libdbus and closes it again on quitting, leaving libdbus's own allocations
// behind (SDL 2.26 leaves dbus_shutdown to the application). Not ours: the leak checker of the
// sanitizer build skips them in every test that runs against an X server.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
