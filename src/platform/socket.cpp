#include "platform/socket.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#ifdef MSG_NOSIGNAL
constexpr int send_flags = MSG_NOSIGNAL;
#else
constexpr int send_flags = 0;
#endif

static bool parse_port(const char* text, uint16_t& port) {
    if (!*text)
        return false;
    unsigned long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        value = value * 10 + static_cast<unsigned long>(*c - '0');
        if (value > 65535)
            return false;
    }
    if (value == 0)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool tcp_split_host(const char* host, uint16_t default_port, std::vector<char>& name,
                    uint16_t& port) {
    const char* end = host + std::strlen(host);
    const char* port_text = nullptr;
    const char* first_colon = std::strchr(host, ':');
    if (host[0] == '[') {
        // "[::1]" or "[::1]:1338": the brackets keep the literal's own colons apart.
        const char* close = std::strchr(host, ']');
        if (close && (close[1] == '\0' || close[1] == ':')) {
            if (close[1] == ':')
                port_text = close + 2;
            host += 1;
            end = close;
        }
    } else if (first_colon && !std::strchr(first_colon + 1, ':')) {
        // One colon separates a port; more than one is a bare IPv6 literal.
        port_text = first_colon + 1;
        end = first_colon;
    }
    name.assign(host, end);
    name.push_back('\0');
    port = default_port;
    return !port_text || parse_port(port_text, port);
}

std::vector<tcp_address> tcp_resolve(const char* host, uint16_t default_port) {
    std::vector<tcp_address> addresses;
    std::vector<char> name;
    uint16_t port = 0;
    if (!host || !tcp_split_host(host, default_port, name, port))
        return addresses;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    addrinfo* list = nullptr;
    if (getaddrinfo(name.data(), service, &hints, &list) != 0)
        return addresses;
    for (const addrinfo* info = list; info; info = info->ai_next) {
        if (info->ai_addrlen > sizeof(tcp_address::bytes))
            continue;
        tcp_address address;
        address.family = info->ai_family;
        address.length = static_cast<uint32_t>(info->ai_addrlen);
        std::memcpy(address.bytes, info->ai_addr, info->ai_addrlen);
        addresses.push_back(address);
    }
    freeaddrinfo(list);
    return addresses;
}

tcp_deadline tcp_deadline_in(int milliseconds) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + milliseconds;
}

namespace {

// Waits until the socket is ready for `events` (or has failed), or the deadline passes.
tcp_status wait_for(tcp_socket sock, short events, tcp_deadline deadline) {
    for (;;) {
        const int64_t left = std::clamp<int64_t>(deadline - tcp_deadline_in(0), 0, INT_MAX);
        pollfd entry{};
        entry.fd = sock;
        entry.events = events;
        const int ready = poll(&entry, 1, int(left));
        if (ready > 0)
            return tcp_status::ok;
        if (ready == 0)
            return tcp_status::timed_out;
        if (errno != EINTR)
            return tcp_status::failed;
    }
}

} // namespace

tcp_socket tcp_connect(const tcp_address& address, tcp_deadline deadline, tcp_status& status) {
    status = tcp_status::failed;
    int sock = socket(address.family, SOCK_STREAM, 0);
    if (sock < 0)
        return tcp_invalid;
#ifdef SO_NOSIGPIPE
    // Where send has no flag for it, the socket itself is told not to raise SIGPIPE.
    int on = 1;
    setsockopt(sock, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    // Connecting without blocking lets a host that never answers run into the deadline.
    fcntl(sock, F_SETFL, fcntl(sock, F_GETFL) | O_NONBLOCK);
    const auto* to = reinterpret_cast<const sockaddr*>(address.bytes);
    if (connect(sock, to, address.length) != 0) {
        if (errno == EINPROGRESS || errno == EINTR)
            status = wait_for(sock, POLLOUT, deadline);
        int error = 0;
        socklen_t length = sizeof error;
        if (status == tcp_status::ok &&
            (getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0))
            status = tcp_status::failed;
        if (status != tcp_status::ok) {
            close(sock);
            return tcp_invalid;
        }
    }
    status = tcp_status::ok;
    return sock;
}

tcp_status tcp_send_all(tcp_socket sock, const void* data, size_t size, tcp_deadline deadline) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (tcp_status ready = wait_for(sock, POLLOUT, deadline); ready != tcp_status::ok)
            return ready;
        ssize_t sent = send(sock, bytes, size, send_flags | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (sent <= 0)
            return tcp_status::failed;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return tcp_status::ok;
}

tcp_status tcp_recv_all(tcp_socket sock, void* data, size_t size, tcp_deadline deadline) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        if (tcp_status ready = wait_for(sock, POLLIN, deadline); ready != tcp_status::ok)
            return ready;
        ssize_t received = recv(sock, bytes, size, MSG_DONTWAIT);
        if (received < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (received <= 0)
            return tcp_status::failed;
        bytes += received;
        size -= static_cast<size_t>(received);
    }
    return tcp_status::ok;
}

bool tcp_readable(tcp_socket sock) {
    pollfd entry{};
    entry.fd = sock;
    entry.events = POLLIN;
    int ready = poll(&entry, 1, 0);
    return ready > 0 && entry.revents != 0;
}

void tcp_close(tcp_socket sock) {
    if (sock != tcp_invalid)
        close(sock);
}
