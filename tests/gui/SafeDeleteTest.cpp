#include "gui/SafeDelete.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Counted {
    Counted() { ++live; }
    virtual ~Counted() { --live; }
    static inline std::atomic<int> live{0};
};

} // namespace

TEST(SafeDelete, AnEmptySlotGivesNullAndLogsNothing) {
    trov::test::LogCapture log(0);
    std::atomic<Counted*> slot{nullptr};
    // Compared, never printed: the pointer a delete returns may be read only for comparison.
    EXPECT_TRUE(trov::safeDelete(slot) == nullptr);
    EXPECT_EQ(log.text().find("failed to delete"), std::string::npos);
}

TEST(SafeDelete, OfPathsRacingOverOneSlotExactlyOneDeletesAndNoObjectIsLost) {
    // Threads keep filling the slot when it is empty and emptying it; whatever the interleaving, every
    // object made is deleted once: none by two paths, none lost when another path replaced it meanwhile.
    std::atomic<Counted*> slot{nullptr};
    std::atomic<int> deleted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                Counted* made = new Counted();
                Counted* empty = nullptr;
                if (!slot.compare_exchange_strong(empty, made))
                    delete made;
                if (trov::safeDelete(slot) != nullptr)
                    ++deleted;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    trov::safeDelete(slot);
    EXPECT_EQ(Counted::live.load(), 0);
    EXPECT_GT(deleted.load(), 0);
}
