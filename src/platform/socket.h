#pragma once
// TCP stream sockets, as little as the sync editor connection needs. Every call that waits for the
// peer gives up at a deadline, so a peer that falls silent cannot hold the program. The calls are
// kept free of system types so that another platform can supply its own socket.cpp.
#include <cstddef>
#include <cstdint>
#include <vector>

using tcp_socket = int;
constexpr tcp_socket tcp_invalid = -1;

// One resolved address, kept as the raw bytes of the system's address record.
struct tcp_address {
    int family = 0;
    uint32_t length = 0;
    unsigned char bytes[128] = {};
};

// Where a host string points: "name" uses default_port, "name:port" and "[v6-literal]:port" give
// their own. Returns false when the port is not a number from 1 to 65535.
bool tcp_split_host(const char* host, uint16_t default_port, std::vector<char>& name,
                    uint16_t& port);

// Resolves host (see tcp_split_host) to its addresses in the resolver's order; empty on failure.
std::vector<tcp_address> tcp_resolve(const char* host, uint16_t default_port);

// A moment on a monotonic clock, in milliseconds.
using tcp_deadline = int64_t;
// The moment `milliseconds` from now.
tcp_deadline tcp_deadline_in(int milliseconds);

enum class tcp_status {
    ok,
    failed,    // an error, a refusal, or the peer closed the connection
    timed_out, // the deadline passed first
};

// A connected stream socket, or tcp_invalid with the reason in `status`.
tcp_socket tcp_connect(const tcp_address& address, tcp_deadline deadline, tcp_status& status);

// Moves the whole buffer, however many pieces the network delivers it in, by the deadline. A closed
// peer never raises a signal.
tcp_status tcp_send_all(tcp_socket sock, const void* data, size_t size, tcp_deadline deadline);
tcp_status tcp_recv_all(tcp_socket sock, void* data, size_t size, tcp_deadline deadline);

// True when a receive would not block (data waiting, or the peer closed or failed); never waits.
bool tcp_readable(tcp_socket sock);

void tcp_close(tcp_socket sock);
