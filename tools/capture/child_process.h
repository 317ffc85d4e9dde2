#pragma once
// A helper program (ffmpeg) run as a child process: fed through a pipe on its standard input, its
// standard output discarded and its standard error kept, so that a failure can be told in one line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class child_process {
  public:
    child_process() = default;
    ~child_process(); // a child still running is stopped and waited for
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    // Starts argv[0], looked up on PATH. With `feed` its standard input is a pipe that write()
    // fills; otherwise it reads nothing.
    bool start(const std::vector<std::string>& argv, bool feed);
    // False once the child has stopped reading (it failed): finish() tells why.
    bool write(const void* data, size_t size);
    // Ends the input and waits for the child; true when it exited with 0.
    bool finish();
    // Stops the child now.
    void stop();

    const std::string& error() const { return error_; }

  private:
    void reap(int signal);

    std::string name_;
    int pid_ = -1;
    int input_ = -1; // the pipe's end that write() fills
    std::FILE* errors_ = nullptr;
    std::string error_;
};
