#include "framework/DictionaryCodec.h"

#include "framework/Logger.h"

#include <crypto++/base64.h>
#include <crypto++/basecode.h>
#include <crypto++/filters.h>
#include <crypto++/gzip.h>

#include <algorithm>
#include <array>
#include <exception>
#include <new>
#include <stdexcept>

namespace trov {

namespace {

constexpr unsigned kDeflateLevel = 3;
constexpr unsigned kLog2Window = 15;
// A gzip member is at least its 10-byte header and its 8-byte trailer.
constexpr std::size_t kGzipFraming = 18;
// Deflate packs at most 258 bytes into one code of at least two bits: no stream unpacks to more than
// about 1032 times its size.
constexpr std::size_t kMaxDeflateRatio = 1032;
// The standard Base64 alphabet, padded with "=".
constexpr CryptoPP::byte kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kBase64Padding = '=';

// A failure the decoder found itself, thrown from inside the filter chain.
struct DecodeFailure : std::exception {
    explicit DecodeFailure(DataFault why) : fault(why) {}
    DataFault fault;
};

// Appends to a byte vector up to `keep` bytes (the size the stream declares) and counts the rest, refusing
// more than `limit` bytes in all and anything that comes once the gzip member has ended.
class BoundedSink : public CryptoPP::Bufferless<CryptoPP::Sink> {
public:
    // Room for the output is reserved up to `expected` bytes.
    BoundedSink(std::vector<std::uint8_t>& output, std::size_t keep, std::size_t limit, std::size_t expected,
                const bool& memberEnded)
        : output_(output), keep_(keep), limit_(limit), memberEnded_(memberEnded) {
        output_.reserve(std::min(keep, expected));
    }

    std::size_t Put2(const CryptoPP::byte* bytes, std::size_t length, int, bool) override {
        if (length > 0 && memberEnded_)
            throw DecodeFailure(DataFault::kBytesAfter);
        if (length > limit_ - counted_)
            throw DecodeFailure(DataFault::kTooLong);
        counted_ += length;
        const std::size_t room = keep_ - std::min(keep_, output_.size());
        output_.insert(output_.end(), bytes, bytes + std::min(length, room));
        return 0;
    }

private:
    std::vector<std::uint8_t>& output_;
    std::size_t keep_;
    std::size_t limit_;
    std::size_t counted_ = 0;
    const bool& memberEnded_;
};

// Gunzip passes whatever follows its member's trailer on unpacked: this one notes where the member ends,
// once its trailer has been checked, so that the sink can refuse the rest.
class MemberGunzip : public CryptoPP::Gunzip {
public:
    MemberGunzip(CryptoPP::BufferedTransformation* sink, bool& ended) : Gunzip(sink), ended_(ended) {}

protected:
    void ProcessPoststreamTail() override {
        Gunzip::ProcessPoststreamTail();
        ended_ = true;
    }

private:
    bool& ended_;
};

// The gzip trailer's last word: the unpacked length, modulo 2^32.
std::size_t trailerLength(const std::uint8_t* tail) {
    return std::size_t{tail[0]} | std::size_t{tail[1]} << 8 | std::size_t{tail[2]} << 16 |
           std::size_t{tail[3]} << 24;
}

// The characters the Base64 decoder keeps; it skips every other one, the padding included.
bool isBase64Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// Whether the Base64 decoder, which skips what it does not know, skipped anything but blanks and the
// padding at the end.
bool isBase64Text(const std::string& text) {
    bool padded = false;
    for (const char c : text) {
        if (isBase64Character(c) && !padded)
            continue;
        padded = padded || c == '=';
        if (c != '=' && c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

// The fault a gzip member's reader reports, by the library's exception.
DataFault memberFault(const CryptoPP::Exception& e, std::size_t streamSize) {
    if (dynamic_cast<const CryptoPP::Inflator::UnexpectedEndErr*>(&e) != nullptr ||
        dynamic_cast<const CryptoPP::Gunzip::TailErr*>(&e) != nullptr)
        return DataFault::kCutShort;
    if (dynamic_cast<const CryptoPP::Gunzip::HeaderErr*>(&e) != nullptr)
        return streamSize < kGzipFraming ? DataFault::kCutShort : DataFault::kDamaged;
    if (e.GetErrorType() == CryptoPP::Exception::DATA_INTEGRITY_CHECK_FAILED)
        return DataFault::kFailsCheck;
    return DataFault::kDamaged;
}

std::array<signed char, 256> makeAlphabetTable() {
    std::array<signed char, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kPackedWordAlphabet[i])] = static_cast<signed char>(i);
    return table;
}

const std::array<signed char, 256>& alphabetTable() {
    static const std::array<signed char, 256> table = makeAlphabetTable();
    return table;
}

} // namespace

void gzipBase64Encode(std::string& text, const std::uint8_t* data, std::size_t length) {
    text.clear();
    static const std::uint8_t kNothing = 0;
    try {
        // The plain Base64 stage: without line breaks, Base64Encoder's grouping stage adds nothing but a
        // copy of every character.
        CryptoPP::StringSource source(
            data != nullptr ? data : &kNothing, data != nullptr ? length : 0, true,
            new CryptoPP::Gzip(new CryptoPP::BaseN_Encoder(kBase64Alphabet, 6, new CryptoPP::StringSink(text),
                                                           kBase64Padding),
                               kDeflateLevel, kLog2Window, true));
    } catch (const std::exception& e) {
        text.clear();
        logLine(3, "trov::Dictionary: %zu bytes of data could not be encoded: %s", length, e.what());
    }
}

bool gzipBase64Decode(const std::string& text, std::vector<std::uint8_t>& data, std::size_t maxLength,
                      DataFault* fault) {
    data.clear();
    DataFault found = DataFault::kNone;
    try {
        std::string stream;
        stream.reserve(text.size() / 4 * 3 + 3);
        CryptoPP::StringSource unbase(text, true,
                                      new CryptoPP::Base64Decoder(new CryptoPP::StringSink(stream)));
        if (stream.compare(0, 2, "\x1F\x8B") != 0)
            throw DecodeFailure(DataFault::kNotGzip);
        const std::size_t limit = std::min(maxLength, kMaxDataBytes);
        // No valid stream yields more than its trailer declares: what is kept stops there. A stream declaring
        // more than the limit is only counted, to tell data that is too long from data that is damaged.
        const std::size_t declared =
            stream.size() < kGzipFraming
                ? 0
                : trailerLength(reinterpret_cast<const std::uint8_t*>(stream.data() + stream.size() - 4));
        const std::size_t keep = declared <= limit ? declared : 0;
        // Bytes behind the gzip member are not ours: the sink refuses them, whatever the last trailer says.
        bool memberEnded = false;
        try {
            CryptoPP::StringSource unzip(
                stream, true,
                new MemberGunzip(
                    new BoundedSink(data, keep, limit, stream.size() * kMaxDeflateRatio, memberEnded),
                    memberEnded));
        } catch (const CryptoPP::Exception& e) {
            throw DecodeFailure(memberFault(e, stream.size()));
        }
        // The member's own checks have passed, so what was kept is all it holds; this guards the bound.
        if (data.size() != declared)
            throw DecodeFailure(DataFault::kFailsCheck);
        return true;
    } catch (const DecodeFailure& failure) {
        found = failure.fault;
    } catch (const std::bad_alloc&) {
        found = DataFault::kNoMemory;
    } catch (const std::exception&) {
        found = DataFault::kDamaged;
    }
    // The decoder skips what is not Base64, so any failure may come from that.
    if (!isBase64Text(text) && found != DataFault::kNoMemory)
        found = DataFault::kNotBase64;
    if (fault != nullptr)
        *fault = found;
    return false;
}

bool gzipBase64DeclaredLength(const std::string& text, std::size_t& length) {
    // The last few characters the decoder keeps decode alone into the stream's last bytes when they start
    // on the same bit of a 24-bit group as in the whole text: when as many are left out before them as a
    // multiple of four.
    const auto kept = static_cast<std::size_t>(std::count_if(text.begin(), text.end(), isBase64Character));
    if (kept * 6 / 8 < kGzipFraming)
        return false;
    const std::size_t wanted = 8 + kept % 4;
    std::string tail;
    for (auto c = text.rbegin(); c != text.rend() && tail.size() < wanted; ++c)
        if (isBase64Character(*c))
            tail.insert(tail.begin(), *c);
    std::string bytes;
    CryptoPP::StringSource source(tail, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(bytes)));
    length = trailerLength(reinterpret_cast<const std::uint8_t*>(bytes.data() + bytes.size() - 4));
    return true;
}

bool isPackedWordText(const std::string& text) {
    const auto& table = alphabetTable();
    return std::all_of(text.begin(), text.end(),
                       [&](char c) { return table[static_cast<unsigned char>(c)] >= 0; });
}

PackedWordReader::PackedWordReader(std::string text) : text_(std::move(text)) {}

std::uint32_t PackedWordReader::readWord() {
    const auto& table = alphabetTable();
    std::uint32_t word = 0;
    int need = 32;
    while (need > 0) {
        if (unusedBits_ == 0) {
            const int value =
                position_ < text_.size() ? table[static_cast<unsigned char>(text_[position_])] : 0;
            current_ = value >= 0 ? static_cast<unsigned>(value) : 0;
            unusedBits_ = 6;
            ++position_;
        }
        const int take = std::min(unusedBits_, need);
        const unsigned bits = (current_ >> (unusedBits_ - take)) & ((1u << take) - 1u);
        word = (word << take) | bits;
        unusedBits_ -= take;
        need -= take;
    }
    return word;
}

} // namespace trov
