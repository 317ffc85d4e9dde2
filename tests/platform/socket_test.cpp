#include "platform/socket.h"

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
    ASSERT_TRUE(tcp_send_all(fds[1], &byte, 1));
    EXPECT_TRUE(tcp_readable(fds[0]));
    char got[2];
    close(fds[1]);
    // One byte arrived, the second never will.
    EXPECT_FALSE(tcp_recv_all(fds[0], got, 2));
    EXPECT_EQ('x', got[0]);
    // Sending to a closed peer would raise SIGPIPE and end the test run without the flag.
    EXPECT_FALSE(tcp_send_all(fds[0], &byte, 1));
    tcp_close(fds[0]);
}

} // namespace
