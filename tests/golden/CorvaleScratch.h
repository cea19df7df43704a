#pragma once

// A scratch folder laid out for the installed module `corvale`: the machine-wide store naming the build's
// data folder, and runs of the host program in the folder, each with a per-user store and log folder of
// its own unless told to share one.
#include "hostapp/RegistryFile.h"

#include "support/MidiFileBuilder.h"
#include "support/ProgramRun.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <string>
#include <utility>
#include <vector>

namespace corvale::golden {

// A rendered WAV file's samples.
struct Render {
    int channels = 0;
    std::vector<float> samples; // interleaved
};

// Reads a whole WAV file; empty, or the reason it could not be read.
inline std::string readRender(const std::string& path, Render& out) {
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return path + ": " + sf_strerror(nullptr);
    out.channels = info.channels;
    out.samples.assign(static_cast<std::size_t>(info.frames * info.channels), 0.0f);
    const sf_count_t read = sf_readf_float(file, out.samples.data(), info.frames);
    sf_close(file);
    if (read != info.frames || info.channels < 1)
        return path + ": read " + std::to_string(read) + " of " + std::to_string(info.frames) + " frames";
    return std::string();
}

class CorvaleScratch {
public:
    CorvaleScratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-golden-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            error_ = "cannot make a scratch folder";
            return;
        }
        path_ = pattern;
        hostapp::writeRegistryStore(path_ + "/machine.reg", "Software/Vennikt/Corvale",
                                    {{"InstallPath", CORVALE_DATA_DIR},
                                     {"ResourcesXmlFile", "resources.xml"},
                                     {"SettingsXmlFile", "settings.xml"},
                                     {"ControlsXmlFile", "controls.xml"},
                                     {"ImagesDir", "images"}},
                                    error_);
    }
    CorvaleScratch(const CorvaleScratch&) = delete;
    CorvaleScratch& operator=(const CorvaleScratch&) = delete;
    ~CorvaleScratch() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }

    // The folder of the n-th run (from 0): its per-user store and, under "state", its log.
    std::string runFolder(int n) const { return *this / ("run" + std::to_string(n)); }

    // Empty when the folder and its machine store were made.
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    std::string write(const std::string& name, const test::Bytes& bytes) const {
        std::ofstream(*this / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return *this / name;
    }

    // The host program with the arguments; userStore names the per-user store (empty: a fresh one for this
    // run). extra adds or overrides environment variables, unset removes them.
    test::ChildResult run(std::vector<std::string> arguments, const std::string& userStore = std::string(),
                          std::vector<std::pair<std::string, std::string>> extra = {},
                          const std::vector<std::string>& unset = {}) {
        arguments.insert(arguments.begin(), CORVALE_HOST_PROGRAM);
        return runProgram(arguments, userStore, std::move(extra), unset);
    }

    // The same for another program of the module's (arguments[0]), in workingFolder when one is given.
    test::ChildResult runProgram(const std::vector<std::string>& arguments,
                                 const std::string& userStore = std::string(),
                                 std::vector<std::pair<std::string, std::string>> extra = {},
                                 const std::vector<std::string>& unset = {},
                                 const std::string& workingFolder = std::string()) {
        const std::string run = runFolder(runs_++);
        std::filesystem::create_directories(run + "/state");
        std::vector<std::pair<std::string, std::string>> environment = {
            {"TROV_MACHINE_REGISTRY", *this / "machine.reg"},
            {"TROV_USER_REGISTRY", userStore.empty() ? run + "/user.reg" : userStore},
            {"XDG_STATE_HOME", run + "/state"},
            // The module frees everything when it unloads, so its runs are leak-checked.
            {"ASAN_OPTIONS", "halt_on_error=1:detect_leaks=1"}};
        for (auto& entry : extra)
            environment.push_back(std::move(entry));
        return test::runChild(arguments, environment, path_, unset, workingFolder);
    }

private:
    std::string path_;
    std::string error_;
    int runs_ = 0;
};

} // namespace corvale::golden
