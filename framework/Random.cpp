#include "framework/Random.h"

#include <atomic>
#include <cmath>
#include <ctime>

namespace trov {

namespace {

// Relaxed loads and stores: concurrent draws may repeat a value, which no user relies on, but each draw
// reads and writes whole words.
std::atomic<std::uint64_t>& lcgState() {
    static std::atomic<std::uint64_t> state{static_cast<std::uint64_t>(std::time(nullptr))};
    return state;
}

double roundHalfEven(double v) {
    double r = std::floor(v);
    const double fraction = v - r;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    return r;
}

} // namespace

void seedRandomGenerators(std::uint32_t seed) {
    static std::atomic<bool> seeded{false};
    if (seeded.exchange(true))
        return;
    if (seed == 0)
        seed = static_cast<std::uint32_t>(std::time(nullptr));
    motherInit(seed);
    seedMersenneTwister(seed);
    ranrotInit(seed);
    seedCombinedRandom(seed);
    seedRandom(static_cast<std::int32_t>(seed));
}

void seedRandom(std::int32_t seed) {
    lcgState().store(static_cast<std::uint64_t>(static_cast<std::int64_t>(seed)), std::memory_order_relaxed);
}

double randomUnitLcg() {
    auto& state = lcgState();
    const std::uint64_t x = state.load(std::memory_order_relaxed) * 196314165u + 907633515u;
    state.store(x, std::memory_order_relaxed);
    // The low 52 bits as the mantissa of a number in [1, 2), less 1: exactly (x mod 2^52) / 2^52.
    return static_cast<double>(x & 0xFFFFFFFFFFFFFull) * 0x1p-52;
}

int randomInt(int lo, int hi) {
    const double span = static_cast<double>(hi) - static_cast<double>(lo);
    return static_cast<int>(static_cast<std::int64_t>(lo) +
                            static_cast<std::int64_t>(roundHalfEven(randomUnitLcg() * span)));
}

} // namespace trov
