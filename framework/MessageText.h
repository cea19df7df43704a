#pragma once

#include <string>

namespace trov {

// A text shown to the user when something goes wrong at the level of the whole plug-in: caption, message
// and a longer form (the message again when none is given).
class MessageText {
public:
    MessageText() = default;
    MessageText(const std::string& title, const std::string& text, const std::string& detail = std::string());
    MessageText(const MessageText&) = default;
    MessageText& operator=(const MessageText&) = default;
    virtual ~MessageText() = default;

    std::string title;
    std::string text;
    std::string detail;
};

// The catalogue's records, filled by initMessageCatalogue once the product name is known.
extern MessageText messageIOConfigFailed;
extern MessageText messageIOConfigChanged;

// The fixed error texts, filled by initErrorTexts.
extern std::string errorTextLoadingControls;
extern std::string errorTextRegistryKeyMissing;
extern std::string errorTextLoadingResources;
extern std::string errorTextLoadingSettings;

// Both take the product name from the registered product identity. User-interface thread, at start-up.
void initMessageCatalogue();
void initErrorTexts();

} // namespace trov
