#pragma once

#include <cstddef>

namespace trov {

// Element-wise arithmetic on float arrays: dst[i] = dst[i] op src[i] for i < count. Groups of four go
// through the processor's vector unit when it has one; the rest, and every element on the scalar path,
// through a plain loop. Both paths give the same results. Audio thread safe: no allocation, no locks.
void addFloats(float* dst, const float* src, std::size_t count);
void subtractFloats(float* dst, const float* src, std::size_t count);
void multiplyFloats(float* dst, const float* src, std::size_t count);
void divideFloats(float* dst, const float* src, std::size_t count);

// Which path the operations above take. Automatic picks the vector path when the processor has SSE;
// tests and benchmarks force either. Any thread; takes effect for calls that start afterwards.
enum class FloatArrayPath { Automatic, Scalar, Vector };
void setFloatArrayPath(FloatArrayPath path);
// The path calls take now (never Automatic).
FloatArrayPath getFloatArrayPath();

} // namespace trov
