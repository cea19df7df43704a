#include "plugin/MidiMapper.h"

#include "framework/EditorServices.h"
#include "framework/Message.h"
#include "framework/Preferences.h"
#include "plugin/Parameter.h"
#include "plugin/PluginEnvironment.h"
#include "plugin/Settings.h"
#include "support/AllocationGuard.h"
#include "support/PluginTestSupport.h"
#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace trov;

namespace {

using Mapper = MidiMapper<Parameter*>;

// Distinct identities for the module and plug-in these tests register; never dereferenced.
template <class T> T* identity(int n) {
    static char storage[8];
    return reinterpret_cast<T*>(&storage[n]);
}

// An editor that records its info line; the learn time-out calls it from the timer-service thread.
class FakeEditor : public EditorInterface {
public:
    struct Info {
        const void* sender;
        std::string text;
        int level;
        bool operator==(const Info&) const = default;
    };

    void draw(void*) override {}
    Radio* findControl(const std::string&, int) override { return nullptr; }
    Radio* getControlAt(const Point&) override { return nullptr; }
    const Module* getEditedModule() const override { return nullptr; }
    Rect getSize() const override { return Rect(); }
    const NativeWindow* getWindow() const override { return nullptr; }
    void idle() override {}
    bool open(platform::WindowHandle, const Rect&) override { return true; }
    void close() override {}
    bool receiveMessage(const Message&) override { return false; }
    void selectModule(int) override {}
    void setBounds(const Rect&) override {}
    void setHighlight(Radio*, const Color&) override {}
    void showModule(int) override {}

    void showInfo(const void* sender, const std::string& text, int level) override {
        std::lock_guard guard(mutex_);
        shown_.push_back({sender, text, level});
    }
    void clearInfo(const void* sender) override {
        {
            std::lock_guard guard(mutex_);
            cleared_.push_back(sender);
        }
        changed_.notify_all();
    }

    std::vector<Info> shown() const {
        std::lock_guard guard(mutex_);
        return shown_;
    }
    std::vector<const void*> cleared() const {
        std::lock_guard guard(mutex_);
        return cleared_;
    }
    // Waits for the count-th clearInfo; false when it has not come after a generous while.
    bool waitForClears(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, test::hangWait(std::chrono::seconds(20)),
                                 [&] { return cleared_.size() >= count; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Info> shown_;
    std::vector<const void*> cleared_;
};

std::string parameterItem(const std::string& id) {
    return "<dict name=\"" + id +
           "\"><string name=\"class\" value=\"ParameterValue\"/><string name=\"type\" value=\"float\"/>"
           "<string name=\"scope\" value=\"module\"/></dict>";
}

void sendController(Radio& mapper, int number, float value = 0.5f) {
    const ControllerEvent event{number, value, 0};
    mapper.receive(MidiMessage(nullptr, Code::kController, &event));
}

bool sendTimeOut(Radio& mapper, const char (&id)[5] = "MMto") {
    return mapper.receive(TimerMessage(nullptr, Code::kTimerTick, makeTimerId(id), 0));
}

// A mapper owned by a module with a settings tree of three parameters, whose plug-in has an editor, and
// per-user preferences in a temporary store.
class MidiMapperTest : public testing::Test {
protected:
    MidiMapperTest() {
        const Error loaded = settings_.load(
            Dictionary("<?xml version=\"1.0\"?><dict><array name=\"parameters\">" + parameterItem("Cutoff") +
                       parameterItem("Volume") + parameterItem("Pan") + "</array></dict>"));
        EXPECT_FALSE(loaded.failed()) << loaded.getMessage();
        a = settings_.getParameter("Cutoff");
        b = settings_.getParameter("Volume");
        c = settings_.getParameter("Pan");
        environment_.addModule(module, plugin);
        environment_.setEditor(plugin, &editor);
    }
    ~MidiMapperTest() override {
        environment_.setEditor(plugin, nullptr);
        environment_.removeModule(module);
    }

    static std::unique_ptr<Preferences> store() {
        return std::unique_ptr<Preferences>(getUserPreferences()->openChild("MIDI Controllers"));
    }
    static std::int32_t stored(const std::string& name) {
        std::int32_t data = -1;
        const std::unique_ptr<Preferences> key = store();
        EXPECT_TRUE(key && key->getLong(name, data)) << name;
        return data;
    }

    test::ScopedPluginInfo product_;
    test::ScopedUserPreferences user_;
    PluginEnvironment& environment_ = PluginEnvironment::instance();
    const Module* module = identity<Module>(1);
    Plugin* plugin = identity<Plugin>(2);
    FakeEditor editor;
    Settings settings_{module};
    Parameter* a = nullptr;
    Parameter* b = nullptr;
    Parameter* c = nullptr;
    Mapper mapper{module};
};

TEST_F(MidiMapperTest, NewMapperHasNoPairingsNeutralModesAndAsksTheEditorServicesForItsMenu) {
    for (int controller : {0, 1, 7, 127, 128, 129})
        EXPECT_EQ(std::tuple(mapper.getTarget(controller), mapper.getInvert(controller),
                             mapper.getRange(controller)),
                  std::tuple(nullptr, 0, Mapper::kRangeFull));
    EXPECT_EQ(mapper.getController(a), -1);
    EXPECT_FALSE(mapper.isLearning());

    struct Services : NullEditorServices {
        std::unique_ptr<PopupMenuInterface> createPopupMenu(std::uintptr_t owner) override {
            owners.push_back(owner);
            return NullEditorServices::createPopupMenu(owner);
        }
        std::vector<std::uintptr_t> owners;
    } services;
    setEditorServices(&services);
    { Mapper another(module); }
    setEditorServices(nullptr);
    EXPECT_EQ(services.owners, std::vector<std::uintptr_t>{1});
}

TEST_F(MidiMapperTest, AssigningPairsOneControllerWithOneTargetDroppingEarlierPairingsOfEither) {
    mapper.assign(7, a);
    mapper.assign(7, b);
    EXPECT_EQ(mapper.getTarget(7), b);
    EXPECT_EQ(mapper.getController(a), -1);
    EXPECT_EQ(mapper.getController(b), 7);

    mapper.assign(8, b);
    EXPECT_EQ(mapper.getTarget(7), nullptr);
    EXPECT_EQ(mapper.getTarget(8), b);
    EXPECT_EQ(mapper.getController(b), 8);

    // A null target forgets the controller; a pointer to const finds its controller.
    mapper.assign(1, a);
    mapper.assign(8, nullptr);
    const Parameter* constB = b;
    EXPECT_EQ(std::tuple(mapper.getTarget(8), mapper.getController(constB), mapper.getTarget(1)),
              std::tuple(nullptr, -1, a));
    EXPECT_EQ(mapper.getController(nullptr), -1);
}

TEST_F(MidiMapperTest, AssignmentsMatchTheTwoMapPairingRuleOverARandomSequence) {
    // The rule as two independent maps: erase every entry naming the target or the controller, then add.
    std::map<Parameter*, int> targetToController;
    std::map<int, Parameter*> controllerToTarget;
    const std::array<Parameter*, 4> targets{a, b, c, nullptr};
    std::mt19937 random(13);
    for (int step = 0; step < 3000; ++step) {
        const int controller = static_cast<int>(random() % 6);
        Parameter* target = targets[random() % targets.size()];
        mapper.assign(controller, target);
        std::erase_if(targetToController,
                      [&](const auto& entry) { return entry.first == target || entry.second == controller; });
        std::erase_if(controllerToTarget,
                      [&](const auto& entry) { return entry.first == controller || entry.second == target; });
        if (target != nullptr) {
            targetToController[target] = controller;
            controllerToTarget[controller] = target;
        }
        for (int n = 0; n < 6; ++n) {
            const auto it = controllerToTarget.find(n);
            ASSERT_EQ(mapper.getTarget(n), it != controllerToTarget.end() ? it->second : nullptr)
                << "step " << step << ", controller " << n;
        }
        for (Parameter* t : {a, b, c}) {
            const auto it = targetToController.find(t);
            ASSERT_EQ(mapper.getController(t), it != targetToController.end() ? it->second : -1)
                << "step " << step;
        }
    }
}

TEST_F(MidiMapperTest, InvertsAndRangesBelongToTheControllerNumberAndSurviveReassignment) {
    mapper.setInvert(7, 1);
    mapper.setRange(7, Mapper::kRangeNegative);
    mapper.setRange(128, Mapper::kRangePositive);
    mapper.assign(7, a);
    mapper.assign(7, b);
    mapper.assign(9, b);
    mapper.assign(7, nullptr);
    EXPECT_EQ(std::tuple(mapper.getInvert(7), mapper.getRange(7)), std::tuple(1, Mapper::kRangeNegative));
    EXPECT_EQ(std::tuple(mapper.getInvert(9), mapper.getRange(9)), std::tuple(0, Mapper::kRangeFull));
    EXPECT_EQ(mapper.getRange(128), Mapper::kRangePositive);

    mapper.setInvert(7, 0);
    mapper.setRange(7, Mapper::kRangeFull);
    EXPECT_EQ(std::tuple(mapper.getInvert(7), mapper.getRange(7)), std::tuple(0, Mapper::kRangeFull));
}

TEST_F(MidiMapperTest, LearningAssignsTheNextControllerAndShowsThenClearsTheInfoLine) {
    mapper.assign(7, a);
    mapper.learn(a, "Cutoff");
    EXPECT_TRUE(mapper.isLearning());
    EXPECT_EQ(editor.shown(), (std::vector<FakeEditor::Info>{{&mapper, "MIDI learn : Cutoff", 1}}));
    EXPECT_TRUE(editor.cleared().empty());

    // Notes and other messages neither end learning nor assign; every message is answered true.
    const ControllerEvent note{};
    EXPECT_TRUE(mapper.receive(MidiMessage(nullptr, Code::kNoteOn, &note)));
    EXPECT_TRUE(sendTimeOut(mapper, "CPUx"));
    EXPECT_TRUE(mapper.receive(PluginMessage(nullptr, Code::kPluginNotice, 0)));
    EXPECT_TRUE(mapper.isLearning());

    sendController(mapper, 129);
    EXPECT_FALSE(mapper.isLearning());
    EXPECT_EQ(std::tuple(mapper.getTarget(129), mapper.getController(a), mapper.getTarget(7)),
              std::tuple(a, 129, nullptr));
    EXPECT_EQ(editor.cleared(), std::vector<const void*>{&mapper});

    // Back to idle: the next controller is only a controller.
    sendController(mapper, 12);
    EXPECT_EQ(std::tuple(mapper.getTarget(12), mapper.getController(a)), std::tuple(nullptr, 129));
    EXPECT_EQ(editor.cleared().size(), 1u);
}

TEST_F(MidiMapperTest, TheLearnTimeOutEndsLearningWithoutAssigning) {
    mapper.learn(b, "Volume");
    EXPECT_TRUE(sendTimeOut(mapper));
    EXPECT_FALSE(mapper.isLearning());
    EXPECT_EQ(editor.cleared(), std::vector<const void*>{&mapper});
    sendController(mapper, 20);
    EXPECT_EQ(std::tuple(mapper.getTarget(20), mapper.getController(b)), std::tuple(nullptr, -1));

    // The same from the mapper's own timer.
    mapper.setLearnTimeout(20);
    mapper.learn(b, "Volume");
    ASSERT_TRUE(editor.waitForClears(2));
    EXPECT_FALSE(mapper.isLearning());
    sendController(mapper, 20);
    EXPECT_EQ(mapper.getTarget(20), nullptr);
}

TEST_F(MidiMapperTest, AControllerEndsLearningBeforeItsTimerAndTheLaterTickChangesNothing) {
    mapper.setLearnTimeout(50);
    mapper.learn(a, "Cutoff");
    sendController(mapper, 3);
    ASSERT_TRUE(editor.waitForClears(2)); // the controller's clearing, then the timer's
    EXPECT_EQ(std::tuple(mapper.isLearning(), mapper.getTarget(3)), std::tuple(false, a));
}

TEST_F(MidiMapperTest, ASecondLearnTakesOverTheFirstAndANullTargetChangesNothing) {
    mapper.learn(a, "Cutoff");
    mapper.learn(b, "Volume");
    mapper.learn(nullptr, "Nothing");
    sendController(mapper, 5);
    EXPECT_EQ(std::tuple(mapper.getTarget(5), mapper.getController(a)), std::tuple(b, -1));
    EXPECT_EQ(editor.shown().size(), 2u);
    EXPECT_EQ(editor.shown().back().text, "MIDI learn : Volume");
}

TEST_F(MidiMapperTest, LearningWorksWithoutAnEditor) {
    environment_.setEditor(plugin, nullptr);
    mapper.learn(c, "Pan");
    sendController(mapper, 128);
    EXPECT_EQ(mapper.getTarget(128), c);
    mapper.learn(a, "Cutoff");
    sendTimeOut(mapper);
    EXPECT_FALSE(mapper.isLearning());
    EXPECT_TRUE(editor.shown().empty() && editor.cleared().empty());
}

TEST_F(MidiMapperTest, TheStoreKeepsEveryCombinationOfControllerInvertAndRange) {
    mapper.assign(7, a);
    mapper.setInvert(7, 1);
    mapper.setRange(7, Mapper::kRangeNegative);
    mapper.assign(1, b);
    mapper.save();
    EXPECT_EQ(std::tuple(stored("Cutoff"), stored("Volume")), std::tuple(1287, 1));
    // Saved in ascending controller order.
    EXPECT_EQ(store()->getKeys(), (std::vector<std::string>{"Volume", "Cutoff"}));

    for (int controller : {0, 1, 7, 127, 128, 129, 255})
        for (int invert : {0, 1})
            for (int range : {Mapper::kRangePositive, Mapper::kRangeFull, Mapper::kRangeNegative}) {
                SCOPED_TRACE(testing::Message() << controller << " invert " << invert << " range " << range);
                Mapper saving(module);
                saving.assign(controller, a);
                saving.setInvert(controller, invert);
                saving.setRange(controller, range);
                saving.save();
                const int flags =
                    (invert == 1 ? 0x100 : 0) | (range == 0 ? 0x200 : 0) | (range == 2 ? 0x400 : 0);
                EXPECT_EQ(stored("Cutoff"), controller | flags);
                EXPECT_EQ(store()->getKeys(), std::vector<std::string>{"Cutoff"});

                Mapper loading(module);
                loading.load();
                EXPECT_EQ(std::tuple(loading.getTarget(controller), loading.getController(a),
                                     loading.getInvert(controller), loading.getRange(controller)),
                          std::tuple(a, controller, invert, range));
            }
}

TEST_F(MidiMapperTest, SavingReplacesTheStoreAndWithNoPairingsLeavesItEmpty) {
    mapper.assign(7, a);
    mapper.save();
    mapper.assign(7, nullptr);
    mapper.save();
    const std::unique_ptr<Preferences> key = store();
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->getKeys().empty());

    Mapper loading(module);
    loading.load();
    EXPECT_EQ(loading.getController(a), -1);
}

TEST_F(MidiMapperTest, LoadingSkipsVanishedNamesAndValuesNotOfTheStoresForm) {
    {
        const std::unique_ptr<Preferences> key(getUserPreferences()->createChild("MIDI Controllers"));
        ASSERT_NE(key, nullptr);
        EXPECT_FALSE(key->setLong("Resonance", 5).failed()); // no such parameter any more
        EXPECT_FALSE(key->setString("Volume", "9").failed());
        EXPECT_FALSE(key->setLong("Pan", 0x1007).failed()); // a bit beyond the flags
        EXPECT_FALSE(key->setLong("Cutoff", 0x206).failed());
    }
    mapper.load();
    EXPECT_EQ(std::tuple(mapper.getTarget(6), mapper.getRange(6), mapper.getInvert(6)),
              std::tuple(a, Mapper::kRangePositive, 0));
    EXPECT_EQ(std::tuple(mapper.getTarget(5), mapper.getTarget(9), mapper.getTarget(7),
                         mapper.getController(b), mapper.getController(c)),
              std::tuple(nullptr, nullptr, nullptr, -1, -1));
    // A vanished name stays until the next save replaces the key.
    EXPECT_EQ(stored("Resonance"), 5);

    // Negative numbers are not of the form either.
    {
        const std::unique_ptr<Preferences> key = store();
        EXPECT_FALSE(key->setLong("Pan", -1).failed());
    }
    Mapper again(module);
    again.load();
    EXPECT_EQ(again.getController(c), -1);
}

TEST_F(MidiMapperTest, LoadingPairsOneToOneAndBothRangeBitsMeanFullRange) {
    {
        const std::unique_ptr<Preferences> key(getUserPreferences()->createChild("MIDI Controllers"));
        EXPECT_FALSE(key->setLong("Cutoff", 0x600 | 4).failed());
        EXPECT_FALSE(key->setLong("Volume", 4).failed()); // the same controller: the later name keeps it
    }
    mapper.load();
    EXPECT_EQ(std::tuple(mapper.getTarget(4), mapper.getController(a), mapper.getRange(4)),
              std::tuple(b, -1, Mapper::kRangeFull));
}

TEST_F(MidiMapperTest, ControllersBeyondTheStoresEightBitsAreNotSavedAsOtherControllers) {
    mapper.assign(0x107, a); // would read back as controller 7, inverted
    mapper.assign(-1, c);
    mapper.assign(2, b);
    mapper.save();
    EXPECT_EQ(store()->getKeys(), std::vector<std::string>{"Volume"});
}

TEST_F(MidiMapperTest, WithoutPerUserPreferencesSaveAndLoadDoNothing) {
    setProcessPreferences(nullptr, nullptr);
    mapper.assign(7, a);
    mapper.save();
    Mapper loading(module);
    loading.load();
    EXPECT_EQ(loading.getTarget(7), nullptr);
}

TEST_F(MidiMapperTest, LookUpsAndIdleControllersAllocateNothing) {
    for (int controller = 0; controller < 10; ++controller) {
        mapper.assign(controller * 13, controller % 2 == 0 ? a : b);
        mapper.setInvert(controller * 13, 1);
        mapper.setRange(controller * 7, Mapper::kRangeNegative);
    }
    std::array<Parameter*, 130> targets{};
    std::array<int, 130> inverts{};
    std::array<int, 130> ranges{};
    int controllerOfA = 0;
    {
        test::AllocationGuard guard("the mapper's look-ups on the MIDI thread");
        for (int controller = 0; controller < 130; ++controller) {
            targets[controller] = mapper.getTarget(controller);
            inverts[controller] = mapper.getInvert(controller);
            ranges[controller] = mapper.getRange(controller);
            sendController(mapper, controller);
        }
        controllerOfA = mapper.getController(a);
    }
    EXPECT_EQ(std::tuple(targets[117], targets[104], targets[1], controllerOfA),
              std::tuple(b, a, nullptr, 104));
    EXPECT_EQ(std::tuple(inverts[13], inverts[14], ranges[63], ranges[64]),
              std::tuple(1, 0, Mapper::kRangeNegative, Mapper::kRangeFull));
}

TEST_F(MidiMapperTest, MidiThreadLookUpsRaceUserInterfaceChangesAndTimeOutsSafely) {
    mapper.setLearnTimeout(1);
    const std::array<Parameter*, 4> targets{a, b, c, nullptr};
    std::atomic<bool> done{false};
    std::atomic<int> strays{0};
    std::thread midi([&] {
        while (!done.load()) {
            for (int controller = 0; controller < 130; ++controller) {
                Parameter* target = mapper.getTarget(controller);
                if (target != nullptr && target != a && target != b && target != c)
                    strays.fetch_add(1);
                const int invert = mapper.getInvert(controller);
                const int range = mapper.getRange(controller);
                if (invert < 0 || invert > 1 || range < 0 || range > 2)
                    strays.fetch_add(1);
                if (controller % 16 == 0)
                    sendController(mapper, controller);
            }
        }
    });
    std::mt19937 random(7);
    for (int step = 0; step < 3000; ++step) {
        const int controller = static_cast<int>(random() % 130);
        switch (random() % 4) {
        case 0:
            mapper.assign(controller, targets[random() % targets.size()]);
            break;
        case 1:
            mapper.setInvert(controller, static_cast<int>(random() % 2));
            break;
        case 2:
            mapper.setRange(controller, static_cast<int>(random() % 3));
            break;
        default:
            mapper.learn(targets[random() % 3], "Learnt");
        }
    }
    done.store(true);
    midi.join();
    EXPECT_EQ(strays.load(), 0);
    // The two maps still agree.
    for (int controller = 0; controller < 130; ++controller) {
        if (Parameter* target = mapper.getTarget(controller)) {
            EXPECT_EQ(mapper.getController(target), controller);
        }
    }
    for (Parameter* target : {a, b, c}) {
        if (const int controller = mapper.getController(target); controller != -1) {
            EXPECT_EQ(mapper.getTarget(controller), target);
        }
    }
}

// The template is the editor's too, over its own targets, without the store.
TEST(MidiMapperOfOtherTargets, LearnsAndPairsWithoutAnOwner) {
    struct Knob {};
    Knob first, second;
    MidiMapper<Knob*> knobs(nullptr);
    knobs.assign(7, &first);
    knobs.learn(&second, "Second");
    sendController(knobs, 7);
    EXPECT_EQ(std::tuple(knobs.getTarget(7), knobs.getController(&first), knobs.isLearning()),
              std::tuple(&second, -1, false));
}

} // namespace
