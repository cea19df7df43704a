#pragma once

#include "plugin/ParameterArray.h"

namespace trov {

// A list of key ranges that, unless overlaps are allowed, stays free of overlaps when a range is edited:
// the edited range is trimmed against the others and the list is sorted by low bound. Reading and
// adding neither trim nor sort. Threads: user-interface thread.
class ParameterKeyranges : public ParameterArray<Range<short>> {
public:
    ParameterKeyranges(const Module* owner, std::string identifier, std::string label,
                       bool overlapsAllowed = false);
    ParameterKeyranges(const ParameterKeyranges& other);
    ~ParameterKeyranges() override;

    void read(const Dictionary& item) override;
    void write(Dictionary& dictionary) const override;
    int addItem(const Range<short>& item, int sender) override;
    // Replaces the range, trims it against every range it overlaps, sorts by low bound, then tells the
    // listeners.
    void setItem(int index, const Range<short>& item, int sender) override;

    bool getOverlapsAllowed() const { return overlapsAllowed_; }

private:
    void trim(std::size_t edited);

    bool overlapsAllowed_;
};

} // namespace trov
