#include "framework/DictionaryCodec.h"
#include "framework/Dictionary.h"

#include <crypto++/base64.h>
#include <crypto++/filters.h>
#include <crypto++/gzip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace trov {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    Bytes bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

std::string encode(const Bytes& bytes) {
    std::string text;
    gzipBase64Encode(text, bytes.data(), bytes.size());
    return text;
}

std::string base64(const std::string& bytes) {
    std::string text;
    CryptoPP::StringSource source(bytes, true,
                                  new CryptoPP::Base64Encoder(new CryptoPP::StringSink(text), false));
    return text;
}

std::string unbase64(const std::string& text) {
    std::string bytes;
    CryptoPP::StringSource source(text, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(bytes)));
    return bytes;
}

// Decodes as a document's reader does.
Bytes decodeQuietly(const std::string& text, bool* ok, std::size_t expected = 0) {
    Bytes data;
    *ok = Dictionary::decodeData(text, &data, expected);
    return data;
}

TEST(DictionaryCodec, BinaryDataOfEverySizeRoundTrips) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
        const Bytes bytes = randomBytes(size, static_cast<unsigned>(size));
        Bytes back;
        ASSERT_TRUE(gzipBase64Decode(encode(bytes), back)) << size;
        EXPECT_EQ(back, bytes) << size;

        Dictionary d;
        d.setString("file-format", "0.7.0");
        ASSERT_TRUE(d.setData("sampledata", bytes.data(), bytes.size()));
        Dictionary reread;
        ASSERT_TRUE(reread.parse(d.toDocumentText()));
        Bytes fromDocument;
        ASSERT_TRUE(reread.getData("sampledata", &fromDocument));
        EXPECT_EQ(fromDocument, bytes) << size;
    }
}

TEST(DictionaryCodec, EncodesAsGzipInBase64WithoutLineBreaks) {
    const std::string text = encode({'a', 'b', 'c'});
    EXPECT_EQ(text.rfind("H4sI", 0), 0u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.size() % 4, 0u);
    const std::string stream = unbase64(text);
    ASSERT_GE(stream.size(), 18u);
    EXPECT_EQ(static_cast<unsigned char>(stream[2]), 8u); // deflate
    EXPECT_EQ(stream.substr(stream.size() - 4), std::string("\x03\0\0\0", 4));

    // Data that does not shrink is stored, so it grows by little more than the framing.
    const Bytes noise = randomBytes(100000, 7);
    EXPECT_LT(unbase64(encode(noise)).size(), noise.size() + 100);
}

TEST(DictionaryCodec, TextIsExactlyTheBase64OfTheGzipStreamAsDocumentsHaveAlwaysHeldIt) {
    // Texts as documents hold them; every padding case of the last group.
    const std::pair<const char*, const char*> known[] = {
        {"", "H4sIAAAAAAAAAwMAAAAAAAAAAAA="},
        {"a", "H4sIAAAAAAAAA0sEAEO+t+gBAAAA"},
        {"ab", "H4sIAAAAAAAAA0tMAgBtSIOeAgAAAA=="},
        {"abc", "H4sIAAAAAAAAA0tMSgYAwkEkNQMAAAA="},
        {"abcde", "H4sIAAAAAAAAA0tMSk5JBQBl2IeFBQAAAA=="},
    };
    for (const auto& [bytes, text] : known)
        EXPECT_EQ(encode(Bytes(bytes, bytes + std::strlen(bytes))), text) << bytes;
    // The same as the library's line-breaking encoder with line breaks off, at every size up to some
    // blocks of the gzip stage.
    for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{57}, std::size_t{4095},
                             std::size_t{65537}, std::size_t{300001}})
        for (const Bytes& bytes : {randomBytes(size, 3), Bytes(size, 0x5A)}) {
            std::string stream;
            CryptoPP::StringSource source(bytes.data(), bytes.size(), true,
                                          new CryptoPP::Gzip(new CryptoPP::StringSink(stream), 3, 15, true));
            EXPECT_EQ(encode(bytes), base64(stream)) << size;
        }
}

TEST(DictionaryCodec, ReadsTheLegacyPackedWordsToTheirExactBytes) {
    bool ok = false;
    EXPECT_EQ(decodeQuietly("000000000000", &ok, 8), Bytes(8, 0));
    EXPECT_TRUE(ok);
    // Only the top two bits of the sixth character belong to the first word.
    EXPECT_EQ(decodeQuietly("000003", &ok, 4), Bytes(4, 0));
    // z = 100011: the bit stream 100011 x5 then 10 is 0x8E38E38E, stored little-endian.
    EXPECT_EQ(decodeQuietly("zzzzzz", &ok, 4), (Bytes{0x8E, 0xE3, 0x38, 0x8E}));
    EXPECT_EQ(decodeQuietly("Zz-9k3Q+0a1", &ok, 8), (Bytes{0x50, 0xC9, 0x3F, 0xF6, 0xA0, 0x00, 0x3E, 0x3D}));
    // A length that is no multiple of four leaves its last bytes zero; missing characters read as zero.
    EXPECT_EQ(decodeQuietly("zzzzzz", &ok, 6), (Bytes{0x8E, 0xE3, 0x38, 0x8E, 0, 0}));
    const Bytes padded = decodeQuietly("z", &ok, 1 << 12);
    EXPECT_TRUE(ok);
    ASSERT_EQ(padded.size(), 4096u);
    EXPECT_EQ(padded[3], 0x8C);
    EXPECT_EQ(std::count(padded.begin(), padded.end(), 0), 4095);
}

TEST(DictionaryCodec, TellsThePackedFormByItsAlphabetButReadsGzipTextThatFitsItAsGzip) {
    EXPECT_TRUE(isPackedWordText(""));
    EXPECT_TRUE(isPackedWordText(kPackedWordAlphabet));
    for (const char* text : {"abc=", "ab/c", "ab c"})
        EXPECT_FALSE(isPackedWordText(text)) << text;

    // Find data whose encoding has no "/" and no "=": it passes the packed-word alphabet test.
    Bytes bytes;
    std::string text = "=";
    for (unsigned seed = 0; seed < 10000 && !isPackedWordText(text); ++seed) {
        bytes = randomBytes(6 + seed % 30, seed);
        text = encode(bytes);
    }
    ASSERT_TRUE(isPackedWordText(text));
    bool ok = false;
    EXPECT_EQ(decodeQuietly(text, &ok, 4), bytes);
    EXPECT_TRUE(ok);
}

TEST(DictionaryCodec, TextsThatDoNotDecodeAreRefused) {
    const std::string good = encode({'a', 'b', 'c'});
    const std::string stream = unbase64(good);
    std::string flipped = stream;
    flipped[12] ^= 0x55;
    std::string wrongLength = stream;
    wrongLength[stream.size() - 4] = 2;
    // Behind the member, ending in a trailer that states the total: the member's 3 bytes and these 12.
    const std::string behindWithTotal = "trailing" + std::string(1, '\x0F') + std::string(3, '\0');

    const std::string bad[] = {
        "!!!not base64!!!",
        good.substr(0, good.size() - 8),   // truncated
        base64(flipped),                   // damaged stream
        base64(wrongLength),               // declares fewer bytes than it holds
        base64(stream + "trailing bytes"), // bytes behind the stream
        base64(stream + behindWithTotal),
        base64("not gzip"),
    };
    for (const std::string& text : bad) {
        bool ok = true;
        decodeQuietly(text, &ok);
        EXPECT_FALSE(ok) << text;
    }

    Dictionary d{
        std::string("<dict><file-format value=\"0.7\" /><sampledata value=\"" + bad[0] + "\" /></dict>")};
    Bytes data{9};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(d.getData("sampledata", &data));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(data, Bytes{9});
}

TEST(DictionaryCodec, NeverDecodesPastTheLengthTheStreamDeclares) {
    // A compressed run of 64 MB of zeros whose trailer claims 1 KB.
    std::string bomb;
    CryptoPP::Gzip zip(new CryptoPP::StringSink(bomb), 9);
    const Bytes zeros(1 << 20, 0);
    for (int i = 0; i < 64; ++i)
        zip.Put(zeros.data(), zeros.size());
    zip.MessageEnd();
    const auto decodeWithTrailer = [&](const char* size, Bytes& data) {
        bomb.replace(bomb.size() - 4, 4, std::string(size, 4));
        return gzipBase64Decode(base64(bomb), data);
    };
    Bytes data;
    EXPECT_FALSE(decodeWithTrailer(
        "\x00\x04\x00\x00", data)); // NOLINT(bugprone-string-literal-with-embedded-nul): four bytes are read
    EXPECT_EQ(data.size(), 1024u);
    // A trailer claiming more than any value may hold is refused before anything is unpacked.
    EXPECT_FALSE(decodeWithTrailer("\xFF\xFF\xFF\xFF", data));
    EXPECT_TRUE(data.empty());

    bool ok = true;
    decodeQuietly("0", &ok, kMaxDataBytes + 1);
    EXPECT_FALSE(ok);
}

} // namespace
} // namespace trov
