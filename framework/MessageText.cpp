#include "framework/MessageText.h"

#include "framework/ProductIdentity.h"

namespace trov {

MessageText messageIOConfigFailed;
MessageText messageIOConfigChanged;
std::string errorTextLoadingControls;
std::string errorTextRegistryKeyMissing;
std::string errorTextLoadingResources;
std::string errorTextLoadingSettings;

MessageText::MessageText(const std::string& title_, const std::string& text_, const std::string& detail_)
    : title(title_), text(text_), detail(detail_.empty() ? text_ : detail_) {}

void initMessageCatalogue() {
    const std::string product = getProductIdentity().getName();
    messageIOConfigFailed =
        MessageText("I/O configuration failed",
                    product + " could not switch to the new I/O configuration!\r\n"
                              "Please unload and reload the plugin for the new settings to take effect. ");
    messageIOConfigChanged =
        MessageText("I/O configuration changed", "The new I/O configuration will take effect on next load. ");
}

void initErrorTexts() {
    const std::string product = getProductIdentity().getName();
    errorTextLoadingControls = "Error loading controls!  The plugin will function but no editor will be "
                               "available.\nPlease reinstall " +
                               product + ". ";
    errorTextRegistryKeyMissing =
        "Registry key missing, unable to continue.\nPlease reinstall " + product + ". ";
    errorTextLoadingResources =
        "Error loading resources, unable to continue.\nPlease reinstall " + product + ". ";
    errorTextLoadingSettings =
        "Error loading settings, unable to continue.\nPlease reinstall " + product + ". ";
}

} // namespace trov
