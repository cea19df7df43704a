#include "hostapp/ModuleStartup.h"

#include "hostapp/FileChecks.h"
#include "hostapp/RegistryFile.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <sys/stat.h>

namespace corvale::hostapp {

namespace {

constexpr const char* kSeedVariable = "TROV_STARTUP_SEED";
constexpr const char* kUserStoreVariable = "TROV_USER_REGISTRY";

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// The store file and the variable that names it, or would name it.
std::string storeNaming(bool machine, const std::string& file) {
    const char* name = machine ? "TROV_MACHINE_REGISTRY" : kUserStoreVariable;
    const std::optional<std::string> given = variable(name);
    return given && !given->empty() ? std::string(name) + " names " + file
                                    : std::string(name) + " is not set, and its default " + file;
}

} // namespace

ModuleStartup::~ModuleStartup() {
    if (!scratchFolder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(scratchFolder_, ignored);
    }
    const auto restore = [](const char* name, const std::optional<std::optional<std::string>>& previous) {
        if (!previous)
            return;
        if (*previous)
            ::setenv(name, (*previous)->c_str(), 1);
        else
            ::unsetenv(name);
    };
    restore(kSeedVariable, previousSeed_);
    restore(kUserStoreVariable, previousStore_);
}

void ModuleStartup::setVariable(const char* name, std::optional<std::optional<std::string>>& previous,
                                const std::string& value) {
    if (!previous)
        previous = variable(name);
    ::setenv(name, value.c_str(), 1);
}

bool ModuleStartup::prepare(const Options& options, std::string& error) {
    // What each store's set-aside name holds now, so that one the module sets aside is told; under a given
    // seed the module writes only the scratch copy of the per-user store.
    for (const bool machine : {true, false}) {
        Watched& store = watched_.emplace_back();
        store.machine = machine;
        store.file = machine || !options.startupSeed ? registryStoreFile(machine) : std::string();
        std::string ignored;
        store.target = store.file.empty() ? std::string() : linkTarget(store.file, ignored);
        for (int n = 0; !store.target.empty() && n < kMaxSetAside; ++n)
            store.kept.push_back(seen(setAsideName(store.target, n)));
    }
    // The module writes the per-user store at least when it unloads; a write that fails is told only in its
    // log.
    if (const Watched& user = watched_.back(); !user.file.empty())
        if (const std::string why = saveProblem(user.file); !why.empty())
            unsaved_ = storeNaming(false, user.file) + ", which cannot be saved (" + why +
                       "): what the module stores in this run is not kept";
    if (options.startupSeed) {
        // 0 asks for a seed from the time, which the module would pick unseen: it is picked here and named.
        seed_ = *options.startupSeed != 0
                    ? *options.startupSeed
                    : std::max<std::uint32_t>(static_cast<std::uint32_t>(std::time(nullptr)), 1);
        const std::string store = registryStoreFile(false);
        if (const std::string why = store.empty() ? std::string() : notAStoreReason(store); !why.empty()) {
            error = storeNaming(false, store) + ", which is not a registry store (" + why +
                    "): it is left as it is";
            return false;
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-host-user-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            error = "cannot make a scratch folder for the per-user store in " +
                    std::filesystem::temp_directory_path().string();
            return false;
        }
        scratchFolder_ = pattern;
        scratchStore_ = scratchFolder_ + "/user.reg";
        std::error_code failed;
        if (!store.empty() && std::filesystem::exists(store, failed) &&
            !std::filesystem::copy_file(store, scratchStore_, failed)) {
            error = "cannot copy the per-user store " + store + ": " + failed.message();
            return false;
        }
        setVariable(kUserStoreVariable, previousStore_, scratchStore_);
    } else if (const std::optional<std::string> given = variable(kSeedVariable);
               given && parseSeed(*given).value_or(0) != 0) {
        seed_ = *parseSeed(*given);
        return true;
    } else {
        std::random_device source;
        std::uniform_int_distribution<std::uint32_t> pick(1, 0xFFFFFFFFu);
        seed_ = pick(source);
    }
    setVariable(kSeedVariable, previousSeed_, std::to_string(seed_));
    return true;
}

ModuleStartup::Seen ModuleStartup::seen(const std::string& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0)
        return Seen();
    return Seen{true, st.st_dev, st.st_ino};
}

std::vector<std::string> ModuleStartup::setAside() const {
    std::vector<std::string> lines;
    for (const Watched& store : watched_)
        for (std::size_t n = 0; n < store.kept.size(); ++n) {
            const std::string kept = setAsideName(store.target, static_cast<int>(n));
            const Seen now = seen(kept);
            const Seen& before = store.kept[n];
            if (!now.existed || (before.existed && now.device == before.device && now.inode == before.inode))
                continue;
            lines.push_back(storeNaming(store.machine, store.file) +
                            ", which could not be read as a store: the module kept it as " + kept +
                            " and began a new one");
        }
    if (!unsaved_.empty())
        lines.push_back(unsaved_);
    return lines;
}

} // namespace corvale::hostapp
