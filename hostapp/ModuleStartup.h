#pragma once

#include "hostapp/Options.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvale::hostapp {

// The state a run of the module starts from, settled before the module loads: its start-up seed
// (TROV_STARTUP_SEED) and, when the command line fixes that seed, a scratch copy of its per-user store
// (TROV_USER_REGISTRY). The module keeps state there between runs (the analog components it draws at its
// first start, and their drift), so runs with one seed repeat only from one stored state: each starts from
// a copy of the store as it is, and the store itself is left unchanged. Made by a command before it loads
// the module and destroyed after the module is unloaded, which removes the copy and puts the variables
// back. One thread.
//
// A per-user store that is plainly no store (a folder, another kind of file) is not copied: the module
// would refuse the copy under the scratch name. The module sets a damaged store aside under the first
// free name of NAME.unreadable, NAME.unreadable.1, ... when it writes a new one; setAside names each store
// it set aside during the run, and a per-user store the module's writes cannot be saved in.
class ModuleStartup {
public:
    ModuleStartup() = default;
    ModuleStartup(const ModuleStartup&) = delete;
    ModuleStartup& operator=(const ModuleStartup&) = delete;
    ~ModuleStartup();

    // The seed is options.startupSeed (with the scratch store; 0 takes the calendar time as the seed), else
    // the environment's TROV_STARTUP_SEED when it is a number, else one picked here. Never 0, which the
    // module would take for the time without telling. False with the reason when the scratch copy cannot be
    // made, or when the per-user store to copy is no store.
    bool prepare(const Options& options, std::string& error);

    // One line for each store that the module set aside as damaged since prepare, naming the store, its
    // variable and the name it is kept under (not the scratch store, whose original stays as it was); and
    // one for a per-user store that could not be saved at prepare, with the system's reason.
    std::vector<std::string> setAside() const;

    std::uint32_t seed() const { return seed_; }
    // The scratch store's file; empty without one.
    const std::string& scratchStore() const { return scratchStore_; }

private:
    // A file as it was at prepare.
    struct Seen {
        bool existed = false;
        dev_t device = 0;
        ino_t inode = 0;
    };
    // A store (file: as its variable names it; target: the end of its links, where the module writes) and
    // what was kept under each of its set-aside names at prepare.
    struct Watched {
        bool machine = false;
        std::string file;
        std::string target;
        std::vector<Seen> kept;
    };

    static Seen seen(const std::string& file);
    static void setVariable(const char* name, std::optional<std::optional<std::string>>& previous,
                            const std::string& value);

    std::uint32_t seed_ = 0;
    std::string scratchFolder_;
    std::string scratchStore_;
    // The variables as they were before prepare (nullopt: unset), put back at the end.
    std::optional<std::optional<std::string>> previousSeed_;
    std::optional<std::optional<std::string>> previousStore_;
    std::vector<Watched> watched_;
    std::string unsaved_;
};

} // namespace corvale::hostapp
