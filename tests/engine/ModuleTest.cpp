#include "engine/modules/Module.h"
#include "engine/dsp/FlushDenormals.h"
#include "engine/io/IOPinConfig.h"
#include "engine/modules/EngineSynth.h"
#include "engine/notes/Note.h"
#include "plugin/Parameter.h"
#include "plugin/PluginEnvironment.h"
#include "support/EngineTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace trov {
namespace {

using test::CountingEngine;
using test::ModulePtr;

// A distinct plug-in identity; never dereferenced.
Plugin* fakePlugin(int n) {
    static char storage[4];
    return reinterpret_cast<Plugin*>(&storage[n]);
}

class ModuleTest : public testing::Test {
protected:
    test::ScopedEngineDescriptor descriptor_;
    test::LogCapture log_;
};

TEST_F(ModuleTest, InitFillsThePoolWithThirtyTwoBuffersThenGrowsOneAtATimeWithALogLine) {
    ModulePtr module = descriptor_.makeModule(fakePlugin(0), false);
    EXPECT_EQ(std::pair(module->getTempBufferCount(), module->getEngine()), std::pair(0, (Engine*)nullptr));
    module->reset(); // nothing to reset yet
    module->init();
    module->init(); // once only
    EXPECT_EQ(module->getTempBufferCount(), Module::kTempBufferCount);
    EXPECT_NE(dynamic_cast<EngineSynth*>(module->getEngine()), nullptr);

    std::set<IOChannel<float>*> lent;
    for (int i = 0; i < Module::kTempBufferCount; ++i) {
        IOChannel<float>* channel = module->getTempBuffer();
        EXPECT_EQ(std::pair(channel->getSize(), channel->getValidFrames()),
                  std::pair(Module::kTempBufferFrames, 0));
        lent.insert(channel);
    }
    EXPECT_EQ(log_.count("temporary buffers increased"), 0);
    lent.insert(module->getTempBuffer());
    EXPECT_EQ(lent.size(), 33u);
    EXPECT_EQ(module->getTempBufferCount(), 33);
    EXPECT_EQ(log_.count("Module temporary buffers increased to 33"), 1);
    lent.insert(module->getTempBuffer());
    EXPECT_EQ(log_.count("Module temporary buffers increased to 34"), 1);
    for (IOChannel<float>* channel : lent)
        module->releaseTempBuffer(channel);
    EXPECT_EQ(log_.count("failed to release"), 0);
}

TEST_F(ModuleTest, BuffersAreLentInPoolOrderAndAForeignChannelChangesNothing) {
    ModulePtr module = descriptor_.makeModule();
    const std::vector<IOChannel<float>*> lent = {module->getTempBuffer(), module->getTempBuffer(),
                                                 module->getTempBuffer(), module->getTempBuffer()};
    module->releaseTempBuffer(lent[2]);
    module->releaseTempBuffer(lent[1]);
    EXPECT_EQ(module->getTempBuffer(), lent[1]); // the first free entry, not the last given back
    EXPECT_EQ(module->getTempBuffer(), lent[2]);
    IOChannel<float>* fifth = module->getTempBuffer();
    EXPECT_EQ(std::count(lent.begin(), lent.end(), fifth), 0);

    IOChannel<float> foreign(16);
    module->releaseTempBuffer(&foreign);
    module->releaseTempBuffer(nullptr);
    EXPECT_EQ(log_.count("void trov::Module::releaseTempBuffer(trov::IOChannel<float>*): failed to release "
                         "temporary buffer"),
              2);
    // No flag changed: the next loan is the one after the fifth, and nothing grew.
    IOChannel<float>* sixth = module->getTempBuffer();
    EXPECT_NE(sixth, fifth);
    EXPECT_EQ(std::count(lent.begin(), lent.end(), sixth), 0);
    EXPECT_EQ(module->getTempBufferCount(), Module::kTempBufferCount);
}

TEST_F(ModuleTest, OwnsACopyOfTheSettingsAndRegistersForItsStations) {
    const PluginEnvironment& environment = PluginEnvironment::instance();
    const Module* gone = nullptr;
    {
        ModulePtr module = descriptor_.makeModule(fakePlugin(1));
        gone = module.get();
        Settings* settings = module->getSettings();
        ASSERT_NE(settings, nullptr);
        EXPECT_NE(settings, &descriptor_.specification);
        EXPECT_EQ(settings->getOwner(), module.get());
        EXPECT_EQ(environment.getSettings(module.get()), settings);
        EXPECT_EQ(settings->getParameter("Cutoff")->getOwner(), module.get());
        EXPECT_NE(settings->getParameter("Cutoff"), descriptor_.specification.getParameter("Cutoff"));
        EXPECT_EQ(std::pair(module->getOwner(), module->getPlugin()),
                  std::pair(static_cast<const Module*>(module.get()), fakePlugin(1)));
        // Stations owned by the module find its plug-in and settings through the environment.
        EXPECT_EQ(module->getEngine()->getPlugin(), fakePlugin(1));
        EXPECT_EQ(static_cast<Radio*>(module->getEngine())->getSettings(), settings);

        ModulePtr other = descriptor_.makeModule(fakePlugin(2));
        EXPECT_EQ(other->getEngine()->getPlugin(), fakePlugin(2));
        other->getSettings()->setFloat("Cutoff", 0.25f, 0);
        EXPECT_NE(settings->getFloat("Cutoff"), 0.25f);
    }
    EXPECT_EQ(environment.getPlugin(gone), nullptr);
    EXPECT_EQ(environment.getSettings(gone), nullptr);
}

TEST_F(ModuleTest, ProgramZoneManagerAndFrequencyComeFromThePlugInForTheModulesIndex) {
    ModulePtr module = descriptor_.makeModule();
    const test::PluginDouble& plugin = descriptor_.info.services;
    EXPECT_EQ(module->getProgram(), plugin.program(0));
    module->setIndex(1);
    EXPECT_EQ(std::pair(module->getProgram(), module->getZoneManager()),
              std::pair(plugin.program(1), plugin.zoneManager(1)));
    EXPECT_EQ(plugin.askedIndex, 1);
    module->setIndex(2);
    EXPECT_EQ(std::pair(module->getProgram(), module->getZoneManager()),
              std::pair((Program*)nullptr, (ZoneManager*)nullptr));

    EXPECT_DOUBLE_EQ(module->getFrequency(81, 0.0), 880.0);
    // A note of the module asks the module, so the plug-in's tuning.
    Note note = test::makeNote(module.get(), Note::kNoteOn, 57);
    note.setDetune(1200);
    EXPECT_FLOAT_EQ(note.computeFrequency(), 440.0f);
    EXPECT_EQ(plugin.askedKey, 57);
}

TEST_F(ModuleTest, ProcessResetAndQueryGoToTheEngine) {
    descriptor_.info.countingEngines = true;
    ModulePtr module = descriptor_.makeModule();
    auto* engine = dynamic_cast<CountingEngine*>(module->getEngine());
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->getModule(), module.get());
    IOPinConfig inputs(2, 1), outputs(2, 1);
    // The engine renders with subnormals flushed; the caller's control word comes back afterwards.
    const unsigned callers = _mm_getcsr() & ~ScopedFlushDenormals::kFlushBits;
    _mm_setcsr(callers);
    module->process(inputs, outputs, 64);
    EXPECT_EQ(engine->controlWord, callers | ScopedFlushDenormals::kFlushBits);
    EXPECT_EQ(_mm_getcsr(), callers);
    module->reset();
    EXPECT_EQ(std::tuple(engine->processed, engine->lastFrames, engine->resets, module->queryEngine()),
              std::tuple(1, 64, 1, 7));

    descriptor_.info.makeEngines = false;
    ModulePtr bare = descriptor_.makeModule();
    bare->process(inputs, outputs, 64);
    bare->reset();
    EXPECT_EQ(std::pair(bare->getEngine(), bare->queryEngine()), std::pair((Engine*)nullptr, 0));
}

TEST_F(ModuleTest, TheSustainParameterOfTheModuleReachesItsVoicePoolOnly) {
    ModulePtr module = descriptor_.makeModule();
    ModulePtr other = descriptor_.makeModule();
    auto& pool = dynamic_cast<EngineSynth*>(module->getEngine())->getVoicePool();
    auto& otherPool = dynamic_cast<EngineSynth*>(other->getEngine())->getVoicePool();
    module->getSettings()->setBool("SustainVoices", true, 0);
    EXPECT_EQ(std::pair(pool.getSustain(), otherPool.getSustain()), std::pair(true, false));
    module->getSettings()->setBool("SustainVoices", false, 0);
    EXPECT_FALSE(pool.getSustain());
    pool.setSustain(true);
    module->reset();
    EXPECT_FALSE(pool.getSustain());
}

} // namespace
} // namespace trov
