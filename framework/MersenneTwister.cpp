#include "framework/InstructionSet.h"
#include "framework/Random.h"

#include <atomic>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trov {

namespace {

constexpr std::size_t kN = 624;
constexpr std::size_t kM = 397;
constexpr std::uint32_t kMatrixA = 0x9908B0DFu;
constexpr std::uint32_t kUpper = 0x80000000u;
constexpr std::uint32_t kLower = 0x7FFFFFFFu;
constexpr std::uint32_t kDefaultSeed = 5489u;

// The state is shared by every thread that draws. Words and index are atomics read and written relaxed:
// a draw racing another may repeat or skip a word but always indexes within the state.
struct Twister {
    std::atomic<std::uint32_t> words[kN];
    std::atomic<std::uint32_t> index{kN};
    std::atomic<bool> firstDrawn{false};
    std::atomic<bool> regenerating{false};

    Twister() { seed(kDefaultSeed); }

    void seed(std::uint32_t s) {
        std::uint32_t w = s;
        words[0].store(w, std::memory_order_relaxed);
        for (std::uint32_t i = 1; i < kN; ++i) {
            w = 1812433253u * (w ^ (w >> 30)) + i;
            words[i].store(w, std::memory_order_relaxed);
        }
        index.store(kN, std::memory_order_relaxed);
        firstDrawn.store(false, std::memory_order_relaxed);
    }
};

Twister& twister() {
    static Twister t;
    return t;
}

std::atomic<TwisterPath> gPath{TwisterPath::Automatic};

inline std::uint32_t twist(std::uint32_t current, std::uint32_t next, std::uint32_t far) {
    const std::uint32_t y = (current & kUpper) | (next & kLower);
    return far ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
}

void regenerateScalar(std::uint32_t* mt) {
    std::size_t k = 0;
    for (; k < kN - kM; ++k)
        mt[k] = twist(mt[k], mt[k + 1], mt[k + kM]);
    for (; k < kN - 1; ++k)
        mt[k] = twist(mt[k], mt[k + 1], mt[k - (kN - kM)]);
    mt[kN - 1] = twist(mt[kN - 1], mt[0], mt[kM - 1]);
}

#if defined(__SSE2__)
// Four words at once. Within each of the two runs the words a group reads are either not yet rewritten
// (k + 1 .. k + 4, k + M ..) or rewritten at least 227 words earlier (k + M - N ..), exactly as the
// word-by-word loop sees them, so the runs are split where the scalar loops split.
inline void twistFour(std::uint32_t* mt, std::size_t k, std::size_t far) {
    const __m128i upper = _mm_set1_epi32(static_cast<int>(kUpper));
    const __m128i lower = _mm_set1_epi32(static_cast<int>(kLower));
    const __m128i one = _mm_set1_epi32(1);
    const __m128i matrix = _mm_set1_epi32(static_cast<int>(kMatrixA));
    const __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + k));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + k + 1));
    const __m128i distant = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + far));
    const __m128i y = _mm_or_si128(_mm_and_si128(current, upper), _mm_and_si128(next, lower));
    const __m128i odd = _mm_sub_epi32(_mm_setzero_si128(), _mm_and_si128(y, one));
    const __m128i result =
        _mm_xor_si128(_mm_xor_si128(distant, _mm_srli_epi32(y, 1)), _mm_and_si128(odd, matrix));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mt + k), result);
}

void regenerateVector(std::uint32_t* mt) {
    std::size_t k = 0;
    for (; k + 4 <= kN - kM; k += 4)
        twistFour(mt, k, k + kM);
    for (; k < kN - kM; ++k)
        mt[k] = twist(mt[k], mt[k + 1], mt[k + kM]);
    static_assert((kM - 1) % 4 == 0, "the second run is whole groups of four");
    for (; k < kN - 1; k += 4)
        twistFour(mt, k, k - (kN - kM));
    mt[kN - 1] = twist(mt[kN - 1], mt[0], mt[kM - 1]);
}
#endif

bool useVector() {
#if defined(__SSE2__)
    const TwisterPath path = gPath.load(std::memory_order_relaxed);
    if (path == TwisterPath::Automatic)
        return instructionSet() >= 4;
    return path == TwisterPath::Vector;
#else
    return false;
#endif
}

void regenerate(Twister& t) {
    std::uint32_t mt[kN];
    for (std::size_t i = 0; i < kN; ++i)
        mt[i] = t.words[i].load(std::memory_order_relaxed);
#if defined(__SSE2__)
    if (useVector())
        regenerateVector(mt);
    else
#endif
        regenerateScalar(mt);
    for (std::size_t i = 0; i < kN; ++i)
        t.words[i].store(mt[i], std::memory_order_relaxed);
}

std::uint32_t nextWord() {
    Twister& t = twister();
    const std::uint32_t i = t.index.load(std::memory_order_relaxed);
    if (i < kN) {
        t.index.store(i + 1, std::memory_order_relaxed);
        return t.words[i].load(std::memory_order_relaxed);
    }
    if (t.regenerating.exchange(true, std::memory_order_acquire))
        return t.words[kN - 1].load(std::memory_order_relaxed); // another thread is regenerating
    regenerate(t);
    t.index.store(1, std::memory_order_relaxed);
    t.regenerating.store(false, std::memory_order_release);
    return t.words[0].load(std::memory_order_relaxed);
}

} // namespace

void setTwisterPath(TwisterPath path) {
    gPath.store(path, std::memory_order_relaxed);
}

void seedMersenneTwister(std::uint32_t seed) {
    twister().seed(seed);
}

double randomDouble() {
    Twister& t = twister();
    if (!t.firstDrawn.load(std::memory_order_relaxed)) {
        t.firstDrawn.store(true, std::memory_order_relaxed);
        nextWord();
    }
    return static_cast<double>(nextWord()) * 0x1p-32;
}

} // namespace trov
