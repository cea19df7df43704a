// Gaussian smoothing of a 1920x1080 image per variant and mask, against memcpy of the same image
// measured in the same run. Counters: ns_per_pixel and x_memcpy (time relative to the memcpy).

#include "imaging/FilterGauss.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
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

void BM_FilterGauss(benchmark::State& state) {
    const FilterGaussFn entry = variantTable()[state.range(0)];
    const auto mask = static_cast<SmoothingMask>(state.range(1));
    Frame& f = frame();
    const std::uint8_t* src = Frame::origin(f.src, f.step);
    std::uint8_t* dst = Frame::origin(f.dst, f.step);
    memcpyReferenceNs();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (entry(src, f.step, dst, f.step, kWidth, kHeight, mask) != FilterStatus::Ok)
            state.SkipWithError("smoothing failed");
        benchmark::ClobberMemory();
    }
    report(state, secondsSince(start));
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterGauss)
    ->ArgNames({"variant", "mask"})
    ->ArgsProduct({{1, 2, 3, 4}, {33, 55}})
    ->Unit(benchmark::kMicrosecond);

} // namespace
