#include "framework/Radio.h"

#include "support/AllocationGuard.h"
#include "support/FakeStationEnvironment.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace trov;
using trov::test::FakeStationEnvironment;

namespace {
// A listener that records what it receives and the subscription hooks that ran.
class Recorder : public Radio {
public:
    explicit Recorder(const Module* owner = nullptr) : Radio(owner) {}
    bool receive(const Message& m) override {
        codes.push_back(m.code);
        if (onReceive)
            onReceive(m);
        return Radio::receive(m);
    }
    void listenerAdded(Radio* l) override { hooks.push_back({'+', l}); }
    void listenerRemoved(Radio* l) override { hooks.push_back({'-', l}); }
    std::vector<int> codes;
    std::vector<std::pair<char, Radio*>> hooks;
    std::function<void(const Message&)> onReceive;
};

// Counts what it hears in plain fields, so that hearing allocates nothing itself; may leave a station
// from inside its receive.
class Counter : public Radio {
public:
    bool receive(const Message& m) override {
        ++heard;
        lastCode = m.code;
        if (leaveFrom != nullptr)
            tuneOutOf(leaveFrom);
        return false;
    }
    int heard = 0;
    int lastCode = -1;
    Radio* leaveFrom = nullptr;
};

SystemMessage note(int code) {
    return SystemMessage(nullptr, code, 0);
}

// Stations subscribing by name to the parameters of a module.
class RadioNames : public testing::Test {
protected:
    FakeStationEnvironment env;
    const Module* module = env.makeModule();
};
} // namespace

TEST(Radio, AListenerAddedTwiceIsDeliveredOnceAndReAddedThroughRemoval) {
    Recorder station;
    Recorder listener;
    station.addListener(&listener);
    station.addListener(&listener);
    EXPECT_EQ(station.getListenerCount(), 1u);
    station.broadcast(note(1));
    EXPECT_EQ(listener.codes, std::vector<int>{1});
    // removal hook for a listener never added, then the add; on the second add removal runs before the add
    const std::pair<char, Radio*> removed{'-', &listener}, added{'+', &listener};
    EXPECT_EQ(station.hooks, (std::vector{removed, added, removed, added}));
}

TEST(Radio, BroadcastSucceedsWithoutListenersAndReachesThemInAscendingAddressOrder) {
    std::vector<Recorder> listeners(5);
    Recorder station;
    EXPECT_FALSE(station.broadcast(note(1)).failed()) << "nobody listening is no failure";
    std::vector<Radio*> order;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
        it->onReceive = [&order, r = &*it](const Message&) { order.push_back(r); };
        station.addListener(&*it);
    }
    station.broadcast(note(1));
    ASSERT_EQ(order.size(), 5u);
    for (std::size_t i = 1; i < order.size(); ++i)
        EXPECT_LT(order[i - 1], order[i]);
}

TEST(Radio, BaseReceiveAcceptsOnlyParameterValues) {
    Radio station;
    EXPECT_TRUE(station.receive(ParameterMessage(nullptr, Code::kParameterValue, "x", 0, 0, 0.0f, 0)));
    EXPECT_FALSE(station.receive(ParameterMessage(nullptr, Code::kParameterReset, "x", 0, 0, 0.0f, 0)));
    EXPECT_FALSE(station.receive(SystemMessage(nullptr, Code::kParameterValue, 0)));
}

TEST(Radio, ListenersMayBroadcastInTurnOnTheSameThread) {
    Recorder first, second, third;
    first.addListener(&second);
    second.addListener(&third);
    second.onReceive = [&](const Message& m) { second.broadcast(note(m.code + 1)); };
    first.broadcast(note(10));
    EXPECT_EQ(third.codes, std::vector<int>{11});
}

TEST(Radio, AListenerMayLeaveOrJoinDuringABroadcast) {
    Recorder station;
    auto leaving = std::make_unique<Recorder>();
    Recorder remover, joiner;
    Recorder* gone = leaving.get();
    station.addListener(&remover);
    station.addListener(gone);
    // Whatever the address order, the remover takes the other listener out and destroys it; the
    // destroyed one must never be called afterwards, and the newcomer only from the next broadcast on.
    remover.onReceive = [&](const Message&) {
        if (leaving) {
            station.removeListener(gone);
            leaving.reset();
            station.addListener(&joiner);
        }
    };
    station.broadcast(note(1));
    EXPECT_TRUE(joiner.codes.empty());
    station.broadcast(note(2));
    EXPECT_EQ(joiner.codes, std::vector<int>{2});
    EXPECT_EQ(remover.codes, (std::vector<int>{1, 2}));
}

TEST(Radio, BroadcastToSeveralListenersAllocatesNothingEvenWhenOneLeavesDuringIt) {
    Radio station;
    Counter listeners[8];
    for (Counter& listener : listeners)
        station.addListener(&listener);
    listeners[3].leaveFrom = &station;
    {
        trov::test::AllocationGuard guard("broadcast");
        station.broadcast(
            ParameterMessage(&station, Code::kParameterValue, "SampleInvertPhase", 0, 0, 1.0f, 0));
        station.broadcast(SystemMessage(&station, Code::kRedrawRequest, 0));
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(std::pair(listeners[i].heard, listeners[i].lastCode),
                  i == 3 ? std::pair(1, Code::kParameterValue) : std::pair(2, Code::kRedrawRequest))
            << i;
    EXPECT_EQ(station.getListenerCount(), 7u);
}

TEST(Radio, AListenerMayTuneItselfOutFromItsOwnReceive) {
    Recorder station;
    Recorder self, other;
    station.addListener(&self);
    station.addListener(&other);
    self.onReceive = [&](const Message&) { self.tuneOutOf(&station); };
    station.broadcast(note(1));
    station.broadcast(note(2));
    EXPECT_EQ(self.codes, std::vector<int>{1});
    EXPECT_EQ(other.codes, (std::vector<int>{1, 2}));
}

// What an owner does before destroying a station that others broadcast to from other threads: once it
// returns no broadcast reaches the station, and one in flight on another thread has ended.
TEST(Radio, TuningOutOfAllLeavesEveryStationListenedToAfterABroadcastInFlightHasEnded) {
    Recorder first, second;
    Counter listener;
    listener.tuneInTo(&first);
    listener.tuneInTo(&second);
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    Recorder slow;
    slow.onReceive = [&](const Message&) {
        inside = true;
        while (!release)
            std::this_thread::yield();
    };
    first.addListener(&slow);
    std::thread sender([&] { first.broadcast(note(5)); });
    while (!inside)
        std::this_thread::yield();
    std::atomic<bool> left{false};
    std::thread leaving([&] {
        listener.tuneOutOfAll();
        left = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(left) << "leaving waits for the broadcast in flight";
    release = true;
    sender.join();
    leaving.join();
    first.broadcast(note(6));
    second.broadcast(note(7));
    EXPECT_FALSE(first.hasListener(&listener));
    EXPECT_FALSE(second.hasListener(&listener));
    EXPECT_EQ(listener.lastCode, 5);
    first.removeListener(&slow);
}

TEST(Radio, DestroyingAStationForcesItsListenersOutAndLogsEach) {
    test::LogCapture capture(0);
    Recorder a, b;
    {
        Recorder station;
        station.addListener(&a);
        station.addListener(&b);
    }
    EXPECT_EQ(capture.count("forced tuning out of listener 0x"), 2);
    EXPECT_NE(capture.text().find("Radio::0x"), std::string::npos);
}

TEST_F(RadioNames, ACopyHasTheSameListenersButNoNames) {
    Recorder parameter;
    env.addParameter(module, "Cutoff", 0, &parameter);
    Recorder listener;
    Recorder station(module);
    station.addListener(&listener);
    station.tuneIn("Cutoff");
    Radio copy(station);
    EXPECT_TRUE(copy.hasListener(&listener));
    EXPECT_TRUE(copy.getTunedNames().empty());
    EXPECT_EQ(copy.getOwner(), module);
}

TEST_F(RadioNames, TuningInConnectsToEveryInstanceUntilTheFirstGapAndRemembersNamesWithoutOne) {
    Recorder p0, p1, p2, q0, q2;
    env.addParameter(module, "Level", 0, &p0);
    env.addParameter(module, "Level", 1, &p1);
    env.addParameter(module, "Level", 2, &p2);
    env.addParameter(module, "Pan", 0, &q0);
    env.addParameter(module, "Pan", 2, &q2);
    Recorder station(module);
    for (const char* name : {"Level", "Pan", "Nowhere", ""})
        station.tuneIn(name);
    for (Radio* instance : {&p0, &p1, &p2, &q0})
        EXPECT_TRUE(instance->hasListener(&station));
    EXPECT_FALSE(q2.hasListener(&station));
    EXPECT_EQ(station.getTunedNames(), (std::set<std::string>{"Level", "Nowhere", "Pan"}));
}

TEST_F(RadioNames, TuningOutReportsUnknownNamesAndForgetsThem) {
    Recorder p0;
    env.addParameter(module, "Cutoff", 0, &p0);
    Recorder station(module);
    station.tuneIn("Cutoff");
    station.tuneIn("Ghost");
    EXPECT_FALSE(station.tuneOut("").failed());
    const Error unknown = station.tuneOut("Ghost");
    EXPECT_EQ(unknown.getCode(), "ENSP");
    EXPECT_EQ(unknown.getMessage(), "Parameter Ghost does not exist");
    EXPECT_FALSE(unknown.getWhere().empty());
    EXPECT_FALSE(station.tuneOut("Cutoff").failed());
    EXPECT_FALSE(p0.hasListener(&station));
    EXPECT_TRUE(station.getTunedNames().empty());
}

TEST_F(RadioNames, AnOwnerChangeMovesOnlyModuleScopeSubscriptions) {
    const Module* upper = module;
    const Module* lower = env.makeModule();
    Recorder upperCutoff, lowerCutoff, shared;
    env.addParameter(upper, "Cutoff", 0, &upperCutoff);
    env.addParameter(lower, "Cutoff", 0, &lowerCutoff);
    env.addParameter(upper, "Volume", 0, &shared, /*moduleScope=*/false);
    env.addParameter(lower, "Volume", 0, &shared, /*moduleScope=*/false);
    Recorder station(upper);
    station.tuneIn("Cutoff");
    station.tuneIn("Volume");

    station.setOwner(upper); // same owner: nothing happens
    EXPECT_TRUE(upperCutoff.hasListener(&station));

    station.setOwner(lower);
    EXPECT_EQ(station.getOwner(), lower);
    EXPECT_FALSE(upperCutoff.hasListener(&station));
    EXPECT_TRUE(lowerCutoff.hasListener(&station));
    EXPECT_TRUE(shared.hasListener(&station));

    Recorder late; // remembers a name tuned in before it had an owner
    late.tuneIn("Cutoff");
    late.setOwner(lower);
    EXPECT_TRUE(lowerCutoff.hasListener(&late));
}
