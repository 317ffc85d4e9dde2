#pragma once
// A stand-in for the sync editor on loopback: it listens on an ephemeral port, takes the
// program's connection on a helper thread (the program blocks in the greeting meanwhile) and then
// lets the test send and receive raw bytes. Every wait is bounded, so a fault fails the test
// instead of hanging it.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<uint8_t>;

class FakeEditor {
  public:
    FakeEditor();
    ~FakeEditor();
    FakeEditor(const FakeEditor&) = delete;
    FakeEditor& operator=(const FakeEditor&) = delete;

    // "127.0.0.1:<port>", the host string for the program.
    std::string host() const;

    // Accepts the next connection in the background, reads the program's greeting and answers
    // with `answer`, one byte at a time when `byte_by_byte`; then closes the connection when
    // `hang_up`. Pair with accepted().
    void accept_async(const std::string& answer = "hello, demo!", bool byte_by_byte = false,
                      bool hang_up = false);
    // Waits for the background accept; true when a connection came with the exact greeting.
    bool accepted();

    // Sends bytes now, or in the background one byte at a time (pair with join()).
    void send(const Bytes& bytes);
    void send_byte_by_byte_async(const Bytes& bytes);
    void join();

    // The next `count` bytes from the program; fewer when it closed or fell silent for seconds.
    Bytes receive(size_t count);
    // Whatever the program sends within the next `milliseconds`.
    Bytes receive_for(int milliseconds);
    // True when the program has closed the connection (after any bytes still unread), or reset it.
    bool closed_by_program();
    void hang_up();

  private:
    int listener_ = -1;
    int connection_ = -1;
    uint16_t port_ = 0;
    bool greeted_ = false;
    std::thread worker_;
};

// Calls sync_update-like `poll` until `done` holds or a few seconds pass; true when done.
bool poll_until(const std::function<void()>& poll, const std::function<bool()>& done);

// Protocol messages from the editor, in network byte order.
Bytes set_key_message(uint32_t track, int32_t row, float value, uint8_t type);
Bytes delete_key_message(uint32_t track, int32_t row);
Bytes set_row_message(int32_t row);
Bytes pause_message(uint8_t flag);
// The program's request for a track.
Bytes get_track_message(const std::string& name);
Bytes concat(std::initializer_list<Bytes> parts);
