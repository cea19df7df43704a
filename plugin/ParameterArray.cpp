#include "plugin/ParameterArray.h"

#include "framework/Dictionary.h"

#include <algorithm>
#include <limits>
#include <locale>
#include <sstream>

namespace trov {

namespace {

// Ranges order by low bound, then by high bound.
bool itemLess(const std::string& a, const std::string& b) {
    return a < b;
}
bool itemLess(const Range<short>& a, const Range<short>& b) {
    return a.low != b.low ? a.low < b.low : a.high < b.high;
}

std::string itemText(const std::string& item) {
    return item;
}
std::string itemText(const Range<short>& item) {
    return std::to_string(item.low) + ":" + std::to_string(item.high);
}

// A string piece yields its first word.
bool parseItem(const std::string& piece, std::string* item) {
    std::istringstream in(piece);
    in.imbue(std::locale::classic());
    return static_cast<bool>(in >> *item);
}

// A range piece: a whole number, any one separator character, a whole number.
bool parseItem(const std::string& piece, Range<short>* item) {
    std::istringstream in(piece);
    in.imbue(std::locale::classic());
    long low = 0;
    long high = 0;
    if (!(in >> low) || in.get() == std::char_traits<char>::eof() || !(in >> high))
        return false;
    constexpr long kMin = std::numeric_limits<short>::min();
    constexpr long kMax = std::numeric_limits<short>::max();
    if (low < kMin || low > kMax || high < kMin || high > kMax)
        return false;
    *item = Range<short>(static_cast<short>(low), static_cast<short>(high));
    return true;
}

} // namespace

template <class T>
ParameterArray<T>::ParameterArray(const Module* owner, std::string identifier, std::string label, bool sorted)
    : Parameter(owner, std::move(identifier), std::move(label)), sorted_(sorted) {}

template <class T>
ParameterArray<T>::ParameterArray(const ParameterArray& other)
    : Parameter(other), items_(other.items_), sorted_(other.sorted_) {}

template <class T> ParameterArray<T>::~ParameterArray() = default;

template <class T> void ParameterArray<T>::listenerAdded(Radio* listener) {
    sendTo(listener, makeMessage(items_.size(), 0.0f, Sender::kNewListener));
}

template <class T> std::int32_t ParameterArray<T>::getType() const {
    return std::is_same_v<T, std::string> ? kTypeString : kTypeUnknown;
}

template <class T> void ParameterArray<T>::read(const Dictionary& item) {
    Parameter::read(item);
    std::string text;
    if (!item.getString("value", &text))
        return;
    // A read restores a state: the items read replace those held, quietly, as removeItem does.
    items_.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('|', start);
        T next{};
        if (parseItem(text.substr(start, end == std::string::npos ? std::string::npos : end - start), &next))
            addItem(next, Sender::kDocument);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

template <class T> void ParameterArray<T>::write(Dictionary& dictionary) const {
    writeTextEntry(dictionary, getItemsText());
}

template <class T> std::string ParameterArray<T>::getItemsText() const {
    std::string text;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i != 0)
            text += '|';
        text += itemText(items_[i]);
    }
    return text;
}

template <class T> T ParameterArray<T>::getItem(int index) const {
    return index >= 0 && index < getCount() ? items_[static_cast<std::size_t>(index)] : T{};
}

template <class T> int ParameterArray<T>::addItem(const T& item, int sender) {
    int at = getCount();
    if (sorted_) {
        const auto position = std::upper_bound(items_.begin(), items_.end(), item,
                                               [](const T& a, const T& b) { return itemLess(a, b); });
        at = static_cast<int>(position - items_.begin());
        items_.insert(position, item);
    } else {
        items_.push_back(item);
    }
    announce(getCount() - 1, sender);
    return at;
}

template <class T> void ParameterArray<T>::setItem(int index, const T& item, int sender) {
    if (index >= 0 && index < getCount())
        items_[static_cast<std::size_t>(index)] = item;
    announce(index, sender);
}

template <class T> void ParameterArray<T>::removeItem(int index) {
    if (index >= 0 && index < getCount())
        items_.erase(items_.begin() + index);
}

template <class T> void ParameterArray<T>::announce(int index, int sender) {
    broadcast(makeMessage(static_cast<MessageWord>(static_cast<std::intptr_t>(index)), 0.0f, sender));
}

template class ParameterArray<std::string>;
template class ParameterArray<Range<short>>;

} // namespace trov
