#pragma once

#include "framework/CriticalSection.h"
#include "plugin/Parameter.h"

#include <string>

namespace trov {

// One text guarded by a lock, so that it may be set and read on different threads. Every setting is
// broadcast, after the lock is released, with the address of the new text's characters as the extra
// word; receivers copy the text at once. A new listener is told the current text at once, as every
// parameter tells it its value. A persistent text is kept in the per-user preferences.
// Threads: any.
class ParameterText : public Parameter {
public:
    ParameterText(const Module* owner, std::string identifier, std::string label,
                  std::string text = std::string());
    ParameterText(const ParameterText& other);
    ~ParameterText() override;

    void init() override;
    void exit() override;
    float getNormalized() const override { return 0.0f; }
    void setNormalized(float /*value*/, int /*sender*/) override {}
    std::string getText() const override { return getValue(); }
    bool setText(const std::string& text, int sender) override;
    std::int32_t getNumSteps() const override { return 2147483647; }
    std::int32_t getType() const override { return kTypeString; }
    void read(const Dictionary& item) override;
    void write(Dictionary& dictionary) const override;
    void notifyListeners() override;
    void listenerAdded(Radio* listener) override;

    virtual std::string getValue() const;
    virtual void setValue(const std::string& text, int sender);

private:
    std::string text_;
    mutable CriticalSection textLock_;
};

} // namespace trov
