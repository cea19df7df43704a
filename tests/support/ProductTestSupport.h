#pragma once

#include "engine/io/IOChannel.h"
#include "engine/io/IOPinConfig.h"
#include "instrument/Corvale.h"
#include "instrument/CorvalePluginInfo.h"
#include "support/VoiceTestSupport.h"

#include <memory>
#include <vector>

namespace trov::test {

// The whole product in one process: the generated data folder as the installation, the product's own
// descriptor, plug-in class, zone managers, engines and voices; instances made on demand and played
// block by block as a host plays them. Instances must go before the world.
class ProductWorld {
public:
    explicit ProductWorld(int rate = 44100) : base(TROV_BUILD_DATA, rate) {
        setPluginInfo(&product);
        product.init();
    }
    ~ProductWorld() { setPluginInfo(&base.info); }
    ProductWorld(const ProductWorld&) = delete;
    ProductWorld& operator=(const ProductWorld&) = delete;

    std::unique_ptr<Corvale> makeCorvale(int blockFrames = 512) {
        std::unique_ptr<Corvale> plugin(dynamic_cast<Corvale*>(product.createPlugin(&base.host, 1)));
        plugin->init();
        plugin->setMaxBlockSize(blockFrames);
        plugin->reset();
        return plugin;
    }

    // Plays that many blocks into both outputs, cleared before each block as the host hands them over;
    // the left channel, appended to what is given.
    static void play(Plugin& plugin, int blocks, std::int32_t blockFrames, std::vector<float>& left) {
        IOPinConfig inputs = makePins(1, 1, blockFrames);
        IOPinConfig outputs = makePins(2, 1, blockFrames);
        for (int block = 0; block < blocks; ++block) {
            for (int c = 0; c < outputs.getChannelCount(); ++c)
                outputs.getChannel(c)->clear();
            plugin.process(inputs, outputs, blockFrames);
            const float* data = outputs.getChannel(0)->getData();
            left.insert(left.end(), data, data + blockFrames);
        }
    }

    InstrumentWorld base;
    ProductPluginInfo product;
};

} // namespace trov::test
