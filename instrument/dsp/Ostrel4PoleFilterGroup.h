#pragma once

#include "instrument/dsp/Ostrel4PoleFilter.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace trov {

// Runs the four-pole filters of up to eight voices side by side. One filter's ladder is a single serial
// chain in double precision, bound by the latency of each step; eight independent chains interleaved keep
// the processor busy. Every lane does exactly what `Ostrel4PoleFilter::processAt` does for its filter, in
// the same operations and order, with its own coefficients and state, so each voice's output is the same
// to the bit.
//
// A voice queues its filter's runs (one per sub-block, filtered in place) at the point of its chain where
// it would call `processAt`; the run's input noise is drawn from the process-wide generator then, so every
// voice draws in the order it always did. `process` then filters every queued run, lane by lane in queue
// order, with the control period, modulation, LFO and blow-up recovery of `processAt`.
//
// Owned by an engine, sized on the set-up thread (`reserve`); `queue`, `process` and `clear` on the audio
// thread: noexcept, no allocation, lock or log. The filters and the queued data must outlive `process`.
class Ostrel4PoleFilterGroup {
public:
    static constexpr int kLanes = 8;

    // How the lanes are computed: the vector unit (SSE2, two lanes per register), or portable scalar code.
    // Both give the bits of `processAt`. Automatic takes the vector unit where the build has one.
    enum class Path { Automatic, Portable, Vector };
    static void setPath(Path path) noexcept;

    // A queued run: the frames filtered in place.
    struct Run {
        float* data = nullptr;
        std::int32_t frames = 0;
    };

    Ostrel4PoleFilterGroup() = default;
    Ostrel4PoleFilterGroup(const Ostrel4PoleFilterGroup&) = delete;
    Ostrel4PoleFilterGroup& operator=(const Ostrel4PoleFilterGroup&) = delete;

    // Room for eight filters, each of up to `frames` frames in up to `runs` runs. Allocates; empties the
    // group.
    void reserve(std::int32_t frames, std::int32_t runs);
    std::int32_t getFrameCapacity() const noexcept { return frameCapacity_; }
    // Whether one more filter of that many frames in that many runs fits.
    bool hasRoom(std::int32_t frames, std::int32_t runs) const noexcept;

    // Queues a run of the filter over `frames` frames of data, as `processAt` over a channel of them at the
    // block's `offset` would filter them, and draws the run's noise now. A filter's runs are queued one
    // after the other (another filter's run starts the next lane). False, with nothing drawn, when the
    // group has no room for it.
    bool queue(Ostrel4PoleFilter& filter, float* data, std::int32_t frames, std::int32_t offset) noexcept;
    // Filters every queued run. The runs stay listed until `clear`.
    void process() noexcept;
    void clear() noexcept;

    int getLaneCount() const noexcept { return laneCount_; }
    // The filter's runs as queued; empty when it has none.
    std::span<const Run> runsOf(const Ostrel4PoleFilter& filter) const noexcept;

private:
    // What a run needs besides its data: where processAt's modulation is read, and its noise.
    struct Pending {
        std::int32_t offset = 0;
        const double* noise = nullptr;
        Ostrel4PoleFilter::Modulation modulation;
    };
    struct Lane {
        Ostrel4PoleFilter* filter = nullptr;
        std::int32_t firstRun = 0;
        std::int32_t runCount = 0;
        std::int32_t noiseUsed = 0;
        // While processing: the run and the frame within it.
        std::int32_t run = 0;
        std::int32_t done = 0;
        std::size_t current() const noexcept {
            return static_cast<std::size_t>(firstRun) + static_cast<std::size_t>(run);
        }
    };

    // What the kernels read and step, per lane.
    struct LaneWork {
        Ostrel4PoleFilter::Ladder ladder;
        Ostrel4PoleFilter::Coefficients c;
        double gain = 0.0;
        double response = 0.0;
        float* data = nullptr;
        const double* noise = nullptr;
    };

    // Takes the lane's filter at its next run; false when none is left (the lane then idles).
    bool enterRun(int lane) noexcept;
    // The filter's cutoff for the period starting at the run's current frame, and its coefficients.
    void enterPeriod(int lane) noexcept;
    // Gives the run's ladder back to its filter, which recovers from a blow-up as after processAt.
    void leaveRun(int lane) noexcept;
    // A lane without a run reads and writes silence with zero coefficients.
    void idle(int lane) noexcept;
    // Filters `frames` frames (at most a control period) of the lanes below `lanes`.
    void runLanes(int lanes, std::int32_t frames, int side) noexcept;
    template <int kCount> void runPortable(std::int32_t frames) noexcept;
    template <int kPairs, int kSide> void runVector(std::int32_t frames) noexcept;

    std::int32_t frameCapacity_ = 0;
    std::int32_t runCapacity_ = 0;
    int laneCount_ = 0;
    std::array<Lane, kLanes> lanes_{};
    std::array<bool, kLanes> active_{};
    std::array<LaneWork, kLanes> work_{};
    std::vector<Run> runs_;        // runCapacity_ per lane
    std::vector<Pending> pending_; // beside runs_
    std::vector<double> noise_;    // frameCapacity_ per lane
    // Where idle lanes read and write: one control period of silence.
    std::array<float, Ostrel4PoleFilter::kControlPeriod> idleData_{};
    std::array<double, Ostrel4PoleFilter::kControlPeriod> idleNoise_{};
};

} // namespace trov
