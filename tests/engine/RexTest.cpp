#include "engine/samples/RexLibrary.h"
#include "engine/samples/RexTempoSource.h"
#include "engine/samples/SampleFiles.h"
#include "engine/samples/SampleREX.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/File.h"
#include "framework/Message.h"
#include "framework/Preferences.h"
#include "platform/Responder.h"
#include "plugin/Parameter.h"
#include "support/FileTestFolder.h"
#include "support/LogCapture.h"
#include "support/RexStubFormat.h"
#include "support/SampleTestSupport.h"
#include "support/ScopedProduct.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>

using namespace trov;

namespace {

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
    void installLibrary(const std::string& name = "REX Shared Library.so",
                        const std::string& version = "1.1.1", const std::string& source = TROV_REXSTUB) {
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

    test::FileTestFolder folder_;
    std::string install_;
    std::unique_ptr<Preferences> machine_;
};

class RexLibrary : public RexFixture {};

TEST_F(RexLibrary, LoadsFromTheInstallFolderAndForwardsEveryCall) {
    installLibrary();
    ASSERT_EQ(loadRexLibrary(), kRexOk);
    EXPECT_TRUE(isRexLibraryLoaded());

    const std::vector<char> bytes = rexstub::encode(threeSlices());
    REXInfo info{};
    ASSERT_EQ(REXGetInfoFromBuffer(static_cast<std::int32_t>(bytes.size()), bytes.data(), sizeof info, &info),
              kRexOk);
    EXPECT_EQ(info.sliceCount, 3);
    EXPECT_EQ(info.ppqLength, 4 * 15360);

    REXHandle handle = nullptr;
    ASSERT_EQ(REXCreate(&handle, bytes.data(), static_cast<std::int32_t>(bytes.size()), nullptr, nullptr),
              kRexOk);
    EXPECT_EQ(REXSetOutputSampleRate(handle, 8000), kRexInvalidSampleRate);
    EXPECT_EQ(REXStartPreview(handle), kRexOk);
    EXPECT_EQ(REXSetPreviewTempo(handle, 10000), kRexInvalidTempo);
    EXPECT_EQ(REXStopPreview(handle), kRexOk);
    EXPECT_EQ(REXStopPreview(handle), kRexNotBeingPreviewed);
    REXDelete(&handle);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(RexLibrary, WithoutTheLibraryEveryCallAnswersNotLoaded) {
    EXPECT_EQ(loadRexLibrary(), kRexLibraryNotFound);
    EXPECT_FALSE(isRexLibraryLoaded());
    REXHandle handle = nullptr;
    EXPECT_EQ(REXCreate(&handle, "x", 1, nullptr, nullptr), kRexLibraryNotLoaded);
    REXInfo info{};
    EXPECT_EQ(REXGetInfo(handle, sizeof info, &info), kRexLibraryNotLoaded);
    EXPECT_EQ(REXRenderSlice(handle, 0, 0, nullptr), kRexLibraryNotLoaded);
    REXDelete(&handle);

    machine_->clear();
    EXPECT_EQ(loadRexLibrary(), kRexLibraryNotFound);
    setProcessPreferences(nullptr, nullptr);
    EXPECT_EQ(loadRexLibrary(), kRexLibraryNotFound);
}

TEST_F(RexLibrary, AcceptsVersionOnePointOnePointOneAndLater) {
    struct Case {
        const char* version;
        std::int32_t expected;
    };
    for (const Case& c :
         {Case{"1.1.1", kRexOk}, Case{"1.2.0", kRexOk}, Case{"1.1.5.9", kRexOk},
          Case{"1.1.0", kRexLibraryTooOld}, Case{"1.0.999", kRexLibraryTooOld},
          Case{"0.9.9", kRexLibraryTooOld}, Case{"", kRexLibraryTooOld}, Case{"2.0.0", kRexLibraryTooNew}}) {
        std::filesystem::remove_all(install_);
        std::filesystem::create_directories(install_);
        installLibrary("REX Shared Library.so", c.version);
        EXPECT_EQ(loadRexLibrary(), c.expected) << "version '" << c.version << "'";
        EXPECT_EQ(isRexLibraryLoaded(), c.expected == kRexOk) << c.version;
        while (isRexLibraryLoaded())
            unloadRexLibrary();
    }
}

TEST_F(RexLibrary, TheFirstNameThatLoadsIsTheOneChecked) {
    installLibrary("REX Shared Library Debug.so", "2.0.0");
    installLibrary("REX Shared Library.so", "1.1.1");
    EXPECT_EQ(loadRexLibrary(), kRexLibraryTooNew);

    std::filesystem::remove(std::filesystem::path(install_) / "REX Shared Library Debug.so");
    installLibrary("REX Shared Library Beta.so", "1.5.0");
    EXPECT_EQ(loadRexLibrary(), kRexOk);
}

TEST_F(RexLibrary, ABrokenIncompleteOrUnopenableLibraryIsReportedCorrupt) {
    folder_.write("install/REX Shared Library.so", "not a shared object");
    EXPECT_EQ(loadRexLibrary(), kRexLibraryCorrupt);
    std::filesystem::remove(std::filesystem::path(install_) / "REX Shared Library.so");
    installLibrary("REX Shared Library.so", "1.1.1", TROV_REXSTUB_PARTIAL);
    EXPECT_EQ(loadRexLibrary(), kRexLibraryCorrupt);
    EXPECT_FALSE(isRexLibraryLoaded());
    REXHandle handle = nullptr;
    EXPECT_EQ(REXCreate(&handle, "x", 1, nullptr, nullptr), kRexLibraryNotLoaded);

    std::filesystem::remove_all(install_);
    std::filesystem::create_directories(install_);
    installLibrary();
    ::setenv("TROV_REXSTUB_OPEN_FAILS", "1", 1);
    const std::int32_t code = loadRexLibrary();
    ::unsetenv("TROV_REXSTUB_OPEN_FAILS");
    EXPECT_EQ(code, kRexLibraryCorrupt);
    EXPECT_FALSE(isRexLibraryLoaded());
    EXPECT_EQ(loadRexLibrary(), kRexOk);
}

TEST_F(RexLibrary, StaysLoadedUntilTheLastUserUnloadsIt) {
    installLibrary();
    ASSERT_EQ(loadRexLibrary(), kRexOk);
    EXPECT_EQ(loadRexLibrary(), kRexLibraryAlreadyLoaded);
    unloadRexLibrary();
    EXPECT_TRUE(isRexLibraryLoaded());
    REXInfo info{};
    EXPECT_EQ(REXGetInfo(nullptr, sizeof info, &info), kRexInvalidHandle);
    unloadRexLibrary();
    EXPECT_FALSE(isRexLibraryLoaded());
    EXPECT_EQ(REXGetInfo(nullptr, sizeof info, &info), kRexLibraryNotLoaded);
    unloadRexLibrary();
    EXPECT_FALSE(isRexLibraryLoaded());
}

TEST(RexErrorText, KnownCodesHaveTheirTextAndSuccessAndUnknownCodesNone) {
    EXPECT_EQ(rexErrorText(kRexOk), "");
    EXPECT_EQ(rexErrorText(4), "");
    EXPECT_EQ(rexErrorText(103),
              "The REX DLL could not be found. Maybe REX is not installed on this system?");
    EXPECT_EQ(rexErrorText(210),
              "Invalid tempo. The preview tempo must be in the range 20 BPM - 450 BPM, inclusive.");
    EXPECT_EQ(rexErrorText(666), "Undefined error. If this happens, you've found a bug in the REX DLL.");
}

class RexSample : public RexFixture {
protected:
    RexSample() : scoped_(responder_) {
        installLibrary();
        EXPECT_EQ(loadRexLibrary(), kRexOk);
    }

    // A loaded (not yet rendered) sample of the loop.
    std::unique_ptr<SampleREX> loadLoop(const rexstub::Loop& loop, const std::string& name = "loop.rx2") {
        auto sample = std::make_unique<SampleREX>();
        const Error result = sample->load(File(writeLoop(name, loop)), true);
        EXPECT_EQ(result.getCode(), "EAOK") << result.getMessage();
        return sample;
    }

    test::ScopedProduct product_;
    platform::ScriptedResponder responder_;
    platform::ScopedResponder scoped_;
};

class FixedTempo : public RexTempoSource {
public:
    explicit FixedTempo(double tempo) : tempo_(tempo) { install(this); }
    ~FixedTempo() override { install(nullptr); }
    double getTempo() const override { return tempo_; }

private:
    double tempo_;
};

TEST_F(RexSample, LoadingReadsTheFormatSliceCountAndCreatorTexts) {
    rexstub::Loop loop = threeSlices();
    loop.hasCreator = true;
    loop.creator[0] = "Drummer";
    loop.creator[3] = "drums@example.org";
    loop.creator[4] = "Dry kit";
    const auto sample = loadLoop(loop);
    const SampleInfo info = sample->getInfo();
    EXPECT_EQ(std::tuple(info.channels, info.bitDepth, info.frames, sample->getSliceCount()),
              std::tuple(2, 16, 0, 3));
    EXPECT_EQ(std::tuple(info.creator, info.comment), std::tuple("Drummer <drums@example.org>", "Dry kit"));

    loop.creator[3].clear();
    EXPECT_EQ(loadLoop(loop, "plain.rex")->getInfo().creator, "Drummer");
    EXPECT_EQ(loadLoop(threeSlices(), "anonymous.rex")->getInfo().creator, "");
}

TEST_F(RexSample, RendersEverySliceAtItsPlaceForTheTempo) {
    const auto sample = loadLoop(threeSlices());
    ASSERT_TRUE(sample->render(120.0));
    // One bar of 4 x 15360 PPQ at 120 BPM and 44.1 kHz ends at frame 88200.
    EXPECT_EQ(sample->getEnd(), 88200);
    const SampleInfo info = sample->getInfo();
    ASSERT_EQ(std::pair(info.frames, info.channels), std::pair(88201, 1));
    EXPECT_EQ(test::slicesOf(*sample), (test::Slices{{0, 1000}, {22050, 23050}, {44100, 45100}}));
    // Left at the slice's level, right at half of it, averaged.
    EXPECT_EQ(std::tuple(info.data[0], info.data[999], info.data[1000], info.data[22050], info.data[45099]),
              std::tuple(0.375f, 0.375f, 0.0f, -0.375f, 0.75f));
    EXPECT_TRUE(test::holdsGuard(*sample));
    EXPECT_EQ(sample->getLoop().mode, Sample::kLoopOff);

    ASSERT_TRUE(sample->render(60.0));
    EXPECT_EQ(std::tuple(sample->getEnd(), sample->getSlice(1).start, sample->getRenderedTempo()),
              std::tuple(176400, 44100, 60.0));
}

TEST_F(RexSample, OverlappingSlicesAreCutAtTheNextSlicesStart) {
    rexstub::Loop loop = threeSlices();
    loop.slices[0].frames = 30000;
    const auto sample = loadLoop(loop);
    ASSERT_TRUE(sample->render(120.0));
    EXPECT_EQ(std::pair(sample->getSlice(0).end, sample->getSlice(1).end), std::pair(22049, 23050));
}

TEST_F(RexSample, RenderingAgainAtTheSameTempoChangesNothing) {
    const auto sample = loadLoop(threeSlices());
    ASSERT_TRUE(sample->render(120.0));
    sample->getData()[5] = 42.0f;
    EXPECT_TRUE(sample->render(120.0));
    EXPECT_EQ(sample->getData()[5], 42.0f);
    EXPECT_TRUE(sample->render(100.0));
    EXPECT_FLOAT_EQ(sample->getData()[5], 0.375f);
}

TEST_F(RexSample, TransposingRendersAtTheHostTempoOverThePitchRatio) {
    FixedTempo host(100.0);
    const auto sample = loadLoop(threeSlices());
    ASSERT_TRUE(sample->render(120.0));
    EXPECT_FALSE(sample->needsProcessing());
    Dictionary settings;
    settings.setInteger("SampleDetuneCoarse", 12);
    sample->applySettings(settings);
    EXPECT_EQ(std::tuple(sample->getRenderedTempo(), sample->needsProcessing(), sample->getEnd()),
              std::tuple(50.0, true, 2 * 88200 * 120 / 100));

    // The same transposition again does not render again.
    sample->getData()[3] = 7.0f;
    sample->applySettings(settings);
    EXPECT_EQ(sample->getData()[3], 7.0f);
}

TEST_F(RexSample, ASliceThatFailsToRenderKeepsTheSlicesBeforeItAndThePlayableData) {
    test::LogCapture log(0);
    rexstub::Loop loop = threeSlices();
    loop.slices.push_back({45000, 500, 0.25f, false});
    loop.slices[2].failsToRender = true;
    const auto sample = loadLoop(loop);
    EXPECT_FALSE(sample->render(120.0));
    EXPECT_EQ(std::tuple(sample->getSliceCount(), sample->getInfo().channels, sample->getData()[0]),
              std::tuple(1, 1, 0.375f));
    EXPECT_TRUE(test::holdsGuard(*sample));
    EXPECT_EQ(log.count("SampleREX::render::REXRenderSlice() failed: 666"), 1);
}

TEST_F(RexSample, ATempoThatIsNoTempoRendersNothing) {
    const auto sample = loadLoop(threeSlices());
    EXPECT_FALSE(sample->render(0.0));
    EXPECT_FALSE(sample->render(-1.0));
    EXPECT_EQ(sample->getData(), nullptr);
    EXPECT_TRUE(sample->render(120.0));
}

TEST_F(RexSample, TheFactoryLoadsLoopFilesRenderedAtOneHundredTwentyBeatsPerMinute) {
    const std::string path = writeLoop("beat.rx2", threeSlices());
    SharedObjectPtr<Sample> sample(loadSampleFile(nullptr, File(path), true));
    ASSERT_TRUE(sample);
    auto* loop = dynamic_cast<SampleREX*>(sample.get());
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(std::pair(loop->getRenderedTempo(), sample->getInfo().frames), std::pair(120.0, 88201));
    EXPECT_TRUE(responder_.questions().empty());
}

TEST_F(RexSample, ALoopWithoutSlicesIsShownToTheUserAndABrokenOneLeftToOtherReaders) {
    test::LogCapture log(0);
    rexstub::Loop empty = threeSlices();
    empty.slices.clear();
    EXPECT_FALSE(SharedObjectPtr<Sample>(loadSampleFile(nullptr, File(writeLoop("empty.rex", empty)), true)));
    const auto questions = responder_.questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].text.find("This ReCycle file does not contain any active slices."),
              std::string::npos);
    EXPECT_EQ(log.count("This ReCycle file does not contain any active slices."), 1);

    const std::string broken = folder_.write("broken.rex", "TRXS and then nothing sensible");
    EXPECT_FALSE(SharedObjectPtr<Sample>(loadSampleFile(nullptr, File(broken), true)));
    EXPECT_EQ(responder_.questions().size(), 1u);
    SampleREX direct;
    const Error result = direct.loadFile(File(broken));
    EXPECT_EQ(result.getCode(), "EIFL");
    EXPECT_EQ(result.getMessage(), "Failed to import file " + rexErrorText(kRexFileCorrupt));
}

TEST_F(RexSample, ClonesShareTheLoopObjectWhichOutlivesTheOriginal) {
    auto original = loadLoop(threeSlices());
    ASSERT_TRUE(original->render(120.0));
    std::unique_ptr<Sample> copy(original->clone());
    original.reset();
    ASSERT_NE(dynamic_cast<SampleREX*>(copy.get()), nullptr);
    EXPECT_TRUE(copy->render(90.0));
    EXPECT_EQ(copy->getSlice(1).start, 29400);
}

TEST_F(RexSample, WithoutTheLibraryLoopFilesAreNotTaken) {
    const std::string path = writeLoop("late.rex", threeSlices());
    unloadRexLibrary();
    SampleREX sample;
    const Error result = sample.loadFile(File(path));
    EXPECT_EQ(std::tuple(result.getCode(), result.getMessage()),
              std::tuple("EIFL", "Failed to import file " + rexErrorText(kRexLibraryNotLoaded)));
    EXPECT_EQ(sample.load(File(path), true).getCode(), "EIFL");
}

// Zones playing a loop file: re-rendered for the tempo over the transposition on change, by a new copy, while
// the loop a voice took stays as it was until no voice holds the zone.
class RexZone : public testing::Test {
protected:
    RexZone() : scoped_(responder_) {
        const std::filesystem::path install(world_.files.path());
        std::filesystem::copy_file(TROV_REXSTUB, install / "REX Shared Library.so.1.1.1");
        std::filesystem::create_symlink("REX Shared Library.so.1.1.1", install / "REX Shared Library.so");
        EXPECT_EQ(loadRexLibrary(), kRexOk);
        const std::vector<char> bytes = rexstub::encode(threeSlices());
        const std::string path = world_.files.write("beat.rx2", std::string(bytes.begin(), bytes.end()));
        id_ = world_.resources->addSampleFile("", File(path));
        manager_ = world_.makeManager();
        index_ = manager_->createZone(KeyRange(36, 59), id_);
        // What a voice holds while it plays the zone.
        voice_ = manager_->getZone(index_);
    }
    ~RexZone() override {
        if (voice_ != nullptr)
            voice_->release();
        manager_.reset();
        while (isRexLibraryLoaded())
            unloadRexLibrary();
    }

    static rexstub::Loop threeSlices() {
        rexstub::Loop loop;
        loop.slices = {{0, 1000, 0.5f, false}, {15360, 1000, -0.5f, false}, {30720, 1000, 1.0f, false}};
        return loop;
    }
    void transpose(int semitones) {
        world_.settings->setLong("SampleDetuneCoarse", semitones, Sender::kEditor);
        voice_->receive(ParameterMessage(nullptr, Code::kParameterValue, "SampleDetuneCoarse", 0,
                                         static_cast<MessageWord>(semitones), 0.5f, 2));
        voice_->prepareSample();
    }
    // One bar of four beats at 44.1 kHz.
    static std::int32_t barEnd(double tempo) { return static_cast<std::int32_t>(4 * 60.0 / tempo * 44100); }
    // Reads every frame, so a freed sample shows under the address sanitizer.
    static double sumOf(const Sample& sample) {
        double sum = 0.0;
        for (std::int32_t i = 0; i <= sample.getEnd(); ++i)
            sum += sample.getData()[i];
        return sum;
    }

    test::ZoneWorld world_;
    platform::ScriptedResponder responder_;
    platform::ScopedResponder scoped_;
    std::string id_;
    std::unique_ptr<ZoneManager> manager_;
    int index_ = -1;
    Zone* voice_ = nullptr;
};

TEST_F(RexZone, ATempoChangeSwapsInACopyRenderedForItAndKeepsTheLoopAVoiceTook) {
    Sample* shared = voice_->getSample();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(voice_->getRenderedTempo(), 120.0);

    EXPECT_EQ(manager_->followTempo(60.0), 1);
    Sample* slow = voice_->getSample();
    EXPECT_NE(slow, shared);
    EXPECT_EQ(std::tuple(voice_->getRenderedTempo(), slow->getEnd(), slow->getSlice(1).start),
              std::tuple(60.0, barEnd(60.0), 44100));
    EXPECT_EQ(shared->getEnd(), barEnd(120.0)); // the shared loop is never rendered anew
    // Only on change.
    EXPECT_EQ(manager_->followTempo(60.0), 0);
    EXPECT_EQ(voice_->getSample(), slow);

    const double slowSum = sumOf(*slow);
    EXPECT_EQ(manager_->followTempo(90.0), 1);
    EXPECT_EQ(voice_->getRenderedTempo(), 90.0);
    ASSERT_EQ(voice_->getRetiredCount(), 1);
    EXPECT_EQ(slow->getEnd(), barEnd(60.0));
    EXPECT_EQ(sumOf(*slow), slowSum);

    // Once the voice lets go, the next change frees what it played.
    voice_->release();
    voice_ = nullptr;
    EXPECT_EQ(manager_->followTempo(120.0), 1);
    Zone* zone = manager_->getZone(index_);
    EXPECT_EQ(zone->getRetiredCount(), 0);
    zone->release();
}

TEST_F(RexZone, TransposingRendersANewCopyAndNeverTheLoopAVoiceReads) {
    Sample* shared = voice_->getSample();
    transpose(12);
    Sample* octaveUp = voice_->getSample();
    EXPECT_NE(octaveUp, shared);
    EXPECT_EQ(std::tuple(voice_->getRenderedTempo(), octaveUp->getEnd()), std::tuple(60.0, barEnd(60.0)));
    const double sum = sumOf(*octaveUp);

    transpose(-12);
    EXPECT_NE(voice_->getSample(), octaveUp);
    EXPECT_EQ(std::tuple(voice_->getRenderedTempo(), voice_->getSample()->getEnd()),
              std::tuple(240.0, barEnd(240.0)));
    // The copy the voice took is as it was.
    EXPECT_EQ(octaveUp->getEnd(), barEnd(60.0));
    EXPECT_EQ(sumOf(*octaveUp), sum);

    // Untransposed at the loop's own tempo: the shared loop again.
    transpose(0);
    EXPECT_EQ(voice_->getSample(), shared);
}

TEST_F(RexZone, PreparingAtAnotherHostTempoRendersForItAndKeepsTheSharedLoop) {
    Sample* shared = voice_->getSample();
    FixedTempo host(100.0);
    transpose(0);
    EXPECT_NE(voice_->getSample(), shared);
    EXPECT_EQ(std::tuple(voice_->getRenderedTempo(), voice_->getSample()->getEnd()),
              std::tuple(100.0, barEnd(100.0)));
    EXPECT_EQ(shared->getEnd(), barEnd(120.0));
}

} // namespace
