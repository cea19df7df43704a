#pragma once

// What the sample-file fuzz targets share: a scratch folder for the files the readers open, and the
// invariants every loaded sample keeps.
#include "FuzzScratch.h"
#include "engine/samples/Sample.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace trov::fuzz {

inline void check(bool condition) {
    if (!condition)
        std::abort();
}

// Writes the bytes to name in the scratch folder and returns the file's path.
inline std::string writeScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::string path = ScratchFolder::path() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

// A sample class with its buffer's size in view.
template <typename Base> class Probe : public Base {
public:
    using Base::getDataCapacity;
};

// A sample holding data: mono, the guard after the last frame, start, end, loop points and slices inside it.
inline void checkHeldData(const Sample& sample) {
    const SampleInfo& info = sample.getInfo();
    check(info.data != nullptr && info.frames > 0 && info.channels == 1);
    check(std::memcmp(&info.data[info.frames], &info.data[0], sizeof(float)) == 0);
    const std::int32_t last = info.frames - 1;
    check(sample.getStart() >= 0 && sample.getStart() <= last);
    check(sample.getEnd() >= 0 && sample.getEnd() <= last);
    check(sample.getLoop().start >= 0 && sample.getLoop().start <= last);
    check(sample.getLoop().end >= 0 && sample.getLoop().end <= last);
    for (int i = 0; i < sample.getSliceCount(); ++i) {
        const Sample::Slice slice = sample.getSlice(i);
        check(slice.start >= 0 && slice.start <= slice.end && slice.end <= last);
    }
    sample.getValue(0, static_cast<float>(info.frames));
}

// A sample a file reader loaded: held data, a loop that runs forward and a root note that is a MIDI key.
inline void checkLoadedFile(const Sample& sample) {
    checkHeldData(sample);
    check(sample.getLoop().start <= sample.getLoop().end);
    check(sample.getRootNote() >= 0 && sample.getRootNote() <= 127);
}

// A freshly loaded sample keeps no more buffer than its frames and the guard.
template <typename Base> void checkTrimmed(const Probe<Base>& sample) {
    check(sample.getDataCapacity() == static_cast<std::size_t>(sample.getInfo().frames) + 1);
}

} // namespace trov::fuzz
