#pragma once

#include "gui/controls/ControlValueButton.h"

#include <string>

namespace trov {

// A link button ("URL"): a value button that opens its "url" with the system's shell at a left press,
// which it leaves untaken.
//
// Owned by its parent control; user-interface thread.
class ControlURL : public ControlValueButton<bool> {
public:
    explicit ControlURL(Editor* editor);
    ~ControlURL() override;

    bool receive(const Message& message) override;
    // The value button's keys, then "url".
    bool fromDictionary(const Dictionary& spec) override;

    const std::string& getURL() const { return url_; }
    void setURL(const std::string& url) { url_ = url; }

private:
    std::string url_;
};

} // namespace trov
