#pragma once

#include "framework/FourCC.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <string>
#include <vector>

namespace trov {

// The chunks of a RIFF/WAVE file that the sample reader understands, one record per kind, each with its
// chunk id and size. A new record carries its kind's id and the size of its fixed body. Owned by a
// `SampleWav`; used by one thread at a time.
struct WavChunks {
    struct Acid {
        FourCC id = chunk::kAcid;
        std::uint32_t size = 24;
        std::uint32_t flags = 0;
        std::uint16_t rootNote = 0;
        std::uint16_t reserved1 = 0;
        std::uint32_t reserved2 = 0;
        std::uint32_t beats = 0;
        std::uint16_t meterDenominator = 0;
        std::uint16_t meterNumerator = 0;
        float tempo = 0.0f;
    };
    struct CuePoint {
        std::uint32_t identifier = 0;
        std::uint32_t position = 0;
        std::uint32_t chunkId = 0;
        std::uint32_t chunkStart = 0;
        std::uint32_t blockStart = 0;
        std::uint32_t sampleOffset = 0;
    };
    struct Cue {
        FourCC id = chunk::kCue;
        std::uint32_t size = 4;
        std::vector<CuePoint> points;
    };
    struct Data {
        FourCC id = chunk::kData;
        std::uint32_t size = 0;          // bytes the stream holds of it (read with loadData)
        std::vector<std::uint8_t> bytes; // until the sample has decoded them
    };
    struct Format {
        FourCC id = chunk::kFormat;
        std::uint32_t size = 16;
        std::uint16_t formatTag = 0;
        std::uint16_t channels = 0;
        std::uint32_t sampleRate = 0;
        std::uint32_t byteRate = 0;
        std::uint16_t blockAlign = 0;
        std::uint16_t bitsPerSample = 0;
        // The coding an extensible format names in its sub-format; the format tag otherwise.
        std::uint16_t coding = 0;
    };
    struct Instrument {
        FourCC id = chunk::kInstrument;
        std::uint32_t size = 8;
        std::uint8_t unshiftedNote = 0;
        std::int8_t fineTune = 0;
        std::int8_t gain = 0;
        std::uint8_t lowNote = 0;
        std::uint8_t highNote = 0;
        std::uint8_t lowVelocity = 0;
        std::uint8_t highVelocity = 0;
    };
    // "labl" and "note" share one layout.
    struct Label {
        explicit Label(FourCC code) : id(code) {}
        FourCC id;
        std::uint32_t size = 4;
        std::uint32_t cuePointId = 0;
        std::string text;
    };
    struct LabelledText {
        FourCC id = chunk::kLabelledText;
        std::uint32_t size = 20;
        std::uint32_t cuePointId = 0;
        std::uint32_t sampleLength = 0;
        std::uint32_t purpose = 0;
        std::uint16_t country = 0;
        std::uint16_t language = 0;
        std::uint16_t dialect = 0;
        std::uint16_t codePage = 0;
        std::string text;
    };
    struct Segment {
        std::uint32_t cuePointId = 0;
        std::uint32_t length = 0;
        std::uint32_t repeats = 0;
    };
    struct Playlist {
        FourCC id = chunk::kPlaylist;
        std::uint32_t size = 4;
        std::vector<Segment> segments;
    };
    struct Loop {
        std::uint32_t identifier = 0;
        std::uint32_t type = 0;
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        std::uint32_t fraction = 0;
        std::uint32_t playCount = 0;
    };
    struct Sampler {
        FourCC id = chunk::kSampler;
        std::uint32_t size = 36;
        std::uint32_t manufacturer = 0;
        std::uint32_t product = 0;
        std::uint32_t samplePeriod = 0;
        std::uint32_t unityNote = 0;
        std::uint32_t pitchFraction = 0;
        std::uint32_t smpteFormat = 0;
        std::uint32_t smpteOffset = 0;
        std::uint32_t samplerDataSize = 0;
        std::vector<Loop> loops;
    };
    struct Stretch {
        FourCC id = chunk::kStretch;
        std::uint32_t size = 0;
    };

    Acid acid;
    Cue cue;
    Data data;
    Format format;
    Instrument instrument;
    Label label{chunk::kLabel};
    LabelledText labelledText;
    Label note{chunk::kNote};
    Playlist playlist;
    Sampler sampler;
    Stretch stretch;

    // Reads the RIFF header and every chunk. Without loadData the data chunk is skipped. Every count and
    // size is bounded by its chunk and the stream's length; a data chunk running past the end is cut to
    // what is there. A data chunk whose declared size holds more than maxFrames frames of the format is
    // not read at all (tooLarge). False, with the reason in problem, when the stream is no RIFF/WAVE, has
    // no usable format, is too large or (with loadData) has no data.
    bool read(std::istream& in, bool loadData,
              std::uint64_t maxFrames = std::numeric_limits<std::uint64_t>::max());

    // Why the last read returned false (as "it ..."); empty after one that succeeded.
    std::string problem;
    bool tooLarge = false;

    // The bytes of a file holding "fmt ", "data", "smpl", "cue " and "inst" in that order, with the RIFF
    // size filled in.
    std::vector<std::uint8_t> write() const;

private:
    bool refuse(const std::string& reason);
};

// How the samples of a data chunk are coded, checked against the format.
struct WavCoding {
    int bytesPerValue = 0;
    bool isFloat = false;
    int channels = 0;
    std::int32_t frames = 0;

    // False for a coding we do not decode (the caller leaves the file to another reader): no channels,
    // a block smaller than one value per channel, sizes other than 1-4 bytes of integer PCM or 4 bytes
    // of float, or more frames than a sample holds.
    bool fromChunks(const WavChunks& chunks);
};

// frames x channels values, interleaved, from the data bytes of frames frames starting at bytes, each frame
// read at its block offset.
void decodeWavSamples(const WavCoding& coding, std::size_t blockAlign, const std::uint8_t* bytes,
                      std::int32_t frames, float* out);
// count values in n-byte little-endian words: unsigned for n = 1, signed for n = 2 and 3, float for 4.
// Values are clamped to -1..1 before an integer conversion.
void encodeWavSamples(const float* values, std::size_t count, int bytesPerValue, std::uint8_t* out);

// The sampler chunk's unity note and pitch fraction for a root note and a detune in hundredths of a
// semitone, and back. The fraction rounds to nearest both ways, so a detune reads back as written.
void detuneToSampler(std::int32_t rootNote, std::int32_t detune, std::uint32_t& unityNote,
                     std::uint32_t& pitchFraction);
std::int32_t pitchFractionToDetune(std::uint32_t pitchFraction);

} // namespace trov
