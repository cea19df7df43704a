#pragma once

#include "engine/io/IOConfig.h"
#include "engine/modules/Engine.h"
#include "framework/Color.h"
#include "framework/EditorServices.h"
#include "framework/Font.h"
#include "framework/NativeWindow.h"
#include "framework/Radio.h"
#include "framework/Rect.h"
#include "instance/Plugin.h"
#include "platform/WindowHandle.h"
#include "plugin/PluginInfo.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// The test product the host binding is built and checked with until the instrument comes: a descriptor
// registered when the module loads, an instance that switches to eight outputs on "EightOutputs", an
// engine playing one known tone per held key, and a fixture editor with two controls.
namespace trov::hostproduct {

// A cosine at the key's equal-tempered frequency, amplitude velocity / 127 / 4, from the block in which
// the note arrives until the block in which it is released, into every output channel. Key 127 is a broken
// voice: while it is held every output value is not a number.
class ToneEngine : public Engine {
public:
    static constexpr int kBrokenKey = 127;

    explicit ToneEngine(Module* module);
    void handleEvent(const Note& note) noexcept override;
    void process(IOPinConfig& inputs, IOPinConfig& outputs, std::int32_t frames) noexcept override;
    static double keyFrequency(int key) noexcept;

private:
    std::array<std::atomic<float>, 128> amplitude_{};
    std::array<double, 128> phase_{};
};

// The instance: loads a dropped "xml" document as its state, follows "EightOutputs" and keeps the
// module's values in the current program.
class TestProductPlugin : public Plugin {
public:
    using Plugin::Plugin;
    bool loadFile(const File& file) override;
    bool receive(const Message& message) override;

    std::vector<std::string> loadedFiles;
};

// Two controls: "Level" at (10, 10)-(110, 40), "Detune" at (10, 50)-(110, 80); nothing elsewhere. A
// station, as the editor is: its listeners hear the begin and end of each user edit.
class FixtureEditor : public EditorInterface, public NativeWindow, public Radio {
public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 400;

    // A control: a station bound to its parameter by listening to it.
    class Control : public Radio {
    public:
        Control(const Module* owner, Rect area) : Radio(owner), area(area) {}
        Rect area;
    };

    FixtureEditor(Plugin* plugin, const Module* module);
    ~FixtureEditor() override;

    void draw(void* deviceContext) override;
    Radio* findControl(const std::string& name, int index) override;
    Radio* getControlAt(const Point& point) override;
    const Module* getEditedModule() const override { return module_; }
    Rect getSize() const override { return Rect(0, 0, kWidth, kHeight); }
    const NativeWindow* getWindow() const override { return window_ != platform::kNoWindow ? this : nullptr; }
    platform::WindowHandle getHandle() const override { return window_; }
    void idle() override { ++idles; }
    bool open(platform::WindowHandle parent, const Rect& bounds) override;
    void close() override;
    bool receiveMessage(const Message& message) override;
    void selectModule(int) override {}
    void setBounds(const Rect& bounds) override { this->bounds = bounds; }
    void setHighlight(Radio* parameter, const Color& color) override;
    void showInfo(const void*, const std::string&, int) override {}
    void clearInfo(const void*) override {}
    void showModule(int) override {}

    // A user's edit of control index (0 Level, 1 Detune) to value: the editor broadcasts the begin, the
    // control sets the value, the editor broadcasts the end.
    void gesture(int index, float value);

    Rect bounds;
    Rect openedAt;
    platform::WindowHandle parent = platform::kNoWindow;
    int redraws = 0;
    int idles = 0;
    std::atomic<int> ticks{0};
    std::vector<std::int32_t> windowCodes;
    std::vector<std::int32_t> windowExtras;
    std::map<const Radio*, Color> highlights;

private:
    Plugin* plugin_;
    const Module* module_;
    std::vector<std::unique_ptr<Control>> controls_;
    platform::WindowHandle window_ = platform::kNoWindow;
};

class TestProductInfo : public PluginInfo {
public:
    static constexpr std::uint32_t kMakerCode = 0x54726F76;   // "Trov"
    static constexpr std::uint32_t kProductCode = 0x43765473; // "CvTs"

    TestProductInfo();

    std::string getMakerName() const override { return "Trovato"; }
    std::uint32_t getMakerCode() const override { return kMakerCode; }
    std::string getName() const override { return "Corvale Test"; }
    std::string getCopyright() const override { return "(c) Trovato"; }
    std::uint32_t getProductCode() const override { return kProductCode; }
    std::string getRegistryPath() const override { return "Software\\Trovato\\Corvale Test"; }
    std::int32_t getChunkVersion() const override { return 1; }
    std::string getVersionString() const override { return "0.1.0"; }
    int getBuildType() const override { return kBuildDevelopment; }
    int getCategory() const override { return 10; }
    int getModuleCount() const override { return 1; }
    int getPresetCount() const override { return 16; }
    int getControlStepSize() const override { return 32; }
    const std::vector<IOConfig>& getIOConfigs() const override { return configs_; }
    IOConfig getCurrentIOConfig(const IOConfig& requested) const override { return requested; }
    bool supportsFeature(int feature) const override { return feature == kFeatureMidiInput && midiInput; }
    KeyRange getKeyRange() const override { return KeyRange(36, 96); }
    const Font* getFont(int) const override { return &font_; }
    void copyFont(int, const Font& font) override { font_ = font; }
    Plugin* createPlugin(HostInterface* host, int tag) override { return new TestProductPlugin(host, tag); }
    Module* createModule(Plugin* plugin, Settings& settings) override;
    EditorInterface* createEditor(Plugin* plugin, const Module* module) override;
    Engine* createEngine(Module* module) override { return new ToneEngine(module); }
    Voice* createVoice(const Module*, int, const Note&) override { return nullptr; }
    ControlManager* createControlManager(EditorInterface*) override { return nullptr; }
    SampleManager* createSampleManager(const Module* owner) override;
    ZoneManager* createZoneManager(Program* program) override;

    // Switches for tests: the MIDI input feature and whether an editor is given.
    bool midiInput = true;
    bool withEditor = true;

private:
    std::vector<IOConfig> configs_;
    Font font_;
};

// The descriptor registered at load time; null once the process-wide context has deleted it.
TestProductInfo* product();
// The eight-output and the stereo configurations the instance switches between.
IOConfig eightOutputs();
IOConfig stereo();

} // namespace trov::hostproduct
