#pragma once
// Runs a program as a child process with a changed environment, collecting what it prints.
#include <map>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
    int exit_code = -1; // -1 when it did not exit by itself
    int signal = 0;     // the signal that ended it, if one did
    bool timed_out = false;
    std::string out, err;
};

struct ProcessSpec {
    std::string program;
    std::vector<std::string> args;
    std::string directory; // the working directory
    // Variables to set, or to remove (nullopt), on top of this process's environment.
    std::map<std::string, std::optional<std::string>> env;
    double timeout_seconds = 60.0; // then the child is killed
};

ProcessResult run_process(const ProcessSpec& spec);

// Starts the child and returns at once; wait() collects it.
class ChildProcess {
  public:
    explicit ChildProcess(const ProcessSpec& spec);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the child (killing it after the ProcessSpec's timeout) and returns what it did.
    ProcessResult wait();
    // True while the child has not exited; never waits.
    bool running();
    void send_signal(int signal);

  private:
    int pid_ = -1;
    int out_ = -1, err_ = -1;
    double timeout_;
    bool reaped_ = false;
    int status_ = 0;
};
