#pragma once
// Writing of the small mono WAV files the data tools generate: the RIFF header of one format chunk and one
// data chunk, little-endian, with each sample's bytes given by the caller.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace trov::tools {

inline void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

// `format` is the WAV format code (1: integer PCM, 3: IEEE float); `encode(out, value)` appends one
// sample of `bitsPerSample` bits.
template <class Encode>
bool writeMonoWav(const std::filesystem::path& path, std::uint32_t rate, std::uint16_t format,
                  std::uint16_t bitsPerSample, const std::vector<float>& data, Encode encode) {
    const std::uint16_t bytesPerSample = bitsPerSample / 8;
    const auto bytes = static_cast<std::uint32_t>(data.size() * bytesPerSample);
    std::vector<std::uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 4 + 8 + 16 + 8 + bytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, format);
    put16(out, 1);
    put32(out, rate);
    put32(out, rate * bytesPerSample);
    put16(out, bytesPerSample);
    put16(out, bitsPerSample);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, bytes);
    for (const float value : data)
        encode(out, value);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

} // namespace trov::tools
