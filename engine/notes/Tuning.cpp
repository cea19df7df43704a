#include "engine/notes/Tuning.h"

#include "framework/Dictionary.h"

#include <cmath>

namespace trov {

Tuning::~Tuning() = default;

void Tuning::setEqualTemperament() {
    ratios_.clear();
    for (int i = 1; i <= 12; ++i)
        ratios_.push_back(std::pow(2.0, i / 12.0));
}

bool Tuning::load(const File& /*file*/) {
    return false;
}

bool Tuning::read(const Dictionary& dictionary) {
    ratios_.clear();
    dictionary.getString("description", &description_);
    dictionary.getInteger("anchor", &anchor_);
    dictionary.getDouble("frequency", &frequency_);
    double factor = 0.0;
    for (int i = 0; dictionary.getDouble("factor", &factor, i); ++i)
        ratios_.push_back(factor);
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

double Tuning::getFrequency(int key, double cents) const {
    if (ratios_.empty())
        return 0.0;
    const std::int64_t n = static_cast<std::int64_t>(ratios_.size());
    const std::int64_t distance = std::int64_t{key} - anchor_;
    // Whole periods below or above the anchor (rounded down), and the degree within the period.
    std::int64_t octave = distance / n;
    std::int64_t step = distance % n;
    if (step < 0) {
        step += n;
        --octave;
    }
    return std::pow(2.0, cents * 0.0008333333333333334) * frequency_ *
           ratios_[static_cast<std::size_t>(step)] * std::pow(ratios_.back(), static_cast<double>(octave));
}

} // namespace trov
