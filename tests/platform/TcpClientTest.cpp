#include "platform/TcpClient.h"

#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>

namespace trov::platform {
namespace {

using test::LoopbackServer;

std::string noise(std::size_t size) {
    std::mt19937 engine(5);
    std::string data(size, '\0');
    for (char& c : data)
        c = static_cast<char>(engine());
    return data;
}

// A server that sends its greeting, then neither reads nor closes until the test is done with it.
struct SilentServer {
    explicit SilentServer(std::string greeting)
        : server([this, greeting = std::move(greeting)](int fd) {
              LoopbackServer::sendAll(fd, greeting);
              while (!done)
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }) {}
    ~SilentServer() { done = true; }
    std::atomic<bool> done{false};
    LoopbackServer server; // last: its thread ends before the flag goes
};

TEST(TcpClient, SendsEveryByteOfAPayloadLargerThanTheSocketBuffers) {
    const std::string payload = noise(8 << 20);
    std::string received;
    {
        LoopbackServer server([&](int fd) { received = LoopbackServer::readAll(fd); });
        TcpClient client;
        ASSERT_TRUE(client.connect("127.0.0.1", server.port(), 10000));
        EXPECT_TRUE(client.sendAll(payload.data(), payload.size()));
        client.close();
    }
    EXPECT_TRUE(received == payload) << "received " << received.size() << " of " << payload.size()
                                     << " bytes";
}

TEST(TcpClient, ASendThePeerNeverTakesFailsAfterTheTimeout) {
    const std::string payload = noise(32 << 20);
    SilentServer peer("");
    TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", peer.server.port(), 200));
    EXPECT_FALSE(client.sendAll(payload.data(), payload.size())) << "a partial send is not success";
}

TEST(TcpClient, AReplyWithoutACloseEndsWhenThePeerGoesQuiet) {
    SilentServer peer("dump received");
    TcpClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", peer.server.port(), 200));
    std::string got;
    EXPECT_TRUE(client.receive(got, 1024));
    EXPECT_EQ(got, "dump received");
}

TEST(TcpClient, ConnectingToAClosedPortOrAnUnknownHostFails) {
    std::uint16_t port = 0;
    {
        LoopbackServer unused([](int) {});
        port = unused.port();
    }
    TcpClient client;
    EXPECT_FALSE(client.connect("127.0.0.1", port, 1000));
    EXPECT_FALSE(client.isConnected());
    EXPECT_FALSE(client.sendAll("x", 1));
    std::string got = "stale";
    EXPECT_FALSE(client.receive(got, 1024));
    EXPECT_EQ(got, "");
    EXPECT_FALSE(client.connect("", port, 1000));
}

} // namespace
} // namespace trov::platform
