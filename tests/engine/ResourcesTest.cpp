#include "engine/zones/Resources.h"

#include "engine/samples/Sample.h"
#include "engine/samples/SampleFiles.h"
#include "framework/EditorServices.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "framework/Message.h"
#include "support/LogCapture.h"
#include "support/SampleTestSupport.h"
#include "support/ZoneTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>

using namespace trov;

namespace {

// Bitmaps whose image sizes a test names by file name; unnamed files do not load.
class FakeEditorServices : public EditorServicesFactory {
public:
    struct State {
        Rect frame;
        Rect source;
        float flicker = 0.0f;
        float transparency = 1.0f;
        bool useAlpha = false;
        std::string alphabet;
    };

    class FakeBitmap : public BitmapInterface {
    public:
        FakeBitmap(FakeEditorServices& owner, const File& file) : owner_(owner), name_(file.getName()) {
            ++owner_.alive;
            const auto it = owner_.sizes.find(name_);
            if (it != owner_.sizes.end())
                bounds_ = Rect(0, 0, it->second.first, it->second.second);
            loaded_ = it != owner_.sizes.end();
        }
        ~FakeBitmap() override { --owner_.alive; }
        Rect getBounds() const override { return bounds_; }
        bool isLoaded() const override { return loaded_; }
        void setAlphabet(const std::string& alphabet) override { state().alphabet = alphabet; }
        void setFlicker(float flicker) override { state().flicker = flicker; }
        void setFrameRect(const Rect& rect) override { state().frame = rect; }
        void setSourceRect(const Rect& rect) override { state().source = rect; }
        void setTransparency(float transparency) override { state().transparency = transparency; }
        void setUseAlpha(bool useAlpha) override { state().useAlpha = useAlpha; }

    private:
        State& state() { return owner_.states[name_]; }
        FakeEditorServices& owner_;
        std::string name_;
        Rect bounds_;
        bool loaded_ = false;
    };

    FakeEditorServices() { setEditorServices(this); }
    ~FakeEditorServices() override { setEditorServices(nullptr); }

    BitmapInterface* createBitmap(const File& file) override {
        paths.push_back(file.getPath());
        return new FakeBitmap(*this, file);
    }
    std::unique_ptr<PopupMenuInterface> createPopupMenu(std::uintptr_t) override { return nullptr; }

    std::map<std::string, std::pair<int, int>> sizes;
    std::map<std::string, State> states;
    std::vector<std::string> paths;
    int alive = 0;
};

// Records the names of the samples the resources announce.
class Announcements : public Radio {
public:
    bool receive(const Message& message) override {
        if (const auto* resource = dynamic_cast<const ResourceMessage*>(&message))
            names.push_back(resource->name);
        return false;
    }
    std::vector<std::string> names;
};

class ResourcesTest : public testing::Test {
protected:
    ResourcesTest() { description_.setString("file-format", "0.7.0"); }

    Error loadDescription() {
        const std::string path = world_.files / "resources.xml";
        EXPECT_TRUE(description_.save(File(path)));
        return resources().load(File(path));
    }
    Resources& resources() { return *world_.resources; }

    // The sample dictionary of a sample with embedded audio.
    static void embed(Dictionary& item, int frames) {
        test::makeSample(test::makeRamp(frames))->toDictionary(item);
    }

    static int countWithData(const Dictionary& document) {
        int n = 0;
        const Dictionary::View samples = document.getArray("samples");
        for (int i = 0; samples && i < samples->count(""); ++i)
            n += samples->getChild(i, "")->findEntry("sampledata") != nullptr;
        return n;
    }

    test::LogCapture log_{0};
    test::ZoneWorld world_;
    Dictionary description_;
};

TEST_F(ResourcesTest, IdsAreEightGroupsOfFourCapitalLettersAndDiffer) {
    std::set<std::string> ids;
    std::set<char> letters;
    for (int n = 0; n < 200; ++n) {
        const std::string id = Resources::createId();
        ASSERT_EQ(id.size(), 39u);
        for (std::size_t i = 0; i < id.size(); ++i) {
            if (i % 5 == 4) {
                EXPECT_EQ(id[i], '-') << id;
            } else {
                EXPECT_TRUE(id[i] >= 'A' && id[i] <= 'Z') << id;
                letters.insert(id[i]);
            }
        }
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 200u);
    EXPECT_EQ(letters.size(), 26u); // both ends of the alphabet occur
}

TEST_F(ResourcesTest, BitmapsOfTheDescriptionLoadOnceWithTheirFramesAndRectangles) {
    FakeEditorServices editor;
    editor.sizes = {{"knob.png", {400, 50}},
                    {"meter.png", {30, 200}},
                    {"panel.png", {200, 100}},
                    {"strip.png", {60, 300}}};
    const Dictionary::View bitmaps = description_.addDictionary("bitmaps");
    const Dictionary::View knob = bitmaps->addDictionary("knob");
    knob->setString("filename", "knob.png");
    knob->setInteger("frames", 4);
    knob->setBool("horizontal", true);
    knob->setFloat("flicker", 0.5f);
    knob->setString("alphabet", "0123456789");
    knob->setBool("usealpha", true);
    knob->setFloat("transparency", 0.25f);
    const Dictionary::View meter = bitmaps->addDictionary("meter");
    meter->setString("filename", "meter.png");
    meter->setInteger("frames", 5);
    const Dictionary::View strip = bitmaps->addDictionary("strip");
    strip->setString("filename", "strip.png");
    strip->setInteger("frames", 0);
    const Dictionary::View panel = bitmaps->addDictionary("panel");
    panel->setString("filename", "panel.png");
    panel->setInteger("left", 10);
    panel->setInteger("top", 20);
    bitmaps->addDictionary("broken")->setString("filename", "broken.png");
    ASSERT_FALSE(loadDescription().failed());

    BitmapInterface* first = resources().getBitmap("knob");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(resources().getBitmap("knob"), first);
    EXPECT_EQ(editor.paths, std::vector<std::string>{world_.files / "Images/knob.png"});
    const FakeEditorServices::State& knobState = editor.states["knob.png"];
    EXPECT_EQ(knobState.frame, Rect(0, 0, 100, 50));
    EXPECT_EQ(knobState.source, Rect(0, 0, 400, 50));
    EXPECT_EQ(std::tuple(knobState.flicker, knobState.transparency, knobState.useAlpha, knobState.alphabet),
              std::tuple(0.5f, 0.25f, true, std::string("0123456789")));

    struct Case {
        const char* name;
        const char* file;
        Rect frame;
        Rect source;
    };
    for (const Case& c :
         {Case{"meter", "meter.png", Rect(0, 0, 30, 40), Rect(0, 0, 30, 200)},
          Case{"strip", "strip.png", Rect(0, 0, 60, 300), Rect(0, 0, 60, 300)},
          Case{"panel", "panel.png", Rect(0, 0, 200, 100), Rect(Point(10, 20), Point(200, 100))}}) {
        BitmapInterface* bitmap = resources().getBitmap(c.name);
        ASSERT_NE(bitmap, nullptr) << c.name;
        EXPECT_EQ(editor.states[c.file].frame, c.frame) << c.name;
        EXPECT_EQ(editor.states[c.file].source, c.source) << c.name;
        EXPECT_FALSE(editor.states[c.file].useAlpha);
        resources().releaseBitmap(bitmap);
    }

    const int alive = editor.alive;
    EXPECT_EQ(resources().getBitmap("broken"), nullptr);
    EXPECT_EQ(editor.alive, alive); // the unloadable bitmap was released again
    EXPECT_EQ(resources().getBitmap("nothing"), nullptr);
    EXPECT_EQ(resources().getBitmap(""), nullptr);
    EXPECT_EQ(log_.count("Resources::bitmapsPath = "), 1);
    EXPECT_EQ(log_.count("  bitmap not found nothing"), 1);
    EXPECT_EQ(log_.count("  failed to load bitmap broken"), 1);

    // Once both users gave it back, the next request loads the file again.
    resources().releaseBitmap(first);
    resources().releaseBitmap(first);
    const std::size_t loads = editor.paths.size();
    BitmapInterface* again = resources().getBitmap("knob");
    EXPECT_EQ(editor.paths.size(), loads + 1);
    resources().releaseBitmap(again);
}

TEST_F(ResourcesTest, CrossFramesDivideTheOtherSideOfASheetLeavingFramesAsTheyWere) {
    FakeEditorServices editor;
    struct Case {
        const char* name;
        int width, height;
        int frames;      // 0: no "frames" entry
        bool horizontal; // "horizontal" true when set
        int across;      // "crossframes"
        Rect frame;      // frame 0: each side over its count
    };
    const Case cases[] = {
        {"keys", 400, 120, 4, false, 8, Rect(0, 0, 400 / 8, 120 / 4)},
        {"icons", 60, 20, 6, true, 2, Rect(0, 0, 60 / 6, 20 / 2)},
        {"across", 100, 40, 0, false, 5, Rect(0, 0, 100 / 5, 40)},
        {"acrossWide", 100, 40, 0, true, 4, Rect(0, 0, 100, 40 / 4)},
        {"none", 90, 30, 3, false, 0, Rect(0, 0, 90, 30 / 3)},
        {"negative", 90, 30, 3, true, -2, Rect(0, 0, 90 / 3, 30)},
    };
    const Dictionary::View bitmaps = description_.addDictionary("bitmaps");
    for (const Case& c : cases) {
        editor.sizes[std::string(c.name) + ".png"] = {c.width, c.height};
        const Dictionary::View entry = bitmaps->addDictionary(c.name);
        entry->setString("filename", std::string(c.name) + ".png");
        if (c.frames > 0)
            entry->setInteger("frames", c.frames);
        if (c.horizontal)
            entry->setBool("horizontal", true);
        entry->setInteger("crossframes", c.across);
    }
    ASSERT_FALSE(loadDescription().failed());
    for (const Case& c : cases) {
        BitmapInterface* bitmap = resources().getBitmap(c.name);
        ASSERT_NE(bitmap, nullptr) << c.name;
        const FakeEditorServices::State& state = editor.states[std::string(c.name) + ".png"];
        EXPECT_EQ(state.frame, c.frame) << c.name;
        EXPECT_EQ(state.source, Rect(0, 0, c.width, c.height)) << c.name;
        resources().releaseBitmap(bitmap);
    }
}

TEST_F(ResourcesTest, DescriptionSamplesLoadInOrderSkippingOneThatDoesNotAndResidentOnesSurvivePurging) {
    world_.writeWav("Samples/noise.wav", 3000);
    const std::string absolute = world_.writeWav("elsewhere/abs.wav", 2000);
    const Dictionary::View samples = description_.addArray("samples");
    const Dictionary::View noise = samples->addDictionary("Noise");
    noise->setString("filename", "noise.wav");
    noise->setBool("resident", true);
    samples->addDictionary("Lost")->setString("filename", "gone.wav");
    const Dictionary::View embedded = samples->addDictionary("Embedded");
    embed(*embedded, 1500);
    samples->addDictionary("Absolute")->setString("filename", absolute);
    ASSERT_FALSE(loadDescription().failed());

    for (const char* id : {"Noise", "Embedded", "Absolute"})
        EXPECT_NE(resources().findSample(id), nullptr) << id;
    EXPECT_EQ(resources().findSample("Lost"), nullptr);
    EXPECT_EQ(log_.count("sample Lost of the description did not load"), 1);
    EXPECT_EQ(world_.missing.asked, std::vector<std::string>{"gone.wav"});
    EXPECT_EQ(resources().getSampleFile("Noise").getPath(), world_.files / "Samples/noise.wav");
    EXPECT_EQ(resources().getSampleFile("Embedded").getName(), "");

    // Resident data lies scrambled in its file and is unmasked on loading.
    Sample* resident = resources().findSample("Noise");
    EXPECT_TRUE(resident->testFlags(Sample::kFlagResident));
    const SharedObjectPtr<Sample> plain(
        loadSampleFile(nullptr, File(world_.files / "Samples/noise.wav"), true));
    ASSERT_EQ(resident->getInfo().frames, plain->getInfo().frames);
    EXPECT_EQ(test::bitsOf(resident->getData()[100]),
              test::bitsOf(plain->getData()[100]) ^ Sample::kResidentMask);

    resources().purgeUnused();
    EXPECT_EQ(resources().findSample("Noise"), resident);
    EXPECT_EQ(resources().findSample("Absolute"), nullptr);
    EXPECT_EQ(resources().findSample("Embedded"), nullptr);
    // A description sample purged is loaded again when it is asked for.
    const SharedObjectPtr<Sample> reloaded(resources().acquireSample("Absolute", File()));
    ASSERT_NE(reloaded.get(), nullptr);
    EXPECT_EQ(reloaded->getInfo().frames, 2000);
}

TEST_F(ResourcesTest, UnreadableDescriptionIsAnImportError) {
    for (const std::string& path :
         {world_.files / "none.xml", world_.files.write("broken.xml", "<dict><unclosed></dict>")})
        EXPECT_EQ(resources().load(File(path)).getCode(), "EIFL") << path;
}

TEST_F(ResourcesTest, OneSampleUnderTwoIdsIsOneObjectKeptWhileEitherIdIsInUse) {
    const File file(world_.writeWav("shared.wav", 2000));
    Sample* a = resources().acquireSample("A", file);
    Sample* b = resources().acquireSample("B", file);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    resources().releaseSampleById("A");
    EXPECT_EQ(resources().findSample("B"), a);
    EXPECT_EQ(resources().getSampleFile("B"), file);
    resources().releaseSampleById("B");
    EXPECT_EQ(resources().findSample("A"), nullptr);
    EXPECT_EQ(resources().findSample("B"), nullptr);
}

TEST_F(ResourcesTest, AMovedFileIsFoundBelowASearchFolderOrItsParentsWithoutAsking) {
    struct Case {
        std::string actual;   // where the file lies now, below the test folder
        std::string search;   // the search folder, below the test folder
        std::string recorded; // where the document says it lay
    };
    const Case cases[] = {
        {"lib/Drums/kick.wav", "lib/Presets", "/old/disk/Drums/kick.wav"},                  // parent + 1 name
        {"lib2/Pads/Strings/warm.wav", "lib2/a/b", "C:\\Samples\\Pads\\Strings\\warm.wav"}, // grandparent + 2
        {"lib3/snare.wav", "lib3", "/somewhere/else/snare.wav"}, // the folder itself
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string actual = world_.writeWav(c.actual, 1000);
        std::filesystem::create_directories(world_.files / c.search);
        resources().addSampleFolder(Folder(world_.files / c.search));
        const std::string id = "moved" + std::to_string(n++);
        const SharedObjectPtr<Sample> sample(resources().acquireSample(id, File(c.recorded)));
        ASSERT_NE(sample.get(), nullptr) << c.recorded;
        EXPECT_EQ(resources().getSampleFile(id).getPath(), actual);
    }
    EXPECT_TRUE(world_.missing.asked.empty());
    EXPECT_GE(log_.count("candidate: "), 3);
}

TEST_F(ResourcesTest, ARelativeSampleNameIsTakenFromTheDataFolderAndRecordedWhereTheFileIs) {
    // A bank beside its sample's folder names the sample within the installation's data folder (the
    // demo bank: "demo/demo.wav" in <data>/demo/), with its audio embedded.
    const std::string path = world_.writeWav("demo/tone.wav", 1500);
    const Folder bankFolder(world_.files / "demo");
    Dictionary bank;
    bank.setString("file-format", "0.7.0");
    const Dictionary::View item = bank.addArray("samples")->addDictionary("sample");
    item->setString("id", "Tone");
    item->setString("filename", "demo/tone.wav");
    embed(*item, 1500);
    resources().readDocumentSamples(Dictionary(bank.toDocumentText()), bankFolder);
    ASSERT_NE(resources().findSample("Tone"), nullptr);
    EXPECT_EQ(resources().getSampleFile("Tone").getPath(), path);

    // A document without audio written now (a host chunk) names that file, and reads back from it in
    // resources that never saw the bank.
    Dictionary chunk;
    chunk.setString("file-format", "0.7.0");
    resources().saveSamples(chunk, false);
    std::string filename;
    chunk.getArray("samples")->getFirstChild("sample")->getString("filename", &filename);
    EXPECT_EQ(filename, path);
    Resources other;
    other.readDocumentSamples(Dictionary(chunk.toDocumentText()));
    ASSERT_NE(other.findSample("Tone"), nullptr);
    EXPECT_EQ(other.findSample("Tone")->getInfo().frames, 1500);
    EXPECT_TRUE(world_.missing.asked.empty());

    // The document's own folder comes first when both hold the name.
    const std::string beside = world_.writeWav("demo/demo/tone.wav", 800);
    const Dictionary::View near = bank.getArray("samples")->getFirstChild("sample");
    near->setString("id", "Near");
    resources().readDocumentSamples(Dictionary(bank.toDocumentText()), bankFolder);
    EXPECT_EQ(resources().getSampleFile("Near").getPath(), beside);
}

TEST_F(ResourcesTest, AFileNotFoundAnywhereIsLeftToTheQuestionOnce) {
    EXPECT_EQ(resources().acquireSample("Q", File("/nowhere/at/all/q.wav")), nullptr);
    EXPECT_EQ(world_.missing.asked, std::vector<std::string>{"q.wav"});
    EXPECT_EQ(log_.count("Unable to locate sample file /nowhere/at/all/q.wav"), 1);

    world_.missing.answer = world_.writeWav("chosen/q2.wav", 1200);
    const SharedObjectPtr<Sample> located(resources().acquireSample("Q", File("/nowhere/at/all/q.wav")));
    ASSERT_NE(located.get(), nullptr);
    EXPECT_EQ(resources().getSampleFile("Q").getPath(), world_.missing.answer);
}

TEST_F(ResourcesTest, AnIdWithNeitherFileNorDescriptionIsNotFoundAndAsksNobody) {
    EXPECT_EQ(resources().acquireSample(Resources::createId(), File()), nullptr);
    EXPECT_EQ(resources().loadSampleFile("fresh", File(), true), nullptr);
    EXPECT_EQ(resources().acquireSample("", File(world_.writeWav("x.wav", 1000))), nullptr);
    EXPECT_TRUE(world_.missing.asked.empty());
    EXPECT_EQ(log_.count("candidate: "), 0);
}

TEST_F(ResourcesTest, CacheOnlyScopeNeverLoads) {
    const File file(world_.writeWav("later.wav", 1000));
    {
        const Resources::CacheOnlyScope cacheOnly;
        EXPECT_EQ(resources().acquireSample("L", file), nullptr);
        EXPECT_EQ(resources().acquireSample("Q", File("/nowhere/q.wav")), nullptr);
    }
    EXPECT_TRUE(world_.missing.asked.empty());
    const SharedObjectPtr<Sample> loaded(resources().acquireSample("L", file));
    ASSERT_NE(loaded.get(), nullptr);
    const Resources::CacheOnlyScope cacheOnly;
    const SharedObjectPtr<Sample> cached(resources().acquireSample("L", File()));
    EXPECT_EQ(cached.get(), loaded.get());
}

TEST_F(ResourcesTest, SavedSamplesHoldEachFilesAudioOnceAndReadBackShared) {
    const std::string path = world_.writeWav("twice.wav", 2000);
    const SharedObjectPtr<Sample> a(resources().acquireSample("A", File(path)));
    const SharedObjectPtr<Sample> b(resources().acquireSample("B", File(path)));
    const SharedObjectPtr<Sample> first = test::makeSample(test::makeRamp(1100));
    const SharedObjectPtr<Sample> second = test::makeSample(test::makeRamp(1300));
    const SharedObjectPtr<Sample> hidden = test::makeSample(test::makeRamp(1000));
    hidden->fromDictionary(test::keyedItem("s", "<export value=\"false\"/>"));
    resources().addSample("E1", first.get(), "");
    resources().addSample("E2", second.get(), "");
    resources().addSample("H", hidden.get(), "");

    Dictionary withData;
    withData.setString("file-format", "0.7.0");
    resources().saveSamples(withData, true);
    EXPECT_EQ(withData.getArraySize("samples"), 4);
    ASSERT_NE(resources().findSample("E1"), nullptr);
    // The file's audio once; each sample without a file keeps its own.
    EXPECT_EQ(countWithData(withData), 3);
    Dictionary positionsOnly;
    resources().saveSamples(positionsOnly);
    EXPECT_EQ(countWithData(positionsOnly), 3);
    Dictionary without;
    resources().saveSamples(without, false);
    EXPECT_EQ(countWithData(without), 0);
    Dictionary some;
    resources().saveSamplesOf(some, {"B", "E2", "H"}, true);
    EXPECT_EQ(some.getArraySize("samples"), 2);
    // Saving takes nothing away, not even samples nobody has taken yet.
    resources().addSampleFile("Untaken", File(world_.writeWav("untaken.wav", 900)));
    Dictionary more;
    resources().saveSamples(more, false);
    EXPECT_NE(resources().findSample("Untaken"), nullptr);
    EXPECT_NE(resources().findSample("E1"), nullptr);

    // Read back elsewhere after the file is gone: both ids share the one embedded copy.
    std::filesystem::remove(path);
    Resources other;
    other.readDocumentSamples(Dictionary(withData.toDocumentText()));
    ASSERT_NE(other.findSample("A"), nullptr);
    EXPECT_EQ(other.findSample("B"), other.findSample("A"));
    EXPECT_EQ(other.findSample("A")->getInfo().frames, 2000);
    EXPECT_EQ(other.findSample("E2")->getInfo().frames, 1300);
    EXPECT_TRUE(world_.missing.asked.empty());
}

TEST_F(ResourcesTest, ABrokenEmbeddedSampleIsSkippedAndTheItemsAfterItLoad) {
    Dictionary document;
    document.setString("file-format", "0.7.0");
    const Dictionary::View samples = document.addArray("samples");
    const Dictionary::View bad = samples->addDictionary("sample");
    bad->setString("id", "Bad");
    bad->setInteger("samples", 100);
    bad->setString("sampledata", "%%%% not base64 %%%%");
    const Dictionary::View good = samples->addDictionary("sample");
    good->setString("id", "Good");
    embed(*good, 1200);
    resources().readDocumentSamples(Dictionary(document.toDocumentText()));
    EXPECT_EQ(resources().findSample("Bad"), nullptr);
    ASSERT_NE(resources().findSample("Good"), nullptr);
    EXPECT_EQ(resources().findSample("Good")->getInfo().frames, 1200);
    EXPECT_EQ(log_.count("caught exception: "), 1);
}

TEST_F(ResourcesTest, ADocumentNamingASampleInUseLeavesItsDataAlone) {
    const SharedObjectPtr<Sample> playing(
        resources().acquireSample("P", File(world_.writeWav("p.wav", 2000))));
    const float value = playing->getData()[10];
    Dictionary document;
    document.setString("file-format", "0.7.0");
    const Dictionary::View item = document.addArray("samples")->addDictionary("sample");
    item->setString("id", "P");
    embed(*item, 700);
    resources().readDocumentSamples(Dictionary(document.toDocumentText()));
    EXPECT_EQ(resources().findSample("P"), playing.get());
    EXPECT_EQ(playing->getInfo().frames, 2000);
    EXPECT_EQ(playing->getData()[10], value);
}

TEST_F(ResourcesTest, RetainingBeforeALoadAndPurgingAfterKeepsExactlyTheSamplesInUse) {
    const SharedObjectPtr<Sample> used(
        resources().acquireSample("Used", File(world_.writeWav("u.wav", 1000))));
    {
        const SharedObjectPtr<Sample> loose = test::makeSample(test::makeRamp(900));
        resources().addSample("Loose", loose.get(), "");
    }
    resources().retainAll();
    resources().purgeUnused();
    EXPECT_EQ(resources().findSample("Used"), used.get());
    EXPECT_EQ(resources().findSample("Loose"), nullptr);
    EXPECT_EQ(used->getReferenceCount(), 2); // the cache's and ours
}

TEST_F(ResourcesTest, ASampleLetGoWithoutTheResourcesStaysCachedUntilThePurge) {
    {
        const SharedObjectPtr<Sample> preview(
            resources().loadSample("(preview)", File(world_.writeWav("v.wav", 800))));
        ASSERT_NE(preview.get(), nullptr);
    }
    Sample* cached = resources().findSample("(preview)");
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->getInfo().frames, 800);
    resources().purgeUnused();
    EXPECT_EQ(resources().findSample("(preview)"), nullptr);
}

TEST_F(ResourcesTest, AddedSamplesAreAnnouncedToListeners) {
    Announcements listener;
    listener.tuneInTo(world_.resources.get());
    const SharedObjectPtr<Sample> sample = test::makeSample(test::makeRamp(600));
    const std::string id = resources().addSample("", sample.get(), "");
    const std::string fileId = resources().addSampleFile("F", File(world_.writeWav("f.wav", 600)));
    EXPECT_EQ(listener.names, (std::vector<std::string>{id, "F"}));
    EXPECT_EQ(id.size(), 39u);
    EXPECT_EQ(fileId, "F");
    EXPECT_EQ(resources().findSample(id), sample.get());
}

} // namespace
