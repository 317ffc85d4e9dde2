#include "platform/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

struct Split {
    bool ok;
    std::string name;
    uint16_t port;
};

Split split(const char* host) {
    std::vector<char> name;
    uint16_t port = 0;
    bool ok = tcp_split_host(host, 1338, name, port);
    return {ok, name.data(), port};
}

TEST(TcpHost, PortFromTheHostStringOrTheDefault) {
    EXPECT_EQ("localhost", split("localhost").name);
    EXPECT_EQ(1338, split("localhost").port);
    EXPECT_EQ("10.0.0.2", split("10.0.0.2:4000").name);
    EXPECT_EQ(4000, split("10.0.0.2:4000").port);
    EXPECT_EQ("::1", split("::1").name);
    EXPECT_EQ(1338, split("::1").port);
    EXPECT_EQ("::1", split("[::1]:9").name);
    EXPECT_EQ(9, split("[::1]:9").port);
    EXPECT_EQ(1338, split("[::1]").port);
    EXPECT_EQ(65535, split("h:65535").port);
}

TEST(TcpHost, BadPortsAreRejected) {
    for (const char* host : {"h:", "h:0", "h:65536", "h:12x", "h:-1", "[::1]:"})
        EXPECT_FALSE(split(host).ok) << host;
    EXPECT_TRUE(tcp_resolve("h:0", 1338).empty());
}

TEST(TcpTransfer, ClosedPeerFailsWithoutASignal) {
    int fds[2];
    ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
    EXPECT_FALSE(tcp_readable(fds[0]));
    char byte = 'x';
    ASSERT_EQ(tcp_status::ok, tcp_send_all(fds[1], &byte, 1, tcp_deadline_in(5000)));
    EXPECT_TRUE(tcp_readable(fds[0]));
    char got[2];
    close(fds[1]);
    // One byte arrived, the second never will.
    EXPECT_EQ(tcp_status::failed, tcp_recv_all(fds[0], got, 2, tcp_deadline_in(5000)));
    EXPECT_EQ('x', got[0]);
    // Sending to a closed peer would raise SIGPIPE and end the test run without the flag.
    EXPECT_EQ(tcp_status::failed, tcp_send_all(fds[0], &byte, 1, tcp_deadline_in(5000)));
    tcp_close(fds[0]);
}

// A peer that stays connected but falls silent, or stops reading, holds a transfer only until
// its deadline.
TEST(TcpTransfer, SilentPeerRunsIntoTheDeadline) {
    int fds[2];
    ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
    char byte = 'x';
    ASSERT_EQ(tcp_status::ok, tcp_send_all(fds[1], &byte, 1, tcp_deadline_in(5000)));
    char got[2];
    const tcp_deadline start = tcp_deadline_in(0);
    EXPECT_EQ(tcp_status::timed_out, tcp_recv_all(fds[0], got, 2, tcp_deadline_in(100)));
    const int64_t waited = tcp_deadline_in(0) - start;
    EXPECT_GE(waited, 99);
    EXPECT_LT(waited, 5000);

    // Far more than the socket buffers hold; nobody reads on the other side.
    std::vector<char> lots(64 << 20);
    EXPECT_EQ(tcp_status::timed_out,
              tcp_send_all(fds[0], lots.data(), lots.size(), tcp_deadline_in(100)));
    tcp_close(fds[0]);
    tcp_close(fds[1]);
}

TEST(TcpConnect, RefusedAtOnceAndConnectedToAListener) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), length));
    ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length));
    const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    // Bound but not listening: refused.
    std::vector<tcp_address> addresses = tcp_resolve(host.c_str(), 1338);
    ASSERT_EQ(1u, addresses.size());
    tcp_status status = tcp_status::ok;
    EXPECT_EQ(tcp_invalid, tcp_connect(addresses[0], tcp_deadline_in(5000), status));
    EXPECT_EQ(tcp_status::failed, status);

    // Listening: the connection is made before anyone accepts it.
    ASSERT_EQ(0, listen(listener, 1));
    tcp_socket sock = tcp_connect(addresses[0], tcp_deadline_in(5000), status);
    EXPECT_NE(tcp_invalid, sock);
    EXPECT_EQ(tcp_status::ok, status);
    tcp_close(sock);
    close(listener);
}

} // namespace
