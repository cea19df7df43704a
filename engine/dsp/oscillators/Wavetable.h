#pragma once

#include <cstdint>
#include <vector>

namespace trov {

// Band-limited one-cycle tables: level 0 holds the full cycle, each further level half as many values,
// derived from the one above through the 2x decimator. Every level ends with a guard, a copy of its first
// value, so a reader interpolating between a value and the next never leaves the level. A reader selects
// the level for its frequency and reads the selected level's `getLength` values (plus the guard).
//
// Owned by its oscillator or LFO (a table may be read by another LFO that does not own it). Built on the
// user-interface thread; `selectLevel`, `refresh` and the reads run on the audio thread of its reader.
// Changing the range rewrites the values and belongs between blocks.
class Wavetable {
public:
    // Levels are derived while the last one holds at least this many values.
    static constexpr std::int32_t kMinDerivedFrom = 8;

    Wavetable() = default;
    virtual ~Wavetable();
    Wavetable(const Wavetable&) = delete;
    Wavetable& operator=(const Wavetable&) = delete;

    // Has `build` fill level 0, derives the shorter levels, adds the guards and maps the values from
    // -1..1 to the table's range.
    void buildLevels();

    // Maps every value linearly from the current range to the new one. An empty (max = min) or non-finite
    // range is refused (false).
    bool setRange(float min, float max) noexcept;
    float getRangeMin() const noexcept { return rangeMin_; }
    float getRangeMax() const noexcept { return rangeMax_; }

    // Selects, from the shortest level toward level 0, the first level holding at least half the samples
    // of one period (sampleRate / frequency); level 0 when none does, or for a frequency <= 0.
    void selectLevel(double frequency, double sampleRate) noexcept;
    int getSelectedLevel() const noexcept { return selected_; }
    int getLevelCount() const noexcept { return static_cast<int>(levels_.size()); }
    // Values of the selected level without its guard; 0 without levels.
    std::int32_t getLength() const noexcept;
    // The selected level's values, guard included; null without levels.
    const float* getData() const noexcept;
    // One level, guard included (empty for an index out of range).
    const std::vector<float>& getLevel(int index) const noexcept;

    // Brings the values up to date with settings changed from another thread; readers call it at the start
    // of every block.
    virtual void refresh() noexcept {}

protected:
    // Fills the level with one cycle of values in -1..1, without a guard. Derived levels need an even
    // count; a power of two gives them all.
    virtual void build(std::vector<float>& level) = 0;

    std::vector<std::vector<float>>& levels() noexcept { return levels_; }
    // Copies every level's first value into its guard.
    void writeGuards() noexcept;

private:
    std::vector<std::vector<float>> levels_;
    float rangeMin_ = -1.0f;
    float rangeMax_ = 1.0f;
    int selected_ = 0;
};

} // namespace trov
