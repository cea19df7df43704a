#pragma once

#include "engine/RexLibrary.h"
#include "engine/rexstub/RexStubFormat.h"
#include "framework/FileTestFolder.h"
#include "framework/Preferences.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace trov::test {

// A temporary install folder named by the machine preference "InstallPath", into which tests put the
// stand-in REX library under the names and versions they need. Unloads the library at the end.
class RexFixture : public testing::Test {
protected:
    RexFixture() {
        install_ = folder_ / "install";
        std::filesystem::create_directories(install_);
        machine_ = std::make_unique<Preferences>(platform::RegistryRoot::Machine, "Software\\Maker\\Sampler");
        machine_->setString("InstallPath", install_);
        setProcessPreferences(machine_.get(), nullptr);
    }
    ~RexFixture() override {
        while (isRexLibraryLoaded())
            unloadRexLibrary();
        setProcessPreferences(nullptr, nullptr);
    }

    // Puts the library under name, as a link to "<name>.<version>" when a version is given.
    void installLibrary(const std::string& name = "REX Shared Library.so", const std::string& version = "1.1.1",
                        const std::string& source = TROV_REXSTUB) {
        const std::filesystem::path link = std::filesystem::path(install_) / name;
        if (version.empty()) {
            std::filesystem::copy_file(source, link);
            return;
        }
        const std::filesystem::path target = std::filesystem::path(install_) / (name + "." + version);
        std::filesystem::copy_file(source, target);
        std::filesystem::create_symlink(target.filename(), link);
    }

    std::string writeLoop(const std::string& name, const rexstub::Loop& loop) {
        const std::vector<char> bytes = rexstub::encode(loop);
        return folder_.write(name, std::string(bytes.begin(), bytes.end()));
    }

    // Three one-second-apart slices of 1000 frames at 44.1 kHz in a one-bar loop.
    static rexstub::Loop threeSlices() {
        rexstub::Loop loop;
        loop.slices = {{0, 1000, 0.5f, false}, {15360, 1000, -0.5f, false}, {30720, 1000, 1.0f, false}};
        return loop;
    }

    FileTestFolder folder_;
    std::string install_;
    std::unique_ptr<Preferences> machine_;
};

} // namespace trov::test
