#include "hostapp/WavWriter.h"

#include "hostapp/FileChecks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

namespace corvale::hostapp {

namespace {

SNDFILE* handle(void* file) {
    return static_cast<SNDFILE*>(file);
}

// The largest size a RIFF chunk's 32-bit field holds, and room for everything in the file but the audio.
constexpr std::uint64_t kRiffLimit = 0xFFFFFFFFu;
constexpr std::uint64_t kHeaderRoom = 4096;

// libsndfile keeps a peak chunk, with the time of writing, in every RF64 float file and cannot be told
// otherwise: it is made a filler chunk of zeros, which readers skip. The chunks before the audio are
// walked; false, with errno set, when the file cannot be read or written.
bool blankPeakChunk(int descriptor) {
    off_t at = 12;
    unsigned char header[8];
    while (::pread(descriptor, header, sizeof header, at) == static_cast<ssize_t>(sizeof header)) {
        const std::uint32_t size =
            header[4] | (header[5] << 8) | (header[6] << 16) | (static_cast<std::uint32_t>(header[7]) << 24);
        if (std::memcmp(header, "data", 4) == 0)
            return true;
        if (std::memcmp(header, "PEAK", 4) == 0) {
            const std::vector<unsigned char> zeros(size, 0);
            return ::pwrite(descriptor, "JUNK", 4, at) == 4 &&
                   ::pwrite(descriptor, zeros.data(), size, at + 8) == static_cast<ssize_t>(size);
        }
        at += 8 + static_cast<off_t>(size) + static_cast<off_t>(size & 1u);
    }
    return false;
}

// Why a write to path (through its new file, written) failed, as libsndfile said it; a file the process's
// file-size limit stopped is said to have reached it (libsndfile only says the file is too large), as
// what to change.
std::string writeFailure(const std::string& path, const std::string& written, const std::string& said) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(std::max<std::int64_t>(lookAt(written).size, 0)) >= limit.rlim_cur)
        return "cannot write " + path + ": it reached this process's file-size limit of " +
               std::to_string(limit.rlim_cur) + " bytes (ulimit -f)";
    return "cannot write " + path + ": " + said;
}

} // namespace

WavWriter::~WavWriter() {
    abandon();
}

void WavWriter::abandon() {
    if (file_ != nullptr)
        sf_close(handle(file_));
    file_ = nullptr;
    replacement_.abandon();
}

bool WavWriter::needsRf64(std::int64_t totalFrames, int channels) {
    if (totalFrames <= 0 || channels <= 0)
        return false;
    const std::uint64_t room =
        (kRiffLimit - kHeaderRoom) / sizeof(float) / static_cast<std::uint64_t>(channels);
    return static_cast<std::uint64_t>(totalFrames) > room;
}

bool WavWriter::open(const std::string& path, int channels, std::uint32_t sampleRate, std::int64_t maxFrames,
                     std::string& error, Container container) {
    abandon();
    const bool forced = container == Container::Rf64;
    const bool rf64 = forced || needsRf64(maxFrames, channels);
    // Opened here, so that a failure names the system's reason, not libsndfile's summary of it.
    if (!replacement_.open(path, error)) {
        error = "cannot write " + path + ": " + error;
        return false;
    }
    SF_INFO info = {};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = channels;
    info.format = (rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | SF_FORMAT_FLOAT;
    // The descriptor stays the replacement's: RF64's peak chunk is blanked through it after libsndfile's
    // close, before the rename.
    SNDFILE* file = sf_open_fd(replacement_.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) {
        error = writeFailure(path, replacement_.newPath(), sf_strerror(nullptr));
        replacement_.abandon();
        return false;
    }
    // The mark goes into the header before the first frame, so that even a render cut short carries it.
    SF_CHUNK_INFO mark = {};
    std::memcpy(mark.id, kRenderMarkId, sizeof kRenderMarkId);
    mark.id_size = sizeof kRenderMarkId - 1;
    mark.datalen = sizeof kRenderMark - 1;
    char markText[sizeof kRenderMark];
    std::memcpy(markText, kRenderMark, sizeof kRenderMark);
    mark.data = markText; // copied by libsndfile
    if (const int failed = sf_set_chunk(file, &mark); failed != SF_ERR_NO_ERROR) {
        error = "cannot write " + path + ": " + sf_error_number(failed);
        sf_close(file);
        replacement_.abandon();
        return false;
    }
    // Taken for WAV only; RF64's is blanked at close.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (rf64 && !forced)
        sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    file_ = file;
    path_ = path;
    channels_ = channels;
    frames_ = 0;
    maxFrames_ = std::max<std::int64_t>(maxFrames, 0);
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
    // The container was chosen for the most frames: more could pass what it can say.
    if (frames > maxFrames_ - frames_) {
        error = "cannot write " + path_ + ": more than the " + std::to_string(maxFrames_) +
                " frames it was opened for";
        abandon();
        return false;
    }
    interleaved_.resize(static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_));
    for (std::int32_t frame = 0; frame < frames; ++frame)
        for (int channel = 0; channel < channels_; ++channel)
            interleaved_[static_cast<std::size_t>(frame) * channels_ + channel] = channels[channel][frame];
    if (sf_writef_float(handle(file_), interleaved_.data(), frames) != frames) {
        error = writeFailure(path_, replacement_.newPath(), sf_strerror(handle(file_)));
        abandon();
        return false;
    }
    frames_ += frames;
    return true;
}

bool WavWriter::close(std::string& error) {
    if (file_ == nullptr)
        return true;
    const int result = sf_close(handle(file_));
    file_ = nullptr;
    if (result != 0) {
        error = "cannot finish " + path_ + ": " + sf_error_number(result);
        replacement_.abandon();
        return false;
    }
    errno = 0;
    if (rf64_ && !blankPeakChunk(replacement_.descriptor())) {
        error = "cannot finish " + path_ + ": " + std::strerror(errno != 0 ? errno : EIO);
        replacement_.abandon();
        return false;
    }
    // Said written only once it stands under its name: a failed rename fails the render.
    if (!replacement_.commit(error)) {
        error = "cannot finish " + path_ + ": " + error;
        return false;
    }
    return true;
}

} // namespace corvale::hostapp
