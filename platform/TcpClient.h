#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trov::platform {

// A blocking TCP client connection whose connect, send and receive each give up after a timeout.
// One thread at a time.
class TcpClient {
public:
    TcpClient() = default;
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;
    ~TcpClient();

    // Resolves the host (a numeric address first, else the first address a name look-up gives) and
    // connects. False when either fails or the connection is not made within the timeout.
    bool connect(const std::string& host, std::uint16_t port, int timeoutMs);
    bool isConnected() const { return fd_ >= 0; }
    // Sends every byte; false when any byte could not be sent (error, peer gone, timeout).
    bool sendAll(const void* data, std::size_t size);
    // Reads until the peer closes, maximum bytes have arrived or the timeout passes with nothing more;
    // false on a read error.
    bool receive(std::string& out, std::size_t maximum);
    // Shuts down the sending side, reads once up to 1024 bytes and closes.
    void close();

private:
    int fd_ = -1;
};

} // namespace trov::platform
