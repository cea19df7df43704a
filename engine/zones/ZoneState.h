#pragma once

#include "engine/samples/Sample.h"
#include "framework/Range.h"

#include <array>
#include <cstdint>

namespace trov {

// What a note reads of a zone, as one consistent copy (`Zone::readState`): the sample it plays, its first
// loop, its key range, its first slices and its stored values of the zone-scope parameters. A value is
// kept as each of the zone's typed readers gives it (`Zone::getParameterLong`, `getParameterBool`,
// `getParameterFloat`), at a slot found once by name (`Zone::valueSlot`). Plain data: copying it neither
// allocates nor locks.
struct ZoneState {
    static constexpr int kMaxValues = 32;
    // The values every zone keeps at these slots, whatever its settings: what the engine's players read.
    // The settings' other zone-scope parameters follow in their order.
    enum FixedSlot {
        kSampleStart,
        kSampleEnd,
        kSampleRootNote,
        kSampleDetuneCoarse,
        kSampleDetuneFine,
        kFixed
    };
    static constexpr const char* kFixedNames[kFixed] = {"SampleStart", "SampleEnd", "SampleRootNote",
                                                        "SampleDetuneCoarse", "SampleDetuneFine"};
    // Enough for any key of a zone: a sliced zone plays slice (key - low key).
    static constexpr int kMaxSlices = 128;

    struct Value {
        std::int32_t asLong = 0;
        float asFloat = 0.0f;
        bool asBool = false;
        bool present = false;
    };

    Sample* sample = nullptr; // held by the zone for as long as a holder of the zone may read it
    Sample::Loop loop{};
    KeyRange range{};
    std::int32_t sliceCount = 0; // the zone's, though only the first kMaxSlices are kept here
    std::array<Sample::Slice, kMaxSlices> slices{};
    std::array<Value, kMaxValues> values{};

    // {0, 0} out of range, as `Zone::getSlice`.
    Sample::Slice getSlice(int index) const noexcept {
        return index >= 0 && index < sliceCount && index < kMaxSlices
                   ? slices[static_cast<std::size_t>(index)]
                   : Sample::Slice{};
    }
    // A slot that names no value (negative, or beyond the values) reads as a value the zone lacks.
    const Value& value(int slot) const noexcept {
        static constexpr Value kAbsent{};
        return slot >= 0 && slot < kMaxValues ? values[static_cast<std::size_t>(slot)] : kAbsent;
    }
    std::int32_t getLong(int slot) const noexcept { return value(slot).asLong; }
    bool getBool(int slot) const noexcept { return value(slot).asBool; }
    float getFloat(int slot) const noexcept { return value(slot).asFloat; }
    bool has(int slot) const noexcept { return value(slot).present; }
};

} // namespace trov
