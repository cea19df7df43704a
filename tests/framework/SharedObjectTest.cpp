#include "framework/SharedObject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace trov;

namespace {
struct Counted : SharedObject {
    explicit Counted(std::atomic<int>* d = nullptr) : deaths(d) {}
    Counted(const Counted&) = default;
    Counted& operator=(const Counted&) = default;
    ~Counted() override {
        if (deaths != nullptr)
            ++*deaths;
    }
    std::atomic<int>* deaths;
};
} // namespace

TEST(SharedObject, CopiesShareOneCounterAndAssignmentMovesToTheSourcesCounter) {
    Counted a;
    EXPECT_EQ(a.getReferenceCount(), 1);
    EXPECT_FALSE(a.isShared());
    {
        Counted b(a); // NOLINT(performance-unnecessary-copy-initialization): the copy is what shares
        EXPECT_TRUE(a.isShared());
        EXPECT_TRUE(b.isShared());
        EXPECT_EQ(a.getReferenceCount(), 2);
    }
    EXPECT_EQ(a.getReferenceCount(), 1);
    EXPECT_FALSE(a.isShared());

    Counted b;
    Counted c(b);
    c = a;
    EXPECT_EQ(b.getReferenceCount(), 1);
    EXPECT_EQ(a.getReferenceCount(), 2);
    Counted& alias = c;
    c = alias;
    EXPECT_EQ(a.getReferenceCount(), 2);
}

TEST(SharedObject, ReleaseToZeroDeletesTheObjectOnce) {
    std::atomic<int> deaths{0};
    auto* object = new Counted(&deaths);
    EXPECT_EQ(object->retain(), 2);
    EXPECT_EQ(object->release(), 1);
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(object->release(), 0);
    EXPECT_EQ(deaths, 1);
}

TEST(SharedObject, SharersDyingAtOnceOnTwoThreadsFreeNothingTwice) {
    // Under AddressSanitizer a double free of the shared counter would abort here.
    for (int round = 0; round < 200; ++round) {
        auto* a = new Counted();
        auto* b = new Counted(*a);
        std::thread t1([a] { delete a; });
        std::thread t2([b] { delete b; });
        t1.join();
        t2.join();
    }
}

TEST(SharedObject, ConcurrentRetainAndReleaseBalance) {
    auto* object = new Counted();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([object] {
            for (int i = 0; i < 10000; ++i) {
                object->retain();
                object->release();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(object->release(), 0);
}

TEST(SharedObjectPtr, ReleasesItsReferenceOnceAndNullDoesNothing) {
    std::atomic<int> deaths{0};
    { SharedObjectPtr<Counted> empty(nullptr); }
    auto* object = new Counted(&deaths);
    object->retain(); // the producer's reference, taken over by the holder
    {
        SharedObjectPtr<Counted> holder(object);
        SharedObjectPtr<Counted> moved(std::move(holder));
        EXPECT_FALSE(holder); // NOLINT(bugprone-use-after-move): a moved-from holder is empty
        EXPECT_EQ(moved.get(), object);
    }
    EXPECT_EQ(deaths, 0);
    object->release();
    EXPECT_EQ(deaths, 1);
    static_assert(!std::is_copy_constructible_v<SharedObjectPtr<Counted>>);
}
