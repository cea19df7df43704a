#include "framework/SocketConnection.h"

#include "platform/TcpClient.h"

namespace trov {

SocketConnection::SocketConnection(const std::string& host, int port)
    : client_(std::make_unique<platform::TcpClient>()) {
    if (port > 0 && port <= 65535)
        connected_ = client_->connect(host, static_cast<std::uint16_t>(port), kTimeoutMs);
}

SocketConnection::~SocketConnection() {
    close();
}

bool SocketConnection::send(const std::string& text) {
    if (!connected_)
        return false;
    if (!client_->sendAll(text.data(), text.size()))
        connected_ = false;
    return connected_;
}

SocketConnection& SocketConnection::operator<<(const std::string& text) {
    send(text);
    return *this;
}

SocketConnection& SocketConnection::operator<<(std::int64_t number) {
    send(std::to_string(number));
    return *this;
}

std::string SocketConnection::receive() {
    std::string reply;
    if (!connected_ || !client_->receive(reply, kReplyLimit))
        return {};
    return reply;
}

SocketConnection& SocketConnection::operator>>(std::string& text) {
    text = receive();
    return *this;
}

void SocketConnection::close() {
    client_->close();
    connected_ = false;
}

} // namespace trov
