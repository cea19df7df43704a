#include "instrument/OstrelPluginInfo.h"

#include "engine/zones/SampleManager.h"
#include "framework/Font.h"
#include "instrument/CorvalePluginInfo.h"
#include "instrument/InstrumentEditorFactory.h"
#include "instrument/ProductFactories.h"
#include "instrument/ProductFonts.h"

#include <new>

namespace trov {

namespace {

constexpr std::uint32_t fourCC(const char (&code)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

constexpr int kMono = 1;
constexpr int kStereo = 2;

} // namespace

OstrelPluginInfo::OstrelPluginInfo()
    : configs_{
          IOConfig(IOPinConfig(kMono, 1), IOPinConfig(kMono, 1)),
          IOConfig(IOPinConfig(kMono, 1), IOPinConfig(kStereo, 1)),
          IOConfig(IOPinConfig(kStereo, 1), IOPinConfig(kStereo, 1)),
          IOConfig(IOPinConfig(kMono, 1), IOPinConfig(kMono, 8)),
          IOConfig(IOPinConfig(kStereo, 1), IOPinConfig(kMono, 8)),
      } {}

std::uint32_t OstrelPluginInfo::getMakerCode() const {
    return fourCC("Vnkt");
}

std::uint32_t OstrelPluginInfo::getProductCode() const {
    return fourCC("Crvl");
}

std::string OstrelPluginInfo::getCopyright() const {
    return "Copyright (c) Vennikt";
}

std::string OstrelPluginInfo::getRegistryPath() const {
    std::string path = "Software\\" + getMakerName() + "\\" + getName();
    if (getBuildType() == kBuildDevelopment)
        path += " DEV";
    return path;
}

IOConfig OstrelPluginInfo::getCurrentIOConfig(const IOConfig& requested) const {
    IOConfig current(requested.getInputChannelCount() == 1 ? requested.getInputs() : IOPinConfig(kStereo, 1),
                     requested.getOutputs());
    const int outputs = requested.getOutputChannelCount();
    if (outputs == 2)
        current.setOutputs(IOPinConfig(kStereo, 1));
    else if (outputs != 1)
        current.setOutputs(IOPinConfig(kMono, 8));
    return current;
}

const Font* OstrelPluginInfo::getFont(int index) const {
    return getProductFont(index);
}

void OstrelPluginInfo::copyFont(int index, const Font& font) {
    if (Font* target = getProductFont(index))
        *target = font;
}

Plugin* OstrelPluginInfo::createPlugin(HostInterface* host, int tag) {
    return createCorvale(host, tag);
}

Module* OstrelPluginInfo::createModule(Plugin* plugin, Settings& settings) {
    return createOstrelModule(plugin, settings);
}

EditorInterface* OstrelPluginInfo::createEditor(Plugin* plugin, const Module* module) {
    InstrumentEditorFactory* factory = getInstrumentEditorFactory();
    return factory != nullptr ? factory->createEditor(plugin, module) : nullptr;
}

Engine* OstrelPluginInfo::createEngine(Module* module) {
    return createOstrelEngine(module);
}

Voice* OstrelPluginInfo::createVoice(const Module* owner, int slot, const Note& note) {
    return createOstrelVoice(owner, slot, note);
}

ParameterManager* OstrelPluginInfo::createParameterManager(const Module* owner) {
    return createOstrelParameters(owner);
}

ControlManager* OstrelPluginInfo::createControlManager(EditorInterface* editor) {
    InstrumentEditorFactory* factory = getInstrumentEditorFactory();
    return factory != nullptr ? factory->createControlManager(editor) : nullptr;
}

SampleManager* OstrelPluginInfo::createSampleManager(const Module* owner) {
    return new SampleManager(owner);
}

ZoneManager* OstrelPluginInfo::createZoneManager(Program* program) {
    return createCorvaleZoneManager(program);
}

PluginInfo* createProductDescriptor() {
    PluginInfo* info = new (std::nothrow) ProductPluginInfo();
    if (info != nullptr)
        setPluginInfo(info);
    return info;
}

} // namespace trov
