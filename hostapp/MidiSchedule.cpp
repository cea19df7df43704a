#include "hostapp/MidiSchedule.h"

#include <algorithm>
#include <limits>

namespace corvale::hostapp {

namespace {

using Wide = unsigned __int128;

constexpr std::uint32_t kDefaultTempo = 500000; // microseconds per quarter note: 120 beats per minute

std::int64_t roundedQuotient(Wide numerator, Wide denominator) {
    const Wide quotient = (numerator + denominator / 2) / denominator;
    const auto largest = static_cast<Wide>(std::numeric_limits<std::int64_t>::max());
    return quotient > largest ? std::numeric_limits<std::int64_t>::max()
                              : static_cast<std::int64_t>(quotient);
}

// Maps ticks in ascending order to frames. Time is kept in microseconds times ticks per quarter, so every
// tempo segment adds an exact integer.
class TickClock {
public:
    TickClock(const MidiFile& file, std::uint32_t sampleRate) : division_(file.division), rate_(sampleRate) {
        if (!division_.smpte) {
            tempos_ = file.tempoChanges;
            std::stable_sort(
                tempos_.begin(), tempos_.end(),
                [](const MidiTempoChange& a, const MidiTempoChange& b) { return a.tick < b.tick; });
        }
    }

    // ticks must not decrease from one call to the next.
    std::int64_t frameAt(std::int64_t tick) {
        if (division_.smpte) {
            // 29 stands for drop-frame 29.97 = 30000 / 1001 frames per second.
            const bool drop = division_.framesPerSecond == 29;
            const Wide perSecondNumerator = drop ? 30000 : division_.framesPerSecond;
            const Wide perSecondDenominator = drop ? 1001 : 1;
            return roundedQuotient(Wide(tick) * rate_ * perSecondDenominator,
                                   perSecondNumerator * division_.ticksPerFrame);
        }
        while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
            elapsed_ += Wide(tempos_[next_].tick - segmentTick_) * tempo_;
            segmentTick_ = tempos_[next_].tick;
            tempo_ = tempos_[next_].microsecondsPerQuarter;
            ++next_;
        }
        const Wide time = elapsed_ + Wide(tick - segmentTick_) * tempo_;
        return roundedQuotient(time * rate_, Wide(division_.ticksPerQuarter) * 1000000u);
    }

private:
    MidiDivision division_;
    std::uint32_t rate_;
    std::vector<MidiTempoChange> tempos_;
    std::size_t next_ = 0;
    std::int64_t segmentTick_ = 0;
    std::uint32_t tempo_ = kDefaultTempo;
    Wide elapsed_ = 0;
};

} // namespace

MidiSchedule scheduleMidiFile(const MidiFile& file, std::uint32_t sampleRate) {
    MidiSchedule schedule;
    if (sampleRate == 0 || (!file.division.smpte && file.division.ticksPerQuarter == 0) ||
        (file.division.smpte && (file.division.framesPerSecond == 0 || file.division.ticksPerFrame == 0)))
        return schedule;
    std::vector<MidiFileEvent> merged = file.events;
    std::stable_sort(merged.begin(), merged.end(), [](const MidiFileEvent& a, const MidiFileEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
    });
    TickClock clock(file, sampleRate);
    schedule.events.reserve(merged.size());
    for (const MidiFileEvent& event : merged)
        schedule.events.push_back({clock.frameAt(event.tick), event.status, event.data1, event.data2});
    schedule.endFrame = clock.frameAt(std::max(file.endTick, merged.empty() ? 0 : merged.back().tick));
    return schedule;
}

} // namespace corvale::hostapp
