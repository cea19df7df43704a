#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace trov {

namespace platform {
class TcpClient;
}

// A small blocking TCP client for the crash-report upload: connects on construction, sends texts, reads
// a reply of at most 1024 bytes. Connecting, sending and receiving each give up after about 10 seconds.
// One thread at a time.
class SocketConnection {
public:
    static constexpr int kTimeoutMs = 10000;
    static constexpr std::size_t kReplyLimit = 1024;

    SocketConnection(const std::string& host, int port);
    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;
    virtual ~SocketConnection();

    bool isConnected() const { return connected_; }
    // True only when every byte went out; a failed send leaves the connection unconnected.
    bool send(const std::string& text);
    SocketConnection& operator<<(const std::string& text);
    SocketConnection& operator<<(std::int64_t number);
    // The reply up to the peer's close or kReplyLimit bytes; "" on a read error.
    std::string receive();
    SocketConnection& operator>>(std::string& text);
    void close();

private:
    std::unique_ptr<platform::TcpClient> client_;
    bool connected_ = false;
};

} // namespace trov
