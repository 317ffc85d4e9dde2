#include "process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<std::string> child_environment(const ProcessSpec& spec) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq)
            vars[std::string(const_cast<const char*>(*e), eq)] = eq + 1;
    }
    for (const auto& [name, value] : spec.env) {
        if (value)
            vars[name] = *value;
        else
            vars.erase(name);
    }
    std::vector<std::string> out;
    for (const auto& [name, value] : vars)
        out.push_back(name + "=" + value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

ChildProcess::ChildProcess(const ProcessSpec& spec) : timeout_(spec.timeout_seconds) {
    std::vector<std::string> argv_strings = {spec.program};
    argv_strings.insert(argv_strings.end(), spec.args.begin(), spec.args.end());
    std::vector<std::string> env_strings = child_environment(spec);
    std::vector<char*> argv = pointers(argv_strings);
    std::vector<char*> envp = pointers(env_strings);

    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        // Nothing else of the test leaks into the child: a listening socket kept open there
        // would take connections meant for nobody.
        closefrom(3);
        if (!spec.directory.empty() && chdir(spec.directory.c_str()) != 0)
            _exit(126);
        execve(spec.program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
    if (out_ >= 0)
        close(out_);
    if (err_ >= 0)
        close(err_);
}

bool ChildProcess::running() {
    if (pid_ <= 0 || reaped_)
        return false;
    if (waitpid(pid_, &status_, WNOHANG) == pid_)
        reaped_ = true;
    return !reaped_;
}

void ChildProcess::send_signal(int signal) {
    if (pid_ > 0 && !reaped_)
        kill(pid_, signal);
}

ProcessResult ChildProcess::wait() {
    ProcessResult result;
    if (pid_ <= 0)
        return result;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_);
    // Read both pipes until the child closes them, so a chatty child never blocks on a full pipe.
    while (out_ >= 0 || err_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(pid_, SIGKILL);
            break;
        }
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (poll(fds, 2, int(left.count())) < 0 && errno != EINTR)
            break;
        int* pipes[2] = {&out_, &err_};
        std::string* texts[2] = {&result.out, &result.err};
        for (int i = 0; i < 2; ++i) {
            if (*pipes[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t got = read(*pipes[i], buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, size_t(got));
            } else if (got == 0 || errno != EINTR) {
                close(*pipes[i]);
                *pipes[i] = -1;
            }
        }
    }
    if (!reaped_)
        waitpid(pid_, &status_, 0);
    reaped_ = true;
    if (!result.timed_out && WIFEXITED(status_))
        result.exit_code = WEXITSTATUS(status_);
    if (!result.timed_out && WIFSIGNALED(status_))
        result.signal = WTERMSIG(status_);
    return result;
}

ProcessResult run_process(const ProcessSpec& spec) {
    ChildProcess child(spec);
    return child.wait();
}
