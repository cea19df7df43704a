#pragma once

#include "hostapp/Options.h"

#include <cstdint>
#include <optional>
#include <string>

namespace corvale::hostapp {

// The state a run of the module starts from, settled before the module loads: its start-up seed
// (TROV_STARTUP_SEED) and, when the command line fixes that seed, a scratch copy of its per-user store
// (TROV_USER_REGISTRY). The module keeps state there between runs (the analog components it draws at its
// first start, and their drift), so runs with one seed repeat only from one stored state: each starts from
// a copy of the store as it is, and the store itself is left unchanged. Made by a command before it loads
// the module and destroyed after the module is unloaded, which removes the copy and puts the variables
// back. One thread.
class ModuleStartup {
public:
    ModuleStartup() = default;
    ModuleStartup(const ModuleStartup&) = delete;
    ModuleStartup& operator=(const ModuleStartup&) = delete;
    ~ModuleStartup();

    // The seed is options.startupSeed (with the scratch store; 0 takes the calendar time as the seed), else
    // the environment's TROV_STARTUP_SEED when it is a number, else one picked here. Never 0, which the
    // module would take for the time without telling. False with the reason when the scratch copy cannot be
    // made.
    bool prepare(const Options& options, std::string& error);

    std::uint32_t seed() const { return seed_; }
    // The scratch store's file; empty without one.
    const std::string& scratchStore() const { return scratchStore_; }

private:
    static void setVariable(const char* name, std::optional<std::optional<std::string>>& previous,
                            const std::string& value);

    std::uint32_t seed_ = 0;
    std::string scratchFolder_;
    std::string scratchStore_;
    // The variables as they were before prepare (nullopt: unset), put back at the end.
    std::optional<std::optional<std::string>> previousSeed_;
    std::optional<std::optional<std::string>> previousStore_;
};

} // namespace corvale::hostapp
