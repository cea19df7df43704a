#include "instrument/dsp/Ostrel4PoleFilterGroup.h"

#include "framework/Random.h"
#include "instrument/InstrumentGlobals.h"

#include <algorithm>
#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trov {

namespace {

std::atomic<Ostrel4PoleFilterGroup::Path> gPath{Ostrel4PoleFilterGroup::Path::Automatic};

bool useVector() noexcept {
#if defined(__SSE2__)
    return gPath.load(std::memory_order_relaxed) != Ostrel4PoleFilterGroup::Path::Portable;
#else
    return false;
#endif
}

// Which side of the response blend the lanes take: all low-pass to band-pass, all band-pass to high-pass,
// or some of each.
enum Side { kLowSide, kHighSide, kMixedSides };

} // namespace

void Ostrel4PoleFilterGroup::setPath(Path path) noexcept {
    gPath.store(path, std::memory_order_relaxed);
}

void Ostrel4PoleFilterGroup::reserve(std::int32_t frames, std::int32_t runs) {
    frameCapacity_ = std::max(frames, std::int32_t{0});
    runCapacity_ = std::max(runs, std::int32_t{0});
    runs_.assign(static_cast<std::size_t>(runCapacity_) * kLanes, Run{});
    pending_.assign(runs_.size(), Pending{});
    noise_.assign(static_cast<std::size_t>(frameCapacity_) * kLanes, 0.0);
    clear();
}

bool Ostrel4PoleFilterGroup::hasRoom(std::int32_t frames, std::int32_t runs) const noexcept {
    return laneCount_ < kLanes && frames <= frameCapacity_ && runs <= runCapacity_;
}

void Ostrel4PoleFilterGroup::clear() noexcept {
    laneCount_ = 0;
    lanes_.fill(Lane{});
}

bool Ostrel4PoleFilterGroup::queue(Ostrel4PoleFilter& filter, float* data, std::int32_t frames,
                                   std::int32_t offset) noexcept {
    if (frames <= 0 || data == nullptr)
        return true; // processAt would filter nothing and the ladder stays as it is
    if (laneCount_ == 0 || lanes_[static_cast<std::size_t>(laneCount_ - 1)].filter != &filter) {
        if (laneCount_ == kLanes)
            return false;
        Lane& lane = lanes_[static_cast<std::size_t>(laneCount_)];
        lane = Lane{};
        lane.filter = &filter;
        lane.firstRun = laneCount_ * runCapacity_;
        ++laneCount_;
    }
    Lane& lane = lanes_[static_cast<std::size_t>(laneCount_ - 1)];
    if (lane.runCount == runCapacity_ || frames > frameCapacity_ - lane.noiseUsed)
        return false;
    double* noise =
        noise_.data() + static_cast<std::size_t>(laneCount_ - 1) * frameCapacity_ + lane.noiseUsed;
    for (std::int32_t i = 0; i < frames; ++i)
        noise[i] = randomDouble();
    const std::size_t index =
        static_cast<std::size_t>(lane.firstRun) + static_cast<std::size_t>(lane.runCount);
    runs_[index] = Run{data, frames};
    pending_[index] = Pending{std::max(offset, std::int32_t{0}), noise, filter.currentModulation()};
    ++lane.runCount;
    lane.noiseUsed += frames;
    return true;
}

std::span<const Ostrel4PoleFilterGroup::Run>
Ostrel4PoleFilterGroup::runsOf(const Ostrel4PoleFilter& filter) const noexcept {
    for (int i = 0; i < laneCount_; ++i) {
        const Lane& lane = lanes_[static_cast<std::size_t>(i)];
        if (lane.filter == &filter)
            return {runs_.data() + lane.firstRun, static_cast<std::size_t>(lane.runCount)};
    }
    return {};
}

bool Ostrel4PoleFilterGroup::enterRun(int index) noexcept {
    Lane& lane = lanes_[static_cast<std::size_t>(index)];
    if (lane.run >= lane.runCount)
        return false;
    const Ostrel4PoleFilter& filter = *lane.filter;
    LaneWork& work = work_[static_cast<std::size_t>(index)];
    lane.done = 0;
    // As processAt: the gain as it stands before the run's first period.
    work.gain = static_cast<double>(filter.resonance_) * filter.g_;
    work.ladder = filter.ladder_;
    return true;
}

void Ostrel4PoleFilterGroup::enterPeriod(int index) noexcept {
    const Lane& lane = lanes_[static_cast<std::size_t>(index)];
    const Pending& pending = pending_[lane.current()];
    Ostrel4PoleFilter& filter = *lane.filter;
    filter.setCutoff(filter.cutoffAt(pending.modulation, pending.offset + lane.done));
    LaneWork& work = work_[static_cast<std::size_t>(index)];
    work.c = filter.c_;
    work.response = filter.response_;
}

void Ostrel4PoleFilterGroup::leaveRun(int index) noexcept {
    Lane& lane = lanes_[static_cast<std::size_t>(index)];
    lane.filter->ladder_ = work_[static_cast<std::size_t>(index)].ladder;
    lane.filter->recoverFromBlowUp();
    ++lane.run;
}

void Ostrel4PoleFilterGroup::idle(int index) noexcept {
    active_[static_cast<std::size_t>(index)] = false;
    LaneWork& work = work_[static_cast<std::size_t>(index)];
    work = LaneWork{};
    work.data = idleData_.data();
    work.noise = idleNoise_.data();
}

void Ostrel4PoleFilterGroup::process() noexcept {
    for (int i = 0; i < kLanes; ++i) {
        lanes_[static_cast<std::size_t>(i)].run = 0;
        if (i < laneCount_ && enterRun(i))
            active_[static_cast<std::size_t>(i)] = true;
        else
            idle(i);
    }
    for (;;) {
        // The lanes at a period's start take its coefficients; every lane runs to the nearest period or run
        // end among them.
        std::int32_t frames = Ostrel4PoleFilter::kControlPeriod;
        int lanes = 0;
        bool low = false;
        bool high = false;
        for (int i = 0; i < laneCount_; ++i) {
            if (!active_[static_cast<std::size_t>(i)])
                continue;
            const Lane& lane = lanes_[static_cast<std::size_t>(i)];
            const std::size_t run = lane.current();
            const std::int32_t intoPeriod = lane.done % Ostrel4PoleFilter::kControlPeriod;
            if (intoPeriod == 0)
                enterPeriod(i);
            frames = std::min(
                {frames, Ostrel4PoleFilter::kControlPeriod - intoPeriod, runs_[run].frames - lane.done});
            LaneWork& work = work_[static_cast<std::size_t>(i)];
            work.data = runs_[run].data + lane.done;
            work.noise = pending_[run].noise + lane.done;
            if (work.response <= 1.0)
                low = true;
            else
                high = true;
            lanes = i + 1;
        }
        if (lanes == 0)
            break;
        runLanes(lanes, frames, low && high ? kMixedSides : (high ? kHighSide : kLowSide));
        for (int i = 0; i < lanes; ++i) {
            if (!active_[static_cast<std::size_t>(i)])
                continue;
            Lane& lane = lanes_[static_cast<std::size_t>(i)];
            lane.done += frames;
            if (lane.done < runs_[lane.current()].frames)
                continue;
            leaveRun(i);
            if (!enterRun(i))
                idle(i);
        }
    }
}

void Ostrel4PoleFilterGroup::runLanes(int lanes, std::int32_t frames, int side) noexcept {
#if defined(__SSE2__)
    // One lane alone is one serial chain: the scalar code runs it as fast as any.
    if (useVector() && lanes > 1) {
        // Pairs of lanes; three templates per pair count.
        using Kernel = void (Ostrel4PoleFilterGroup::*)(std::int32_t) noexcept;
        static constexpr Kernel kKernels[4][3] = {{&Ostrel4PoleFilterGroup::runVector<1, kLowSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<1, kHighSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<1, kMixedSides>},
                                                  {&Ostrel4PoleFilterGroup::runVector<2, kLowSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<2, kHighSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<2, kMixedSides>},
                                                  {&Ostrel4PoleFilterGroup::runVector<3, kLowSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<3, kHighSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<3, kMixedSides>},
                                                  {&Ostrel4PoleFilterGroup::runVector<4, kLowSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<4, kHighSide>,
                                                   &Ostrel4PoleFilterGroup::runVector<4, kMixedSides>}};
        (this->*kKernels[(lanes - 1) / 2][side])(frames);
        return;
    }
#endif
    (void)side;
    using Kernel = void (Ostrel4PoleFilterGroup::*)(std::int32_t) noexcept;
    static constexpr Kernel kKernels[kLanes] = {
        &Ostrel4PoleFilterGroup::runPortable<1>, &Ostrel4PoleFilterGroup::runPortable<2>,
        &Ostrel4PoleFilterGroup::runPortable<3>, &Ostrel4PoleFilterGroup::runPortable<4>,
        &Ostrel4PoleFilterGroup::runPortable<5>, &Ostrel4PoleFilterGroup::runPortable<6>,
        &Ostrel4PoleFilterGroup::runPortable<7>, &Ostrel4PoleFilterGroup::runPortable<8>};
    (this->*kKernels[lanes - 1])(frames);
}

template <int kCount> void Ostrel4PoleFilterGroup::runPortable(std::int32_t frames) noexcept {
    // The lanes' working sets as locals, frames outside and lanes inside: the lanes' chains are
    // independent and overlap in the processor.
    const FunctionTable<double>& clip = instrumentTables().ladderClip;
    std::array<LaneWork, kCount> work;
    std::copy_n(work_.begin(), kCount, work.begin());
    for (std::int32_t f = 0; f < frames; ++f)
        for (LaneWork& w : work) {
            const double value = w.response <= 1.0
                                     ? Ostrel4PoleFilter::step<false>(w.data[f], w.noise[f], w.c, w.ladder,
                                                                      w.gain, w.response, clip)
                                     : Ostrel4PoleFilter::step<true>(w.data[f], w.noise[f], w.c, w.ladder,
                                                                     w.gain, w.response, clip);
            w.data[f] = static_cast<float>(value);
        }
    for (std::size_t i = 0; i < kCount; ++i)
        work_[i].ladder = work[i].ladder;
}

#if defined(__SSE2__)

namespace {

// Two lanes' values of one field, the first lane low.
inline __m128d pairOf(double a, double b) noexcept {
    return _mm_set_pd(b, a);
}

inline void storePair(__m128d v, double& a, double& b) noexcept {
    _mm_storel_pd(&a, v);
    _mm_storeh_pd(&b, v);
}

// The scalar code's operations lane by lane: the same IEEE operations in the same order give the same bits.
inline __m128d saturatePair(__m128d x) noexcept {
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), x);
    const __m128d shaped =
        _mm_add_pd(_mm_mul_pd(magnitude, _mm_add_pd(_mm_set1_pd(3.0), magnitude)), _mm_set1_pd(6.0));
    return _mm_div_pd(_mm_mul_pd(_mm_mul_pd(x, _mm_set1_pd(kSaturateGain)), shaped),
                      _mm_add_pd(magnitude, _mm_set1_pd(12.0)));
}

// FunctionTable::lookup for two lanes: the clamp as maximum and minimum (NaN gives the lower bound), the
// whole part rounded half to even by the current rounding mode, as the scalar conversion does.
inline __m128d lookupPair(const FunctionTable<double>& table, __m128d x) noexcept {
    const __m128d lo = _mm_set1_pd(table.getLo());
    x = _mm_min_pd(_mm_max_pd(x, lo), _mm_set1_pd(table.getHi()));
    const __m128d u = _mm_mul_pd(_mm_sub_pd(x, lo), _mm_set1_pd(static_cast<double>(table.getScale())));
    const __m128i whole = _mm_cvtpd_epi32(_mm_sub_pd(u, _mm_set1_pd(0.5)));
    const __m128d fraction = _mm_sub_pd(u, _mm_cvtepi32_pd(whole));
    const double* data = table.getData();
    const __m128d first = _mm_loadu_pd(data + _mm_cvtsi128_si32(whole));
    const __m128d second = _mm_loadu_pd(data + _mm_cvtsi128_si32(_mm_shuffle_epi32(whole, 1)));
    const __m128d at = _mm_unpacklo_pd(first, second);
    const __m128d next = _mm_unpackhi_pd(first, second);
    return _mm_add_pd(at, _mm_mul_pd(_mm_sub_pd(next, at), fraction));
}

} // namespace

template <int kPairs, int kSide> void Ostrel4PoleFilterGroup::runVector(std::int32_t frames) noexcept {
    const FunctionTable<double>& clip = instrumentTables().ladderClip;
    __m128d x1[kPairs], y1[kPairs], y2[kPairs], y3[kPairs], y4[kPairs];
    __m128d k0[kPairs], k1[kPairs], k2[kPairs], k3[kPairs], p0[kPairs], p1[kPairs], p2[kPairs], p3[kPairs];
    __m128d r[kPairs], gain[kPairs], response[kPairs], highSide[kPairs];
    float* data[2 * kPairs];
    const double* noise[2 * kPairs];
    for (int j = 0; j < kPairs; ++j) {
        const LaneWork& a = work_[2 * static_cast<std::size_t>(j)];
        const LaneWork& b = work_[2 * static_cast<std::size_t>(j) + 1];
        x1[j] = pairOf(a.ladder.x1, b.ladder.x1);
        y1[j] = pairOf(a.ladder.y1, b.ladder.y1);
        y2[j] = pairOf(a.ladder.y2, b.ladder.y2);
        y3[j] = pairOf(a.ladder.y3, b.ladder.y3);
        y4[j] = pairOf(a.ladder.y4, b.ladder.y4);
        k0[j] = pairOf(a.c.k[0], b.c.k[0]);
        k1[j] = pairOf(a.c.k[1], b.c.k[1]);
        k2[j] = pairOf(a.c.k[2], b.c.k[2]);
        k3[j] = pairOf(a.c.k[3], b.c.k[3]);
        p0[j] = pairOf(a.c.p[0], b.c.p[0]);
        p1[j] = pairOf(a.c.p[1], b.c.p[1]);
        p2[j] = pairOf(a.c.p[2], b.c.p[2]);
        p3[j] = pairOf(a.c.p[3], b.c.p[3]);
        r[j] = pairOf(a.c.r, b.c.r);
        gain[j] = pairOf(a.gain, b.gain);
        response[j] = pairOf(a.response, b.response);
        // The scalar code takes the high-pass side unless response <= 1.
        highSide[j] = _mm_cmpnle_pd(response[j], _mm_set1_pd(1.0));
        data[2 * j] = a.data;
        data[2 * j + 1] = b.data;
        noise[2 * j] = a.noise;
        noise[2 * j + 1] = b.noise;
    }
    for (std::int32_t f = 0; f < frames; ++f) {
        for (int j = 0; j < kPairs; ++j) {
            const __m128d last = y4[j];
            const __m128d feedback = _mm_add_pd(
                last, _mm_mul_pd(_mm_set1_pd(1.5),
                                 _mm_sub_pd(_mm_mul_pd(_mm_set1_pd(1.35), saturatePair(last)), last)));
            const __m128d in =
                _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(data[2 * j] + f), _mm_load_ss(data[2 * j + 1] + f)));
            const __m128d drawn = _mm_set_pd(noise[2 * j + 1][f], noise[2 * j][f]);
            const __m128d x = _mm_add_pd(_mm_sub_pd(in, _mm_mul_pd(r[j], feedback)),
                                         _mm_mul_pd(_mm_set1_pd(Ostrel4PoleFilter::kInputNoise), drawn));
            const __m128d a1 = _mm_sub_pd(_mm_mul_pd(_mm_add_pd(x, x1[j]), p0[j]), _mm_mul_pd(k0[j], y1[j]));
            const __m128d a2 = _mm_sub_pd(_mm_mul_pd(_mm_add_pd(y1[j], a1), p1[j]), _mm_mul_pd(k1[j], y2[j]));
            const __m128d a3 = _mm_sub_pd(_mm_mul_pd(_mm_add_pd(y2[j], a2), p2[j]), _mm_mul_pd(k2[j], y3[j]));
            const __m128d a4 = lookupPair(
                clip, _mm_sub_pd(_mm_mul_pd(_mm_add_pd(y3[j], a3), p3[j]), _mm_mul_pd(k3[j], last)));
            const __m128d bandPass = _mm_sub_pd(_mm_mul_pd(_mm_set1_pd(0.92), a3), a4);
            __m128d value;
            __m128d lowValue = _mm_setzero_pd();
            __m128d highValue = _mm_setzero_pd();
            if constexpr (kSide != kHighSide) {
                const __m128d lowPass = _mm_add_pd(a4, _mm_mul_pd(gain[j], last));
                lowValue = _mm_add_pd(lowPass, _mm_mul_pd(response[j], _mm_sub_pd(bandPass, lowPass)));
            }
            if constexpr (kSide != kLowSide) {
                const __m128d highPass = _mm_mul_pd(
                    _mm_set1_pd(-0.25),
                    _mm_sub_pd(_mm_sub_pd(x, a4), _mm_mul_pd(_mm_set1_pd(2.0), _mm_sub_pd(a3, a4))));
                highValue = _mm_add_pd(bandPass, _mm_mul_pd(_mm_sub_pd(response[j], _mm_set1_pd(1.0)),
                                                            _mm_sub_pd(highPass, bandPass)));
            }
            if constexpr (kSide == kLowSide)
                value = lowValue;
            else if constexpr (kSide == kHighSide)
                value = highValue;
            else
                value = _mm_or_pd(_mm_and_pd(highSide[j], highValue), _mm_andnot_pd(highSide[j], lowValue));
            const __m128 out = _mm_cvtpd_ps(value);
            _mm_store_ss(data[2 * j] + f, out);
            _mm_store_ss(data[2 * j + 1] + f, _mm_shuffle_ps(out, out, 1));
            x1[j] = x;
            y1[j] = a1;
            y2[j] = a2;
            y3[j] = a3;
            y4[j] = a4;
        }
    }
    for (int j = 0; j < kPairs; ++j) {
        LaneWork& a = work_[2 * static_cast<std::size_t>(j)];
        LaneWork& b = work_[2 * static_cast<std::size_t>(j) + 1];
        storePair(x1[j], a.ladder.x1, b.ladder.x1);
        storePair(y1[j], a.ladder.y1, b.ladder.y1);
        storePair(y2[j], a.ladder.y2, b.ladder.y2);
        storePair(y3[j], a.ladder.y3, b.ladder.y3);
        storePair(y4[j], a.ladder.y4, b.ladder.y4);
    }
}

#endif

} // namespace trov
