// Writes the instrument's resident samples and the resource description that names them: the note-on and
// note-off clicks, the crosstalk noise, and the transfer curves of the microphone and line inputs, each
// clean (near identity) and driven (soft clip). Everything random comes from one seeded generator, so a
// seed always gives the same bytes. The skins' "bitmaps" dictionary (written by make-skins) joins the
// description when given. With --register it also records an installed data folder in the machine
// registry stand-in, where the instrument looks for its description and specifications.
//
//   make-resources [--seed N] [--bitmaps FILE] --out FOLDER
//   make-resources --register FOLDER
#include "platform/Registry.h"
#include "tools/common/InstallKeys.h"
#include "tools/common/MonoWav.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kRootNote = 60;
// Resident sample data is stored scrambled: every 32-bit word XORed with this mask, which the resources
// undo when they load a sample marked "resident". It touches only mantissa bits, so a stored float is
// never a NaN or an infinity.
constexpr std::uint32_t kResidentMask = 0x3B1D47;

// Uniform numbers in [0, 1) and [-1, 1) from the 32-bit Mersenne twister, whose sequence the standard
// fixes, so the data does not depend on the library's distributions.
class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    double unit() { return static_cast<double>(engine_() >> 8) * (1.0 / 16777216.0); }
    double bipolar() { return 2.0 * unit() - 1.0; }

private:
    std::mt19937 engine_;
};

std::vector<float> click(Random& random, int frames, double peak, double decayFrames, double toneHz) {
    std::vector<float> out(static_cast<std::size_t>(frames));
    double low = 0.0;
    for (int i = 0; i < frames; ++i) {
        // A relay-like thump: a damped tone under coloured noise, both dying away.
        low += 0.2 * (random.bipolar() - low);
        const double envelope = std::exp(-i / decayFrames);
        const double tone = std::sin(2.0 * M_PI * toneHz * i / kRate);
        out[static_cast<std::size_t>(i)] = static_cast<float>(peak * envelope * (0.6 * tone + 0.4 * low));
    }
    return out;
}

std::vector<float> crosstalk(Random& random, int frames) {
    std::vector<float> out(static_cast<std::size_t>(frames));
    double hiss = 0.0;
    for (int i = 0; i < frames; ++i) {
        // Mains hum with its odd harmonics, a whine of the display's multiplexing, and low hiss.
        const double t = static_cast<double>(i) / kRate;
        const double hum = 0.5 * std::sin(2.0 * M_PI * 50.0 * t) + 0.2 * std::sin(2.0 * M_PI * 150.0 * t) +
                           0.08 * std::sin(2.0 * M_PI * 250.0 * t);
        const double whine = 0.05 * std::sin(2.0 * M_PI * 3150.0 * t);
        hiss += 0.5 * (random.bipolar() - hiss);
        out[static_cast<std::size_t>(i)] = static_cast<float>(0.3 * (hum + whine + 0.25 * hiss));
    }
    return out;
}

// A transfer curve read over -1..1 by frames 0..N-1 of its N+1 frames (the last one only interpolates).
template <class Shape> std::vector<float> curve(Random& random, Shape shape, double ripple) {
    constexpr int kFrames = 4098;
    std::vector<float> out(kFrames);
    for (int k = 0; k < kFrames; ++k) {
        const double x = 2.0 * k / (kFrames - 2) - 1.0;
        out[static_cast<std::size_t>(k)] = static_cast<float>(shape(x) + ripple * random.bipolar());
    }
    return out;
}

// A mono 32-bit float WAV file whose sample words carry the resident mask.
bool writeWav(const std::filesystem::path& path, const std::vector<float>& data) {
    return trov::tools::writeMonoWav(path, kRate, 3, 32, data,
                                     [](std::vector<std::uint8_t>& out, float value) {
                                         std::uint32_t word = 0;
                                         std::memcpy(&word, &value, sizeof word);
                                         trov::tools::put32(out, word ^ kResidentMask);
                                     });
}

struct Resource {
    const char* name;
    std::vector<float> data;
};

int make(std::uint32_t seed, const std::filesystem::path& folder, const std::string& bitmaps) {
    Random random(seed);
    const double ripple = 1.0 / 32768.0;
    std::vector<Resource> resources;
    resources.push_back({"OstrelNoteOnNoise", click(random, 2205, 0.004, 180.0, 95.0)});
    resources.push_back({"OstrelNoteOffNoise", click(random, 1764, 0.003, 140.0, 120.0)});
    resources.push_back({"OstrelCrosstalkNoise", crosstalk(random, 22050)});
    resources.push_back({"OstrelMicInputResponseNormal",
                         curve(
                             random, [](double x) { return 0.97 * x + 0.015 * x * x; }, ripple)});
    resources.push_back({"OstrelMicInputResponseSaturated",
                         curve(
                             random, [](double x) { return std::tanh(3.5 * x) / std::tanh(3.5); }, ripple)});
    resources.push_back({"OstrelLineInputResponseNormal",
                         curve(
                             random, [](double x) { return 0.99 * x + 0.005 * x * x; }, ripple)});
    resources.push_back({"OstrelLineInputResponseSaturated",
                         curve(
                             random, [](double x) { return std::tanh(2.0 * x) / std::tanh(2.0); }, ripple)});

    std::error_code error;
    std::filesystem::create_directories(folder / "samples", error);
    std::string description = "<?xml version=\"1.0\"?>\n<dict>\n<array name=\"samples\">\n";
    for (const Resource& resource : resources) {
        const std::string file = std::string("samples/") + resource.name + ".wav";
        if (!writeWav(folder / file, resource.data)) {
            std::fprintf(stderr, "make-resources: cannot write %s\n", (folder / file).c_str());
            return 1;
        }
        description +=
            std::string("<dict name=\"") + resource.name + "\"><string name=\"filename\" value=\"" + file +
            "\"/><integer name=\"SampleRootNote\" value=\"" + std::to_string(kRootNote) +
            "\"/><bool name=\"resident\" value=\"true\"/><bool name=\"export\" value=\"false\"/></dict>\n";
    }
    description += "</array>\n";
    if (!bitmaps.empty()) {
        std::ifstream in(bitmaps);
        const std::string skins((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.is_open() || skins.empty()) {
            std::fprintf(stderr, "make-resources: cannot read %s\n", bitmaps.c_str());
            return 1;
        }
        description += skins;
    }
    description += "</dict>\n";
    std::ofstream out(folder / "resources.xml", std::ios::trunc);
    out << description;
    if (!out) {
        std::fprintf(stderr, "make-resources: cannot write %s\n", (folder / "resources.xml").c_str());
        return 1;
    }
    return 0;
}

int registerFolder(const std::filesystem::path& folder) {
    auto key = trov::platform::RegistryKey::open(trov::platform::RegistryRoot::Machine,
                                                 "Software\\Vennikt\\Corvale", true);
    if (!key) {
        std::fprintf(stderr, "make-resources: the machine registry cannot be opened\n");
        return 1;
    }
    const std::string install = std::filesystem::absolute(folder).lexically_normal().string();
    if (!trov::tools::storeInstall(*key, install)) {
        std::fprintf(stderr, "make-resources: cannot store the installation's values\n");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::uint32_t seed = 1;
    std::string out;
    std::string install;
    std::string bitmaps;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--seed")
            seed = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (option == "--out")
            out = argv[i + 1];
        else if (option == "--register")
            install = argv[i + 1];
        else if (option == "--bitmaps")
            bitmaps = argv[i + 1];
    }
    if (!install.empty())
        return registerFolder(install);
    if (out.empty()) {
        std::fprintf(stderr,
                     "usage: make-resources [--seed N] [--bitmaps FILE] --out FOLDER | --register FOLDER\n");
        return 2;
    }
    return make(seed, out, bitmaps);
}
