#pragma once

#include "plugin/Parameter.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace trov {

// A choice among a list of entries, each a value with a display text, for T = std::string, long and
// float: a menu of modes, of configurations, of programs. The selection is an index into the list.
// Integers are stored and written as 32 bits whatever the width of long.
// Threads: entries are set up on the user-interface thread; the selection may be changed on one thread
// at a time and read lock-free from any.
template <class T> class ParameterEnum : public Parameter {
public:
    using Stored = std::conditional_t<std::is_same_v<T, long>, std::int32_t, T>;
    struct Entry {
        Stored value;
        std::string display;
    };

    ParameterEnum(const Module* owner, std::string identifier, std::string label);
    ParameterEnum(const ParameterEnum& other);
    ~ParameterEnum() override;

    void init() override;
    void exit() override;
    bool receive(const Message& message) override;
    void listenerAdded(Radio* listener) override;
    MessageWord getValueWord() const noexcept override;
    float getNormalized() const noexcept override;
    void setNormalized(float value, int sender) override;
    std::string getText() const override;
    // Renames the selected entry; sends nothing.
    bool setText(const std::string& text, int sender) override;
    double getStepSize() const override;
    std::int32_t getNumSteps() const override;
    std::int32_t getType() const override;
    void read(const Dictionary& item) override;
    void write(Dictionary& dictionary) const override;
    void notifyListeners() override;

    virtual void addValue(const T& value, const std::string& display);
    virtual T getValue() const;
    virtual T getDefaultValue() const;
    // Takes an index below the entry count that differs from the selection, and broadcasts it.
    virtual void select(std::uint32_t index, int sender);
    virtual void setDefault(std::uint32_t index, int sender);

    // T() out of range.
    T getValueAt(std::uint32_t index) const;
    // The display text at an index; empty out of range.
    std::string getLabel(std::uint32_t index) const;
    void setLabelAt(std::uint32_t index, const std::string& display);
    void clearValues() { entries_.clear(); }
    std::uint32_t getCount() const noexcept { return static_cast<std::uint32_t>(entries_.size()); }
    std::uint32_t getSelected() const noexcept { return selected_.load(std::memory_order_relaxed); }
    std::uint32_t getDefault() const noexcept { return default_; }

    using Parameter::getLabel;

private:
    std::vector<Entry> entries_;
    std::atomic<std::uint32_t> selected_{0};
    std::uint32_t default_ = 0;
};

extern template class ParameterEnum<std::string>;
extern template class ParameterEnum<long>;
extern template class ParameterEnum<float>;

} // namespace trov
