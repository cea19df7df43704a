// What the audio thread does with parameters today, each under the allocation and log-request guard.

#include "plugin/ParameterEnum.h"
#include "plugin/ParameterScheduler.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"
#include "support/AllocationGuard.h"
#include "support/PluginTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <tuple>

using namespace trov;
using test::AllocationGuard;

namespace {

// Keeps what it hears in fixed storage, so that listening allocates nothing itself.
class Tap : public Radio {
public:
    bool receive(const Message& message) override {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        if (change == nullptr)
            return false;
        ++heard;
        length = change->name.copy(name, sizeof name);
        value = change->value;
        flags = change->flags;
        return false;
    }
    std::string_view lastName() const { return {name, length}; }
    void forget() {
        heard = 0;
        length = 0;
        value = -1.0f;
        flags = -1;
    }

    int heard = 0;
    char name[32] = {};
    std::size_t length = 0;
    float value = -1.0f;
    std::int32_t flags = -1;
};

std::string item(const std::string& id, const std::string& kind, const std::string& type,
                 const std::string& more) {
    return "<dict name=\"" + id + "\"><string name=\"class\" value=\"" + kind +
           "\"/><string name=\"type\" value=\"" + type + "\"/><bool name=\"automatable\" value=\"true\"/>" +
           "<string name=\"scope\" value=\"module\"/>" + more + "</dict>";
}

// Every name is longer than the small-string buffer, so copying one would allocate.
const char* const kInvert = "SampleInvertPhase";
const char* const kOffset = "SampleStartOffsetFine";
const char* const kTranspose = "SampleTransposeSemitones";
const char* const kDirection = "SampleLoopDirection";

class AudioThreadParameters : public testing::Test {
protected:
    AudioThreadParameters() {
        const Error loaded = tree_.load(Dictionary(
            "<?xml version=\"1.0\"?><dict><array name=\"parameters\">" +
            item(kInvert, "ParameterValue", "bool", "") +
            item(kOffset, "ParameterValue", "float", "<integer name=\"steps\" value=\"11\"/>") +
            item(kTranspose, "ParameterValue", "integer",
                 "<integer name=\"minval\" value=\"-24\"/><integer name=\"maxval\" value=\"24\"/>") +
            item(kDirection, "ParameterEnum", "string",
                 "<array name=\"values\"><string value=\"forward\"/><string value=\"backward\"/>"
                 "<string value=\"alternate\"/></array>") +
            "</array></dict>"));
        EXPECT_FALSE(loaded.failed()) << loaded.getMessage();
    }

    // Three listeners on the named parameter; the value each got on tuning in is forgotten.
    Parameter& listenTo(const char* name) {
        Parameter* parameter = tree_.getParameter(name);
        EXPECT_NE(parameter, nullptr) << name;
        for (Tap& tap : taps_) {
            if (parameter != nullptr)
                parameter->addListener(&tap);
            tap.forget();
        }
        return *parameter;
    }

    test::ScopedPluginInfo product_;
    Settings tree_{test::fakeModule(5)};
    Tap taps_[3];
};

TEST_F(AudioThreadParameters, EveryKindOfChangeOfALongNamedParameterReachesEveryListenerWithoutAllocating) {
    struct Change {
        const char* name;
        std::function<void()> change;
        float normalized;
        std::int32_t flags;
    };
    const Change changes[] = {
        {kInvert, [&] { tree_.setBool(kInvert, true, Sender::kHost); }, 1.0f, Sender::kHost},
        // Quantised to the steps, which asks the owner's tree whether it steps.
        {kOffset, [&] { tree_.setFloat(kOffset, 0.42f, Sender::kMidi); }, 0.4f, Sender::kMidi},
        {kTranspose, [&] { tree_.setLong(kTranspose, 12, Sender::kHost); }, 0.75f, Sender::kHost},
        {kDirection, [&] { tree_.setNormalizedValue(kDirection, 1.0f, Sender::kEditor); }, 1.0f,
         Sender::kEditor},
        // Host automation: a message names the parameter and the tree sets it.
        {kInvert,
         [&] {
             tree_.receive(
                 ParameterMessage(nullptr, Code::kParameterValue, kInvert, 0, 0, 0.0f, Sender::kHost));
         },
         0.0f, Sender::kSettings},
    };
    ASSERT_GT(std::string_view(kInvert).size(), std::string().capacity());
    for (const Change& change : changes) {
        listenTo(change.name);
        {
            AllocationGuard guard(change.name);
            change.change();
        }
        for (const Tap& tap : taps_)
            EXPECT_EQ(std::tuple(tap.heard, tap.lastName(), tap.flags),
                      std::tuple(1, std::string_view(change.name), change.flags));
        for (const Tap& tap : taps_)
            EXPECT_FLOAT_EQ(tap.value, change.normalized) << change.name;
        for (Tap& tap : taps_)
            tree_.getParameter(change.name)->removeListener(&tap);
    }
}

TEST_F(AudioThreadParameters, AParameterSetDirectlyBroadcastsItsOwnNameWithoutAllocating) {
    auto& offset = dynamic_cast<ParameterValue<float>&>(listenTo(kOffset));
    float seen = -1.0f;
    {
        AllocationGuard guard("setting a value");
        offset.setNormalized(0.3f, Sender::kHost);
        offset.setValue(0.9f, Sender::kMidi);
        // An unchanged value is not sent again under the default policy.
        offset.setValue(0.9f, Sender::kMidi);
        seen = offset.getValue();
    }
    EXPECT_FLOAT_EQ(seen, 0.9f);
    for (const Tap& tap : taps_) {
        EXPECT_EQ(std::tuple(tap.heard, tap.lastName(), tap.flags), std::tuple(2, kOffset, Sender::kMidi));
        EXPECT_FLOAT_EQ(tap.value, 0.9f);
    }
}

TEST(AudioThreadScheduler, SchedulingWithinTheSizedSlotsReadingAndClearingAllocateNothing) {
    test::ScopedPluginInfo product;
    ParameterScheduler scheduler;
    ASSERT_EQ(scheduler.getStepSize(), 32);
    scheduler.reserve({kOffset}, 512);
    // A name first scheduled by a block is sized by it.
    scheduler.schedule(kTranspose, 511, 2.0f);
    scheduler.clear();

    float read[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    bool found[4] = {};
    bool afterClear = true;
    {
        AllocationGuard guard("the scheduler");
        scheduler.schedule(kOffset, 0, 0.25f);
        scheduler.schedule(kOffset, 511, 0.75f);
        scheduler.schedule(kTranspose, 100, 0.5f);
        found[0] = scheduler.getScheduled(kOffset, 0, read[0]);
        found[1] = scheduler.getScheduled(kOffset, 500, read[1]);
        found[2] = scheduler.getScheduled(kTranspose, 96, read[2]);
        found[3] = scheduler.getScheduled(kDirection, 0, read[3]);
        scheduler.clear();
        float ignored = 0.0f;
        afterClear = scheduler.getScheduled(kOffset, 0, ignored);
        scheduler.schedule(kTranspose, 480, 1.0f);
    }
    EXPECT_EQ(std::tuple(found[0], found[1], found[2], found[3], afterClear),
              std::tuple(true, true, true, false, false));
    EXPECT_EQ(std::tuple(read[0], read[1], read[2], read[3]), std::tuple(0.25f, 0.75f, 0.5f, -1.0f));
    float value = 0.0f;
    EXPECT_TRUE(scheduler.getScheduled(kTranspose, 480, value));
    EXPECT_EQ(value, 1.0f);
}

} // namespace
