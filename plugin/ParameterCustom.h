#pragma once

#include "plugin/Parameter.h"

#include <string>

namespace trov {

// A free text that takes part in look-ups, documents and broadcasts like every parameter but has no
// number value and is never automated. Unlike a text parameter it follows the broadcast policy: an
// unchanged text is neither stored nor sent unless the policy is "always".
// Threads: user-interface thread (the text has no lock).
class ParameterCustom : public Parameter {
public:
    ParameterCustom(const Module* owner, std::string identifier, std::string label);
    ParameterCustom(const ParameterCustom& other);
    ~ParameterCustom() override;

    void listenerAdded(Radio* listener) override;
    float getNormalized() const override { return 0.0f; }
    void setNormalized(float /*value*/, int /*sender*/) override {}
    std::string getText() const override { return text_; }
    bool setText(const std::string& text, int sender) override;
    std::int32_t getNumSteps() const override { return 2147483647; }
    std::int32_t getType() const override { return kTypeString; }
    void read(const Dictionary& item) override;
    // Written without an instance, so it reads back as instance 0.
    void write(Dictionary& dictionary) const override;
    void notifyListeners() override;

private:
    std::string text_;
};

} // namespace trov
