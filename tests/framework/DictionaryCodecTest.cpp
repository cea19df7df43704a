#include "framework/Dictionary.h"
#include "framework/DictionaryCodec.h"

#include <crypto++/base64.h>
#include <crypto++/filters.h>
#include <crypto++/gzip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace trov {
namespace {

std::vector<std::uint8_t> randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

std::string base64(const std::string& bytes) {
    std::string text;
    CryptoPP::StringSource source(bytes, true, new CryptoPP::Base64Encoder(new CryptoPP::StringSink(text), false));
    return text;
}

std::string unbase64(const std::string& text) {
    std::string bytes;
    CryptoPP::StringSource source(text, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(bytes)));
    return bytes;
}

std::vector<std::uint8_t> decodeQuietly(const std::string& text, bool* ok, std::size_t expected = 0) {
    std::vector<std::uint8_t> data;
    testing::internal::CaptureStdout();
    *ok = Dictionary::decodeData(text, &data, expected);
    testing::internal::GetCapturedStdout();
    return data;
}

TEST(DictionaryCodec, BinaryDataOfEverySizeRoundTrips) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
        const std::vector<std::uint8_t> bytes = randomBytes(size, static_cast<unsigned>(size));
        std::string text;
        gzipBase64Encode(text, bytes.data(), bytes.size());
        std::vector<std::uint8_t> back;
        ASSERT_TRUE(gzipBase64Decode(text, back)) << size;
        EXPECT_EQ(back, bytes) << size;

        Dictionary d;
        d.setString("file-format", "0.7.0");
        ASSERT_TRUE(d.setData("sampledata", bytes.data(), bytes.size()));
        Dictionary reread;
        ASSERT_TRUE(reread.parse(d.toDocumentText()));
        std::vector<std::uint8_t> fromDocument;
        ASSERT_TRUE(reread.getData("sampledata", &fromDocument));
        EXPECT_EQ(fromDocument, bytes) << size;
    }
}

TEST(DictionaryCodec, EncodesAsGzipInBase64WithoutLineBreaks) {
    const std::string abc = "abc";
    std::string text;
    gzipBase64Encode(text, reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size());
    EXPECT_EQ(text.rfind("H4sI", 0), 0u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.size() % 4, 0u);
    const std::string stream = unbase64(text);
    ASSERT_GE(stream.size(), 18u);
    EXPECT_EQ(static_cast<unsigned char>(stream[2]), 8u); // deflate
    EXPECT_EQ(stream.substr(stream.size() - 4), std::string("\x03\0\0\0", 4));

    // Data that does not shrink is stored, so it grows by little more than the framing.
    const auto noise = randomBytes(100000, 7);
    gzipBase64Encode(text, noise.data(), noise.size());
    EXPECT_LT(unbase64(text).size(), noise.size() + 100);
}

TEST(DictionaryCodec, ReadsTheLegacyPackedWordsToTheirExactBytes) {
    bool ok = false;
    auto twoZeros = decodeQuietly("000000000000", &ok, 8);
    EXPECT_TRUE(ok);
    EXPECT_EQ(twoZeros, std::vector<std::uint8_t>(8, 0));
    // Only the top two bits of the sixth character belong to the first word.
    EXPECT_EQ(decodeQuietly("000003", &ok, 4), std::vector<std::uint8_t>(4, 0));
    // z = 100011: the bit stream 100011 x5 then 10 is 0x8E38E38E, stored little-endian.
    EXPECT_EQ(decodeQuietly("zzzzzz", &ok, 4), (std::vector<std::uint8_t>{0x8E, 0xE3, 0x38, 0x8E}));
    EXPECT_EQ(decodeQuietly("Zz-9k3Q+0a1", &ok, 8),
              (std::vector<std::uint8_t>{0x50, 0xC9, 0x3F, 0xF6, 0xA0, 0x00, 0x3E, 0x3D}));
    // A length that is no multiple of four leaves its last bytes zero.
    EXPECT_EQ(decodeQuietly("zzzzzz", &ok, 6), (std::vector<std::uint8_t>{0x8E, 0xE3, 0x38, 0x8E, 0, 0}));

    PackedWordReader reader("zzzzzz");
    EXPECT_EQ(reader.readWord(), 0x8E38E38Eu);
}

TEST(DictionaryCodec, PackedTextShorterThanItsLengthReadsMissingCharactersAsZero) {
    bool ok = false;
    const auto bytes = decodeQuietly("z", &ok, 1 << 12);
    ASSERT_TRUE(ok);
    ASSERT_EQ(bytes.size(), 4096u);
    EXPECT_EQ(bytes[3], 0x8C);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), 4095);
}

TEST(DictionaryCodec, GzipTextMadeOnlyOfPackedCharactersIsStillReadAsGzip) {
    // Find data whose encoding has no "/" and no "=": it passes the packed-word alphabet test.
    std::vector<std::uint8_t> bytes;
    std::string text;
    for (unsigned seed = 0; seed < 10000; ++seed) {
        bytes = randomBytes(6 + seed % 30, seed);
        gzipBase64Encode(text, bytes.data(), bytes.size());
        if (isPackedWordText(text))
            break;
    }
    ASSERT_TRUE(isPackedWordText(text));
    bool ok = false;
    EXPECT_EQ(decodeQuietly(text, &ok, 4), bytes);
    EXPECT_TRUE(ok);
}

TEST(DictionaryCodec, TellsThePackedFormByItsAlphabet) {
    EXPECT_TRUE(isPackedWordText(""));
    EXPECT_TRUE(isPackedWordText(kPackedWordAlphabet));
    EXPECT_FALSE(isPackedWordText("abc="));
    EXPECT_FALSE(isPackedWordText("ab/c"));
    EXPECT_FALSE(isPackedWordText("ab c"));
}

TEST(DictionaryCodec, TextsThatDoNotDecodeAreRefused) {
    const std::string abc = "abc";
    std::string good;
    gzipBase64Encode(good, reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size());
    const std::string stream = unbase64(good);
    std::string flipped = stream;
    flipped[12] ^= 0x55;
    std::string wrongLength = stream;
    wrongLength[stream.size() - 4] = 2;

    const std::string bad[] = {
        "!!!not base64!!!",
        good.substr(0, good.size() - 8),     // truncated
        base64(flipped),                     // damaged stream
        base64(wrongLength),                 // declares fewer bytes than it holds
        base64(stream + "trailing bytes"),   // bytes behind the stream
        base64("not gzip"),
    };
    for (const std::string& text : bad) {
        bool ok = true;
        decodeQuietly(text, &ok);
        EXPECT_FALSE(ok) << text;
    }

    Dictionary d{std::string("<dict><file-format value=\"0.7\" /><sampledata value=\"" + bad[0] + "\" /></dict>")};
    std::vector<std::uint8_t> data{9};
    testing::internal::CaptureStdout();
    EXPECT_FALSE(d.getData("sampledata", &data));
    EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("unsuccessful!  caught unknown: ", 0), 0u);
    EXPECT_EQ(data, std::vector<std::uint8_t>{9});
}

TEST(DictionaryCodec, NeverDecodesPastTheLengthTheStreamDeclares) {
    // A compressed run of 64 MB of zeros whose trailer claims 1 KB.
    std::string bomb;
    CryptoPP::Gzip zip(new CryptoPP::StringSink(bomb), 9);
    const std::vector<std::uint8_t> zeros(1 << 20, 0);
    for (int i = 0; i < 64; ++i)
        zip.Put(zeros.data(), zeros.size());
    zip.MessageEnd();
    bomb.replace(bomb.size() - 4, 4, std::string("\x00\x04\x00\x00", 4));
    std::vector<std::uint8_t> data;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(gzipBase64Decode(base64(bomb), data));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(data.size(), 1024u);

    // A trailer claiming more than any value may hold is refused before anything is unpacked.
    bomb.replace(bomb.size() - 4, 4, std::string("\xFF\xFF\xFF\xFF", 4));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(gzipBase64Decode(base64(bomb), data));
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(data.empty());

    bool ok = true;
    decodeQuietly("0", &ok, kMaxDataBytes + 1);
    EXPECT_FALSE(ok);
}

} // namespace
} // namespace trov
