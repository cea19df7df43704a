#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvale::hostapp {

// Writes a 32-bit float WAV file through libsndfile, one block of channel buffers at a time, with nothing
// in it but the audio's format and data (no time of writing), so equal audio gives equal files. The writer
// is told the file's length when it opens it: a RIFF WAV file keeps its sizes in 32 bits, so audio that
// would pass 4 GiB goes into an RF64 file (its sizes in 64 bits) instead of a corrupt WAV file. A writer
// that fails (or is destroyed before close) removes its file, so no half-written output is left behind.
// One thread.
class WavWriter {
public:
    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter();

    // True when totalFrames of channels would not fit the 32-bit sizes of a RIFF WAV file.
    static bool needsRf64(std::int64_t totalFrames, int channels);

    // Creates or truncates path for totalFrames frames at most. False with libsndfile's reason in error.
    bool open(const std::string& path, int channels, std::uint32_t sampleRate, std::int64_t totalFrames,
              std::string& error);
    // Interleaves frames of each channel buffer (channels of them) and appends them; false, removing the
    // file, past the total it was opened for.
    bool write(const float* const* channels, std::int32_t frames, std::string& error);
    // Finishes the header. False when the file could not be completed; it is removed then.
    bool close(std::string& error);

    std::int64_t framesWritten() const { return frames_; }
    bool isRf64() const { return rf64_; }

private:
    void abandon();

    void* file_ = nullptr; // SNDFILE*
    std::string path_;
    int channels_ = 0;
    std::int64_t frames_ = 0;
    std::int64_t totalFrames_ = 0;
    bool rf64_ = false;
    std::vector<float> interleaved_;
};

} // namespace corvale::hostapp
