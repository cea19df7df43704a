#pragma once

#include "instrument/OstrelPluginInfo.h"

namespace trov {

// The product's descriptor: the emulated instrument with its two layers ("Lower" and "Upper") and its
// output channel count. One is made at load and installed process-wide.
template <int ModuleCount, int OutputChannels> class CorvalePluginInfo : public OstrelPluginInfo {
public:
    int getModuleCount() const override { return ModuleCount; }
    int getOutputChannelCount() const override { return OutputChannels; }
};

using ProductPluginInfo = CorvalePluginInfo<2, 2>;

} // namespace trov
