// Writes the demo sample and the demo bank the run command plays. The sample is a seeded electric-piano
// like tone (root key 60); the bank is what the instrument itself saves after the sample was dropped on
// both layers of a fresh instance: the "Lower" layer over the whole keyboard, the "Upper" one from key 60
// up with a slower attack and a long release. Everything random, the analog model's
// components included, comes from the seed, so a seed always gives the same sound.
//
//   make-demo [--seed N] --data FOLDER --out FOLDER
//     --data  an installed data folder (settings.xml, resources.xml and their samples)
//     --out   where demo.wav and demo.kmd go
#include "engine/io/HostInterface.h"
#include "engine/modules/Module.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/Random.h"
#include "instance/Mission.h"
#include "instance/Plugin.h"
#include "instance/Program.h"
#include "platform/Registry.h"
#include "plugin/Parameter.h"
#include "plugin/PluginInfo.h"
#include "plugin/Settings.h"
#include "tools/common/InstallKeys.h"
#include "tools/common/MonoWav.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kRootHz = 261.6255653005986; // key 60 at A 440
constexpr float kMasterVolume = 0.6f;

// The sample: eight partials, each dying away faster the higher it is, slightly stretched like a struck
// tine, a faint beating second voice, and a short seeded noise of the hammer.
std::vector<float> demoTone(std::uint32_t seed) {
    std::mt19937 engine(seed);
    const auto bipolar = [&engine]() {
        return static_cast<double>(engine() >> 8) * (2.0 / 16777216.0) - 1.0;
    };
    constexpr int kFrames = kRate * 2;
    std::vector<double> mix(kFrames, 0.0);
    for (int partial = 1; partial <= 8; ++partial) {
        const double hz = kRootHz * partial * (1.0 + 0.0004 * (partial - 1) * (partial - 1));
        const double level = 0.55 / (partial * partial) + 0.02;
        const double decay = 1.2 / partial; // seconds to fall by e
        const double phase = 2.0 * M_PI * (0.5 + 0.5 * bipolar());
        for (int i = 0; i < kFrames; ++i) {
            const double t = static_cast<double>(i) / kRate;
            mix[static_cast<std::size_t>(i)] +=
                level * std::exp(-t / decay) * std::sin(2.0 * M_PI * hz * t + phase);
        }
    }
    double low = 0.0;
    for (int i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        mix[static_cast<std::size_t>(i)] +=
            0.08 * std::exp(-t / 1.5) * std::sin(2.0 * M_PI * kRootHz * 1.003 * t);
        low += 0.3 * (bipolar() - low);
        mix[static_cast<std::size_t>(i)] += 0.15 * std::exp(-t / 0.004) * low;
        // A few milliseconds of fade at the end, so the last frame is silent.
        const int left = kFrames - i;
        if (left < 441)
            mix[static_cast<std::size_t>(i)] *= static_cast<double>(left) / 441.0;
    }
    double peak = 0.0;
    for (double v : mix)
        peak = std::max(peak, std::fabs(v));
    std::vector<float> out(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        out[i] = static_cast<float>(0.8 * mix[i] / peak);
    return out;
}

// A mono 16-bit PCM WAV file.
bool writeWav(const std::filesystem::path& path, const std::vector<float>& data) {
    return trov::tools::writeMonoWav(
        path, kRate, 1, 16, data, [](std::vector<std::uint8_t>& out, float value) {
            const long scaled = std::lround(std::clamp(static_cast<double>(value), -1.0, 1.0) * 32767.0);
            trov::tools::put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(scaled)));
        });
}

// The host of the one instance: a fixed tempo and no song position.
class DemoHost : public trov::HostInterface {
public:
    double getTempo() const override { return 120.0; }
    double getSongPosition() const override { return 0.0; }
    std::string getHostName() const override { return "make-demo"; }
};

int fail(const std::string& text) {
    std::fprintf(stderr, "make-demo: %s\n", text.c_str());
    return 1;
}

// A private installation: the data folder registered in a registry store of its own, an empty per-user
// store and a log folder, all under work.
bool layOut(const std::filesystem::path& work, const std::filesystem::path& data) {
    std::error_code error;
    std::filesystem::remove_all(work, error);
    std::filesystem::create_directories(work / "state", error);
    if (error)
        return false;
    ::setenv("TROV_MACHINE_REGISTRY", (work / "machine.reg").c_str(), 1);
    ::setenv("TROV_USER_REGISTRY", (work / "user.reg").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (work / "state").c_str(), 1);
    auto key = trov::platform::RegistryKey::open(trov::platform::RegistryRoot::Machine,
                                                 "Software\\Vennikt\\Corvale", true);
    if (!key)
        return false;
    const std::string install = std::filesystem::absolute(data).lexically_normal().string();
    return trov::tools::storeInstall(*key, install);
}

// A layer plays the sample over the keys given, in one zone.
bool fillLayer(trov::ZoneManager* zones, const std::string& sampleId, trov::KeyRange keys) {
    if (zones == nullptr || !zones->setCurrentZoneSample(sampleId))
        return false;
    zones->setZoneKeyRange(zones->getCurrentZoneIndex(), keys);
    return true;
}

// Sets a layer's values; its program keeps them for the bank.
void setLayer(trov::Module* module, std::initializer_list<std::pair<const char*, float>> values) {
    trov::Settings* settings = module->getSettings();
    if (settings == nullptr)
        return;
    for (const auto& [name, value] : values)
        settings->setFloat(name, value, trov::Sender::kSettings);
    if (trov::Program* program = module->getProgram())
        program->init();
}

// The bank holds the audio; the file it came from is named within the data folder, not by the path of
// the machine that built it.
void nameSampleRelatively(trov::Dictionary& bank, const std::string& name) {
    const trov::Dictionary::View resources = bank.getDictionary("resources");
    const trov::Dictionary::View samples =
        resources ? resources->getArray("samples") : trov::Dictionary::View();
    if (samples)
        samples->forEachChild("", [&name](trov::Dictionary& item) {
            if (item.hasElement())
                item.setString("filename", name);
        });
}

int make(std::uint32_t seed, const std::filesystem::path& data, const std::filesystem::path& out) {
    std::error_code error;
    std::filesystem::create_directories(out, error);
    const std::filesystem::path sample = std::filesystem::absolute(out / "demo.wav");
    if (!writeWav(sample, demoTone(seed)))
        return fail("cannot write " + sample.string());

    const std::filesystem::path work = out / ".make-demo";
    if (!layOut(work, data))
        return fail("cannot lay out an installation under " + work.string());
    // The first seeding wins: the process-wide context's own start-up seeding then changes nothing.
    trov::seedRandomGenerators(seed == 0 ? 1 : seed);
    trov::Mission::instance().start();
    if (!trov::Mission::instance().isStarted())
        return fail("the instrument did not start (see the log under " + (work / "state").string() + ")");

    DemoHost host;
    host.setSampleRate(kRate);
    host.setBlockSize(512);
    std::unique_ptr<trov::Plugin> plugin(trov::getPluginInfo()->createPlugin(&host, 0));
    plugin->init();
    if (plugin->getModuleCount() < 2)
        return fail("the instrument has fewer than two layers");
    trov::Module* lower = plugin->getModule(0);
    trov::Module* upper = plugin->getModule(1);
    // The file is dropped on the lower layer; the upper one plays the same sample, so the bank holds its
    // audio once, embedded, and never needs the file.
    trov::ZoneManager* lowerZones = lower->getZoneManager();
    if (lowerZones == nullptr || lowerZones->importSample(trov::File(sample.string())) == 0)
        return fail("the instrument did not take " + sample.string());
    const std::string sampleId = lowerZones->getCurrentSampleName();
    if (!fillLayer(lowerZones, sampleId, {36, 96}) || !fillLayer(upper->getZoneManager(), sampleId, {60, 96}))
        return fail("the layers did not take the sample");
    setLayer(lower, {{"VCARelease", 0.6f}});
    setLayer(upper, {{"VCAAttack", 0.25f}, {"VCARelease", 0.8f}});
    // Chords of both layers stay below full scale.
    if (trov::Settings* settings = plugin->getSettings())
        settings->setFloat("MasterVolume", kMasterVolume, trov::Sender::kSettings);

    trov::Dictionary bank;
    plugin->writeState(bank, true);
    nameSampleRelatively(bank, std::filesystem::relative(sample, std::filesystem::absolute(data)).string());
    const std::filesystem::path bankPath = out / "demo.kmd";
    if (!bank.save(trov::File(bankPath.string())))
        return fail("cannot write " + bankPath.string());
    plugin.reset();
    std::filesystem::remove_all(work, error);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::uint32_t seed = 1;
    std::string data;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "make-demo: %s needs a value\n", option.c_str());
            return 2;
        }
        const std::string value = argv[++i];
        if (option == "--seed") {
            char* end = nullptr;
            const unsigned long number = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || number > 0xFFFFFFFFul) {
                std::fprintf(stderr, "make-demo: --seed '%s' is not a whole number\n", value.c_str());
                return 2;
            }
            seed = static_cast<std::uint32_t>(number);
        } else if (option == "--data") {
            data = value;
        } else if (option == "--out") {
            out = value;
        } else {
            std::fprintf(stderr, "make-demo: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (data.empty() || out.empty()) {
        std::fprintf(stderr, "usage: make-demo [--seed N] --data FOLDER --out FOLDER\n");
        return 2;
    }
    return make(seed, data, out);
}
