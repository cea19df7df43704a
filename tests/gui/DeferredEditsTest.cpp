// The editor's edits kept for its next tick: each parameter once per module, without allocating, and an
// edit made while the tick takes them kept for the next one.
#include "gui/DeferredEdits.h"

#include "support/AllocationGuard.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <thread>
#include <utility>
#include <vector>

using namespace trov;

namespace {

// Stand-ins for parameters: only their addresses are kept.
std::array<std::max_align_t, DeferredEdits::kCapacity + 1> places{};
const Parameter* parameterAt(std::size_t i) {
    return reinterpret_cast<const Parameter*>(&places[i]);
}

std::vector<std::pair<const Parameter*, int>> taken(DeferredEdits& edits) {
    std::vector<std::pair<const Parameter*, int>> out;
    edits.take([&](const Parameter& parameter, int module) { out.emplace_back(&parameter, module); });
    return out;
}

TEST(DeferredEdits, EachParameterIsKeptOncePerModuleUntilTakenAndAFullSetRefusesOthers) {
    DeferredEdits edits;
    {
        test::AllocationGuard guard("keeping edits");
        EXPECT_TRUE(edits.add(parameterAt(0), 0));
        EXPECT_TRUE(edits.add(parameterAt(0), 0));
        EXPECT_TRUE(edits.add(parameterAt(0), 1));
        EXPECT_TRUE(edits.add(parameterAt(1), 0));
    }
    using Kept = std::vector<std::pair<const Parameter*, int>>;
    EXPECT_EQ(taken(edits), (Kept{{parameterAt(0), 0}, {parameterAt(0), 1}, {parameterAt(1), 0}}));
    EXPECT_TRUE(taken(edits).empty());

    for (std::size_t i = 0; i < DeferredEdits::kCapacity; ++i)
        ASSERT_TRUE(edits.add(parameterAt(i), 0));
    EXPECT_FALSE(edits.add(parameterAt(DeferredEdits::kCapacity), 0));
    EXPECT_TRUE(edits.add(parameterAt(5), 0)) << "kept already";
    EXPECT_EQ(taken(edits).size(), DeferredEdits::kCapacity);
}

// As the editor does: the parameter's value is set, then its edit kept; the tick stores the value then.
TEST(DeferredEdits, TheLastEditOfEachParameterIsStoredHoweverTicksAndEditsInterleave) {
    constexpr std::size_t kParameters = 4;
    DeferredEdits edits;
    std::array<std::atomic<int>, kParameters> values{};
    std::array<int, kParameters> stored{};
    std::atomic<bool> done{false};
    std::thread midi([&] {
        for (int i = 1; i <= 20000; ++i) {
            const auto p = static_cast<std::size_t>(i) % kParameters;
            values[p].store(i);
            edits.add(parameterAt(p), 0);
        }
        done.store(true);
    });
    const auto tick = [&] {
        edits.take([&](const Parameter& parameter, int) {
            const auto p = static_cast<std::size_t>(reinterpret_cast<const std::max_align_t*>(&parameter) -
                                                    places.data());
            stored[p] = values[p].load();
        });
    };
    while (!done.load())
        tick();
    midi.join();
    tick();
    for (std::size_t p = 0; p < kParameters; ++p)
        EXPECT_EQ(stored[p], values[p].load()) << p;
}

} // namespace
