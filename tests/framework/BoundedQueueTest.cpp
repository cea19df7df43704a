#include "framework/BoundedQueue.h"

#include "support/AllocationGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace trov;

namespace {

struct Record {
    int producer;
    int number;
};

TEST(BoundedQueue, RecordsComeOutInPushOrderAndAFullQueueRefusesWithoutLosingWhatItHolds) {
    BoundedQueue<Record> queue(5); // rounded up to 8
    ASSERT_EQ(queue.capacity(), 8u);
    EXPECT_TRUE(queue.empty());
    int pushed = 0;
    int refused = 0;
    {
        test::AllocationGuard guard("pushes and pops");
        for (int i = 0; i < 10; ++i)
            (queue.push(Record{0, i}) ? pushed : refused) += 1;
    }
    EXPECT_EQ(std::pair(pushed, refused), std::pair(8, 2));
    EXPECT_FALSE(queue.empty());
    std::vector<int> out;
    for (Record record{}; queue.pop(record);) {
        out.push_back(record.number);
        EXPECT_EQ(queue.empty(), out.size() == 8u) << out.size();
    }
    EXPECT_EQ(out, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    // Emptied, it takes as many again, round the ring.
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(queue.push(Record{0, 100 + i}));
    EXPECT_FALSE(queue.empty());
    Record first{};
    ASSERT_TRUE(queue.pop(first));
    EXPECT_EQ(first.number, 100);
}

// Four producers and one consumer at once: every record arrives exactly once and each producer's in the
// order it pushed them (a full queue makes a producer try again).
TEST(BoundedQueue, SeveralProducersAndOneConsumerLoseNothingAndKeepEachProducersOrder) {
    constexpr int kProducers = 4;
    constexpr int kEach = 20000;
    BoundedQueue<Record> queue(64);
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&queue, p] {
            for (int i = 0; i < kEach; ++i)
                while (!queue.push(Record{p, i}))
                    std::this_thread::yield();
        });
    std::vector<int> next(kProducers, 0);
    int received = 0;
    int outOfOrder = 0;
    while (received < kProducers * kEach) {
        Record record{};
        if (!queue.pop(record)) {
            std::this_thread::yield();
            continue;
        }
        outOfOrder += record.number != next[static_cast<std::size_t>(record.producer)] ? 1 : 0;
        next[static_cast<std::size_t>(record.producer)] = record.number + 1;
        ++received;
    }
    for (std::thread& producer : producers)
        producer.join();
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(next, std::vector<int>(kProducers, kEach));
    Record left{};
    EXPECT_FALSE(queue.pop(left));
}

} // namespace
