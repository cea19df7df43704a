#pragma once

#include <cstdint>

namespace trov {

// The process-wide pseudo-random generators: a 64-bit linear congruential generator (identifiers, noise
// grains), a Mersenne twister (the DSP blocks), Agner Fog's RANROT-W and Marsaglia's Mother-of-All, alone
// and combined (analog tolerances). None is cryptographic.
//
// Any thread, lock-free and allocation-free, so the audio thread and the editor may draw at once. Concurrent
// draws may interleave or repeat values but never read outside a generator's state; a single thread sees
// exactly the sequence its seed defines.

// Seeds all five with one seed, the first time only; 0 stands for the current calendar time in seconds.
void seedRandomGenerators(std::uint32_t seed);

// Linear congruential: x = x * 196314165 + 907633515 (mod 2^64). Before any seeding x is the calendar time.
void seedRandom(std::int32_t seed);
// The low 52 bits of the next x as a fraction in [0, 1).
double randomUnitLcg();
// lo + round-half-even(u * (hi - lo)) with u from randomUnitLcg: both bounds occur, each half as often as
// the values between them.
int randomInt(int lo, int hi);

// Mersenne twister MT19937 with its standard seeding, drawn without tempering.
void seedMersenneTwister(std::uint32_t seed);
// The next 32-bit output divided by 2^32: [0, 1) in steps of 2^-32. The first draw after seeding
// discards one output.
double randomDouble();

// RANROT-W: 17 pairs of 32-bit words read at two positions 10 pairs apart; values in [0, 1) with a
// 64-bit mantissa.
void ranrotInit(std::uint32_t seed);
long double ranrotRandom();

// Mother-of-All multiply-with-carry over four words and a carry.
void motherInit(std::uint32_t seed);
std::uint32_t motherBits();
// motherBits divided by 2^32.
double motherRandom();

// RANROT-W and Mother-of-All stepped together, their words summed into one 64-bit mantissa.
void seedCombinedRandom(std::uint32_t seed);
long double combinedRandom();

// How the twister regenerates its 624 words: Automatic uses the vector unit from SSE2 on; tests and
// benchmarks force either form. Both give the same words.
enum class TwisterPath { Automatic, Scalar, Vector };
void setTwisterPath(TwisterPath path);

} // namespace trov
