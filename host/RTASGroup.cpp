#include "host/RTASGroup.h"

#include "engine/io/IOConfig.h"
#include "host/RTASProcess.h"
#include "instance/Mission.h"
#include "plugin/PluginInfo.h"

namespace trov {

RTASGroup::RTASGroup(int /*argument*/) {
    Mission::instance().start();
    const PluginInfo* info = getPluginInfo();
    if (!Mission::instance().isStarted() || info == nullptr)
        return;
    DefinePlugInNamesAndVersion(info->getName().c_str(), info->getVersion().toInteger());
    DefineManufacturerNamesAndID(info->getMakerName().c_str(), info->getMakerCode());
    SetGroupProperty(kGroupProperty);
}

std::uint32_t RTASGroup::categoryFlag(int category) {
    static constexpr std::uint32_t kFlags[] = {0x10, 0x100, 0x2, 0x2000, 0x1,   0x20,  0x80,
                                               0x4,  0x4,   0x8, 0x800,  0x200, 0x800, 0};
    if (category < 0 || category >= static_cast<int>(std::size(kFlags)))
        return 0x2000;
    return kFlags[category];
}

std::int32_t RTASGroup::stemFormat(int channels) {
    if (channels == 1)
        return hostsdk::kStemMono;
    if (channels == 2)
        return hostsdk::kStemStereo;
    throw kUnsupportedStems;
}

void RTASGroup::CreateEffectTypes() {
    const PluginInfo* info = getPluginInfo();
    if (!Mission::instance().isStarted() || info == nullptr)
        return;
    const std::uint32_t productCode = info->getProductCode();
    std::uint32_t typeCode = kFirstTypeCode;
    for (const IOConfig& config : info->getIOConfigs()) {
        auto type = std::make_unique<hostsdk::CEffectTypeRTAS>(typeCode, productCode,
                                                               categoryFlag(info->getCategory()));
        type->DefineTypeNames(info->getName().c_str());
        type->DefineSampleRateSupport(kSampleRateSupport);
        for (const std::int32_t property : {48, 54, 5, 53, 55, 45, 46})
            type->AddGestalt(property);
        type->DefineProcessFactory(&RTASProcess::create);
        type->DefineStemFormats(stemFormat(config.getInputChannelCount()),
                                stemFormat(config.getOutputChannelCount()));
        AddEffectType(type.release());
        ++typeCode;
    }
}

} // namespace trov
