#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trov {

// The text forms of binary "data" values in dictionary documents. Every function may be called from any
// thread; a PackedWordReader belongs to one thread.

// The most bytes one value may decode into: what a hostile length or gzip stream can make us allocate.
constexpr std::size_t kMaxDataBytes = std::size_t{512} << 20;

// The characters of the packed-word form; a character's value is its position.
constexpr char kPackedWordAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+-";

// Packs the bytes with gzip (deflate level 3, window 2^15, data that does not shrink is stored) and writes
// them as Base64 without line breaks. The text is cleared first.
void gzipBase64Encode(std::string& text, const std::uint8_t* data, std::size_t length);

// Why a binary "data" text did not decode, as the decoder found it.
enum class DataFault {
    kNone,
    kNotBase64,  // a character other than Base64's, its padding or a blank
    kNotGzip,    // the bytes do not begin as a gzip stream
    kCutShort,   // the stream ends before its gzip member does
    kDamaged,    // the member's compressed blocks do not decode
    kFailsCheck, // the unpacked bytes fail the member's CRC or length
    kBytesAfter, // bytes follow the gzip member
    kTooLong,    // the text unpacks into more than the caller allows
    kNoMemory,
};

// Reads a gzip+Base64 text back. False when it does not decode, with the reason in `fault` when given;
// `data` then holds what was decoded before the failure. The output is kept only up to the length the
// stream's last word declares, when that is at most maxLength: beyond it, and for a stream declaring more,
// the rest is only counted, up to maxLength bytes, to tell why it fails. So memory never grows past what the
// caller allows, and unpacking costs no more than a text holding maxLength bytes would.
bool gzipBase64Decode(const std::string& text, std::vector<std::uint8_t>& data,
                      std::size_t maxLength = kMaxDataBytes, DataFault* fault = nullptr);

// The length a gzip+Base64 text's stream declares (its trailer's last word, modulo 2^32): what
// gzipBase64Decode yields if the text decodes at all. Read from the text's last characters without decoding
// the rest; false when the text is too short to hold a stream.
bool gzipBase64DeclaredLength(const std::string& text, std::size_t& length);

// True when every character of the text is in the packed-word alphabet; an empty text is.
bool isPackedWordText(const std::string& text);

// Reads the older packed-word form: a stream of bits, six per character, most significant first, from
// which each word takes the next 32 bits. Characters past the end of the text, and characters outside the
// alphabet, read as 0.
class PackedWordReader {
public:
    explicit PackedWordReader(std::string text);
    std::uint32_t readWord();

private:
    std::string text_;
    std::size_t position_ = 0;
    unsigned current_ = 0;
    int unusedBits_ = 0;
};

} // namespace trov
