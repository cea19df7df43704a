#include "hostapp/WavWriter.h"

#include <algorithm>
#include <cstdio>
#include <sndfile.h>

namespace corvale::hostapp {

namespace {

SNDFILE* handle(void* file) {
    return static_cast<SNDFILE*>(file);
}

// The largest size a RIFF chunk's 32-bit field holds, and room for everything in the file but the audio.
constexpr std::uint64_t kRiffLimit = 0xFFFFFFFFu;
constexpr std::uint64_t kHeaderRoom = 4096;

} // namespace

WavWriter::~WavWriter() {
    abandon();
}

void WavWriter::abandon() {
    if (file_ != nullptr) {
        sf_close(handle(file_));
        file_ = nullptr;
        std::remove(path_.c_str());
    }
}

bool WavWriter::needsRf64(std::int64_t totalFrames, int channels) {
    if (totalFrames <= 0 || channels <= 0)
        return false;
    const std::uint64_t room =
        (kRiffLimit - kHeaderRoom) / sizeof(float) / static_cast<std::uint64_t>(channels);
    return static_cast<std::uint64_t>(totalFrames) > room;
}

bool WavWriter::open(const std::string& path, int channels, std::uint32_t sampleRate,
                     std::int64_t totalFrames, std::string& error) {
    abandon();
    const bool rf64 = needsRf64(totalFrames, channels);
    SF_INFO info = {};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = channels;
    info.format = (rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = "cannot write " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    // The peak chunk carries the time of writing: without it a render repeated is the same file byte for
    // byte.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    file_ = file;
    path_ = path;
    channels_ = channels;
    frames_ = 0;
    totalFrames_ = std::max<std::int64_t>(totalFrames, 0);
    rf64_ = rf64;
    return true;
}

bool WavWriter::write(const float* const* channels, std::int32_t frames, std::string& error) {
    if (file_ == nullptr) {
        error = "no output file open";
        return false;
    }
    if (frames <= 0)
        return true;
    // The header was chosen for the total: more could pass what it can say.
    if (frames > totalFrames_ - frames_) {
        error = "cannot write " + path_ + ": more than the " + std::to_string(totalFrames_) +
                " frames it was opened for";
        abandon();
        return false;
    }
    interleaved_.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_));
    for (std::int32_t frame = 0; frame < frames; ++frame)
        for (int channel = 0; channel < channels_; ++channel)
            interleaved_[static_cast<std::size_t>(frame) * channels_ + channel] = channels[channel][frame];
    if (sf_writef_float(handle(file_), interleaved_.data(), frames) != frames) {
        error = "cannot write " + path_ + ": " + sf_strerror(handle(file_));
        abandon();
        return false;
    }
    frames_ += frames;
    return true;
}

bool WavWriter::close(std::string& error) {
    if (file_ == nullptr)
        return true;
    sf_write_sync(handle(file_));
    const int result = sf_close(handle(file_));
    file_ = nullptr;
    if (result != 0) {
        error = "cannot finish " + path_ + ": " + sf_error_number(result);
        std::remove(path_.c_str());
        return false;
    }
    return true;
}

} // namespace corvale::hostapp
