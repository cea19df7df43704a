// The drawing layer at editor sizes, each against a reference measured in the same run:
// - a 1-megapixel alpha blend (skin drawing with per-pixel alpha, a faded one, a constant-alpha copy)
//   against a memcpy of the same bytes; counters ms per blend and x_memcpy (time relative to the copy);
// - 100 text labels per frame with the glyph cache warm against the same frame started cold (every face
//   and glyph forgotten); counters us per frame and x_warm (cold time relative to warm).

#include "gui/Canvas.h"
#include "platform/draw/DrawContext.h"
#include "platform/draw/FontCache.h"
#include "support/CanvasTestWindow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace trov;
using namespace trov::platform::draw;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <class Work> double timed(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return secondsSince(start);
}

enum BlendCase { kSourceAlpha, kSourceAlphaHalf, kConstantAlpha };

void BM_AlphaBlendAgainstMemcpy(benchmark::State& state) {
    const auto which = static_cast<BlendCase>(state.range(0));
    constexpr int kSide = 1024;
    auto source = Surface::create(kSide, kSide);
    auto target = Surface::create(kSide, kSide);
    auto copy = Surface::create(kSide, kSide);
    // A skin-like source: clear, opaque and soft-edged pixels in bands.
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const auto a = static_cast<std::uint32_t>((x * 7 + y * 3) % 384 > 255 ? ((x + y) % 2) * 255
                                                                                  : (x * 7 + y * 3) % 256);
            source->setPixel(x, y, premultiply(200, 120, 40, a));
        }
    target->fill(makePixel(30, 30, 30, 255));
    DrawContext dc(target);
    const trov::platform::NativeRect all{0, 0, kSide, kSide};
    const std::uint8_t constant = which == kSourceAlphaHalf ? 128 : (which == kConstantAlpha ? 200 : 255);
    const std::size_t bytes = std::size_t{kSide} * kSide * sizeof(Pixel);

    double blendSeconds = 0.0;
    double copySeconds = 0.0;
    for (auto _ : state) {
        const double blended =
            timed([&] { dc.alphaBlend(all, *source, all, constant, which != kConstantAlpha); });
        benchmark::DoNotOptimize(target->row(0));
        copySeconds += timed([&] { std::memcpy(copy->row(0), source->row(0), bytes); });
        benchmark::DoNotOptimize(copy->row(0));
        blendSeconds += blended;
        state.SetIterationTime(blended);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["ms_per_blend"] = blendSeconds * 1e3 / n;
    state.counters["memcpy_ms"] = copySeconds * 1e3 / n;
    state.counters["x_memcpy"] = blendSeconds / copySeconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(n * static_cast<double>(bytes)));
}

BENCHMARK(BM_AlphaBlendAgainstMemcpy)
    ->ArgName("case")
    ->Arg(kSourceAlpha)
    ->Arg(kSourceAlphaHalf)
    ->Arg(kConstantAlpha)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_LabelsWarmAgainstCold(benchmark::State& state) {
    constexpr int kLabels = 100;
    test::CanvasTestWindow window(Rect(0, 0, 800, 600), true);
    Canvas canvas(800, 600);
    canvas.attachWindow(&window);
    std::vector<std::string> texts;
    for (int i = 0; i < kLabels; ++i)
        texts.push_back("Cutoff " + std::to_string(i * 37 % 1000) + " Hz");
    const Font fonts[] = {Font("Verdana", 10.0f, 0, 1, 9, 12.0f), Font("Arial", 12.0f, 0, 1, 9, 0.0f),
                          Font("04b03", 8.0f, 0, 1, 65536, 10.0f)};
    auto frame = [&] {
        canvas.begin(canvas.getSize(), true);
        canvas.setTextColor(colorBlack);
        for (int i = 0; i < kLabels; ++i) {
            canvas.setFont(fonts[i % 3]);
            canvas.drawText(texts[static_cast<std::size_t>(i)], Rect((i % 8) * 100, (i / 8) * 40, 100, 40),
                            0x24);
        }
        canvas.end();
    };
    frame();
    double warmSeconds = 0.0;
    double coldSeconds = 0.0;
    for (auto _ : state) {
        const double warm = timed(frame);
        clearFontCache();
        coldSeconds += timed(frame);
        warmSeconds += warm;
        state.SetIterationTime(warm);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["warm_us_per_frame"] = warmSeconds * 1e6 / n;
    state.counters["cold_us_per_frame"] = coldSeconds * 1e6 / n;
    state.counters["x_warm"] = coldSeconds / warmSeconds;
}

BENCHMARK(BM_LabelsWarmAgainstCold)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
