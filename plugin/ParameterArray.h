#pragma once

#include "framework/Range.h"
#include "plugin/Parameter.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace trov {

// A list of items, for T = std::string (type code 4) and trov::Range<short> (type code 5), optionally
// kept in ascending order. In documents it is the items joined by "|" (a range as "low:high"). It has no
// normalised value; a change message carries an item index as its extra word.
// Threads: user-interface thread.
template <class T> class ParameterArray : public Parameter {
public:
    ParameterArray(const Module* owner, std::string identifier, std::string label,
                   bool sorted = std::is_same_v<T, std::string>);
    ParameterArray(const ParameterArray& other);
    ~ParameterArray() override;

    void listenerAdded(Radio* listener) override;
    float getNormalized() const override { return 0.0f; }
    void setNormalized(float /*value*/, int /*sender*/) override {}
    std::string getText() const override { return std::string(); }
    bool setText(const std::string& /*text*/, int /*sender*/) override { return false; }
    std::int32_t getNumSteps() const override { return static_cast<std::int32_t>(items_.size()); }
    std::int32_t getType() const override;
    // Replaces the items with those of the "|"-separated "value", each added as addItem does; pieces that
    // hold no item are skipped. Without a "value" the items stay.
    void read(const Dictionary& item) override;
    void write(Dictionary& dictionary) const override;

    // T() out of range.
    virtual T getItem(int index) const;
    // Returns where the item went.
    virtual int addItem(const T& item, int sender);
    virtual void setItem(int index, const T& item, int sender);
    virtual void removeItem(int index);

    int getCount() const { return static_cast<int>(items_.size()); }
    bool isSorted() const { return sorted_; }
    // The document form: the items joined by "|".
    std::string getItemsText() const;

protected:
    // Tells the listeners which item changed.
    void announce(int index, int sender);

    std::vector<T> items_;
    bool sorted_;
};

extern template class ParameterArray<std::string>;
extern template class ParameterArray<Range<short>>;

} // namespace trov
