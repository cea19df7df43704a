#include "framework/Radio.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace trov;

namespace {
// A link of a chain: passes every message on to its own listeners.
class Relay : public Radio {
public:
    bool receive(const Message& m) override {
        received.fetch_add(1, std::memory_order_relaxed);
        broadcast(m);
        return true;
    }
    std::atomic<long> received{0};
};

class Sink : public Radio {
public:
    bool receive(const Message&) override {
        received.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    std::atomic<long> received{0};
};
} // namespace

// Four threads: two broadcast into chains of stations while two others tune listeners in and out of every
// link. Every message must reach the permanent end of its chain exactly once. Run under ThreadSanitizer
// by `tools/test.sh tsan`.
TEST(RadioStress, BroadcastsThroughChainsWhileListenersComeAndGo) {
    constexpr int kLinks = 4;
    constexpr int kMessages = 3000;
    std::array<Relay, kLinks> chain;
    Sink end;
    for (int i = 0; i + 1 < kLinks; ++i)
        chain[i].addListener(&chain[i + 1]);
    chain[kLinks - 1].addListener(&end);

    std::vector<std::unique_ptr<Sink>> visitors;
    for (int i = 0; i < 8; ++i)
        visitors.push_back(std::make_unique<Sink>());

    std::atomic<bool> stop{false};
    auto churn = [&](unsigned seed) {
        std::mt19937 random(seed);
        while (!stop.load(std::memory_order_relaxed)) {
            Sink* visitor = visitors[random() % visitors.size()].get();
            Relay& link = chain[random() % kLinks];
            if (random() % 2 != 0)
                link.addListener(visitor);
            else
                visitor->tuneOutOf(&link);
        }
    };
    auto send = [&](int first) {
        for (int i = 0; i < kMessages; ++i)
            chain[first].broadcast(SystemMessage(nullptr, i, 0));
    };

    std::thread churn1(churn, 1u);
    std::thread churn2(churn, 2u);
    std::thread sendFromStart(send, 0);
    std::thread sendFromMiddle(send, 2);
    sendFromStart.join();
    sendFromMiddle.join();
    stop = true;
    churn1.join();
    churn2.join();

    EXPECT_EQ(end.received.load(), 2L * kMessages);
    EXPECT_EQ(chain[1].received.load(), kMessages);
    EXPECT_EQ(chain[3].received.load(), 2L * kMessages);
    visitors.clear(); // each visitor leaves every link it is still in
    for (auto& link : chain)
        EXPECT_EQ(link.getListenerCount(), 1u); // only the permanent next link
}
