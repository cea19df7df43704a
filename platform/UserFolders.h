#pragma once

#include <string>

namespace trov::platform {

// Standard folders, from the XDG base-directory variables with their documented defaults under $HOME.
// Empty when neither the variable nor $HOME names one.
std::string applicationDataFolder(); // $XDG_STATE_HOME, else $XDG_DATA_HOME, else ~/.local/state
std::string documentsFolder();       // $XDG_DOCUMENTS_DIR, else ~/Documents
std::string configFolder();          // $XDG_CONFIG_HOME, else ~/.config
std::string temporaryFolder();       // $TMPDIR, else /tmp

} // namespace trov::platform
