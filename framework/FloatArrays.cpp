#include "framework/FloatArrays.h"

#include "framework/InstructionSet.h"

#include <atomic>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace trov {

namespace {

std::atomic<FloatArrayPath> gForcedPath{FloatArrayPath::Automatic};

FloatArrayPath automaticPath() {
#if defined(__SSE__)
    static const FloatArrayPath path =
        instructionSet() >= 3 ? FloatArrayPath::Vector : FloatArrayPath::Scalar;
    return path;
#else
    return FloatArrayPath::Scalar;
#endif
}

struct Add {
    static float apply(float a, float b) { return a + b; }
#if defined(__SSE__)
    static __m128 apply(__m128 a, __m128 b) {
        return _mm_add_ps(a, b);
    }
#endif
};
struct Subtract {
    static float apply(float a, float b) { return a - b; }
#if defined(__SSE__)
    static __m128 apply(__m128 a, __m128 b) {
        return _mm_sub_ps(a, b);
    }
#endif
};
struct Multiply {
    static float apply(float a, float b) { return a * b; }
#if defined(__SSE__)
    static __m128 apply(__m128 a, __m128 b) {
        return _mm_mul_ps(a, b);
    }
#endif
};
struct Divide {
    static float apply(float a, float b) { return a / b; }
#if defined(__SSE__)
    static __m128 apply(__m128 a, __m128 b) {
        return _mm_div_ps(a, b);
    }
#endif
};

template <class Op> void run(float* dst, const float* src, std::size_t count) {
    std::size_t i = 0;
#if defined(__SSE__)
    if (getFloatArrayPath() == FloatArrayPath::Vector) {
        // Unaligned loads cost nothing extra on aligned data, so any alignment takes the vector path.
        for (; i + 4 <= count; i += 4)
            _mm_storeu_ps(dst + i, Op::apply(_mm_loadu_ps(dst + i), _mm_loadu_ps(src + i)));
    }
#endif
    for (; i < count; ++i)
        dst[i] = Op::apply(dst[i], src[i]);
}

} // namespace

void setFloatArrayPath(FloatArrayPath path) {
    gForcedPath.store(path, std::memory_order_relaxed);
}

FloatArrayPath getFloatArrayPath() {
    const FloatArrayPath forced = gForcedPath.load(std::memory_order_relaxed);
    if (forced == FloatArrayPath::Automatic)
        return automaticPath();
#if defined(__SSE__)
    return forced;
#else
    return FloatArrayPath::Scalar;
#endif
}

void addFloats(float* dst, const float* src, std::size_t count) {
    run<Add>(dst, src, count);
}
void subtractFloats(float* dst, const float* src, std::size_t count) {
    run<Subtract>(dst, src, count);
}
void multiplyFloats(float* dst, const float* src, std::size_t count) {
    run<Multiply>(dst, src, count);
}
void divideFloats(float* dst, const float* src, std::size_t count) {
    run<Divide>(dst, src, count);
}

} // namespace trov
