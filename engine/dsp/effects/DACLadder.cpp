#include "engine/dsp/effects/DACLadder.h"

#include "engine/dsp/FloatIndex.h"
#include "engine/dsp/VectorPath.h"
#include "framework/Random.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trov {

DACLadder::DACLadder(const Module* owner) : Effect(owner) {
    buildTable(kDefaultBits);
}

DACLadder::DACLadder(const Module* owner, DeferDraw) : Effect(owner) {
    sizeTable(kDefaultBits);
}

void DACLadder::setTolerance(float tolerance, bool draw) {
    if (tolerance == tolerance_ || !std::isfinite(tolerance))
        return;
    tolerance_ = tolerance;
    if (draw)
        buildTable(bits_);
}

void DACLadder::sizeTable(std::int32_t bits) {
    bits_ = std::clamp(bits, std::int32_t{1}, kMaxBits);
    errors_.assign(static_cast<std::size_t>(bits_), 0.0f);
    table_.assign(std::size_t{1} << bits_, 0.0f);
}

void DACLadder::buildTable(std::int32_t bits) {
    sizeTable(bits);
    drawErrors();
}

void DACLadder::drawErrors() noexcept {
    for (std::int32_t i = 0; i < bits_; ++i) {
        const float weight = i < bits_ / 2 ? 1.0f : 0.5f;
        const auto r1 = static_cast<double>(combinedRandom());
        const auto r2 = static_cast<double>(combinedRandom());
        errors_[static_cast<std::size_t>(i)] =
            static_cast<float>((1.0 - 2.0 * r1 * r2) * tolerance_ * weight);
    }
    const std::size_t codes = std::size_t{1} << bits_;
    const float scale = 1.0f / static_cast<float>(codes);
    for (std::size_t code = 0; code < codes; ++code) {
        float sum = 0.0f;
        for (std::int32_t i = 0; i < bits_; ++i) {
            if ((code >> i) & 1u)
                sum += static_cast<float>(std::size_t{1} << i) * errors_[static_cast<std::size_t>(i)] * scale;
        }
        table_[code] = sum;
    }
}

float DACLadder::getBitError(std::int32_t bit) const noexcept {
    return bit >= 0 && bit < bits_ ? errors_[static_cast<std::size_t>(bit)] : 0.0f;
}

namespace {

// The scalar form, and the reference of the vector form. levels = 2^bits = the table's size.
void convertScalar(const float* table, float levels, const float* source, float* target, std::int32_t begin,
                   std::int32_t end) noexcept {
    const auto top = static_cast<std::uint32_t>(levels) - 1;
    for (std::int32_t i = begin; i < end; ++i) {
        const float x = source[i];
        // Clamped while still a float (NaN goes to the bottom): the code never leaves the table.
        const std::int32_t level = roundToInt(clampPosition(levels * x, -levels, levels));
        const auto code =
            std::min(static_cast<std::uint32_t>(level + static_cast<std::int32_t>(top) + 1) >> 1, top);
        target[i] = x + table[code];
    }
}

#if defined(__SSE2__)
// Four samples at a time with the scalar form's operations (the same results bit for bit); the table is
// read entry by entry. Returns the frames done, a multiple of four.
std::int32_t convertVector(const float* table, float levels, const float* source, float* target,
                           std::int32_t frames) noexcept {
    const auto top = static_cast<std::int32_t>(levels) - 1;
    const __m128 scale = _mm_set1_ps(levels);
    const __m128 low = _mm_set1_ps(-levels);
    const __m128 high = _mm_set1_ps(levels);
    const __m128i bias = _mm_set1_epi32(top + 1);
    const __m128i last = _mm_set1_epi32(top);
    alignas(16) std::int32_t codes[4];
    std::int32_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128 x = _mm_loadu_ps(source + i);
        // max and min take NaN to their second operand: NaN converts to code 0, like the scalar clamp.
        const __m128i level = _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(_mm_mul_ps(scale, x), low), high));
        __m128i code = _mm_srli_epi32(_mm_add_epi32(level, bias), 1);
        code = _mm_add_epi32(code, _mm_cmpgt_epi32(code, last)); // 2^bits becomes 2^bits - 1
        _mm_store_si128(reinterpret_cast<__m128i*>(codes), code);
        const __m128 error = _mm_setr_ps(table[codes[0]], table[codes[1]], table[codes[2]], table[codes[3]]);
        _mm_storeu_ps(target + i, _mm_add_ps(x, error));
    }
    return i;
}
#endif

} // namespace

std::int32_t DACLadder::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const std::int32_t frames = std::max(std::min(in.getValidFrames(), out.getSize()), 0);
    const float* source = in.getData();
    float* target = out.getData();
    const auto levels = static_cast<float>(table_.size());
    std::int32_t done = 0;
#if defined(__SSE2__)
    if (usesVectorPath())
        done = convertVector(table_.data(), levels, source, target, frames);
#endif
    convertScalar(table_.data(), levels, source, target, done, frames);
    return out.setValidFrames(frames);
}

} // namespace trov
