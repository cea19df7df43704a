#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <functional>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace trov::test {

// A one-connection TCP server on 127.0.0.1 with a port of the system's choosing. The handler runs on the
// server's thread with the accepted socket, which is closed after it returns.
class LoopbackServer {
public:
    explicit LoopbackServer(std::function<void(int fd)> handler) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            ::close(listener_);
            throw std::runtime_error("LoopbackServer: cannot listen on 127.0.0.1");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, handler = std::move(handler)] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0)
                return;
            handler(fd);
            ::close(fd);
        });
    }
    ~LoopbackServer() {
        // Unblocks an accept that never got a connection.
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }
    std::uint16_t port() const { return port_; }

    // Reads until the peer shuts down its sending side, or until limit bytes.
    static std::string readAll(int fd, std::size_t limit = SIZE_MAX) {
        std::string data;
        char buffer[65536];
        while (data.size() < limit) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<std::size_t>(n));
        }
        return data;
    }
    static void sendAll(int fd, const std::string& data) {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }

private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

} // namespace trov::test
