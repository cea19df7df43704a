#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvale::hostapp {

// Writes a 32-bit float WAV file through libsndfile, one block of channel buffers at a time, with nothing
// in it but the audio's format and data (no time of writing), so equal audio gives equal files. A writer
// that fails (or is destroyed before close) removes its file, so no half-written output is left behind.
// One thread.
class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter();

    // Creates or truncates path. False with libsndfile's reason in error.
    bool open(const std::string& path, int channels, std::uint32_t sampleRate, std::string& error);
    // Interleaves frames of each channel buffer (channels of them) and appends them.
    bool write(const float* const* channels, std::int32_t frames, std::string& error);
    // Finishes the header. False when the file could not be completed; it is removed then.
    bool close(std::string& error);

    std::int64_t framesWritten() const { return frames_; }

private:
    void abandon();

    void* file_ = nullptr; // SNDFILE*
    std::string path_;
    int channels_ = 0;
    std::int64_t frames_ = 0;
    std::vector<float> interleaved_;
};

} // namespace corvale::hostapp
