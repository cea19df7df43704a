#pragma once

#include <wavpack/wavpack.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace trov::test {

// Encodes a WavPack file with the library's encoder: values interleaved, right-justified integers (or
// float bit patterns). With an unknown length the file does not say how many frames it holds.
struct WavPackFile {
    int channels = 1;
    int bytesPerSample = 2;
    int sampleRate = 44100;
    bool isFloat = false;
    bool unknownLength = false;
    std::vector<std::int32_t> values;

    bool write(const std::string& path) const {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr)
            return false;
        WavpackContext* context = WavpackOpenFileOutput(
            [](void* id, void* data, std::int32_t count) {
                return static_cast<int>(std::fwrite(data, 1, static_cast<std::size_t>(count),
                                                    static_cast<std::FILE*>(id)) == static_cast<std::size_t>(count));
            },
            out, nullptr);
        WavpackConfig config{};
        config.bytes_per_sample = bytesPerSample;
        config.bits_per_sample = bytesPerSample * 8;
        config.num_channels = channels;
        config.channel_mask = channels == 1 ? 4 : (1 << channels) - 1;
        config.sample_rate = sampleRate;
        config.float_norm_exp = isFloat ? 127 : 0;
        const std::int64_t frames = static_cast<std::int64_t>(values.size()) / channels;
        std::vector<std::int32_t> copy = values;
        const bool ok = WavpackSetConfiguration64(context, &config, unknownLength ? -1 : frames, nullptr) &&
                        WavpackPackInit(context) &&
                        WavpackPackSamples(context, copy.data(), static_cast<std::uint32_t>(frames)) &&
                        WavpackFlushSamples(context);
        WavpackCloseFile(context);
        std::fclose(out);
        return ok;
    }
};

} // namespace trov::test
