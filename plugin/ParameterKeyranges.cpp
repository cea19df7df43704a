#include "plugin/ParameterKeyranges.h"

#include <algorithm>

namespace trov {

ParameterKeyranges::ParameterKeyranges(const Module* owner, std::string identifier, std::string label,
                                       bool overlapsAllowed)
    : ParameterArray(owner, std::move(identifier), std::move(label), false),
      overlapsAllowed_(overlapsAllowed) {}

ParameterKeyranges::ParameterKeyranges(const ParameterKeyranges& other)
    : ParameterArray(other), overlapsAllowed_(other.overlapsAllowed_) {}

ParameterKeyranges::~ParameterKeyranges() = default;

void ParameterKeyranges::read(const Dictionary& item) {
    ParameterArray::read(item);
}

void ParameterKeyranges::write(Dictionary& dictionary) const {
    ParameterArray::write(dictionary);
}

int ParameterKeyranges::addItem(const Range<short>& item, int sender) {
    return ParameterArray::addItem(item, sender);
}

void ParameterKeyranges::setItem(int index, const Range<short>& item, int sender) {
    if (index >= 0 && index < getCount()) {
        items_[static_cast<std::size_t>(index)] = item;
        if (!overlapsAllowed_) {
            trim(static_cast<std::size_t>(index));
            std::stable_sort(items_.begin(), items_.end(),
                             [](const Range<short>& a, const Range<short>& b) { return a.low < b.low; });
        }
    }
    announce(index, sender);
}

void ParameterKeyranges::trim(std::size_t edited) {
    Range<short>& range = items_[edited];
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const Range<short>& other = items_[i];
        if (i == edited || !range.overlaps(other))
            continue;
        // Bounds are computed wide so that the neighbour of 32767 or -32768 does not wrap.
        if (range.contains(other.high))
            range.low = static_cast<short>(std::min<int>(other.high + 1, range.high));
        else if (range.contains(other.low))
            range.high = static_cast<short>(std::max<int>(other.low - 1, range.low));
    }
}

} // namespace trov
