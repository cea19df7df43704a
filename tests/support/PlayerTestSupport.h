#pragma once

#include "engine/io/IOChannel.h"
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "engine/zones/Zone.h"
#include "framework/SharedObject.h"
#include "plugin/PluginEnvironment.h"
#include "support/EngineTestSupport.h"
#include "support/FileTestFolder.h"
#include "support/ZoneTestSupport.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trov::test {

// What the sample players need around them: a module (zone-scope parameters, an engine, the equal-tempered
// tuning with A4 at 440 Hz) whose host runs at 44.1 kHz, and process-wide resources holding the samples a
// test adds. Samples a test adds stay held by the world, so a player's release never empties the cache.
class PlayerWorld {
public:
    PlayerWorld() {
        descriptor.info.services.host = &host;
        host.setSampleRate(44100);
        descriptor.specification.load(Dictionary(zoneSettingsSpecification()));
        module = descriptor.makeModule();
        resources = std::make_unique<Resources>();
        PluginEnvironment::instance().setResources(resources.get());
        parent = std::make_unique<Radio>(module.get());
    }
    ~PlayerWorld() {
        parent.reset();
        resources.reset();
    }
    PlayerWorld(const PlayerWorld&) = delete;
    PlayerWorld& operator=(const PlayerWorld&) = delete;

    // A sample whose value at frame i is i (exact in a float), cached under the name.
    Sample* addRamp(const std::string& name, std::int32_t frames, std::int32_t sampleRate = 44100,
                    std::int32_t rootNote = 69) {
        std::vector<float> values(static_cast<std::size_t>(frames));
        for (std::int32_t i = 0; i < frames; ++i)
            values[static_cast<std::size_t>(i)] = static_cast<float>(i);
        return add(name, values, sampleRate, rootNote);
    }
    Sample* add(const std::string& name, const std::vector<float>& values, std::int32_t sampleRate = 44100,
                std::int32_t rootNote = 69) {
        SampleInfo info;
        info.channels = 1;
        info.frames = static_cast<std::int32_t>(values.size());
        info.sampleRate = sampleRate;
        info.rootNote = rootNote;
        info.data = const_cast<float*>(values.data());
        samples.emplace_back(new Sample(nullptr, info));
        resources->addSample(name, samples.back().get(), "");
        return samples.back().get();
    }

    // A zone over every key playing the cached sample of the id, with a "parameters" and a "loops" text
    // as a program document holds them.
    SharedObjectPtr<Zone> zone(const std::string& id, const std::string& parameters,
                               const std::string& loops = std::string()) {
        SharedObjectPtr<Zone> made(new Zone(nullptr, parent.get(), KeyRange(0, 127), ""));
        made->fromDictionary(zoneItem(rangeText(0, 127, id) + "<parameters>" + parameters + "</parameters>" +
                                      (loops.empty() ? std::string() : "<loops>" + loops + "</loops>")));
        return made;
    }

    // The root frequency of a sample in the module's tuning at the reference pitch, as the players ask it.
    float rootOf(Sample& sample) const { return sample.getRootFrequency(*module); }

    FileTestFolder files; // first: it points the registry stand-in at its folder
    TestHost host;
    ScopedEngineDescriptor descriptor;
    ModulePtr module;
    std::vector<SharedObjectPtr<Sample>> samples;
    std::unique_ptr<Resources> resources;
    std::unique_ptr<Radio> parent;
};

// A block of the given size with no valid frames.
inline IOChannel<float> emptyBlock(std::int32_t frames) {
    IOChannel<float> block(frames);
    block.setSize(frames);
    return block;
}

// Renders blocks of blockFrames into one signal of frames samples (each block starts empty).
template <class Player>
std::vector<float> renderSignal(Player& player, std::int32_t frames, std::int32_t blockFrames) {
    std::vector<float> signal;
    IOChannel<float> block = emptyBlock(blockFrames);
    while (static_cast<std::int32_t>(signal.size()) < frames) {
        block.setValidFrames(0);
        const std::int32_t rendered = player.render(block);
        if (rendered == 0)
            break;
        signal.insert(signal.end(), block.getData(), block.getData() + block.getValidFrames());
    }
    signal.resize(std::min<std::size_t>(signal.size(), static_cast<std::size_t>(frames)));
    return signal;
}

// Whether a render into the block, its frames all 0.25 and `valid` of them valid, gives 0 and leaves the
// block as it was.
template <class Player> bool rendersNothing(Player& player, IOChannel<float>& block, std::int32_t valid = 5) {
    std::fill_n(block.getData(), block.getSize(), 0.25f);
    block.setValidFrames(valid);
    return player.render(block) == 0 && block.getValidFrames() == valid &&
           std::all_of(block.getData(), block.getData() + block.getSize(),
                       [](float v) { return v == 0.25f; });
}

} // namespace trov::test
