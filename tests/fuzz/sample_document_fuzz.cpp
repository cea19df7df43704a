// fuzz-links: trov_engine
// Reads arbitrary text as a sample's dictionary and, the same bytes, as its ".mrk" slice side file. Whatever
// is read must keep the sample's invariants: positions and slices inside the data, the guard after the
// last frame, mono data.
#include "engine/Sample.h"
#include "framework/Dictionary.h"
#include "framework/File.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkInvariants(const trov::Sample& sample) {
    const trov::SampleInfo info = sample.getInfo();
    if (info.data == nullptr || info.frames <= 0)
        return;
    check(info.channels == 1);
    check(std::memcmp(&info.data[info.frames], &info.data[0], sizeof(float)) == 0);
    const std::int32_t last = info.frames - 1;
    check(sample.getStart() >= 0 && sample.getStart() <= last);
    check(sample.getEnd() >= 0 && sample.getEnd() <= last);
    check(sample.getLoop().start >= 0 && sample.getLoop().start <= last);
    check(sample.getLoop().end >= 0 && sample.getLoop().end <= last);
    for (int i = 0; i < sample.getSliceCount(); ++i) {
        const trov::Sample::Slice slice = sample.getSlice(i);
        check(slice.start >= 0 && slice.start <= slice.end && slice.end <= last);
    }
    sample.getValue(0, static_cast<float>(info.frames));
}

const std::string& sideFileFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "trov-sample-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return pattern;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    trov::Sample sample;
    try {
        sample.fromDictionary(trov::Dictionary(text));
    } catch (const trov::Exception::SampleDataCorrupt&) {
        check(sample.getData() == nullptr && sample.getInfo().frames == 0);
        return 0;
    }
    checkInvariants(sample);

    const std::string folder = sideFileFolder();
    std::ofstream(folder + "/audio.mrk", std::ios::binary | std::ios::trunc) << text;
    sample.loadSliceFile(trov::File(folder + "/audio.wav"));
    checkInvariants(sample);
    return 0;
}
