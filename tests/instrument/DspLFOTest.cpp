#include "framework/Dictionary.h"
#include "framework/Message.h"
#include "instrument/InstrumentGlobals.h"
#include "instrument/dsp/OstrelLFO.h"
#include "plugin/Parameter.h"
#include "plugin/PluginEnvironment.h"
#include "support/AllocationGuard.h"
#include "support/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

// The LFO's four parameters per module.
std::string lfoSpecification() {
    auto item = [](const std::string& id, const std::string& type, const std::string& more) {
        return "<dict name=\"" + id +
               "\"><string name=\"class\" value=\"ParameterValue\"/><string name=\"type\" value=\"" + type +
               "\"/><string name=\"scope\" value=\"module\"/>" + more + "</dict>";
    };
    return "<?xml version=\"1.0\"?><dict><array name=\"parameters\">" +
           item("LFORate", "float", "<float name=\"defval\" value=\"0\"/>") +
           item("LFORatePPQ", "float",
                "<float name=\"minval\" value=\"0.25\"/><float name=\"maxval\" value=\"16\"/>"
                "<float name=\"defval\" value=\"1\"/>") +
           item("LFOWaveform", "float", "<float name=\"defval\" value=\"0\"/>") +
           item("LFOSync", "bool", "") + "</array></dict>";
}

// Keeps the parameter messages it receives.
class ReplyRecorder : public Radio {
public:
    bool receive(const Message& message) override {
        if (const auto* change = dynamic_cast<const ParameterMessage*>(&message))
            received.push_back(*change);
        return true;
    }
    std::vector<ParameterMessage> received;
};

class LFOTest : public testing::Test {
protected:
    LFOTest() {
        installPluginEnvironment();
        setPluginInfo(&info);
        info.services.host = &host;
        host.setSampleRate(48000);
        specification.load(Dictionary(lfoSpecification()));
        module.reset(info.createModule(nullptr, specification));
        module->init();
        lfo = std::make_unique<OstrelLFO>(module.get());
        lfo->init();
    }
    ~LFOTest() override {
        lfo.reset();
        module.reset();
        setPluginInfo(nullptr);
        uninstallPluginEnvironment();
    }

    Settings& settings() { return *module->getSettings(); }

    // Mean samples between upward zero crossings over frames rendered in 256-frame blocks; the host's song
    // position moves on with the blocks at its tempo.
    double meanPeriod(std::int64_t frames) {
        std::vector<float> values;
        IOChannel<float> block(256);
        while (std::ssize(values) < frames) {
            lfo->render(block);
            host.songPosition += 256.0 / 48000.0 * host.tempo / 60.0;
            values.insert(values.end(), block.getData(), block.getData() + block.getValidFrames());
        }
        std::vector<std::size_t> crossings;
        for (std::size_t i = 1; i < values.size(); ++i)
            if (values[i - 1] < 0.0f && values[i] >= 0.0f)
                crossings.push_back(i);
        if (crossings.size() < 2)
            return 0.0;
        return double(crossings.back() - crossings.front()) / double(crossings.size() - 1);
    }

    TestHost host;
    EngineTestPluginInfo info;
    Settings specification;
    ModulePtr module;
    std::unique_ptr<OstrelLFO> lfo;
};

} // namespace

TEST_F(LFOTest, RateControlFollowsTheMeasuredCurveAndShowsItsHertz) {
    // Tuning in delivered the default position 0.
    EXPECT_FLOAT_EQ(lfo->getRate(), 1000.0f / 2873.0f);
    EXPECT_FLOAT_EQ(lfo->getFrequency(), 1000.0f / 2873.0f);
    settings().setFloat("LFORate", 1.0f, Sender::kEditor);
    EXPECT_FLOAT_EQ(lfo->getRate(), 62.5f);
    EXPECT_FLOAT_EQ(lfo->getFrequency(), 62.5f);

    ReplyRecorder parameter;
    EXPECT_TRUE(lfo->receive(ParameterMessage(&parameter, Code::kParameterValue, "LFORate", 3,
                                              floatToWord(0.5f), 0.5f, Sender::kEditor)));
    ASSERT_EQ(parameter.received.size(), 1u);
    const ParameterMessage& reply = parameter.received[0];
    EXPECT_EQ(reply.code, Code::kParameterSetFromExtra);
    EXPECT_EQ(reply.sender, lfo.get());
    EXPECT_EQ(reply.name, "LFORate");
    EXPECT_EQ(reply.index, 3);
    EXPECT_EQ(reply.flags, Sender::kEditor);
    EXPECT_EQ(reply.value, 0.5f);
    EXPECT_FLOAT_EQ(wordToFloat(reply.extra), instrumentTables().lfoRate.lookup(0.5f));

    // Rendered, one cycle lasts rate / sample rate.
    settings().setFloat("LFORate", 0.0f, Sender::kEditor);
    settings().setFloat("LFORate", 1.0f, Sender::kEditor);
    ASSERT_FLOAT_EQ(lfo->getFrequency(), 62.5f);
    EXPECT_NEAR(meanPeriod(48000), 48000.0 / 62.5, 2.0);
}

TEST_F(LFOTest, RatesFollowTheMeasuredPeriodsAtEveryHostRate) {
    // The machine's 36 periods in milliseconds; a control at point i of the 32-point curve reads the
    // period nearest to i / 31 of the way along them.
    const double periods[36] = {2873, 1451, 964, 731, 584, 500, 423, 378, 345, 296, 277, 240,
                                217,  200,  190, 180, 173, 163, 156, 148, 140, 132, 124, 116,
                                108,  100,  92,  84,  76,  68,  60,  52,  44,  32,  24,  16};
    for (const int rate : {44100, 48000, 96000}) {
        host.setSampleRate(rate); // the host announces it; the LFO follows
        for (const int point : {8, 16, 24, 31}) {
            settings().setFloat("LFORate", float(point) / 32.0f, Sender::kEditor);
            const double hz = 1000.0 / periods[std::lrint(35.0 * point / 31.0)];
            const double cycle = rate / hz;
            // The analog drift moves it by up to 0.11 % and the phase's fixed-point step, cut short, adds a
            // little to every cycle.
            EXPECT_NEAR(meanPeriod(static_cast<std::int64_t>(4.5 * cycle)), cycle, cycle * 0.003)
                << "point " << point << " at " << rate;
        }
    }
}

TEST_F(LFOTest, SyncFollowsTheTempoAndKeepsItWhileTheRateMoves) {
    settings().setFloat("LFORate", 0.5f, Sender::kEditor);
    const float freeRate = lfo->getRate();
    settings().setFloat("LFORatePPQ", 2.0f, Sender::kEditor);
    EXPECT_EQ(lfo->getRateMultiplier(), 2.0); // whether synced or not

    host.tempo = 120.0;
    settings().setBool("LFOSync", true, Sender::kEditor);
    EXPECT_TRUE(lfo->isSynced());
    EXPECT_FLOAT_EQ(lfo->getFrequency(), 2.0f);
    EXPECT_TRUE(lfo->getRetrigger());
    EXPECT_EQ(lfo->getRateMultiplier(), 2.0);

    // A rate change while synced is remembered but the tempo's frequency stays.
    settings().setFloat("LFORate", 0.9f, Sender::kEditor);
    EXPECT_FLOAT_EQ(lfo->getFrequency(), 2.0f);
    const float laterRate = lfo->getRate();
    EXPECT_NE(laterRate, freeRate);
    settings().setFloat("LFORatePPQ", 4.0f, Sender::kEditor);
    EXPECT_EQ(lfo->getRateMultiplier(), 4.0);

    // Synced and retriggered, a cycle lasts four beats of 0.5 s.
    EXPECT_NEAR(meanPeriod(4 * 96000), 96000.0, 50.0);

    settings().setBool("LFOSync", false, Sender::kEditor);
    EXPECT_FALSE(lfo->getRetrigger());
    EXPECT_FLOAT_EQ(lfo->getFrequency(), laterRate);
}

TEST_F(LFOTest, WaveformShapesTheTableAndOtherMessagesChangeNothingButTheRate) {
    settings().setFloat("LFOWaveform", 0.75f, Sender::kEditor);
    EXPECT_EQ(lfo->getShapeSource().getShape(), 0.75f);
    EXPECT_EQ(lfo->getWavetable(), lfo->getShapeSource().getTriangleSquareWavetable());
    const float frequency = lfo->getFrequency();
    lfo->receive(ParameterMessage(nullptr, Code::kParameterValue, "Other", 0, floatToWord(1.0f), 1.0f, 0));
    EXPECT_EQ(lfo->getFrequency(), frequency);
    EXPECT_EQ(lfo->getShapeSource().getShape(), 0.75f);
    // The effect's sample-rate message still reaches the oscillator.
    EXPECT_TRUE(lfo->receive(Message(nullptr, kKindSystem, Code::kSampleRateChanged, 96000)));
    EXPECT_EQ(lfo->getSampleRate(), 96000);
}

TEST_F(LFOTest, WithoutAHostSyncKeepsTheFrequencyAndBlocksAllocateNothing) {
    info.services.host = nullptr;
    OstrelLFO alone(module.get());
    alone.init();
    const float before = alone.getFrequency();
    alone.receive(ParameterMessage(nullptr, Code::kParameterValue, "LFOSync", 0, 1, 1.0f, 0));
    EXPECT_EQ(alone.getFrequency(), before);
    EXPECT_TRUE(alone.getRetrigger());

    IOChannel<float> block(512);
    std::int32_t frames = 0;
    {
        AllocationGuard guard("the LFO");
        for (int i = 0; i < 4; ++i)
            frames = lfo->render(block);
    }
    EXPECT_EQ(frames, 512);
}
