#include "engine/samples/WavChunks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

namespace trov {

namespace {

constexpr std::uint16_t kCodingPcm = 1;
constexpr std::uint16_t kCodingFloat = 3;
constexpr std::uint16_t kCodingExtensible = 0xFFFE;

// Little-endian fields of one chunk body held in memory; reads past the end give zero and mark the
// cursor short, so a truncated body never reads out of bounds.
class BodyCursor {
public:
    BodyCursor(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
    std::size_t remaining() const { return size_ - position_; }
    bool isShort() const { return short_; }

    // One whitespace-delimited word from here to the end of the body.
    std::string word() {
        while (position_ < size_ && std::isspace(bytes_[position_]))
            ++position_;
        std::string text;
        while (position_ < size_ && bytes_[position_] != 0 && !std::isspace(bytes_[position_]))
            text.push_back(static_cast<char>(bytes_[position_++]));
        return text;
    }

private:
    std::uint64_t take(std::size_t n) {
        if (remaining() < n) {
            short_ = true;
            position_ = size_;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = n; i > 0; --i)
            value = (value << 8) | bytes_[position_ + i - 1];
        position_ += n;
        return value;
    }

    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t position_ = 0;
    bool short_ = false;
};

class ByteSink {
public:
    void id(const FourCC& code) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(code.data()[i]));
    }
    void u32(std::uint32_t value) { put(value, 4); }
    void u16(std::uint16_t value) { put(value, 2); }
    void u8(std::uint8_t value) { out.push_back(value); }
    void chunk(const FourCC& code, std::size_t size) {
        id(code);
        u32(static_cast<std::uint32_t>(size));
    }

    std::vector<std::uint8_t> out;

private:
    void put(std::uint32_t value, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
};

bool readExactly(std::istream& in, void* data, std::size_t size) {
    in.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(in.gcount()) == size;
}

// The stream's bytes at offsets from `begin`, read through one block held in memory: walking a file of many
// small chunks (or of zeros, each 8 bytes an empty chunk) costs a read of the stream per block, not a seek
// and a read per chunk header.
class BlockReader {
public:
    BlockReader(std::istream& in, std::istream::pos_type begin, std::uint64_t length)
        : in_(in), begin_(begin), length_(length) {}

    // False when the stream holds fewer than size bytes at position.
    bool read(std::uint64_t position, std::uint8_t* out, std::size_t size) {
        if (position > length_ || size > length_ - position)
            return false;
        if (size == 0)
            return true;
        if (size > kBlockSize)
            return seek(position) && readExactly(in_, out, size);
        if (position < blockStart_ || position + size > blockStart_ + block_.size()) {
            block_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, length_ - position)));
            blockStart_ = position;
            if (!seek(position) || !readExactly(in_, block_.data(), block_.size())) {
                block_.clear();
                return false;
            }
        }
        std::memcpy(out, block_.data() + (position - blockStart_), size);
        return true;
    }

private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 16;

    bool seek(std::uint64_t position) {
        return static_cast<bool>(in_.seekg(begin_ + static_cast<std::streamoff>(position)));
    }

    std::istream& in_;
    std::istream::pos_type begin_;
    std::uint64_t length_;
    std::vector<std::uint8_t> block_;
    std::uint64_t blockStart_ = 0;
};

void parseFormat(BodyCursor& body, WavChunks::Format& format) {
    format.formatTag = body.u16();
    format.channels = body.u16();
    format.sampleRate = body.u32();
    format.byteRate = body.u32();
    format.blockAlign = body.u16();
    format.bitsPerSample = body.u16();
    format.coding = format.formatTag;
    if (format.formatTag == kCodingExtensible) {
        // cbSize, valid bits, channel mask, then the sub-format whose first two bytes are the coding.
        body.u16();
        body.u16();
        body.u32();
        const std::uint16_t coding = body.u16();
        format.coding = body.isShort() ? 0 : coding;
    }
}

void parseSampler(BodyCursor& body, WavChunks::Sampler& sampler) {
    sampler.manufacturer = body.u32();
    sampler.product = body.u32();
    sampler.samplePeriod = body.u32();
    sampler.unityNote = body.u32();
    sampler.pitchFraction = body.u32();
    sampler.smpteFormat = body.u32();
    sampler.smpteOffset = body.u32();
    const std::uint32_t count = body.u32();
    sampler.samplerDataSize = body.u32();
    const std::size_t fits = body.remaining() / 24;
    sampler.loops.resize(std::min<std::size_t>(count, fits));
    for (auto& loop : sampler.loops) {
        loop.identifier = body.u32();
        loop.type = body.u32();
        loop.start = body.u32();
        loop.end = body.u32();
        loop.fraction = body.u32();
        loop.playCount = body.u32();
    }
}

void parseCue(BodyCursor& body, WavChunks::Cue& cue) {
    const std::uint32_t count = body.u32();
    cue.points.resize(std::min<std::size_t>(count, body.remaining() / 24));
    for (auto& point : cue.points) {
        point.identifier = body.u32();
        point.position = body.u32();
        point.chunkId = body.u32();
        point.chunkStart = body.u32();
        point.blockStart = body.u32();
        point.sampleOffset = body.u32();
    }
}

void parsePlaylist(BodyCursor& body, WavChunks::Playlist& playlist) {
    const std::uint32_t count = body.u32();
    playlist.segments.resize(std::min<std::size_t>(count, body.remaining() / 12));
    for (auto& segment : playlist.segments) {
        segment.cuePointId = body.u32();
        segment.length = body.u32();
        segment.repeats = body.u32();
    }
}

void parseAcid(BodyCursor& body, WavChunks::Acid& acid) {
    acid.flags = body.u32();
    acid.rootNote = body.u16();
    acid.reserved1 = body.u16();
    acid.reserved2 = body.u32();
    acid.beats = body.u32();
    acid.meterDenominator = body.u16();
    acid.meterNumerator = body.u16();
    const std::uint32_t bits = body.u32();
    std::memcpy(&acid.tempo, &bits, sizeof bits);
}

void parseInstrument(BodyCursor& body, WavChunks::Instrument& instrument) {
    instrument.unshiftedNote = body.u8();
    instrument.fineTune = static_cast<std::int8_t>(body.u8());
    instrument.gain = static_cast<std::int8_t>(body.u8());
    instrument.lowNote = body.u8();
    instrument.highNote = body.u8();
    instrument.lowVelocity = body.u8();
    instrument.highVelocity = body.u8();
}

void parseLabelledText(BodyCursor& body, WavChunks::LabelledText& text) {
    text.cuePointId = body.u32();
    text.sampleLength = body.u32();
    text.purpose = body.u32();
    text.country = body.u16();
    text.language = body.u16();
    text.dialect = body.u16();
    text.codePage = body.u16();
    text.text = body.word();
}

// Parses one understood chunk body into its record; a body too short for its fixed fields leaves the
// record as it was.
void parseChunk(WavChunks& chunks, const FourCC& id, std::uint32_t size,
                const std::vector<std::uint8_t>& bytes, bool& hasFormat) {
    BodyCursor body(bytes.data(), bytes.size());
    auto keep = [&](auto& record, auto parse) {
        auto parsed = record;
        parse(body, parsed);
        if (body.isShort())
            return;
        parsed.id = id;
        parsed.size = size;
        record = std::move(parsed);
    };
    if (id == chunk::kFormat) {
        keep(chunks.format, parseFormat);
        hasFormat = hasFormat || !body.isShort();
    } else if (id == chunk::kSampler) {
        keep(chunks.sampler, parseSampler);
    } else if (id == chunk::kCue) {
        keep(chunks.cue, parseCue);
    } else if (id == chunk::kPlaylist) {
        keep(chunks.playlist, parsePlaylist);
    } else if (id == chunk::kAcid) {
        keep(chunks.acid, parseAcid);
    } else if (id == chunk::kInstrument) {
        keep(chunks.instrument, parseInstrument);
    } else if (id == chunk::kLabelledText) {
        keep(chunks.labelledText, parseLabelledText);
    } else if (id == chunk::kLabel || id == chunk::kNote) {
        keep(id == chunk::kLabel ? chunks.label : chunks.note,
             [](BodyCursor& cursor, WavChunks::Label& label) {
                 label.cuePointId = cursor.u32();
                 label.text = cursor.word();
             });
    } else if (id == chunk::kStretch) {
        chunks.stretch.id = id;
        chunks.stretch.size = size;
    }
}

bool isUnderstood(const FourCC& id) {
    static constexpr FourCC kUnderstood[] = {
        chunk::kFormat,     chunk::kSampler,      chunk::kCue,   chunk::kPlaylist, chunk::kAcid,
        chunk::kInstrument, chunk::kLabelledText, chunk::kLabel, chunk::kNote,     chunk::kStretch};
    return std::find(std::begin(kUnderstood), std::end(kUnderstood), id) != std::end(kUnderstood);
}

template <int N> std::uint32_t readWord(const std::uint8_t* p) {
    std::uint32_t v = 0;
    for (int i = N - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

template <int N, bool IsFloat>
void decodeAll(const WavCoding& coding, std::size_t blockAlign, const std::uint8_t* bytes,
               std::int32_t frames, float* out) {
    constexpr float kScale = 0x1p-31f;
    const int channels = coding.channels;
    for (std::int32_t frame = 0; frame < frames; ++frame) {
        const std::uint8_t* p = bytes + static_cast<std::size_t>(frame) * blockAlign;
        for (int c = 0; c < channels; ++c, p += N) {
            const std::uint32_t v = readWord<N>(p);
            float value;
            if constexpr (IsFloat) {
                std::memcpy(&value, &v, sizeof value);
            } else if constexpr (N == 1) {
                value = static_cast<float>(v << 24) * kScale - 1.0f;
            } else {
                value = static_cast<float>(static_cast<std::int32_t>(v << (8 * (4 - N)))) * kScale;
            }
            *out++ = value;
        }
    }
}

// The top N bytes of the 32-bit word of each value, least significant first.
template <int N> void encodeAll(const float* values, std::size_t count, std::uint8_t* out) {
    constexpr double kFullScale = 2147483648.0;
    for (std::size_t i = 0; i < count; ++i) {
        const float x = values[i];
        std::uint32_t w;
        if constexpr (N == 4) {
            std::memcpy(&w, &x, sizeof w);
        } else {
            // Clamped first, so that full scale never wraps round to the opposite sign. The conversion to
            // an integer truncates toward zero.
            const double clamped = std::isnan(x) ? 0.0 : std::clamp(static_cast<double>(x), -1.0, 1.0);
            if constexpr (N == 1)
                w = static_cast<std::uint32_t>(std::min<std::int64_t>(
                    static_cast<std::int64_t>((clamped + 1.0) * kFullScale), 0xFFFFFFFF));
            else
                w = static_cast<std::uint32_t>(static_cast<std::int32_t>(
                    std::min<std::int64_t>(static_cast<std::int64_t>(clamped * kFullScale), 0x7FFFFFFF)));
        }
        for (int b = 4 - N; b < 4; ++b)
            *out++ = static_cast<std::uint8_t>(w >> (8 * b));
    }
}

} // namespace

bool WavChunks::read(std::istream& in, bool loadData, std::uint64_t maxFrames) {
    *this = WavChunks();
    const std::istream::pos_type begin = in.tellg();
    if (begin == std::istream::pos_type(-1) || !in.seekg(0, std::ios::end))
        return refuse("it cannot be read");
    const std::istream::pos_type last = in.tellg();
    if (last == std::istream::pos_type(-1) || last < begin || !in.seekg(begin))
        return refuse("it cannot be read");
    const std::uint64_t length = static_cast<std::uint64_t>(last - begin);

    std::uint8_t header[12];
    if (!readExactly(in, header, sizeof header) || FourCC::fromBytes(header) != FourCC("RIFF") ||
        FourCC::fromBytes(header + 8) != FourCC("WAVE"))
        return refuse("it does not begin with a RIFF/WAVE header");

    bool hasFormat = false;
    // The data chunk's body is read last, once its declared size has been checked against the format.
    bool hasData = false;
    std::uint64_t dataStart = 0;
    std::size_t dataAvailable = 0;
    std::uint32_t dataDeclared = 0;
    std::vector<std::uint8_t> body;
    BlockReader blocks(in, begin, length);
    std::uint64_t position = 12;
    while (position + 8 <= length) {
        std::uint8_t chunkHeader[8];
        if (!blocks.read(position, chunkHeader, sizeof chunkHeader))
            break;
        const FourCC id = FourCC::fromBytes(chunkHeader);
        const std::uint32_t size = BodyCursor(chunkHeader + 4, 4).u32();
        const std::uint64_t bodyStart = position + 8;
        // Nothing is read past the end of the stream, whatever the chunk says.
        const std::size_t available =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, length - bodyStart));
        if (id == chunk::kData) {
            hasData = true;
            dataStart = bodyStart;
            dataAvailable = available;
            dataDeclared = size;
        } else if (isUnderstood(id)) {
            body.resize(available);
            if (!blocks.read(bodyStart, body.data(), available))
                return refuse("its " + id.toString() + " chunk cannot be read");
            parseChunk(*this, id, size, body, hasFormat);
        }
        position = bodyStart + size + (size & 1u);
    }
    if (!hasFormat)
        return refuse("it has no complete format chunk");
    // Writers that do not know the length in advance declare the largest size: the data runs to the end.
    const std::uint64_t declared = dataDeclared == 0xFFFFFFFFu ? dataAvailable : dataDeclared;
    if (hasData && format.blockAlign != 0 && declared / format.blockAlign > maxFrames) {
        tooLarge = true;
        return refuse("its data chunk declares " + std::to_string(declared / format.blockAlign) +
                      " frames, more than a sample holds");
    }
    if (!loadData) {
        data.size = static_cast<std::uint32_t>(dataAvailable);
        return true;
    }
    if (!hasData)
        return refuse("it has no data chunk");
    data.bytes.resize(dataAvailable);
    in.seekg(begin + static_cast<std::streamoff>(dataStart));
    if (!readExactly(in, data.bytes.data(), dataAvailable))
        return refuse("its data chunk cannot be read");
    data.size = static_cast<std::uint32_t>(dataAvailable);
    if (data.size == 0)
        return refuse("its data chunk is empty");
    return true;
}

bool WavChunks::refuse(const std::string& reason) {
    problem = reason;
    return false;
}

std::vector<std::uint8_t> WavChunks::write() const {
    ByteSink sink;
    sink.out.reserve(12 + 24 + 9 + data.bytes.size() + 44 + 24 * sampler.loops.size() + 12 +
                     24 * cue.points.size() + 16);
    sink.id(FourCC("RIFF"));
    sink.u32(0);
    sink.id(FourCC("WAVE"));

    sink.chunk(chunk::kFormat, 16);
    sink.u16(format.formatTag);
    sink.u16(format.channels);
    sink.u32(format.sampleRate);
    sink.u32(format.byteRate);
    sink.u16(format.blockAlign);
    sink.u16(format.bitsPerSample);

    sink.chunk(chunk::kData, data.bytes.size());
    sink.out.insert(sink.out.end(), data.bytes.begin(), data.bytes.end());
    // Chunks start on even offsets; the pad byte is not counted in the size.
    if (data.bytes.size() % 2 != 0)
        sink.u8(0);

    sink.chunk(chunk::kSampler, 36 + 24 * sampler.loops.size());
    for (std::uint32_t field :
         {sampler.manufacturer, sampler.product, sampler.samplePeriod, sampler.unityNote,
          sampler.pitchFraction, sampler.smpteFormat, sampler.smpteOffset,
          static_cast<std::uint32_t>(sampler.loops.size()), std::uint32_t{0}})
        sink.u32(field);
    for (const Loop& loop : sampler.loops)
        for (std::uint32_t field :
             {loop.identifier, loop.type, loop.start, loop.end, loop.fraction, loop.playCount})
            sink.u32(field);

    sink.chunk(chunk::kCue, 4 + 24 * cue.points.size());
    sink.u32(static_cast<std::uint32_t>(cue.points.size()));
    for (const CuePoint& point : cue.points)
        for (std::uint32_t field : {point.identifier, point.position, point.chunkId, point.chunkStart,
                                    point.blockStart, point.sampleOffset})
            sink.u32(field);

    sink.chunk(chunk::kInstrument, 8);
    sink.u8(instrument.unshiftedNote);
    sink.u8(static_cast<std::uint8_t>(instrument.fineTune));
    sink.u8(static_cast<std::uint8_t>(instrument.gain));
    sink.u8(instrument.lowNote);
    sink.u8(instrument.highNote);
    sink.u8(instrument.lowVelocity);
    sink.u8(instrument.highVelocity);
    sink.u8(0);

    const std::uint32_t riffSize = static_cast<std::uint32_t>(sink.out.size() - 8);
    for (int i = 0; i < 4; ++i)
        sink.out[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    return std::move(sink.out);
}

bool WavCoding::fromChunks(const WavChunks& chunks) {
    const WavChunks::Format& format = chunks.format;
    if (format.channels == 0 || format.bitsPerSample == 0)
        return false;
    channels = format.channels;
    bytesPerValue = (format.bitsPerSample + 7) / 8;
    isFloat = format.coding == kCodingFloat;
    if (isFloat ? bytesPerValue != 4 : (format.coding != kCodingPcm || bytesPerValue > 4))
        return false;
    if (format.blockAlign < channels * bytesPerValue)
        return false;
    const std::uint64_t count = chunks.data.size / format.blockAlign;
    // One more frame holds the guard value.
    if (count >= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    frames = static_cast<std::int32_t>(count);
    return true;
}

void decodeWavSamples(const WavCoding& coding, std::size_t blockAlign, const std::uint8_t* bytes,
                      std::int32_t frames, float* out) {
    switch (coding.bytesPerValue) {
    case 1:
        decodeAll<1, false>(coding, blockAlign, bytes, frames, out);
        break;
    case 2:
        decodeAll<2, false>(coding, blockAlign, bytes, frames, out);
        break;
    case 3:
        decodeAll<3, false>(coding, blockAlign, bytes, frames, out);
        break;
    case 4:
        if (coding.isFloat)
            decodeAll<4, true>(coding, blockAlign, bytes, frames, out);
        else
            decodeAll<4, false>(coding, blockAlign, bytes, frames, out);
        break;
    default:
        std::fill_n(out, static_cast<std::size_t>(frames) * coding.channels, 0.0f);
        break;
    }
}

void encodeWavSamples(const float* values, std::size_t count, int bytesPerValue, std::uint8_t* out) {
    switch (bytesPerValue) {
    case 1:
        encodeAll<1>(values, count, out);
        break;
    case 2:
        encodeAll<2>(values, count, out);
        break;
    case 3:
        encodeAll<3>(values, count, out);
        break;
    default:
        encodeAll<4>(values, count, out);
        break;
    }
}

void detuneToSampler(std::int32_t rootNote, std::int32_t detune, std::uint32_t& unityNote,
                     std::uint32_t& pitchFraction) {
    // The fraction only raises the pitch: a negative detune moves to the key below.
    const std::int32_t semitones = detune >= 0 ? detune / 100 : -((99 - detune) / 100);
    const std::int64_t cents = static_cast<std::int64_t>(detune) - 100LL * semitones;
    unityNote = static_cast<std::uint32_t>(std::clamp(rootNote + semitones, 0, 127));
    pitchFraction =
        static_cast<std::uint32_t>(std::llround(static_cast<double>(cents) * 4294967296.0 / 100.0));
}

std::int32_t pitchFractionToDetune(std::uint32_t pitchFraction) {
    return static_cast<std::int32_t>(std::llround(static_cast<double>(pitchFraction) * 100.0 / 4294967296.0));
}

} // namespace trov
