#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The last line of what the child printed on its standard error, or "".
std::string last_line(std::FILE* file) {
    std::string text, line;
    std::rewind(file);
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    const size_t start = text.find_last_of("\r\n");
    return start == std::string::npos ? text : text.substr(start + 1);
}

// Spawn settings: the child's standard streams, and the signals it takes in their default way
// (this program ignores a broken pipe, the child should not).
struct spawn_setup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

    spawn_setup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    }
    ~spawn_setup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    spawn_setup(const spawn_setup&) = delete;
    spawn_setup& operator=(const spawn_setup&) = delete;
};

} // namespace

child_process::~child_process() {
    stop();
}

bool child_process::start(const std::vector<std::string>& argv, bool feed) {
    name_ = argv.at(0);
    errors_ = std::tmpfile();
    if (!errors_) {
        error_ = std::string("cannot keep the output of ") + name_ + ": " + std::strerror(errno);
        return false;
    }
    int pipe_ends[2] = {-1, -1};
    if (feed && pipe2(pipe_ends, O_CLOEXEC) != 0) {
        error_ = std::string("cannot make a pipe to ") + name_ + ": " + std::strerror(errno);
        return false;
    }
    spawn_setup setup;
    if (feed)
        posix_spawn_file_actions_adddup2(&setup.actions, pipe_ends[0], 0);
    else
        posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, fileno(errors_), 2);

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        posix_spawnp(&pid, name_.c_str(), &setup.actions, &setup.attributes, args.data(), environ);
    if (feed) {
        close(pipe_ends[0]);
        input_ = pipe_ends[1];
    }
    if (spawned != 0) {
        error_ = std::string("cannot run ") + name_ + ": " + std::strerror(spawned);
        if (spawned == ENOENT)
            error_ += " (install " + name_ + ")";
        stop();
        return false;
    }
    pid_ = pid;
    return true;
}

bool child_process::write(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(input_, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

bool child_process::finish() {
    reap(0);
    return error_.empty();
}

void child_process::stop() {
    reap(SIGTERM);
}

// Closes the input, sends `signal` (0: none) and waits; a failure is put into words.
void child_process::reap(int signal) {
    if (input_ >= 0)
        close(input_);
    input_ = -1;
    if (pid_ > 0) {
        if (signal)
            kill(pid_, signal);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        if (!signal && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            const std::string said = errors_ ? last_line(errors_) : "";
            error_ = name_ + " failed";
            if (WIFEXITED(status))
                error_ += " (exit " + std::to_string(WEXITSTATUS(status)) + ")";
            else if (WIFSIGNALED(status))
                error_ += std::string(" (") + strsignal(WTERMSIG(status)) + ")";
            if (!said.empty())
                error_ += ": " + said;
        }
    }
    if (errors_)
        std::fclose(errors_);
    errors_ = nullptr;
}
