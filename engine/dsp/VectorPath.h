#pragma once

namespace trov {

// Which form of their inner loop the blocks with a vector kernel (the DAC ladder, the waveshaper) run.
// Automatic takes the vector kernel wherever the build has one (SSE2, every x86-64 build); tests and
// benchmarks force either form, which give the same results bit for bit.
// Any thread; set it before processing, not during.
enum class VectorPath { Automatic, Scalar, Vector };

void setVectorPath(VectorPath path) noexcept;
// Whether the vector kernels run.
bool usesVectorPath() noexcept;

} // namespace trov
