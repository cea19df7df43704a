#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "framework/Preferences.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterEnum.h"
#include "plugin/ParameterText.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"
#include "support/FileTestFolder.h"
#include "support/PluginTestSupport.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace trov;

namespace {

const std::string kData = TROV_BUILD_DATA;

enum class Kind { Bool, Long, Float, EnumLong, EnumFloat, Text };

bool isKind(const Parameter* parameter, Kind kind) {
    switch (kind) {
    case Kind::Bool:
        return dynamic_cast<const ParameterValue<bool>*>(parameter) != nullptr;
    case Kind::Long:
        return dynamic_cast<const ParameterValue<long>*>(parameter) != nullptr;
    case Kind::Float:
        return dynamic_cast<const ParameterValue<float>*>(parameter) != nullptr;
    case Kind::EnumLong:
        return dynamic_cast<const ParameterEnum<long>*>(parameter) != nullptr;
    case Kind::EnumFloat:
        return dynamic_cast<const ParameterEnum<float>*>(parameter) != nullptr;
    case Kind::Text:
        return dynamic_cast<const ParameterText*>(parameter) != nullptr;
    }
    return false;
}

struct Key {
    const char* name;
    Kind kind;
    std::int32_t scope;
};

constexpr std::int32_t kZone = Parameter::kScopeZone;
constexpr std::int32_t kModule = Parameter::kScopeModule;
constexpr std::int32_t kPlugin = Parameter::kScopePlugin;

// Every key the instrument and its editor read, with the kind its users take it as: zone values as the
// zone accessors read them, enumerations where an entry list is swapped or a float entry is read.
const Key kKeys[] = {
    {"CurrentModule", Kind::Long, kPlugin},
    {"ImportFilterIndex", Kind::Long, kPlugin},
    {"ExportFilterIndex", Kind::Long, kPlugin},
    {"MasterVolume", Kind::Float, kPlugin},
    {"CurrentProgram", Kind::Text, kPlugin},
    {"CurrentSample", Kind::Text, kModule},
    {"CurrentZone", Kind::Long, kModule},
    {"TapwireChannel", Kind::Long, kPlugin},
    {"SampleRootNote", Kind::Long, kZone},
    {"SampleDetuneCoarse", Kind::Long, kZone},
    {"SampleDetuneFine", Kind::Long, kZone},
    {"SampleStart", Kind::Long, kZone},
    {"SampleEnd", Kind::Long, kZone},
    {"SampleDisplayStart", Kind::Long, kZone},
    {"SampleDisplayEnd", Kind::Long, kZone},
    {"SampleLoopOn", Kind::Bool, kZone},
    {"SampleLoopStart", Kind::Long, kZone},
    {"SampleLoopEnd", Kind::Long, kZone},
    {"SampleInvertPhase", Kind::Bool, kZone},
    {"SampleNormalize", Kind::Bool, kZone},
    {"SampleReverse", Kind::Bool, kZone},
    {"WaveRootNote", Kind::Long, kZone},
    {"LCDContrast", Kind::Float, kPlugin},
    {"MidiPitchBend", Kind::Float, kPlugin},
    {"PitchBendRange", Kind::Long, kPlugin},
    {"MidiModulation", Kind::Float, kPlugin},
    {"InputLevel", Kind::Float, kPlugin},
    {"OutputLevel", Kind::Float, kPlugin},
    {"OutputConfiguration", Kind::EnumLong, kPlugin},
    {"TooltipDelay", Kind::Long, kPlugin},
    {"DisplayFontSize", Kind::EnumLong, kPlugin},
    {"SustainVoices", Kind::Bool, kPlugin},
    {"MasterTune", Kind::Float, kPlugin},
    {"VCAAttack", Kind::Float, kModule},
    {"VCAPeak", Kind::Float, kModule},
    {"VCADecay", Kind::Float, kModule},
    {"VCASustain", Kind::Float, kModule},
    {"VCARelease", Kind::Float, kModule},
    {"Velocity_VCAAttack", Kind::Float, kModule},
    {"Velocity_VCAPeak", Kind::Float, kModule},
    {"Keyboard_VCADecay", Kind::Float, kModule},
    {"Velocity_VCASustain", Kind::Float, kModule},
    {"Velocity_VCARelease", Kind::Float, kModule},
    {"VCFAttack", Kind::Float, kModule},
    {"VCFPeak", Kind::Float, kModule},
    {"VCFDecay", Kind::Float, kModule},
    {"VCFSustain", Kind::Float, kModule},
    {"VCFRelease", Kind::Float, kModule},
    {"Velocity_VCFAttack", Kind::Float, kModule},
    {"Velocity_VCFPeak", Kind::Float, kModule},
    {"Keyboard_VCFDecay", Kind::Float, kModule},
    {"Velocity_VCFSustain", Kind::Float, kModule},
    {"Velocity_VCFRelease", Kind::Float, kModule},
    {"SampleSliced", Kind::Bool, kZone},
    {"WaveLevel", Kind::Float, kZone},
    {"WaveCutoff", Kind::Float, kZone},
    {"WaveOutputVoice", Kind::Long, kZone},
    {"OscMix", Kind::Float, kModule},
    {"Velocity_OscMix", Kind::Float, kModule},
    {"Osc2DetuneCents", Kind::Float, kModule},
    {"VCFCutoff", Kind::Float, kModule},
    {"VCFResonance", Kind::Float, kModule},
    {"VCFKeyboardTracking", Kind::EnumFloat, kModule},
    {"ResampleFreq", Kind::Float, kZone},
    {"PreampFilterCutoff", Kind::Float, kZone},
    {"PreampGain", Kind::Float, kZone},
    {"PreampMicInput", Kind::Bool, kZone},
    {"EnvelopeBypass", Kind::Bool, kModule},
    {"FilterBypass", Kind::Bool, kModule},
    {"GrungeBypass", Kind::Bool, kModule},
    {"StereoMode", Kind::EnumLong, kModule},
    {"AnalogCharacter", Kind::Float, kPlugin},
    {"LFORate", Kind::Float, kModule},
    {"LFORatePPQ", Kind::EnumFloat, kModule},
    {"LFOSync", Kind::Bool, kModule},
    {"LFOWaveform", Kind::Float, kModule},
    {"VCFResponse", Kind::Float, kModule},
    {"SoloWave", Kind::Bool, kModule},
    {"OscMixMode", Kind::Bool, kModule},
    {"RecordModeArmed", Kind::Bool, kModule},
    {"RecordModeEnabled", Kind::Bool, kModule},
    {"SampleRecordMask", Kind::Text, kPlugin},
    {"RecordMode", Kind::EnumLong, kModule},
    {"WaveMidiChannel", Kind::Long, kModule},
    {"LFO_OSCDepth", Kind::Float, kModule},
    {"LFO_VCADepth", Kind::Float, kModule},
    {"LFO_VCFDepth", Kind::Float, kModule},
    {"Modwheel_LFO_OSCDepth", Kind::Float, kModule},
    {"Modwheel_LFO_VCADepth", Kind::Float, kModule},
    {"Modwheel_LFO_VCFDepth", Kind::Float, kModule},
    {"SampleUnload", Kind::Bool, kModule},
    {"SoloZone", Kind::Bool, kPlugin},
    {"Load", Kind::Bool, kPlugin},
    {"Save", Kind::Bool, kPlugin},
    {"KeyboardBalance", Kind::Float, kPlugin},
    {"MemoryReset", Kind::Bool, kPlugin},
    {"ResetTuning", Kind::Bool, kPlugin},
    {"StepParameters", Kind::Bool, kPlugin},
    {"AnalogRecalibrate", Kind::Bool, kPlugin},
    {"DisplayBrowser", Kind::Bool, kPlugin},
    {"DisplayEditor", Kind::Bool, kPlugin},
    {"ShowInternalPage", Kind::Bool, kPlugin},
    {"ZoneAutoSelect", Kind::Bool, kPlugin},
};

class SpecificationTest : public testing::Test {
protected:
    SpecificationTest() {
        const Error loaded = settings_.load(File(kData + "/settings.xml"));
        EXPECT_FALSE(loaded.failed()) << loaded.getMessage();
    }

    float floatOf(const char* name) const { return settings_.getFloat(name); }

    test::ScopedPluginInfo product_;
    Settings settings_;
};

TEST_F(SpecificationTest, EveryKeyTheInstrumentReadsExistsOnceWithItsKindAndScope) {
    EXPECT_EQ(settings_.getParameterCount(), static_cast<int>(std::size(kKeys)));
    for (const Key& key : kKeys) {
        const Parameter* parameter = settings_.getParameter(key.name);
        ASSERT_NE(parameter, nullptr) << key.name;
        EXPECT_TRUE(isKind(parameter, key.kind)) << key.name << " is a " << parameter->getTypeName();
        EXPECT_EQ(parameter->getScope(), key.scope) << key.name;
        EXPECT_EQ(settings_.getParameter(key.name, 1), nullptr) << key.name << " is declared twice";
    }
}

TEST_F(SpecificationTest, EveryValueStartsInsideItsRangeAndEveryEnumerationHasEntries) {
    for (int i = 0; i < settings_.getParameterCount(); ++i) {
        const Parameter* parameter = settings_.getParameterAt(i);
        if (parameter->getType() == Parameter::kTypeString)
            continue;
        const float normalized = parameter->getNormalized();
        EXPECT_TRUE(normalized >= 0.0f && normalized <= 1.0f) << parameter->getName() << " " << normalized;
        if (const auto* choice = dynamic_cast<const ParameterEnum<long>*>(parameter)) {
            EXPECT_GE(choice->getNumSteps(), 2) << parameter->getName();
        }
        if (const auto* choice = dynamic_cast<const ParameterEnum<float>*>(parameter)) {
            EXPECT_GE(choice->getNumSteps(), 2) << parameter->getName();
        }
    }
}

TEST_F(SpecificationTest, AFreshInstanceIsAudibleAtPitchWithOpenFilters) {
    EXPECT_EQ(floatOf("MasterVolume"), 1.0f);
    EXPECT_EQ(floatOf("MasterTune"), 440.0f);
    EXPECT_EQ(floatOf("KeyboardBalance"), 0.5f); // both layers at full gain
    EXPECT_EQ(floatOf("MidiPitchBend"), 0.0f);
    EXPECT_EQ(floatOf("OscMix"), 0.0f);
    EXPECT_EQ(floatOf("Osc2DetuneCents"), 0.0f);
    EXPECT_EQ(settings_.getLong("SampleDetuneCoarse"), 0);
    EXPECT_EQ(settings_.getLong("SampleDetuneFine"), 0);
    EXPECT_EQ(floatOf("WaveLevel"), 1.0f);
    EXPECT_EQ(settings_.getNormalizedValue("VCAPeak"), 1.0f);
    EXPECT_EQ(settings_.getNormalizedValue("VCASustain"), 1.0f);
    EXPECT_GT(floatOf("ResampleFreq"), 0.0f);
    EXPECT_GT(static_cast<const ParameterValue<float>*>(settings_.getParameter("ResampleFreq"))->getMin(),
              0.0f);
    EXPECT_EQ(floatOf("VCFCutoff"), 1.0f);
    EXPECT_EQ(floatOf("VCFResonance"), 0.0f);
    EXPECT_EQ(floatOf("VCFResponse"), 0.0f); // low-pass
    EXPECT_EQ(settings_.getNormalizedValue("VCFPeak"), 0.0f);
    EXPECT_EQ(floatOf("WaveCutoff"), 0.0f);
    EXPECT_EQ(floatOf("PreampFilterCutoff"), 1.0f);
    EXPECT_FALSE(settings_.getBool("EnvelopeBypass") || settings_.getBool("FilterBypass"));
    EXPECT_EQ(settings_.getLong("TapwireChannel"), -1);
    EXPECT_EQ(settings_.getLong("WaveMidiChannel"), 0); // every channel
    EXPECT_EQ(floatOf("LFO_OSCDepth") + floatOf("LFO_VCADepth") + floatOf("LFO_VCFDepth"), 0.0f);
}

TEST_F(SpecificationTest, ALayersCopyClonesEveryZoneAndModuleParameterByItsKind) {
    Settings layer;
    const Error copied = layer.copyParameters(settings_);
    ASSERT_FALSE(copied.failed()) << copied.getMessage();
    for (const Key& key : kKeys) {
        const Parameter* own = layer.getParameter(key.name);
        ASSERT_NE(own, nullptr) << key.name;
        EXPECT_TRUE(isKind(own, key.kind)) << key.name;
        EXPECT_EQ(own == settings_.getParameter(key.name), key.scope == kPlugin) << key.name;
    }
}

// The resources of the generated data folder, found as the instrument finds them: through "InstallPath".
class ResourceDataTest : public testing::Test {
protected:
    ResourceDataTest() : machine_(platform::RegistryRoot::Machine, "Software\\Vennikt\\Corvale") {
        machine_.setString("InstallPath", kData);
        setProcessPreferences(&machine_, nullptr);
    }
    ~ResourceDataTest() override { setProcessPreferences(nullptr, nullptr); }

    static float at(const Sample& sample, int frame) { return sample.getData()[frame]; }
    // The input a frame of a transfer curve answers for.
    static double inputOf(const Sample& curve, int frame) {
        const int n = curve.getInfo().frames - 1;
        return 2.0 * frame / (n - 1) - 1.0;
    }
    // The resource tool run with the arguments as they are, no shell between; its output goes to the folder.
    std::string run(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), TROV_MAKE_RESOURCES);
        const corvale::test::ChildResult result = corvale::test::runChild(arguments, {}, folder_.path());
        return result.status == 0 ? "ok" : "failed: " + result.err;
    }

    test::FileTestFolder folder_;
    Preferences machine_;
};

const char* const kNoises[] = {"OstrelNoteOnNoise", "OstrelNoteOffNoise", "OstrelCrosstalkNoise"};
const char* const kCurves[] = {"OstrelMicInputResponseNormal", "OstrelMicInputResponseSaturated",
                               "OstrelLineInputResponseNormal", "OstrelLineInputResponseSaturated"};

TEST_F(ResourceDataTest, EveryResidentSampleLoadsUnmaskedWithItsRootNoteAndStaysThroughAPurge) {
    Resources resources;
    ASSERT_FALSE(resources.load(File(kData + "/resources.xml")).failed());
    resources.purgeUnused();
    std::vector<const char*> names(std::begin(kNoises), std::end(kNoises));
    names.insert(names.end(), std::begin(kCurves), std::end(kCurves));
    for (const char* name : names) {
        const Sample* sample = resources.findSample(name);
        ASSERT_NE(sample, nullptr) << name;
        EXPECT_TRUE(sample->testFlags(Sample::kFlagResident)) << name;
        EXPECT_FALSE(sample->testFlags(Sample::kFlagExport)) << name << " would travel into every bank";
        EXPECT_EQ(sample->getInfo().rootNote, 60) << name;
        EXPECT_EQ(sample->getInfo().sampleRate, 44100) << name;
        ASSERT_GT(sample->getInfo().frames, 2) << name;
        for (int i = 0; i < sample->getInfo().frames; ++i)
            ASSERT_TRUE(std::isfinite(at(*sample, i)) && std::fabs(at(*sample, i)) <= 1.01f)
                << name << " " << i;
    }
}

TEST_F(ResourceDataTest, NoisesAreQuietAndTheCrosstalkHoldsTheLongestGrain) {
    Resources resources;
    ASSERT_FALSE(resources.load(File(kData + "/resources.xml")).failed());
    for (const char* name : kNoises) {
        const Sample& sample = *resources.findSample(name);
        float peak = 0.0f;
        for (int i = 0; i < sample.getInfo().frames; ++i)
            peak = std::max(peak, std::fabs(at(sample, i)));
        EXPECT_GT(peak, 0.0f) << name;
        EXPECT_LT(peak, std::string(name) == "OstrelCrosstalkNoise" ? 0.5f : 0.01f) << name;
    }
    EXPECT_GT(resources.findSample("OstrelCrosstalkNoise")->getInfo().frames, 4411);
    // The clicks die away: their last frames are far below their start.
    const Sample& click = *resources.findSample("OstrelNoteOnNoise");
    EXPECT_LT(std::fabs(at(click, click.getInfo().frames - 1)), 1e-5f);
}

TEST_F(ResourceDataTest, InputCurvesRiseThroughZeroCleanOnesFollowTheInputDrivenOnesSoftClip) {
    Resources resources;
    ASSERT_FALSE(resources.load(File(kData + "/resources.xml")).failed());
    for (const char* name : kCurves) {
        const Sample& curve = *resources.findSample(name);
        const int frames = curve.getInfo().frames;
        const bool clean = std::string(name).find("Normal") != std::string::npos;
        const int mid = (frames - 2) / 2; // x = 0
        EXPECT_NEAR(inputOf(curve, mid), 0.0, 1e-9) << name;
        EXPECT_NEAR(at(curve, mid), 0.0f, 1e-3f) << name;
        for (int i = 16; i < frames - 1; i += 16)
            ASSERT_GT(at(curve, i), at(curve, i - 16)) << name << " falls at " << i;
        for (int i = 0; i < frames - 1; i += 64) {
            const double x = inputOf(curve, i);
            if (clean) {
                ASSERT_NEAR(at(curve, i), x, 0.05) << name << " at " << x;
            } else if (x > 0.2 && x < 0.9) {
                ASSERT_GT(at(curve, i), x) << name << " does not compress at " << x;
            }
        }
        EXPECT_NEAR(at(curve, frames - 2), 1.0f, 0.05f) << name << " at x = 1";
    }
}

TEST_F(ResourceDataTest, TheToolWritesTheSameBytesForTheSameSeed) {
    const std::string a = folder_.path() + "/a";
    const std::string b = folder_.path() + "/b";
    // Each argument reaches the tool whole, whatever it holds.
    const std::string c = folder_.path() + "/c, with 'space' é";
    ASSERT_EQ(run({"--seed", "7", "--out", a}), "ok");
    ASSERT_EQ(run({"--seed", "7", "--out", b}), "ok");
    ASSERT_EQ(run({"--seed", "8", "--out", c}), "ok");
    const std::string crosstalk = "/samples/OstrelCrosstalkNoise.wav";
    EXPECT_EQ(test::readFile(a + "/resources.xml"), test::readFile(b + "/resources.xml"));
    EXPECT_FALSE(test::readFile(a + crosstalk).empty());
    EXPECT_EQ(test::readFile(a + crosstalk), test::readFile(b + crosstalk));
    EXPECT_NE(test::readFile(a + crosstalk), test::readFile(c + crosstalk));
}

TEST_F(ResourceDataTest, RegisteringAFolderTellsTheInstrumentWhereItsFilesAre) {
    ASSERT_EQ(run({"--register", kData}), "ok");
    Preferences fresh(platform::RegistryRoot::Machine, "Software\\Vennikt\\Corvale");
    std::string install;
    std::string resources;
    std::string settings;
    EXPECT_TRUE(fresh.getString("InstallPath", install));
    EXPECT_TRUE(fresh.getString("ResourcesXmlFile", resources));
    EXPECT_TRUE(fresh.getString("SettingsXmlFile", settings));
    EXPECT_TRUE(File(Folder(install) + File(resources)).exists());
    EXPECT_TRUE(File(Folder(install) + File(settings)).exists());
    // The editor's specification and the folder of its skins.
    std::string controls;
    std::string images;
    EXPECT_TRUE(fresh.getString("ControlsXmlFile", controls));
    EXPECT_TRUE(fresh.getString("ImagesDir", images));
    EXPECT_TRUE(File(Folder(install) + File(controls)).exists());
    EXPECT_TRUE((Folder(install) + Folder(images)).exists());
}

TEST_F(ResourceDataTest, AnInstallationWithTheEditorsSpecificationIsRegisteredWithItAndItsSkins) {
    for (const bool withEditor : {false, true}) {
        const std::string install = folder_.path() + (withEditor ? "/with" : "/without");
        ASSERT_EQ(run({"--seed", "2", "--out", install}), "ok");
        if (withEditor)
            std::ofstream(install + "/controls.xml") << "<?xml version=\"1.0\"?><dict/>";
        ASSERT_EQ(run({"--register", install}), "ok");
        Preferences fresh(platform::RegistryRoot::Machine, "Software\\Vennikt\\Corvale");
        std::string controls;
        std::string images;
        EXPECT_EQ(fresh.getString("ControlsXmlFile", controls), withEditor);
        EXPECT_EQ(fresh.getString("ImagesDir", images), withEditor);
        if (withEditor) {
            std::string path;
            fresh.getString("InstallPath", path);
            EXPECT_TRUE(File(Folder(path) + File(controls)).exists());
        }
    }
}

} // namespace
