// Loading and saving a 10-second 24-bit stereo WAV file through our reader and writer, against libsndfile
// reading and writing the same file in the same run; and refusing a 30 MB file of zeros after a RIFF/WAVE
// header (empty chunks of 8 bytes each, no format chunk), against reading that file once.
#include "engine/samples/Sample.h"
#include "engine/samples/SampleWav.h"
#include "framework/File.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 10 * kRate;
constexpr int kChannels = 2;

std::string benchPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            ("trov-wavbench-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

std::vector<float> makeSignal() {
    std::vector<float> values(static_cast<std::size_t>(kFrames) * kChannels);
    for (int i = 0; i < kFrames; ++i) {
        const float t = static_cast<float>(i) / kRate;
        values[2 * i] = 0.7f * std::sin(6.2831853f * 220.0f * t);
        values[2 * i + 1] = 0.5f * std::sin(6.2831853f * 331.0f * t + 0.3f);
    }
    return values;
}

// The stereo signal as a 24-bit sample, as a recording would hold it before it is saved.
trov::SampleWav makeSample(const std::vector<float>& values) {
    trov::SampleInfo info;
    info.layout = trov::SampleInfo::kInterleaved;
    info.channels = kChannels;
    info.frames = kFrames;
    info.bitDepth = 24;
    info.sampleRate = kRate;
    info.data = const_cast<float*>(values.data());
    return trov::SampleWav(trov::Sample(nullptr, info));
}

// The file every load benchmark reads, written once by our writer and removed at exit.
struct SourceFile {
    SourceFile() : path(benchPath("source.wav")) {
        trov::File target(path);
        makeSample(makeSignal()).save(target);
    }
    ~SourceFile() { std::filesystem::remove(path); }
    std::string path;
};

const std::string& sourceFile() {
    static const SourceFile source;
    return source.path;
}

// SampleWav reads with our reader, the plain Sample through libsndfile.
template <class Reader> void BM_Load(benchmark::State& state) {
    const trov::File file(sourceFile());
    for (auto _ : state) {
        Reader sample;
        if (sample.load(file, true).failed())
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(sample.getData());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK_TEMPLATE(BM_Load, trov::SampleWav)->Name("BM_LoadOurReader")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Load, trov::Sample)->Name("BM_LoadThroughLibsndfile")->Unit(benchmark::kMillisecond);

void BM_SaveOurWriter(benchmark::State& state) {
    const std::vector<float> values = makeSignal();
    const trov::SampleWav sample = makeSample(values);
    trov::File file(benchPath("ours.wav"));
    for (auto _ : state)
        if (sample.save(file).failed())
            state.SkipWithError("save failed");
    std::filesystem::remove(file.getPath());
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_SaveOurWriter)->Unit(benchmark::kMillisecond);

// The reference: libsndfile writing the same 24-bit stereo file.
void BM_SaveThroughLibsndfile(benchmark::State& state) {
    const std::vector<float> values = makeSignal();
    const std::string path = benchPath("libsndfile.wav");
    for (auto _ : state) {
        SF_INFO info{};
        info.channels = kChannels;
        info.samplerate = kRate;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (file == nullptr || sf_writef_float(file, values.data(), kFrames) != kFrames)
            state.SkipWithError("save failed");
        if (file != nullptr)
            sf_close(file);
    }
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_SaveThroughLibsndfile)->Unit(benchmark::kMillisecond);

// A RIFF/WAVE header and then zeros, 30 MB in all, written once and removed at exit.
struct ZerosFile {
    ZerosFile() : path(benchPath("zeros.wav")) {
        std::ofstream out(path, std::ios::binary);
        const std::vector<char> zeros(1 << 20, 0);
        out.write("RIFF\0\0\0\0WAVE", 12);
        for (int i = 0; i < 30; ++i)
            out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    }
    ~ZerosFile() { std::filesystem::remove(path); }
    std::string path;
};

const std::string& zerosFile() {
    static const ZerosFile zeros;
    return zeros.path;
}

void BM_RefuseZerosOurReader(benchmark::State& state) {
    const trov::File file(zerosFile());
    for (auto _ : state) {
        trov::SampleWav sample;
        if (!sample.load(file, true).failed())
            state.SkipWithError("a file of zeros loaded");
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(zerosFile())));
}
BENCHMARK(BM_RefuseZerosOurReader)->Unit(benchmark::kMillisecond);

// The reference: the same file read once, in blocks of 64 KiB.
void BM_ReadZerosOnce(benchmark::State& state) {
    std::vector<char> block(1 << 16);
    for (auto _ : state) {
        std::ifstream in(zerosFile(), std::ios::binary);
        while (in.read(block.data(), static_cast<std::streamsize>(block.size())))
            benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(zerosFile())));
}
BENCHMARK(BM_ReadZerosOnce)->Unit(benchmark::kMillisecond);

} // namespace
