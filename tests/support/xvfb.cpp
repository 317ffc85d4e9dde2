#include "support/xvfb.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace test_support {

namespace {

// Xvfb writes its display number to this descriptor once it is ready.
constexpr int ready_fd = 3;
// Xvfb starts in well under a second; a loaded machine may take much longer.
constexpr int ready_timeout_ms = 60000;

} // namespace

Xvfb::Xvfb() {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        failure_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], ready_fd);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char program[] = "Xvfb", displayfd[] = "-displayfd", fd[] = "3", screen[] = "-screen",
         zero[] = "0", size[] = "1024x768x24", nolisten[] = "-nolisten", tcp[] = "tcp";
    char* argv[] = {program, displayfd, fd, screen, zero, size, nolisten, tcp, nullptr};
    const int spawned = posix_spawnp(&pid_, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (spawned != 0) {
        pid_ = -1;
        failure_ = std::string("cannot run Xvfb: ") + std::strerror(spawned);
        close(ready[0]);
        return;
    }

    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c;
    while (poll(&wait, 1, ready_timeout_ms) == 1 && read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (number.empty()) {
        failure_ = "Xvfb did not start";
        return;
    }
    display_ = ":" + number;
}

Xvfb::~Xvfb() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

} // namespace test_support

// SDL's X11 video opens libdbus and closes it again on quitting, leaving libdbus's own allocations
// behind (SDL 2.26 leaves dbus_shutdown to the application). Not ours: the leak checker of the
// sanitizer build skips them in every test that runs against an X server.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
