#include "plugin/ParameterEnum.h"

#include "framework/Dictionary.h"
#include "framework/Preferences.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>

namespace trov {

namespace {

// A document's entry values and selection: a text that is not wholly a number (a finite one for a float)
// is refused.
template <class Stored> bool readEntryValue(const Dictionary& item, Stored* value, bool* refused) {
    if constexpr (std::is_same_v<Stored, std::string>)
        return item.getString("value", value);
    else if constexpr (std::is_same_v<Stored, float>)
        return item.getFiniteFloat("value", value, refused);
    else
        return item.getWholeLong("value", value, refused);
}

// A selection is written as an index; hand-written specifications in the typed layout may give it as an
// integer as well.
bool readIndex(const Dictionary& item, const std::string& key, int* index, bool* refused) {
    std::int32_t whole = 0;
    if (item.getWholeIndex(key, index, refused))
        return true;
    if (!item.getWholeLong(key, &whole, refused))
        return false;
    *index = whole;
    return true;
}

std::string entryText(const std::string& value) {
    return value;
}

std::string entryText(float value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(8) << value;
    return out.str();
}

} // namespace

template <class T>
ParameterEnum<T>::ParameterEnum(const Module* owner, std::string identifier, std::string label)
    : Parameter(owner, std::move(identifier), std::move(label)) {}

template <class T>
ParameterEnum<T>::ParameterEnum(const ParameterEnum& other)
    : Parameter(other), entries_(other.entries_), selected_(other.selected_.load(std::memory_order_relaxed)),
      default_(other.default_) {}

template <class T> ParameterEnum<T>::~ParameterEnum() = default;

template <class T> void ParameterEnum<T>::init() {
    if (!testFlags(kPersistent))
        return;
    std::int32_t index = 0;
    if (const auto preferences = openPreferences())
        if (preferences->getLong(getName(), index))
            select(static_cast<std::uint32_t>(index), Sender::kSettings);
}

template <class T> void ParameterEnum<T>::exit() {
    if (!testFlags(kPersistent))
        return;
    if (const auto preferences = openPreferences())
        (void)preferences->setLong(getName(), static_cast<std::int32_t>(getSelected()));
}

template <class T> bool ParameterEnum<T>::receive(const Message& message) {
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    // An extra word of 0 selects nothing: entry 0 is reached only through setNormalized or select.
    if (change != nullptr && message.kind == kKindParameter && message.code == Code::kParameterValue &&
        message.extra != 0 && message.extra <= std::numeric_limits<std::uint32_t>::max())
        select(static_cast<std::uint32_t>(message.extra), change->flags);
    return false;
}

template <class T> MessageWord ParameterEnum<T>::getValueWord() const noexcept {
    return getSelected();
}

template <class T> void ParameterEnum<T>::listenerAdded(Radio* listener) {
    sendTo(listener, currentMessage(Sender::kNewListener));
}

template <class T> void ParameterEnum<T>::notifyListeners() {
    broadcast(currentMessage(Sender::kSettings));
}

template <class T> float ParameterEnum<T>::getNormalized() const noexcept {
    // With fewer than two entries there is no position to report.
    if (entries_.size() < 2)
        return 0.0f;
    return static_cast<float>(getSelected()) / static_cast<float>(entries_.size() - 1);
}

template <class T> void ParameterEnum<T>::setNormalized(float value, int sender) {
    if (entries_.empty() || std::isnan(value))
        return;
    const double count = static_cast<double>(entries_.size());
    // Below 0 is the first entry, not (as an unsigned wrap would make it) the last.
    const double position = value > 0.0f ? std::floor(count * static_cast<double>(value)) : 0.0;
    const std::uint32_t index = position >= count ? static_cast<std::uint32_t>(entries_.size() - 1)
                                                  : static_cast<std::uint32_t>(position);
    select(index, sender);
}

template <class T> std::string ParameterEnum<T>::getText() const {
    return getLabel(getSelected());
}

template <class T> bool ParameterEnum<T>::setText(const std::string& text, int /*sender*/) {
    const std::uint32_t selected = getSelected();
    if (selected >= entries_.size())
        return false;
    entries_[selected].display = text;
    return true;
}

template <class T> double ParameterEnum<T>::getStepSize() const {
    return entries_.size() < 2 ? 0.0 : 1.0 / static_cast<double>(entries_.size() - 1);
}

template <class T> std::int32_t ParameterEnum<T>::getNumSteps() const {
    return static_cast<std::int32_t>(entries_.size());
}

template <class T> std::int32_t ParameterEnum<T>::getType() const {
    if constexpr (std::is_same_v<T, std::string>)
        return kTypeEnum;
    else if constexpr (std::is_same_v<T, float>)
        return kTypeFloat;
    else
        return kTypeLong;
}

template <class T> void ParameterEnum<T>::read(const Dictionary& item) {
    Parameter::read(item);

    // A refused entry value keeps every entry as it was, a refused selection or default its own.
    bool refused = false;
    if (const Dictionary::View values = item.getArray("values")) {
        std::vector<Entry> read;
        values->forEachChild("", [&read, &refused](const Dictionary& entry) {
            if (!entry.hasElement())
                return;
            Entry next{Stored{}, entry.getAttribute("display")};
            readEntryValue(entry, &next.value, &refused);
            read.push_back(std::move(next));
        });
        // Documents (a program's stored values at every preset switch) mostly carry the entries there are:
        // they are left alone then, as other threads may be reading them.
        const auto same = [](const Entry& a, const Entry& b) {
            return a.value == b.value && a.display == b.display;
        };
        if (!refused && !std::equal(read.begin(), read.end(), entries_.begin(), entries_.end(), same))
            entries_.swap(read);
    }

    int index = 0;
    if (readIndex(item, "value", &index, &refused))
        select(static_cast<std::uint32_t>(index), Sender::kDocument);
    if (readIndex(item, "defval", &index, &refused))
        setDefault(static_cast<std::uint32_t>(index), Sender::kDocument);
    if (refused)
        logRefusedValue(item);

    std::string unit;
    if (item.getString("unit", &unit))
        setUnit(unit);

    std::int32_t stored = 0;
    if (testFlags(kPersistent))
        if (const Preferences* user = getUserPreferences())
            if (user->getLong(getName(), stored))
                select(static_cast<std::uint32_t>(stored), Sender::kDocument);
}

template <class T> void ParameterEnum<T>::write(Dictionary& dictionary) const {
    Dictionary::View entry = dictionary.getDictionary(getName());
    const bool added = !entry;
    if (added)
        entry = dictionary.addDictionary(getName());
    if (!entry)
        return;
    if constexpr (!std::is_same_v<T, long>) {
        if (added) {
            if (const Dictionary::View values = entry->addArray("values")) {
                for (const Entry& e : entries_) {
                    const Dictionary::View key = values->addDictionary("key");
                    key->setAttribute("", "value", entryText(e.value));
                    key->setAttribute("", "display", e.display);
                }
            }
        }
    }
    entry->setIndex("value", static_cast<int>(getSelected()), getInstance(), true);
}

template <class T> void ParameterEnum<T>::addValue(const T& value, const std::string& display) {
    entries_.push_back(Entry{static_cast<Stored>(value), display});
}

template <class T> T ParameterEnum<T>::getValue() const {
    return getValueAt(getSelected());
}

template <class T> T ParameterEnum<T>::getDefaultValue() const {
    return getValueAt(default_);
}

template <class T> void ParameterEnum<T>::select(std::uint32_t index, int sender) {
    if (index == getSelected() || index >= entries_.size())
        return;
    selected_.store(index, std::memory_order_relaxed);
    broadcast(makeMessage(index, getNormalized(), sender));
}

template <class T> void ParameterEnum<T>::setDefault(std::uint32_t index, int /*sender*/) {
    default_ = index;
}

template <class T> T ParameterEnum<T>::getValueAt(std::uint32_t index) const {
    return index < entries_.size() ? static_cast<T>(entries_[index].value) : T{};
}

template <class T> std::string ParameterEnum<T>::getLabel(std::uint32_t index) const {
    return index < entries_.size() ? entries_[index].display : std::string();
}

template <class T> void ParameterEnum<T>::setLabelAt(std::uint32_t index, const std::string& display) {
    if (index < entries_.size())
        entries_[index].display = display;
}

template class ParameterEnum<std::string>;
template class ParameterEnum<long>;
template class ParameterEnum<float>;

} // namespace trov
