// Gaussian smoothing of a 1920x1080 image per variant and mask, and the 8-bit four-channel form of every
// 3x3 and 5x5 horizontal pass family over the same image, against memcpy of the same image measured in
// the same run. Counters: ns_per_pixel, ns_per_element (one element per byte of the image) and x_memcpy
// (time relative to the memcpy). Goals: no 3x3 horizontal pass above 2x memcpy, no 5x5 pass above 3x.

#include "imaging/FilterGauss.h"
#include "imaging/simd/KernelTypes.h"
#include "imaging/simd/SimdDrivers.h"
#include "imaging/simd/kernels/DifferenceKernels3.h"
#include "imaging/simd/kernels/HighpassKernels3.h"
#include "imaging/simd/kernels/HighpassKernels5.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "imaging/simd/kernels/MeanKernels3.h"
#include "imaging/simd/kernels/MeanKernels5.h"
#include "imaging/simd/kernels/SharpenKernels3.h"
#include "imaging/simd/kernels/UnscaledKernels3.h"
#include "support/KernelTestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace trov::imaging;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kMargin = 2;
constexpr double kPixels = double(kWidth) * kHeight;

// Source with the 5x5 neighbourhood around the rectangle, destination of the same layout.
struct Frame {
    std::int32_t step = 4 * (kWidth + 2 * kMargin);
    std::vector<std::uint8_t> src;
    std::vector<std::uint8_t> dst;
    Frame() : src(std::size_t(step) * (kHeight + 2 * kMargin) + 64), dst(src.size()) {
        std::mt19937 rng(42);
        for (auto& b : src)
            b = static_cast<std::uint8_t>(rng());
    }
    // Row starts 16-byte aligned, as a captured bitmap's would be.
    static std::uint8_t* origin(std::vector<std::uint8_t>& bytes, std::int32_t step) {
        std::uint8_t* inner = bytes.data() + std::ptrdiff_t(step) * kMargin + 4 * kMargin;
        return inner + (16 - reinterpret_cast<std::uintptr_t>(inner) % 16) % 16;
    }
};

Frame& frame() {
    static Frame f;
    return f;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void copyImage() {
    Frame& f = frame();
    std::memcpy(f.dst.data(), f.src.data(), std::size_t(4) * kWidth * kHeight);
    benchmark::DoNotOptimize(f.dst.data());
    benchmark::ClobberMemory();
}

// Nanoseconds per memcpy of the image: what BM_Memcpy measured in this run, or, when it was filtered
// out, a measurement of about a quarter second taken on first use.
double measuredMemcpyNs = 0;

double memcpyReferenceNs() {
    if (measuredMemcpyNs > 0)
        return measuredMemcpyNs;
    static const double ns = [] {
        copyImage();
        int copies = 0;
        const auto start = std::chrono::steady_clock::now();
        while (secondsSince(start) < 0.25) {
            copyImage();
            ++copies;
        }
        return secondsSince(start) * 1e9 / copies;
    }();
    return ns;
}

double nsPerIteration(const benchmark::State& state, double seconds) {
    return seconds * 1e9 / double(state.iterations());
}

void report(benchmark::State& state, double seconds) {
    const double ns = nsPerIteration(state, seconds);
    state.counters["ns_per_pixel"] = ns / kPixels;
    state.counters["ns_per_element"] = ns / (4 * kPixels);
    state.counters["x_memcpy"] = ns / memcpyReferenceNs();
}

void BM_Memcpy(benchmark::State& state) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        copyImage();
    const double seconds = secondsSince(start);
    measuredMemcpyNs = nsPerIteration(state, seconds);
    report(state, seconds);
}

// Runs image(src, step, dst) over the frame's 1920x1080 rectangle per iteration and reports it against
// the memcpy of the same bytes.
template <class Image> void runOverFrame(benchmark::State& state, Image&& image) {
    Frame& f = frame();
    const std::uint8_t* src = Frame::origin(f.src, f.step);
    std::uint8_t* dst = Frame::origin(f.dst, f.step);
    memcpyReferenceNs();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        image(src, f.step, dst);
        benchmark::ClobberMemory();
    }
    report(state, secondsSince(start));
}

void BM_FilterGauss(benchmark::State& state) {
    const FilterGaussFn entry = variantTable()[state.range(0)];
    const auto mask = static_cast<SmoothingMask>(state.range(1));
    runOverFrame(state, [&](const std::uint8_t* src, std::int32_t step, std::uint8_t* dst) {
        if (entry(src, step, dst, step, kWidth, kHeight, mask) != FilterStatus::Ok)
            state.SkipWithError("smoothing failed");
    });
}

// One horizontal pass per image row into destination rows that start on 16-byte boundaries, from inputs
// in the state a driver leaves them: the row buffer just refilled by the vertical pass and, for the
// centred families, the centre row among the three rows that pass has just read (here the frame's first
// three rows, in turn).
struct HorizontalPass {
    const char* name;
    int taps;
    HorizontalKernel3 plain;
    CentredKernel centred;
};

const HorizontalPass kHorizontalPasses[] = {
    {"horzGauss3_8u_C4", 3, horzGauss3_8u_C4, nullptr},
    {"horzSum3_8u_C4", 3, horzSum3_8u_C4, nullptr},
    {"horzSum121_8u_C4", 3, horzSum121_8u_C4, nullptr},
    {"horzHighpass3_8u_C4", 3, nullptr, horzHighpass3_8u_C4},
    {"horzDiff3_16u8u_C4", 3, horzDiff3_16u8u_C4, nullptr},
    {"horzSharpen3_8u_C4", 3, nullptr, horzSharpen3_8u_C4},
    {"horzMean3_8u_KeepAlpha", 3, horzMean3_8u_KeepAlpha, nullptr},
    {"horzHighpass5_8u_C4", 5, nullptr, horzHighpass5_8u_C4},
    {"horzMean5_8u_KeepAlpha", 5, horzMean5_8u_KeepAlpha, nullptr},
};

void BM_HorizontalPass(benchmark::State& state, const HorizontalPass& pass) {
    constexpr std::ptrdiff_t n = 4 * kWidth;
    const std::ptrdiff_t used = n + 4 * (pass.taps - 1);
    trov::imaging::testing::AlignedRow<std::uint16_t> row(static_cast<std::size_t>((used + 15) / 16 * 16));
    std::mt19937 rng(7);
    for (std::ptrdiff_t i = 0; i < used; ++i)
        row[i] = static_cast<std::uint16_t>(rng() % (pass.taps == 3 ? 766 : 1276));
    runOverFrame(state, [&](const std::uint8_t* src, std::int32_t step, std::uint8_t* dst) {
        for (std::ptrdiff_t y = 0; y < kHeight; ++y) {
            if (pass.centred)
                pass.centred(src + (y % 3) * step, row.data(), dst + y * step, n);
            else
                pass.plain(row.data(), dst + y * step, n);
        }
        trov::imaging::storeFence();
    });
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterGauss)
    ->ArgNames({"variant", "mask"})
    ->ArgsProduct({{1, 2, 3, 4}, {33, 55}})
    ->Unit(benchmark::kMicrosecond);

const bool horizontalPassesRegistered = [] {
    for (const HorizontalPass& pass : kHorizontalPasses)
        benchmark::RegisterBenchmark((std::string("BM_HorizontalPass/") + pass.name).c_str(),
                                     BM_HorizontalPass, pass)
            ->Unit(benchmark::kMicrosecond);
    return true;
}();

} // namespace
