#pragma once

#include "hostapp/ReplacementFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvale::hostapp {

// Writes a 32-bit float WAV file through libsndfile, one block of channel buffers at a time, with nothing
// in it but the audio's format and data and the host program's render mark (kRenderMark, by which it
// knows a file it may write over; no peak chunk, which carries the time of writing), so equal audio gives
// equal files. The length need not be known when the file opens: the sizes are written when it
// closes. A RIFF WAV file keeps its sizes in 32 bits, so a file that may pass 4 GiB is opened as RF64 (its
// sizes in 64 bits), which libsndfile writes as a plain RIFF file at close when it stayed below that. The
// file is written beside the one its path stands for and renamed over it once finished (ReplacementFile):
// a writer that fails (or is destroyed before close) removes only its new file, so an earlier output stays
// as it was and no half-written one is left behind. One thread.
class WavWriter {
public:
    // Fitting: WAV, or RF64 when the most frames may not fit a WAV file's sizes. Rf64: RF64 whatever the
    // length (the layout of a long render, on short audio).
    enum class Container { Fitting, Rf64 };

    WavWriter() = default;
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    ~WavWriter();

    // True when totalFrames of channels would not fit the 32-bit sizes of a RIFF WAV file.
    static bool needsRf64(std::int64_t totalFrames, int channels);

    // Begins a new file to replace path's for at most maxFrames frames. False with the file and the
    // system's or libsndfile's reason in error.
    bool open(const std::string& path, int channels, std::uint32_t sampleRate, std::int64_t maxFrames,
              std::string& error, Container container = Container::Fitting);
    // Interleaves frames of each channel buffer (channels of them) and appends them; false, removing the
    // new file, past the most it was opened for.
    bool write(const float* const* channels, std::int32_t frames, std::string& error);
    // Writes the sizes and renames the file over path's. False when the file could not be completed or
    // renamed; the new file is removed then and path's is left as it was.
    bool close(std::string& error);

    std::int64_t framesWritten() const { return frames_; }
    // Opened as RF64 (a Fitting one may still close as RIFF).
    bool isRf64() const { return rf64_; }

private:
    void abandon();

    void* file_ = nullptr; // SNDFILE*
    ReplacementFile replacement_;
    std::string path_;
    int channels_ = 0;
    std::int64_t frames_ = 0;
    std::int64_t maxFrames_ = 0;
    bool rf64_ = false;
    std::vector<float> interleaved_;
};

} // namespace corvale::hostapp
