#pragma once

#include "framework/Message.h"
#include "framework/Radio.h"

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace trov {

class Dictionary;
class Preferences;

// Why a value changed; travels as the flags of every parameter message.
namespace Sender {
constexpr int kHost = 0;        // host automation
constexpr int kDocument = 1;    // read from a specification or a document
constexpr int kEditor = 2;      // an editor gesture the host is told about
constexpr int kSettings = 3;    // the settings tree, preferences, a reset or a re-announcement
constexpr int kMidi = 4;        // a MIDI controller
constexpr int kNewListener = 6; // the current value sent to a station that has just tuned in
} // namespace Sender

// The base of every parameter kind: a named value in a module's settings tree that tells each change to
// its listeners as a parameter message (kind 3, code 2000: name, instance, value in the kind's own form as
// the extra word, normalised value, sender code as flags). It reads the keys every kind shares from its
// specification item.
// Threads: built and configured on the user-interface thread; values change on whichever thread sets them
// and the broadcast runs there under the parameter's station lock.
class Parameter : public Radio {
public:
    static constexpr std::int32_t kAutomatable = 1;
    static constexpr std::int32_t kPersistent = 2;
    static constexpr std::int32_t kExport = 4;

    static constexpr std::int32_t kScopeZone = 0;
    static constexpr std::int32_t kScopeModule = 1;
    static constexpr std::int32_t kScopeProgram = 2;
    static constexpr std::int32_t kScopePlugin = 3;

    static constexpr std::int32_t kBroadcastNever = 0;
    static constexpr std::int32_t kBroadcastEditor = 1;
    static constexpr std::int32_t kBroadcastInternal = 2;
    static constexpr std::int32_t kBroadcastChange = 3;
    static constexpr std::int32_t kBroadcastAlways = 4;

    static constexpr std::int32_t kTypeBool = 0;
    static constexpr std::int32_t kTypeEnum = 1;
    static constexpr std::int32_t kTypeLong = 2;
    static constexpr std::int32_t kTypeFloat = 3;
    static constexpr std::int32_t kTypeString = 4;
    static constexpr std::int32_t kTypeUnknown = 5;

    // The step count reported for a continuous value (what a 32-bit conversion of an unbounded count gives).
    static constexpr std::int32_t kContinuous = INT32_MIN;

    Parameter(const Module* owner, std::string identifier, std::string label);
    Parameter(const Parameter& other);
    Parameter& operator=(const Parameter&) = delete;
    ~Parameter() override;

    virtual void reset() {}
    virtual std::string getName() const { return identifier_; }
    // A message carrying the current value, as a change of it is broadcast.
    ParameterMessage currentMessage(int sender) const {
        return makeMessage(getValueWord(), getNormalized(), sender);
    }
    // The name without a copy, for the audio thread: valid while the parameter lives and keeps its name.
    std::string_view getNameView() const noexcept { return identifier_; }
    virtual void setName(const std::string& name) { identifier_ = name; }
    virtual std::string getLabel() const { return label_; }
    virtual void setLabel(const std::string& label) { label_ = label; }
    virtual float getNormalized() const = 0;
    virtual void setNormalized(float value, int sender) = 0;
    virtual std::string getText() const = 0;
    virtual bool setText(const std::string& text, int sender) = 0;
    virtual double getStepSize() const { return 0.0; }
    virtual std::int32_t getNumSteps() const = 0;
    virtual std::int32_t getType() const = 0;
    // Reads the keys every kind shares; throws GeneralError "unknown scope!" for a scope it does not know.
    virtual void read(const Dictionary& item);
    virtual void write(Dictionary& /*dictionary*/) const {}
    virtual void notifyListeners() {}
    // The current value as a change message carries it in its extra word (0 for kinds without a number
    // value). Any thread: no lock, no allocation.
    virtual MessageWord getValueWord() const noexcept { return 0; }

    void setInstance(std::int32_t instance) { instance_ = instance; }
    std::int32_t getInstance() const { return instance_; }
    std::int32_t testFlags(std::int32_t mask) const { return flags_ & mask; }
    std::int32_t getScope() const { return scope_; }
    std::int32_t getBroadcast() const { return broadcast_; }
    std::string getUnit() const { return unit_; }
    void setUnit(const std::string& unit) { unit_ = unit; }
    std::string getTypeName() const;
    // Empties the list, then appends every alias, longest first.
    void getAliases(std::list<std::string>& aliases) const;

protected:
    // Whether the broadcast policy takes a new value, given whether it equals the current one.
    bool policyAccepts(bool unchanged) const noexcept;
    // The change message with this parameter's name and instance; it views the name, so it must not
    // outlive the parameter (copy it to keep it).
    ParameterMessage makeMessage(MessageWord extra, float normalized, int sender) const noexcept;
    // Sends the message to one station only, as a newly tuned-in listener gets the current value.
    static void sendTo(Radio* station, const ParameterMessage& message);
    // The per-user child key "Preferences" where persistent parameters keep their values (created when
    // missing); null without per-user preferences.
    static std::unique_ptr<Preferences> openPreferences();
    // Adds a sub-dictionary named after the parameter holding text as its "value": the document form of
    // the kinds whose value is a text.
    void writeTextEntry(Dictionary& dictionary, const std::string& text) const;
    // Says that a document's value, not wholly a finite decimal number, was refused and the value kept: in
    // the log, and to the reader of the document (`RefusedValues`), naming the item's text.
    void logRefusedValue(const Dictionary& item) const;

private:
    // Longer aliases first; aliases of equal length count as one.
    struct LongerFirst {
        bool operator()(const std::string& a, const std::string& b) const { return a.size() > b.size(); }
    };

    std::string label_;
    std::set<std::string, LongerFirst> aliases_;
    std::string identifier_;
    std::int32_t instance_ = 0;
    std::string unit_;
    std::int32_t flags_ = kExport;
    std::int32_t scope_ = kScopePlugin;
    std::int32_t broadcast_ = kBroadcastChange;
};

} // namespace trov
