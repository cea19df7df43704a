#pragma once

// Sample files written byte by byte (or through the WavPack and libsndfile encoders) for tests: whole ones
// of each kind the readers take, and the pieces to build broken ones.

#include <sndfile.h>
#include <wavpack/wavpack.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace trov::test {

// Fields of the given byte widths, most significant byte first.
inline std::string bigEndianFields(std::initializer_list<std::pair<std::uint64_t, int>> fields) {
    std::string out;
    for (const auto& [value, width] : fields)
        for (int i = width - 1; i >= 0; --i)
            out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

// Fields of the given byte widths, least significant byte first.
inline std::string littleEndianFields(std::initializer_list<std::pair<std::uint64_t, int>> fields) {
    std::string out;
    for (const auto& [value, width] : fields)
        for (int i = 0; i < width; ++i)
            out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

// An IFF chunk (AIFF): big-endian size.
inline std::string iffChunk(const char* id, const std::string& body) {
    return id + bigEndianFields({{body.size(), 4}}) + body +
           (body.size() % 2 != 0 ? std::string(1, '\0') : "");
}

// A RIFF chunk (WAV): little-endian size.
inline std::string riffChunk(const char* id, const std::string& body) {
    return id + littleEndianFields({{body.size(), 4}}) + body +
           (body.size() % 2 != 0 ? std::string(1, '\0') : "");
}

// 16-bit values of a ramp through both signs, one per frame.
inline std::vector<std::int16_t> rampValues(int frames) {
    std::vector<std::int16_t> values;
    for (int i = 0; i < frames; ++i)
        values.push_back(static_cast<std::int16_t>((i * 997) % 20000 - 10000));
    return values;
}

// A mono 16-bit WAV file at 44.1 kHz, with a sampler chunk holding one loop when loopEnd > 0.
inline std::string monoWav16(const std::vector<std::int16_t>& values, std::uint32_t loopStart = 0,
                             std::uint32_t loopEnd = 0) {
    std::string data;
    for (std::int16_t v : values)
        data += littleEndianFields({{static_cast<std::uint16_t>(v), 2}});
    std::string chunks =
        riffChunk("fmt ", littleEndianFields({{1, 2}, {1, 2}, {44100, 4}, {88200, 4}, {2, 2}, {16, 2}})) +
        riffChunk("data", data);
    if (loopEnd > 0)
        chunks += riffChunk("smpl", littleEndianFields({{0, 4},
                                                        {0, 4},
                                                        {22676, 4},
                                                        {60, 4},
                                                        {0, 4},
                                                        {0, 4},
                                                        {0, 4},
                                                        {1, 4},
                                                        {0, 4},
                                                        {0, 4},
                                                        {0, 4},
                                                        {loopStart, 4},
                                                        {loopEnd, 4},
                                                        {0, 4},
                                                        {0, 4}}));
    return "RIFF" + littleEndianFields({{chunks.size() + 4, 4}}) + "WAVE" + chunks;
}

// The COMM and SSND chunks of mono 16-bit frames at 44.1 kHz.
inline std::string aiffSound16(const std::vector<std::int16_t>& values) {
    std::string sound(8, '\0');
    for (std::int16_t v : values)
        sound += bigEndianFields({{static_cast<std::uint16_t>(v), 2}});
    return iffChunk("COMM", bigEndianFields({{1, 2}, {values.size(), 4}, {16, 2}}) +
                                std::string("\x40\x0E\xAC\x44\0\0\0\0\0\0", 10)) +
           iffChunk("SSND", sound);
}

// An IFF FORM of the given type ("AIFF", "AIFC") and chunks.
inline std::string iffForm(const char* type, const std::string& chunks) {
    return "FORM" + bigEndianFields({{chunks.size() + 4, 4}}) + type + chunks;
}

// An AIFF file of the given chunks.
inline std::string aiffForm(const std::string& chunks) {
    return iffForm("AIFF", chunks);
}

// An INST chunk whose sustain loop runs between the markers begin and end, in the play mode given (0 none,
// 1 forward, 2 forward and backward), at the base note given.
inline std::string aiffInstrument(std::uint16_t beginMarker, std::uint16_t endMarker,
                                  std::uint8_t baseNote = 60, std::uint16_t playMode = 1) {
    return iffChunk("INST", bigEndianFields({{baseNote, 1},
                                             {0, 1},
                                             {0, 1},
                                             {127, 1},
                                             {1, 1},
                                             {127, 1},
                                             {0, 2},
                                             {playMode, 2},
                                             {beginMarker, 2},
                                             {endMarker, 2},
                                             {0, 2},
                                             {0, 2},
                                             {0, 2}}));
}

// A mono 16-bit AU file at 44.1 kHz.
inline std::string monoAu16(const std::vector<std::int16_t>& values) {
    std::string data;
    for (std::int16_t v : values)
        data += bigEndianFields({{static_cast<std::uint16_t>(v), 2}});
    return ".snd" + bigEndianFields({{24, 4}, {data.size(), 4}, {3, 4}, {44100, 4}, {1, 4}}) + data;
}

// Writes a WavPack file with the library's encoder; pack hands it the values. The channel mask follows the
// channel count.
template <class Pack>
bool writeWavPack(const std::string& path, WavpackConfig config, std::int64_t frames, Pack&& pack) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    WavpackContext* context = WavpackOpenFileOutput(
        [](void* id, void* data, std::int32_t count) {
            return static_cast<int>(
                std::fwrite(data, 1, static_cast<std::size_t>(count), static_cast<std::FILE*>(id)) ==
                static_cast<std::size_t>(count));
        },
        out, nullptr);
    config.bits_per_sample = config.bytes_per_sample * 8;
    config.channel_mask = config.num_channels == 1 ? 4 : (1 << config.num_channels) - 1;
    const bool ok = WavpackSetConfiguration64(context, &config, frames, nullptr) &&
                    WavpackPackInit(context) && pack(context) && WavpackFlushSamples(context);
    WavpackCloseFile(context);
    return std::fclose(out) == 0 && ok;
}

// Writes a mono 16-bit WavPack file at 44.1 kHz.
inline bool writeMonoWavPack16(const std::string& path, const std::vector<std::int16_t>& values) {
    WavpackConfig config{};
    config.bytes_per_sample = 2;
    config.num_channels = 1;
    config.sample_rate = 44100;
    std::vector<std::int32_t> words(values.begin(), values.end());
    return writeWavPack(path, config, static_cast<std::int64_t>(words.size()), [&](WavpackContext* context) {
        return WavpackPackSamples(context, words.data(), static_cast<std::uint32_t>(words.size())) != 0;
    });
}

// Writes a short mono 16-bit FLAC file of silence through libsndfile whose STREAMINFO then declares frames
// frames (its total-samples field: the 36 bits ending at byte 25 of the file).
inline bool writeFlacDeclaring(const std::string& path, std::uint64_t frames) {
    SF_INFO info{0, 44100, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const std::vector<short> silence(4096, 0);
    const bool written = file != nullptr && sf_writef_short(file, silence.data(), 4096) == 4096;
    if (file == nullptr || sf_close(file) != 0 || !written)
        return false;
    std::fstream patched(path, std::ios::binary | std::ios::in | std::ios::out);
    char field[5] = {};
    patched.seekg(21).read(field, sizeof field);
    field[0] = static_cast<char>((field[0] & 0xF0) | ((frames >> 32) & 0x0F));
    for (int i = 1; i < 5; ++i)
        field[i] = static_cast<char>(frames >> (32 - 8 * i));
    return static_cast<bool>(patched.seekp(21).write(field, sizeof field));
}

} // namespace trov::test
