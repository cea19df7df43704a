#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trov {

class Dictionary;
class File;

// A keyboard tuning: maps a MIDI key and a detune in cents to a frequency through a table of scale-degree
// ratios whose last entry is the period (the octave for ordinary scales), anchored at one key and base
// frequency. The plug-in keeps a list of tunings; banks store them as dictionaries.
//
// A tuning gives its base frequency to the key just below its anchor (its first ratio is already one
// degree up), so `anchorForKey` names the anchor that puts a key at the base frequency in any scale.
// Threads: built and edited on the user-interface thread; `getFrequency` may be called from any thread
// while no edit runs.
class Tuning {
public:
    static constexpr const char* kDefaultDescription = "Equal Temperament";
    static constexpr double kDefaultFrequency = 6.875;
    // The reference pitch: key 57 (A in this keyboard's numbering, the key the master tuning names) at
    // 440 Hz. A sample's root key is heard against its tuning at this pitch, whatever the master tuning.
    static constexpr std::int32_t kReferenceKey = 57;
    static constexpr double kReferenceFrequency = 440.0;

    static constexpr std::int32_t anchorForKey(std::int32_t key) noexcept { return key + 1; }
    // Hz of key detuned by cents in twelve equal steps at the reference pitch: what an equal-tempered
    // tuning anchored at kReferenceKey and kReferenceFrequency answers, to the bit. Any thread; no
    // allocation.
    static double referenceFrequency(int key, double cents) noexcept;

    // No ratios yet: every key reads 0 Hz until a scale is set.
    Tuning() = default;
    Tuning(const Tuning&) = default;
    Tuning& operator=(const Tuning&) = default;
    virtual ~Tuning();

    // Twelve equal steps per octave: 2^(1/12) .. 2.
    virtual void setEqualTemperament();
    // Reads a scale file; the plain tuning reads none.
    virtual bool load(const File& file);
    // Replaces the tuning by the dictionary's "description", "anchor", "frequency" and "factor" entries.
    virtual bool read(const Dictionary& dictionary);
    // Writes the tuning; the "factor" entries are appended, so write into a dictionary of its own.
    virtual bool write(Dictionary& dictionary) const;

    // Tunings are told apart by their descriptions.
    bool operator==(const Tuning& other) const { return description_ == other.description_; }
    bool operator!=(const Tuning& other) const { return !(*this == other); }

    const std::string& getDescription() const { return description_; }
    void setDescription(const std::string& description) { description_ = description; }
    void setAnchor(std::int32_t key, double frequency);
    std::int32_t getAnchor() const { return anchor_; }
    double getBaseFrequency() const { return frequency_; }
    const std::vector<double>& getRatios() const { return ratios_; }

    // Hz of key detuned by cents; 0 without ratios. Keys below the anchor fall into lower periods.
    double getFrequency(int key, double cents) const noexcept;
    // The same with pitchKey at pitchFrequency in place of the own anchor and base frequency.
    double getFrequencyWithKeyAt(std::int32_t pitchKey, double pitchFrequency, int key,
                                 double cents) const noexcept;

protected:
    std::string description_ = kDefaultDescription;
    std::vector<double> ratios_;
    std::int32_t anchor_ = 0;
    double frequency_ = kDefaultFrequency;

private:
    double frequencyAnchoredAt(std::int32_t anchor, double base, int key, double cents) const noexcept;
};

} // namespace trov
