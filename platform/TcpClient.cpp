#include "platform/TcpClient.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace trov::platform {

namespace {

bool resolve(const std::string& host, std::uint16_t port, sockaddr_storage& address, socklen_t& size) {
    std::memset(&address, 0, sizeof address);
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        size = sizeof *v4;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    const bool usable = found->ai_addrlen <= sizeof address;
    if (usable) {
        std::memcpy(&address, found->ai_addr, found->ai_addrlen);
        size = found->ai_addrlen;
        if (address.ss_family == AF_INET)
            reinterpret_cast<sockaddr_in*>(&address)->sin_port = htons(port);
        else if (address.ss_family == AF_INET6)
            reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = htons(port);
    }
    ::freeaddrinfo(found);
    return usable;
}

bool waitConnected(int fd, int timeoutMs) {
    pollfd p{fd, POLLOUT, 0};
    int ready;
    do
        ready = ::poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready != 1)
        return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

void setTimeouts(int fd, int timeoutMs) {
    timeval tv{timeoutMs / 1000, static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

} // namespace

TcpClient::~TcpClient() {
    close();
}

bool TcpClient::connect(const std::string& host, std::uint16_t port, int timeoutMs) {
    close();
    sockaddr_storage address;
    socklen_t size = 0;
    if (!resolve(host, port, address, size))
        return false;
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // Non-blocking only while connecting, so the connect can be given up after the timeout.
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 ||
                           (errno == EINPROGRESS && waitConnected(fd, timeoutMs));
    if (!connected || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    setTimeouts(fd, timeoutMs);
    fd_ = fd;
    return true;
}

bool TcpClient::sendAll(const void* data, std::size_t size) {
    if (fd_ < 0)
        return false;
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = ::send(fd_, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool TcpClient::receive(std::string& out, std::size_t maximum) {
    out.clear();
    if (fd_ < 0)
        return false;
    char buffer[1024];
    while (out.size() < maximum) {
        const std::size_t want = std::min(sizeof buffer, maximum - out.size());
        const ssize_t got = ::recv(fd_, buffer, want, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break; // the peer went quiet without closing: what came is the reply
        if (got < 0)
            return false;
        if (got == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

void TcpClient::close() {
    if (fd_ < 0)
        return;
    ::shutdown(fd_, SHUT_WR);
    char buffer[1024];
    ssize_t ignored;
    do
        ignored = ::recv(fd_, buffer, sizeof buffer, 0);
    while (ignored < 0 && errno == EINTR);
    ::close(fd_);
    fd_ = -1;
}

} // namespace trov::platform
