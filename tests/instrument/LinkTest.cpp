#include "instrument/link/IOBridge.h"
#include "support/AllocationGuard.h"
#include "support/ChildProcess.h"
#include "support/TapwireWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

using namespace trov;
using test::TapwireWriter;

namespace {

class LinkTest : public testing::Test {
protected:
    void SetUp() override { test::isolateTapwireSlots(); }

    // Runs the companion's part in a second process on the slot the parent created; true when it
    // finished and its body answered 0.
    static bool inCompanion(int slot, const std::function<int(TapwireWriter&)>& body) {
        const test::ChildOutcome outcome = test::runInChild([&] {
            TapwireWriter companion(slot, TapwireWriter::Attach{});
            return companion.ok() ? body(companion) : 99;
        });
        return outcome.exited && outcome.exitCode == 0;
    }

    static std::vector<float> ramp(int n, float first = 0.0f) {
        std::vector<float> values(static_cast<std::size_t>(n));
        std::iota(values.begin(), values.end(), first);
        return values;
    }
};

TEST_F(LinkTest, SlotNamesAreConnectionAndTheDecimalNumber) {
    EXPECT_EQ(makeConnectionName(0), "Connection #0");
    EXPECT_EQ(makeConnectionName(31), "Connection #31");
}

TEST_F(LinkTest, MissingTooSmallAndOutOfRangeSlotsProbeAsNothingAndNeverOpen) {
    IOBridge<float> reader;
    EXPECT_EQ(probeConnection(3), 0u);
    EXPECT_FALSE(reader.open(3));

    TapwireWriter small(4, TapwireWriter::kBlockSize - 1);
    ASSERT_TRUE(small.ok());
    small.goLive();
    EXPECT_EQ(probeConnection(4), 0u);
    EXPECT_FALSE(reader.open(4));
    EXPECT_EQ(readSenderName(4), "");

    for (int slot : {-1, 32, 1000}) {
        EXPECT_EQ(probeConnection(slot), 0u) << slot;
        EXPECT_FALSE(reader.open(slot)) << slot;
    }
}

TEST_F(LinkTest, ProbeReportsActiveFreshAndAttachedFromTheBlockAnotherProcessWrote) {
    struct Case {
        bool active;
        std::int64_t age; // seconds since the last write
        bool attached;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {true, 0, false, 3},  {false, 0, false, 2},   {true, 9, true, 7},
        {true, 12, false, 1}, {false, 3600, true, 4}, {false, 12, false, 0},
    };
    TapwireWriter slot(5);
    ASSERT_TRUE(slot.ok());
    for (const Case& c : cases) {
        ASSERT_TRUE(inCompanion(5, [&](TapwireWriter& companion) {
            companion.setActive(c.active);
            companion.setStamp(TapwireWriter::now() - static_cast<std::uint64_t>(c.age));
            companion.setReceiverAttached(c.attached);
            return 0;
        }));
        EXPECT_EQ(probeConnection(5), c.expected) << c.active << " " << c.age << " " << c.attached;
    }
}

TEST_F(LinkTest, ReaderOpensOnlyAnActiveSenderAndMarksItselfAttachedUntilClosed) {
    TapwireWriter slot(6);
    ASSERT_TRUE(slot.ok());
    slot.setName("Drums bus");
    slot.setStamp(TapwireWriter::now());
    IOBridge<float> reader;
    EXPECT_FALSE(reader.open(6));
    EXPECT_FALSE(slot.receiverAttached());

    slot.setActive(true);
    ASSERT_TRUE(reader.open(6));
    EXPECT_EQ(readSenderName(6), "Drums bus");
    EXPECT_TRUE(
        inCompanion(6, [](TapwireWriter& companion) { return companion.receiverAttached() ? 0 : 1; }));
    reader.close();
    EXPECT_TRUE(
        inCompanion(6, [](TapwireWriter& companion) { return companion.receiverAttached() ? 1 : 0; }));

    ASSERT_TRUE(reader.open(6));
    { IOBridge<float> gone(std::move(reader)); }
    EXPECT_FALSE(slot.receiverAttached());
}

TEST_F(LinkTest, SenderNameStopsAtItsFieldEvenWithoutATerminator) {
    TapwireWriter slot(7);
    ASSERT_TRUE(slot.ok());
    slot.setName(std::string(40, 'x'));
    slot.setActive(true); // the byte after the name field
    EXPECT_EQ(readSenderName(7), std::string(32, 'x'));
}

TEST_F(LinkTest, SamplesAnotherProcessWroteArriveInOrderAndAReadPastTheCountTakesWhatIsThere) {
    TapwireWriter slot(8);
    ASSERT_TRUE(slot.ok());
    slot.goLive();
    IOBridge<float> reader;
    ASSERT_TRUE(reader.open(8));
    ASSERT_TRUE(inCompanion(8, [&](TapwireWriter& companion) {
        const std::vector<float> first = ramp(300, 1.0f);
        companion.push(first.data(), first.size());
        return 0;
    }));

    std::vector<float> out(512, -1.0f);
    EXPECT_EQ(reader.read(out.data(), 100), 100);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[99], 100.0f);
    EXPECT_EQ(slot.count(), 200u);
    EXPECT_EQ(slot.readIndex(), 100u);
    EXPECT_EQ(reader.read(out.data(), 512), 200);
    EXPECT_EQ(out[199], 300.0f);
    EXPECT_EQ(slot.count(), 0u);
    EXPECT_EQ(reader.read(out.data(), 512), 0);
}

TEST_F(LinkTest, OverfullRingKeepsTheNewestFullRingAndTheReaderResumesAtTheOldest) {
    TapwireWriter slot(9);
    ASSERT_TRUE(slot.ok());
    ASSERT_TRUE(inCompanion(9, [](TapwireWriter&) {
        IOBridge<float> writer(true);
        if (!writer.open(9))
            return 1;
        const std::vector<float> values = ramp(5000);
        return writer.write(values.data(), 5000) == 5000 ? 0 : 2;
    }));
    EXPECT_EQ(slot.count(), 4096u);
    EXPECT_EQ(slot.writeIndex(), 904u);
    EXPECT_EQ(slot.readIndex(), 904u);
    // The writer's end left its active flag when it closed.
    EXPECT_EQ(probeConnection(9) & tapwire::kProbeSenderActive, 0u);

    slot.setActive(true);
    IOBridge<float> reader;
    ASSERT_TRUE(reader.open(9));
    std::vector<float> out(5000);
    ASSERT_EQ(reader.read(out.data(), 5000), 4096);
    EXPECT_EQ(out[0], 904.0f);
    EXPECT_EQ(out[3191], 4095.0f); // the ring wraps here
    EXPECT_EQ(out[3192], 4096.0f);
    EXPECT_EQ(out[4095], 4999.0f);
}

TEST_F(LinkTest, LivenessComesOnlyFromTheTimeStamp) {
    TapwireWriter slot(10);
    ASSERT_TRUE(slot.ok());
    slot.goLive();
    const std::vector<float> values = ramp(64);
    slot.push(values.data(), values.size());
    IOBridge<float> reader;
    ASSERT_TRUE(reader.open(10));
    std::vector<float> out(64);

    slot.setStamp(TapwireWriter::now() - 2);
    EXPECT_EQ(reader.read(out.data(), 64), 0);
    EXPECT_EQ(slot.count(), 64u); // nothing taken from a stale slot
    // The active flag plays no part in reading.
    slot.setActive(false);
    slot.setStamp(TapwireWriter::now());
    EXPECT_EQ(reader.read(out.data(), 10), 10);
    slot.setStamp(TapwireWriter::now() + 3600);
    EXPECT_EQ(reader.read(out.data(), 10), 10);
}

TEST_F(LinkTest, HostileIndicesAndCountsStayInsideTheRing) {
    TapwireWriter slot(11);
    ASSERT_TRUE(slot.ok());
    slot.goLive();
    for (std::uint32_t i = 0; i < 4096; ++i)
        slot.setRing(i, static_cast<float>(i));
    IOBridge<float> reader;
    ASSERT_TRUE(reader.open(11));

    struct Case {
        std::uint32_t readIndex;
        std::uint32_t count;
        int expectedRead;
        float firstValue;
    };
    const Case cases[] = {
        {0xFFFFF123u, 10, 10, 0x123}, {0x80000FFFu, 3, 3, 4095.0f}, {5, 0x7FFFFFFFu, 4096, 5.0f},
        {5, 5000, 4096, 5.0f},        {5, 0xFFFFFFFFu, 0, 0.0f},    {5, 0x80000000u, 0, 0.0f},
    };
    std::vector<float> out(8192, -1.0f);
    for (const Case& c : cases) {
        slot.setIndices(0xFFFFFFFFu, c.readIndex, c.count);
        slot.setStamp(TapwireWriter::now());
        out[0] = -1.0f;
        EXPECT_EQ(reader.read(out.data(), 8192), c.expectedRead) << c.readIndex << " " << c.count;
        if (c.expectedRead > 0) {
            EXPECT_EQ(out[0], c.firstValue);
        }
        EXPECT_LT(slot.readIndex(), 4096u);
        EXPECT_EQ(slot.count(), 0u) << "a count outside the ring is set straight";
    }
}

TEST_F(LinkTest, SamplesThatAreNotFiniteArriveAsSilence) {
    TapwireWriter slot(12);
    ASSERT_TRUE(slot.ok());
    slot.goLive();
    const float values[] = {0.5f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            -0.25f};
    slot.push(values, 5);
    IOBridge<float> reader;
    ASSERT_TRUE(reader.open(12));
    float out[5] = {};
    ASSERT_EQ(reader.read(out, 5), 5);
    EXPECT_EQ(out[0], 0.5f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);
    EXPECT_EQ(out[3], 0.0f);
    EXPECT_EQ(out[4], -0.25f);
}

TEST_F(LinkTest, SkipPassesOverUnreadSamplesOnly) {
    TapwireWriter slot(13);
    ASSERT_TRUE(slot.ok());
    slot.goLive();
    slot.setIndices(100, 4090, 100);
    IOBridge<float> reader;
    ASSERT_TRUE(reader.open(13));
    reader.skip(-5);
    EXPECT_EQ(slot.readIndex(), 4090u);
    EXPECT_EQ(slot.count(), 100u);
    reader.skip(10);
    EXPECT_EQ(slot.readIndex(), 4u);
    EXPECT_EQ(slot.count(), 90u);
    reader.skip(1000);
    EXPECT_EQ(slot.readIndex(), 94u);
    EXPECT_EQ(slot.count(), 0u);
}

TEST_F(LinkTest, ClosedOrEmptyRequestsReadNothing) {
    IOBridge<float> reader;
    float out[4] = {};
    EXPECT_EQ(reader.read(out, 4), 0);
    reader.skip(4);
    TapwireWriter slot(14);
    ASSERT_TRUE(slot.ok());
    slot.goLive();
    slot.setIndices(10, 0, 10);
    ASSERT_TRUE(reader.open(14));
    EXPECT_EQ(reader.read(out, 0), 0);
    EXPECT_EQ(reader.read(out, -3), 0);
    EXPECT_EQ(reader.read(nullptr, 4), 0);
    EXPECT_EQ(slot.count(), 10u);
}

TEST_F(LinkTest, ABridgeOpenedAsideSwapsInWithoutUnmappingTheOneInUse) {
    TapwireWriter first(15);
    TapwireWriter second(16);
    ASSERT_TRUE(first.ok() && second.ok());
    first.goLive();
    second.goLive();
    const float one = 1.0f;
    const float two = 2.0f;
    first.push(&one, 1);
    second.push(&two, 1);
    IOBridge<float> inUse;
    ASSERT_TRUE(inUse.open(15));
    IOBridge<float> aside;
    ASSERT_TRUE(aside.open(16));
    inUse.swap(aside);
    float out = 0.0f;
    EXPECT_EQ(inUse.read(&out, 1), 1);
    EXPECT_EQ(out, 2.0f);
    aside.close();
    EXPECT_FALSE(first.receiverAttached());
    EXPECT_TRUE(second.receiverAttached());
}

TEST_F(LinkTest, ReadingAndSkippingAllocateNothing) {
    TapwireWriter slot(17);
    ASSERT_TRUE(slot.ok());
    slot.goLive();
    const std::vector<float> values = ramp(1024);
    slot.push(values.data(), values.size());
    IOBridge<float> reader;
    ASSERT_TRUE(reader.open(17));
    std::vector<float> out(512);
    int got = 0;
    {
        test::AllocationGuard guard("a link read");
        got += reader.read(out.data(), 256);
        reader.skip(256);
        got += reader.read(out.data(), 512);
    }
    EXPECT_EQ(got, 768);
    EXPECT_EQ(out[0], 512.0f);
}

} // namespace
