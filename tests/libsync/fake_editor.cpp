#include "fake_editor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

constexpr int WAIT_MS = 5000;
constexpr char PROGRAM_GREETING[] = "hello, synctracker!";

// Long enough for the program to block in a receive before the next byte arrives.
void pause_between_bytes() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool recv_exact(int fd, void* data, size_t size) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (size > 0) {
        ssize_t got = recv(fd, bytes, size, 0);
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

void put_be32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

} // namespace

FakeEditor::FakeEditor() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ADD_FAILURE() << "fake editor cannot listen: " << std::strerror(errno);
        return;
    }
    port_ = ntohs(address.sin_port);
}

// The listener goes first, so a program that notices the hang-up finds nobody to reconnect to.
FakeEditor::~FakeEditor() {
    join();
    if (listener_ >= 0)
        close(listener_);
    hang_up();
}

std::string FakeEditor::host() const {
    return "127.0.0.1:" + std::to_string(port_);
}

void FakeEditor::accept_async(const std::string& answer, bool byte_by_byte, bool hang_up_after) {
    join();
    hang_up();
    greeted_ = false;
    worker_ = std::thread([this, answer, byte_by_byte, hang_up_after] {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, WAIT_MS) != 1)
            return;
        connection_ = accept(listener_, nullptr, nullptr);
        if (connection_ < 0)
            return;
        timeval timeout{WAIT_MS / 1000, 0};
        setsockopt(connection_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        int one = 1;
        setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char greeting[sizeof PROGRAM_GREETING - 1];
        greeted_ = recv_exact(connection_, greeting, sizeof greeting) &&
                   std::memcmp(greeting, PROGRAM_GREETING, sizeof greeting) == 0;
        for (size_t at = 0; at < answer.size();) {
            size_t piece = byte_by_byte ? 1 : answer.size();
            ::send(connection_, answer.data() + at, piece, MSG_NOSIGNAL);
            at += piece;
            if (byte_by_byte)
                pause_between_bytes();
        }
        if (hang_up_after)
            hang_up();
    });
}

bool FakeEditor::accepted() {
    join();
    return connection_ >= 0 && greeted_;
}

void FakeEditor::send(const Bytes& bytes) {
    ASSERT_EQ(ssize_t(bytes.size()), ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL));
}

void FakeEditor::send_byte_by_byte_async(const Bytes& bytes) {
    join();
    worker_ = std::thread([this, bytes] {
        for (uint8_t byte : bytes) {
            ::send(connection_, &byte, 1, MSG_NOSIGNAL);
            pause_between_bytes();
        }
    });
}

void FakeEditor::join() {
    if (worker_.joinable())
        worker_.join();
}

Bytes FakeEditor::receive(size_t count) {
    Bytes bytes(count);
    size_t have = 0;
    while (have < count) {
        ssize_t got = recv(connection_, bytes.data() + have, count - have, 0);
        if (got <= 0)
            break;
        have += static_cast<size_t>(got);
    }
    bytes.resize(have);
    return bytes;
}

Bytes FakeEditor::receive_for(int milliseconds) {
    Bytes bytes;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{connection_, POLLIN, 0};
        if (left.count() <= 0 || poll(&entry, 1, int(left.count())) != 1)
            return bytes;
        uint8_t chunk[256];
        const ssize_t got = recv(connection_, chunk, sizeof chunk, 0);
        if (got <= 0)
            return bytes;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

bool FakeEditor::closed_by_program() {
    uint8_t byte;
    if (connection_ < 0)
        return false;
    // Closing with unread bytes resets the connection instead of ending it.
    ssize_t got = recv(connection_, &byte, 1, 0);
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

void FakeEditor::hang_up() {
    if (connection_ >= 0)
        close(connection_);
    connection_ = -1;
}

bool poll_until(const std::function<void()>& poll, const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        poll();
        std::this_thread::yield();
    }
    return true;
}

Bytes set_key_message(uint32_t track, int32_t row, float value, uint8_t type) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Bytes out{0};
    put_be32(out, track);
    put_be32(out, static_cast<uint32_t>(row));
    put_be32(out, bits);
    out.push_back(type);
    return out;
}

Bytes delete_key_message(uint32_t track, int32_t row) {
    Bytes out{1};
    put_be32(out, track);
    put_be32(out, static_cast<uint32_t>(row));
    return out;
}

Bytes set_row_message(int32_t row) {
    Bytes out{3};
    put_be32(out, static_cast<uint32_t>(row));
    return out;
}

Bytes pause_message(uint8_t flag) {
    return {4, flag};
}

Bytes get_track_message(const std::string& name) {
    Bytes out{2};
    put_be32(out, static_cast<uint32_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
