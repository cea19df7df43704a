#include "framework/Published.h"

#include "support/AllocationGuard.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

using namespace trov;

namespace {

// A record whose every word is the same number: a copy mixing two writes shows as unequal words.
struct Record {
    std::array<std::uint32_t, 61> words{}; // an odd size: the last atomic word is half used
};

Record recordOf(std::uint32_t value) {
    Record record;
    record.words.fill(value);
    return record;
}

TEST(Published, AReaderCopiesOnlyWholeRecordsWhileAWriterReplacesThem) {
    Published<Record> published(recordOf(0));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (std::uint32_t value = 1; value <= 200000; ++value)
            published.store(recordOf(value));
        done.store(true);
    });
    int torn = 0;
    int backwards = 0;
    std::uint32_t last = 0;
    {
        test::AllocationGuard guard("copies of a published record");
        while (!done.load()) {
            const Record copy = published.load();
            for (std::uint32_t word : copy.words)
                torn += word != copy.words[0] ? 1 : 0;
            backwards += copy.words[0] < last ? 1 : 0;
            last = copy.words[0];
        }
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(published.load().words[60], 200000u);
}

} // namespace
