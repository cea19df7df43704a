#include "engine/notes/Tuning.h"

#include "framework/Dictionary.h"

#include <cmath>

namespace trov {

namespace {

// Hz of key detuned by cents in a scale of n degrees whose degree i has ratio(i) and whose period is
// ratio(n - 1), with the base frequency given to the key below the anchor.
template <class Ratio>
double scaleFrequency(std::int64_t n, const Ratio& ratio, std::int32_t anchor, double base, int key,
                      double cents) noexcept {
    const std::int64_t distance = std::int64_t{key} - anchor;
    // Whole periods below or above the anchor (rounded down), and the degree within the period.
    std::int64_t octave = distance / n;
    std::int64_t step = distance % n;
    if (step < 0) {
        step += n;
        --octave;
    }
    return std::pow(2.0, cents * 0.0008333333333333334) * base * ratio(step) *
           std::pow(ratio(n - 1), static_cast<double>(octave));
}

// Degree i of twelve equal steps, as setEqualTemperament computes it.
double equalStep(std::int64_t i) noexcept {
    return std::pow(2.0, static_cast<double>(static_cast<int>(i) + 1) / 12.0);
}

} // namespace

Tuning::~Tuning() = default;

double Tuning::referenceFrequency(int key, double cents) noexcept {
    return scaleFrequency(12, equalStep, anchorForKey(kReferenceKey), kReferenceFrequency, key, cents);
}

void Tuning::setEqualTemperament() {
    ratios_.clear();
    for (int i = 0; i < 12; ++i)
        ratios_.push_back(equalStep(i));
}

bool Tuning::load(const File& /*file*/) {
    return false;
}

bool Tuning::read(const Dictionary& dictionary) {
    dictionary.getString("description", &description_);
    dictionary.getInteger("anchor", &anchor_);
    dictionary.getDouble("frequency", &frequency_);
    ratios_ = dictionary.getDoubles("factor");
    return true;
}

bool Tuning::write(Dictionary& dictionary) const {
    dictionary.setString("description", description_);
    dictionary.setInteger("anchor", anchor_);
    dictionary.setDouble("frequency", frequency_);
    for (double ratio : ratios_)
        dictionary.setDouble("factor", ratio, 0, false);
    return true;
}

void Tuning::setAnchor(std::int32_t key, double frequency) {
    anchor_ = key;
    frequency_ = frequency;
}

double Tuning::getFrequency(int key, double cents) const noexcept {
    return frequencyAnchoredAt(anchor_, frequency_, key, cents);
}

double Tuning::getFrequencyWithKeyAt(std::int32_t pitchKey, double pitchFrequency, int key,
                                     double cents) const noexcept {
    return frequencyAnchoredAt(anchorForKey(pitchKey), pitchFrequency, key, cents);
}

double Tuning::frequencyAnchoredAt(std::int32_t anchor, double base, int key, double cents) const noexcept {
    if (ratios_.empty())
        return 0.0;
    const auto ratio = [this](std::int64_t i) { return ratios_[static_cast<std::size_t>(i)]; };
    return scaleFrequency(static_cast<std::int64_t>(ratios_.size()), ratio, anchor, base, key, cents);
}

} // namespace trov
