#include "platform/socket.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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

tcp_socket tcp_connect(const tcp_address& address) {
    int sock = socket(address.family, SOCK_STREAM, 0);
    if (sock < 0)
        return tcp_invalid;
#ifdef SO_NOSIGPIPE
    // Where send has no flag for it, the socket itself is told not to raise SIGPIPE.
    int on = 1;
    setsockopt(sock, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    if (connect(sock, reinterpret_cast<const sockaddr*>(address.bytes), address.length) != 0) {
        close(sock);
        return tcp_invalid;
    }
    return sock;
}

bool tcp_send_all(tcp_socket sock, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t sent = send(sock, bytes, size, send_flags);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool tcp_recv_all(tcp_socket sock, void* data, size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t received = recv(sock, bytes, size, 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received <= 0)
            return false;
        bytes += received;
        size -= static_cast<size_t>(received);
    }
    return true;
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
