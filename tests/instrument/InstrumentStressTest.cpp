// The instrument driven from four threads at once, as hosts drive it: the audio thread renders blocks; host
// automation moves every zone-scope and setting parameter (commands that open dialogs, write files, open the
// link or change the host's layout aside); a MIDI thread plays notes, controllers, pressure and the wheel;
// the user-interface thread switches presets, reads a bank and edits the lower layer's zones in its
// editor. Run under ThreadSanitizer (tools/test.sh tsan) it proves that they share nothing unguarded; in any
// build, that nothing crashes or deadlocks and the blocks go on.
#include "engine/io/IOPinConfig.h"
#include "engine/zones/Zone.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "plugin/MidiMapper.h"
#include "plugin/Parameter.h"
#include "support/InstanceTestSupport.h"
#include "support/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace trov;
using test::InstrumentWorld;

namespace {

constexpr std::int32_t kBlock = 64;

// Commands whose work is not the voices': dialogs, files, the link, recording, the host's layout, presets.
const std::set<std::string> kLeftOut = {"Load",
                                        "Save",
                                        "MemoryReset",
                                        "AnalogRecalibrate",
                                        "TapwireChannel",
                                        "OutputConfiguration",
                                        "RecordModeArmed",
                                        "RecordModeEnabled",
                                        "RecordMode",
                                        "CurrentProgram",
                                        "SampleRecordMask"};

TEST(InstrumentStress, AutomationNotesPresetsAndBanksBesideTheAudioThreadShareTheInstrumentSafely) {
    InstrumentWorld world(TROV_BUILD_DATA);
    world.addSine("Tone", 261.6255653, 44100, 60);
    world.addSine("Octave", 523.2511306, 44100, 60);
    test::ProductInstrument product(world, kBlock);
    Corvale& plugin = *product.plugin;
    for (int module = 0; module < 2; ++module) {
        InstrumentWorld::addZone(plugin, module, 0, 63, "Tone");
        InstrumentWorld::addZone(plugin, module, 64, 127, "Octave");
    }
    Dictionary bank;
    plugin.writeState(bank, false);
    plugin.getMidiMapper()->assign(7, InstrumentWorld::settingsOf(plugin, 0).getParameter("VCFCutoff"));
    test::FakeEditor editor;
    editor.edited = plugin.getModule(0);
    PluginEnvironment::instance().setEditor(&plugin, &editor);
    std::vector<Parameter*> automated;
    for (int module = 0; module < 2; ++module) {
        const Settings& settings = InstrumentWorld::settingsOf(plugin, module);
        for (int i = 0; i < settings.getParameterCount(); ++i)
            if (Parameter* parameter = settings.getParameterAt(i);
                parameter != nullptr && kLeftOut.count(parameter->getName()) == 0 &&
                std::find(automated.begin(), automated.end(), parameter) == automated.end())
                automated.push_back(parameter);
    }
    ASSERT_GT(automated.size(), 50u);

    IOPinConfig inputs = test::makePins(1, 1, kBlock);
    IOPinConfig outputs = test::makePins(2, 1, kBlock);
    constexpr int kRounds = 4000;
    std::atomic<int> running{3};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        while (running.load() > 0 || blocks.load() < 100) {
            plugin.process(inputs, outputs, kBlock);
            blocks.fetch_add(1);
        }
    });
    std::thread automation([&] {
        unsigned state = 1;
        for (int i = 0; i < kRounds * 4; ++i) {
            state = state * 1664525u + 1013904223u;
            Parameter* parameter = automated[(state >> 8) % automated.size()];
            parameter->setNormalized(static_cast<float>(state >> 16) / 65536.0f, Sender::kHost);
        }
        running.fetch_sub(1);
    });
    std::thread midi([&] {
        for (int i = 0; i < kRounds; ++i) {
            const int key = 36 + (i * 7) % 60;
            const MidiEvent events[] = {
                test::midi(0x90, key, 100),         test::midi(0xB0, 7, i % 128),
                test::midi(0xB0, 1, (i * 3) % 128), test::midi(0xD0, i % 128, 0),
                test::midi(0xE0, 0, i % 128),       test::midi(0x80, (key + 30) % 128, 0)};
            for (const MidiEvent& event : events)
                plugin.midiEvent(&event);
        }
        running.fetch_sub(1);
    });
    Settings& lower = InstrumentWorld::settingsOf(plugin, 0);
    for (int i = 0; i < 40; ++i) {
        plugin.selectPreset(i % 3);
        if (i % 8 == 0)
            plugin.readState(bank);
        for (const char* name : {"WaveLevel", "WaveCutoff", "PreampGain", "ResampleFreq", "SampleDetuneFine"})
            if (Parameter* parameter = lower.getParameter(name)) {
                parameter->setNormalized(static_cast<float>(i % 10) / 10.0f, Sender::kEditor);
                // As the editor stores its edit in the current zone.
                if (const ZoneManager* zones = plugin.getZoneManager(0))
                    if (Zone* zone = zones->tryGetCurrentZone()) {
                        zone->receive(parameter->currentMessage(Sender::kEditor));
                        zone->release();
                    }
            }
    }
    running.fetch_sub(1);
    automation.join();
    midi.join();
    audio.join();
    PluginEnvironment::instance().setEditor(&plugin, nullptr);
    plugin.applyEvents();
    EXPECT_GE(blocks.load(), 100);
    EXPECT_GT(plugin.getFramesProcessed(), 0);
}

} // namespace
