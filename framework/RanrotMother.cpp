#include "framework/Random.h"

#include <atomic>
#include <bit>

namespace trov {

namespace {

constexpr std::uint32_t kDefaultSeed = 5489u;
constexpr int kPairs = 17;
constexpr int kSecondLag = 10;

struct RanrotWords {
    std::uint32_t first;
    std::uint32_t second;
};

// State words are atomics read and written relaxed, so draws from several threads may interleave or
// repeat values; lags are only ever stored wrapped into 0..16, so no draw indexes outside the buffer.
struct Ranrot {
    std::atomic<std::uint32_t> words[2 * kPairs];
    std::atomic<int> lag1{0};
    std::atomic<int> lag2{kSecondLag};

    // One step: the two words it stores at lag 1.
    RanrotWords step() {
        const int p1 = lag1.load(std::memory_order_relaxed);
        const int p2 = lag2.load(std::memory_order_relaxed);
        const std::uint32_t sum1 = std::rotl(words[2 * p1].load(std::memory_order_relaxed), 19) +
                                   words[2 * p2].load(std::memory_order_relaxed);
        const std::uint32_t sum2 = std::rotl(words[2 * p1 + 1].load(std::memory_order_relaxed), 27) +
                                   words[2 * p2 + 1].load(std::memory_order_relaxed);
        // Crosswise: the second sum into the first word, the first sum into the second.
        words[2 * p1].store(sum2, std::memory_order_relaxed);
        words[2 * p1 + 1].store(sum1, std::memory_order_relaxed);
        lag1.store(p1 == 0 ? kPairs - 1 : p1 - 1, std::memory_order_relaxed);
        lag2.store(p2 == 0 ? kPairs - 1 : p2 - 1, std::memory_order_relaxed);
        return {sum2, sum1};
    }
};

struct Mother {
    // x[0] the newest word, x[3] the oldest, x[4] the carry.
    std::atomic<std::uint32_t> x[5];

    std::uint32_t step() {
        std::uint32_t v[5];
        for (int i = 0; i < 5; ++i)
            v[i] = x[i].load(std::memory_order_relaxed);
        const std::uint64_t sum =
            2111111111ull * v[3] + 1492ull * v[2] + 1776ull * v[1] + 5115ull * v[0] + v[4];
        x[3].store(v[2], std::memory_order_relaxed);
        x[2].store(v[1], std::memory_order_relaxed);
        x[1].store(v[0], std::memory_order_relaxed);
        x[4].store(static_cast<std::uint32_t>(sum >> 32), std::memory_order_relaxed);
        const auto word = static_cast<std::uint32_t>(sum);
        x[0].store(word, std::memory_order_relaxed);
        return word;
    }

    std::uint32_t carry() const { return x[4].load(std::memory_order_relaxed); }
};

constexpr std::uint32_t nextRanrotSeedWord(std::uint32_t& s) {
    s = s * 0x113BDF45u + 1u;
    return s;
}

// A 64-bit mantissa with its top bit set is a value in [1, 2) of the 80-bit extended format; less 1.
long double fromMantissa(std::uint32_t high, std::uint32_t low) {
    const std::uint64_t mantissa = (std::uint64_t{high | 0x80000000u} << 32) | low;
    return static_cast<long double>(mantissa) * 0x1p-63L - 1.0L;
}

void seedRanrotWords(Ranrot& r, std::uint32_t& s) {
    for (auto& word : r.words)
        word.store(nextRanrotSeedWord(s), std::memory_order_relaxed);
    r.lag1.store(0, std::memory_order_relaxed);
    r.lag2.store(kSecondLag, std::memory_order_relaxed);
}

// RANROT-W alone, or stepped together with its own Mother-of-All whose word and carry are added in.
class RanrotGenerator {
public:
    explicit RanrotGenerator(bool withMother) : withMother_(withMother) { seed(kDefaultSeed); }

    void seed(std::uint32_t s) {
        seedRanrotWords(ranrot_, s);
        if (withMother_)
            for (auto& word : mother_.x)
                word.store(nextRanrotSeedWord(s), std::memory_order_relaxed);
        for (int i = 0; i < 30; ++i)
            draw();
    }

    long double draw() {
        const RanrotWords words = ranrot_.step();
        if (!withMother_)
            return fromMantissa(words.first, words.second);
        const std::uint32_t low = mother_.step() + words.second;
        const std::uint32_t high = std::rotl(mother_.carry(), 8) + words.first;
        return fromMantissa(high, low);
    }

private:
    const bool withMother_;
    Ranrot ranrot_;
    Mother mother_;
};

struct PlainMother {
    Mother mother;

    PlainMother() { seed(kDefaultSeed); }

    void seed(std::uint32_t s) {
        for (auto& word : mother.x) {
            s = s * 29943829u - 1u;
            word.store(s, std::memory_order_relaxed);
        }
        for (int i = 0; i < 19; ++i)
            mother.step();
    }
};

RanrotGenerator& plainRanrot() {
    static RanrotGenerator r(false);
    return r;
}

PlainMother& plainMother() {
    static PlainMother m;
    return m;
}

RanrotGenerator& combined() {
    static RanrotGenerator c(true);
    return c;
}

} // namespace

void ranrotInit(std::uint32_t seed) {
    plainRanrot().seed(seed);
}
long double ranrotRandom() {
    return plainRanrot().draw();
}

void motherInit(std::uint32_t seed) {
    plainMother().seed(seed);
}
std::uint32_t motherBits() {
    return plainMother().mother.step();
}
double motherRandom() {
    return static_cast<double>(motherBits()) * 0x1p-32;
}

void seedCombinedRandom(std::uint32_t seed) {
    combined().seed(seed);
}
long double combinedRandom() {
    return combined().draw();
}

} // namespace trov
