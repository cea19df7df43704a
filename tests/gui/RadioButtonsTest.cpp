// The radio button group: a click switches the others off (at the editor's next tick) with the click's
// sender code, the child that is on stays on, host automation switches with its own code, the first child
// found on at opening wins, a parameter of no child switches every child off, and clicks with automation
// at once never deadlock.
#include "gui/controls/ControlRadioButtons.h"
#include "gui/controls/ControlValueButton.h"

#include "support/AllocationGuard.h"
#include "support/EditorHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <random>
#include <thread>

using namespace trov;
using test::node;
using test::specification;

namespace {

constexpr int kApart = 11;
const char* const kChoices[] = {"ChoiceA", "ChoiceB", "ChoiceC"};

// What a parameter told its listeners: its name, on or off, and the sender code.
class Recorder : public Radio {
public:
    struct Change {
        std::string name;
        bool on;
        int sender;
        bool operator==(const Change&) const = default;
    };
    bool receive(const Message& message) override {
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message)) {
            std::lock_guard guard(mutex_);
            changes_.push_back({std::string(change->name), change->value != 0.0f, change->flags});
        }
        return true;
    }
    // In name order: a switch-off is told inside the report that caused it.
    std::vector<Change> take() {
        std::lock_guard guard(mutex_);
        std::vector<Change> taken = std::exchange(changes_, {});
        std::stable_sort(taken.begin(), taken.end(),
                         [](const Change& a, const Change& b) { return a.name < b.name; });
        return taken;
    }
    void stop(const std::vector<Parameter*>& parameters) {
        for (Parameter* p : parameters)
            tuneOutOf(p);
    }

private:
    std::mutex mutex_;
    std::vector<Change> changes_;
};

class RadioButtons : public test::EditorHarness {
protected:
    ~RadioButtons() override {
        for (const char* name : kChoices)
            if (Parameter* p = parameter(name))
                recorder.tuneOutOf(p);
    }
    // Three value buttons on ChoiceA, ChoiceB and ChoiceC (at x = 10, 50, 90) in a group, the parameters
    // set as given before the editor opens.
    void buildGroup(bool a, bool b, bool c, test::ControlNode group = node("RadioButtons")) {
        build(specification({}));
        set("ChoiceA", a, Sender::kSettings);
        set("ChoiceB", b, Sender::kSettings);
        set("ChoiceC", c, Sender::kSettings);
        for (int i = 0; i < 3; ++i)
            group.child(node("Button").id(kChoices[i]).parameter(kChoices[i]).at(10 + 40 * i, 10, 30, 20));
        for (const char* name : kChoices)
            recorder.tuneInTo(parameter(name));
        recorder.take();
        buildAndOpen(node("Panel").at(0, 0, 200, 100).child(group.id("group")));
    }
    void set(const char* name, bool on, int sender) {
        parameter(name)->setNormalized(on ? 1.0f : 0.0f, sender);
    }
    std::string states() {
        std::string s;
        for (const char* name : kChoices)
            s += parameter(name)->getNormalized() != 0.0f ? '1' : '0';
        return s;
    }
    void clickChoice(int i) {
        tick(kApart);
        click(20 + 40 * i, 20);
    }

    Recorder recorder;
};

} // namespace

TEST_F(RadioButtons, AClickSwitchesTheOthersOffWithTheClicksSenderCode) {
    buildGroup(true, false, false);
    recorder.take();
    clickChoice(1);
    EXPECT_EQ(states(), "110");
    tick();
    EXPECT_EQ(states(), "010");
    const std::vector<Recorder::Change> expected = {{"ChoiceA", false, Sender::kEditor},
                                                    {"ChoiceB", true, Sender::kEditor}};
    EXPECT_EQ(recorder.take(), expected);
}

TEST_F(RadioButtons, TheChildThatIsOnStaysOnAndAnotherAloneSwitchesOnAlone) {
    buildGroup(false, true, false);
    clickChoice(1);
    EXPECT_EQ(states(), "010");
    buildGroup(false, false, false);
    clickChoice(2);
    EXPECT_EQ(states(), "001");
}

TEST_F(RadioButtons, AtOpeningTheFirstChildFoundOnWinsAndTheHostIsNotTold) {
    buildGroup(true, false, true);
    EXPECT_EQ(states(), "100");
    const std::vector<Recorder::Change> expected = {{"ChoiceC", false, Sender::kNewListener}};
    EXPECT_EQ(recorder.take(), expected);
}

TEST_F(RadioButtons, HostAutomationSwitchesTheOthersOffWithItsOwnCodeFromAnyThread) {
    buildGroup(true, false, false);
    recorder.take();
    set("ChoiceB", true, Sender::kHost);
    tick();
    EXPECT_EQ(states(), "010");
    EXPECT_EQ(recorder.take(), (std::vector<Recorder::Change>{{"ChoiceA", false, Sender::kHost},
                                                              {"ChoiceB", true, Sender::kHost}}));
    recorder.stop({parameter("ChoiceA"), parameter("ChoiceB"), parameter("ChoiceC")}); // it allocates
    std::thread automation([&] {
        test::AllocationGuard guard("host automation reaching a radio group on another thread");
        set("ChoiceC", true, Sender::kHost);
    });
    automation.join();
    EXPECT_EQ(states(), "011");
    tick();
    EXPECT_EQ(states(), "001");
    // Switching the one that is on off leaves all off.
    set("ChoiceC", false, Sender::kHost);
    EXPECT_EQ(states(), "000");
}

TEST_F(RadioButtons, AReportWhoseParameterIsOffAgainByTheTickSwitchesNothing) {
    buildGroup(true, false, false);
    std::thread automation([&] { set("ChoiceB", true, Sender::kHost); });
    automation.join();
    set("ChoiceB", false, Sender::kHost);
    tick();
    EXPECT_EQ(states(), "100");
}

TEST_F(RadioButtons, AChoiceSwitchedOffAgainByTheTickGivesWayToTheOneReportedBeforeIt) {
    buildGroup(true, false, false);
    std::thread automation([&] {
        set("ChoiceC", true, Sender::kHost);
        set("ChoiceB", true, Sender::kHost);
        set("ChoiceB", false, Sender::kHost);
    });
    automation.join();
    EXPECT_EQ(states(), "101");
    tick();
    EXPECT_EQ(states(), "001");
}

TEST_F(RadioButtons, AParameterOfNoChildSwitchesEveryChildOffAndOneNameSharedByAllChangesNothing) {
    buildGroup(false, true, false, node("RadioButtons").string("show", "true", " parameter=\"Mode\""));
    set("Mode", true, Sender::kHost);
    tick();
    EXPECT_EQ(states(), "000");

    build(specification({}));
    set("ChoiceA", true, Sender::kSettings);
    set("ChoiceB", true, Sender::kSettings);
    test::ControlNode shared = node("RadioButtons");
    for (int i = 0; i < 2; ++i)
        shared.child(node("Button").parameter("ChoiceA").at(10 + 40 * i, 10, 30, 20));
    buildAndOpen(node("Panel").at(0, 0, 200, 100).child(shared));
    set("ChoiceA", false, Sender::kHost);
    set("ChoiceA", true, Sender::kHost);
    tick();
    EXPECT_EQ(parameter("ChoiceB")->getNormalized(), 1.0f);
    EXPECT_EQ(parameter("ChoiceA")->getNormalized(), 1.0f);
}

TEST_F(RadioButtons, ClicksAndAutomationOfOneGroupAtOnceNeverDeadlockAndLeaveOneChoice) {
    buildGroup(true, false, false);
    std::atomic<bool> done{false};
    std::thread automation([&] {
        std::mt19937 random(7);
        while (!done.load()) {
            const int i = static_cast<int>(random() % 3);
            set(kChoices[i], random() % 4 != 0, Sender::kHost);
        }
    });
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        tick(kApart);
        click(20 + 40 * static_cast<int>(random() % 3), 20);
    }
    done = true;
    automation.join();
    tick();
    const std::string final = states();
    EXPECT_LE(std::count(final.begin(), final.end(), '1'), 1) << final;
}
