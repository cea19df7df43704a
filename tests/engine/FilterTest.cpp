#include "engine/dsp/effects/DCBlocker.h"
#include "engine/dsp/effects/LP1Filter.h"
#include "engine/io/IOPinMono.h"
#include "engine/io/IOPinStereo.h"
#include "framework/Message.h"
#include "support/AllocationGuard.h"
#include "support/ResponseTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

using namespace trov;
using namespace trov::test;

namespace {

class CountingFilter : public Filter {
public:
    using Filter::Filter;
    std::int32_t process(const IOChannel<float>& /*in*/, IOChannel<float>& out) noexcept override {
        return out.setValidFrames(0);
    }
    void updateCoefficients() noexcept override { ++updates; }
    int updates = 0;
};

// Runs the whole signal through the filter in blocks of `block` frames.
std::vector<float> filtered(Effect& filter, const std::vector<float>& signal, std::int32_t block = 256) {
    std::vector<float> result(signal.size());
    IOChannel<float> in(block);
    IOChannel<float> out(block);
    for (std::size_t start = 0; start < signal.size(); start += static_cast<std::size_t>(block)) {
        const auto n = static_cast<std::int32_t>(std::min<std::size_t>(block, signal.size() - start));
        std::copy_n(signal.begin() + static_cast<std::ptrdiff_t>(start), n, in.getData());
        in.setValidFrames(n);
        filter.process(in, out);
        std::copy_n(out.getData(), n, result.begin() + static_cast<std::ptrdiff_t>(start));
    }
    return result;
}

// The magnitude the filter gives a sine at omega, measured after it settled.
double measuredGain(Effect& filter, double omega, int settle, int frames) {
    const std::vector<float> out = filtered(filter, sine(settle + frames, omega));
    return amplitudeAt(out.data() + settle, frames, omega);
}

std::complex<double> unitDelay(double omega) {
    return std::polar(1.0, -omega);
}

constexpr int kFrames = 4096;
constexpr int kBins[] = {16, 300, 1500}; // low, middle and near the top of the band

} // namespace

TEST(Filter, CutoffAndResonanceAreClampedAndOnlyChangesRecomputeTheCoefficients) {
    CountingFilter filter(nullptr);
    EXPECT_EQ(std::pair(filter.getCutoff(), filter.getResonance()), std::pair(0.99f, 0.0f));
    filter.setCutoff(1.5f);
    EXPECT_EQ(filter.getCutoff(), 0.99f);
    EXPECT_EQ(filter.updates, 0); // clamped to the stored value: no change
    filter.setCutoff(0.0f);
    EXPECT_EQ(filter.getCutoff(), 0.01f);
    filter.setCutoff(0.01f);
    filter.setCutoff(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(filter.getCutoff(), 0.01f);
    EXPECT_EQ(filter.updates, 1);
    filter.setResonance(-3.0f);
    filter.setResonance(0.5f);
    filter.setResonance(0.5f);
    EXPECT_EQ(filter.getResonance(), 0.5f);
    EXPECT_EQ(filter.updates, 3);

    IOChannel<float> out(16);
    out.setValidFrames(16);
    EXPECT_EQ(filter.render(out), 0);
    EXPECT_EQ(out.getValidFrames(), 0);
}

TEST(LP1Filter, CoefficientFollowsTheCutoffCurve) {
    LP1Filter filter(nullptr);
    for (const float cutoff : {0.99f, 0.5f, 0.01f}) {
        filter.setCutoff(cutoff);
        const double root = 1.0 - (std::pow(2.0, 10.0 * cutoff) - 0.99) / 1024.0;
        EXPECT_NEAR(filter.getCoefficient(), root * root, 1e-6) << cutoff;
    }
    filter.setCutoff(0.99f);
    EXPECT_NEAR(filter.getCoefficient(), 0.0046, 0.0001);
    filter.setCutoff(0.01f);
    EXPECT_NEAR(filter.getCoefficient(), 0.99984, 0.00001);
}

TEST(LP1Filter, MagnitudeMatchesTheOnePoleTransferFunction) {
    for (const float cutoff : {0.3f, 0.6f, 0.9f}) {
        LP1Filter filter(nullptr);
        filter.setCutoff(cutoff);
        const double a = filter.getCoefficient();
        for (const int bin : kBins) {
            const double omega = binFrequency(bin, kFrames);
            const double expected = std::abs((1.0 - a) / (1.0 - a * unitDelay(omega)));
            filter.reset();
            const double gain = measuredGain(filter, omega, 8192, kFrames);
            EXPECT_NEAR(decibels(gain), decibels(expected), 0.05) << "cutoff " << cutoff << " bin " << bin;
        }
    }
}

TEST(DCBlocker, ConstantInputStartsAtOneAndDecaysByThePole) {
    DCBlocker blocker(nullptr);
    const std::vector<float> out = filtered(blocker, std::vector<float>(1000, 1.0f));
    EXPECT_EQ(out[0], 1.0f);
    for (const int i : {1, 10, 100, 999})
        EXPECT_NEAR(out[static_cast<std::size_t>(i)], std::pow(0.99, i), 1e-4 * std::pow(0.99, i)) << i;

    blocker.reset();
    const std::vector<float> again = filtered(blocker, std::vector<float>(4, 0.5f));
    EXPECT_EQ(again[0], 0.5f); // no memory of the earlier signal
}

TEST(DCBlocker, MagnitudeMatchesItsTransferFunction) {
    DCBlocker blocker(nullptr);
    for (const int bin : {4, 64, 1500}) {
        const double omega = binFrequency(bin, kFrames);
        const std::complex<double> z1 = unitDelay(omega);
        const double expected = std::abs((1.0 - z1) / (1.0 - 0.99 * z1));
        blocker.reset();
        const double gain = measuredGain(blocker, omega, 8192, kFrames);
        EXPECT_NEAR(decibels(gain), decibels(expected), 0.05) << "bin " << bin;
    }
}

TEST(DCBlocker, ItsCornerStaysAtTheSameFrequencyAtEveryHostRate) {
    // At 44.1 kHz the pole is 0.99; a tone keeps the level it has there, at every rate, within 0.05 dB.
    auto gainAt44100 = [](double hz) {
        const std::complex<double> z1 = unitDelay(2.0 * std::numbers::pi * hz / 44100.0);
        return std::abs((1.0 - z1) / (1.0 - 0.99 * z1));
    };
    for (const int rate : {44100, 48000, 96000}) {
        DCBlocker blocker(nullptr);
        blocker.setSampleRate(rate);
        // The pole decays as fast per second as 0.99 per sample does at 44.1 kHz.
        EXPECT_NEAR(std::log(double(blocker.getPole())) * rate, std::log(0.99) * 44100.0, 0.01) << rate;
        for (const double hz : {20.0, 65.0, 250.0}) {
            // One second: whole periods of every tone of whole hertz.
            const double omega = 2.0 * std::numbers::pi * hz / rate;
            blocker.reset();
            const double gain = measuredGain(blocker, omega, rate / 4, rate);
            EXPECT_NEAR(decibels(gain), decibels(gainAt44100(hz)), 0.05) << rate << " Hz " << hz;
        }
    }
    // The rate the host announces reaches the pole too, and blocks at it allocate nothing; 44.1 kHz gives
    // 0.99 itself.
    DCBlocker blocker(nullptr);
    blocker.receive(SystemMessage(nullptr, Code::kSampleRateChanged, 96000));
    EXPECT_EQ(blocker.getPole(), DCBlocker::poleFor(96000));
    IOChannel<float> block = channelOf(std::vector<float>(64, 1.0f));
    {
        AllocationGuard guard("the DC blocker at 96 kHz");
        blocker.processInPlace(block);
    }
    EXPECT_NEAR(block.getData()[63], std::pow(double(blocker.getPole()), 63.0), 1e-5);
    blocker.receive(SystemMessage(nullptr, Code::kSampleRateChanged, 44100));
    EXPECT_EQ(blocker.getPole(), 0.99f);
}

TEST(Filters, ProcessInPlaceAndPinByPinWithoutAllocating) {
    auto reference = [](Filter&& filter, const std::vector<float>& signal) {
        filter.setCutoff(0.5f);
        return filtered(filter, signal);
    };
    const std::vector<float> lowPassed = reference(LP1Filter(nullptr), sine(256, 0.1));
    const std::vector<float> blocked = reference(DCBlocker(nullptr), sine(256, 0.2));

    LP1Filter lowPass(nullptr);
    lowPass.setCutoff(0.5f);
    DCBlocker blocker(nullptr);
    IOChannel<float> channel = channelOf(sine(256, 0.1));
    IOPinStereo stereo;
    stereo.setChannel(0, channelOf(sine(256, 0.2)));
    stereo.setChannel(1, channelOf(sine(256, 0.3)));
    IOPinMono mono;
    mono.setChannel(0, channelOf(std::vector<float>(256, 7.0f)));
    std::int32_t inPlace = 0;
    std::int32_t pinned = 0;
    {
        AllocationGuard guard("filtering");
        inPlace = lowPass.processInPlace(channel);
        pinned = blocker.processPin(stereo, mono);
    }
    EXPECT_EQ(std::pair(inPlace, pinned), std::pair(256, 256));
    for (const int i : {0, 17, 255}) {
        EXPECT_EQ(channel.getData()[i], lowPassed[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(mono.getChannel(0)->getData()[i], blocked[static_cast<std::size_t>(i)]) << i;
    }
}

TEST(Filters, AnImpulseDecaysToZeroWithoutSubnormalsWhenTheProcessorKeepsThem) {
    ScopedSubnormalsKept kept;
    std::vector<float> impulse(2'000'001, 0.0f);
    impulse[0] = 1.0f;
    for (const float cutoff : {0.99f, 0.5f, 0.01f}) {
        LP1Filter filter(nullptr);
        filter.setCutoff(cutoff);
        const std::vector<float> out = filtered(filter, impulse);
        EXPECT_EQ(countSubnormals(out.data(), std::ssize(out)), 0) << "cutoff " << cutoff;
        EXPECT_GT(out[1], 0.0f);
        EXPECT_EQ(out.back(), 0.0f) << "cutoff " << cutoff; // the state is the last output
    }
    DCBlocker blocker(nullptr);
    const std::vector<float> out = filtered(blocker, impulse);
    EXPECT_EQ(countSubnormals(out.data(), std::ssize(out)), 0);
    EXPECT_EQ(out.back(), 0.0f);
}
