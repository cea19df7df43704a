// Sample data in documents decodes into no more than the sample declares: a small gzip stream that
// unpacks into hundreds of megabytes is refused before it is unpacked, and the sample is left as it was.
// Data that does not decode is refused saying what the decoder found wrong with it.
#include "engine/samples/Sample.h"
#include "framework/Dictionary.h"
#include "support/PeakMemory.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace trov {
namespace {

// A gzip stream of the bytes repeated that many times, made piece by piece so the test itself never holds
// them all.
std::vector<std::uint8_t> gzipped(const std::vector<std::uint8_t>& bytes, std::size_t times = 1) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[1 << 16];
    for (std::size_t left = times;;) {
        stream.next_in = const_cast<Bytef*>(bytes.data());
        stream.avail_in = static_cast<uInt>(bytes.size());
        const int flush = --left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = chunk;
            stream.avail_out = sizeof chunk;
            deflate(&stream, flush);
            out.insert(out.end(), chunk, chunk + (sizeof chunk - stream.avail_out));
        } while (stream.avail_out == 0);
        if (flush == Z_FINISH)
            break;
    }
    deflateEnd(&stream);
    return out;
}

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t word = std::uint32_t{bytes[i]} << 16 |
                                   (i + 1 < bytes.size() ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                                   (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        text += kAlphabet[word >> 18 & 63];
        text += kAlphabet[word >> 12 & 63];
        text += i + 1 < bytes.size() ? kAlphabet[word >> 6 & 63] : '=';
        text += i + 2 < bytes.size() ? kAlphabet[word & 63] : '=';
    }
    return text;
}

Dictionary sampleDocument(int frames, const std::string& data) {
    Dictionary document;
    EXPECT_TRUE(
        document.parse("<?xml version=\"1.0\" ?><dict><file-format value=\"0.7.0\" /><channels value=\"1\" "
                       "/><samples value=\"" +
                       std::to_string(frames) + "\" /><sampledata value=\"" + data + "\" /></dict>"));
    return document;
}

TEST(SampleDataBound, AGzipStreamUnpackingIntoMoreThanTheSampleDeclaresIsRefusedBeforeItIsUnpacked) {
    const std::string bomb = base64(gzipped(std::vector<std::uint8_t>(1 << 20, 0), 256));
    ASSERT_LT(bomb.size(), std::size_t{2} << 20);
    const Dictionary document = sampleDocument(1000, bomb);
    Sample sample(nullptr);
    bool refused = false;
    const std::int64_t growth = test::peakGrowth([&] {
        try {
            sample.fromDictionary(document);
        } catch (const Exception::SampleDataCorrupt&) {
            refused = true;
        }
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(sample.getInfo().frames, 0);
    EXPECT_LT(growth, std::int64_t{32} << 20) << "the stream was unpacked";
}

TEST(SampleDataBound, DataOfTheDeclaredSizeStillLoads) {
    const std::vector<std::uint8_t> floats(4 * 1000, 0);
    std::string text;
    Dictionary::encodeData(text, floats.data(), floats.size());
    Sample sample(nullptr);
    sample.fromDictionary(sampleDocument(1000, text));
    EXPECT_EQ(sample.getInfo().frames, 1000);
    // One frame fewer declared than held: refused.
    EXPECT_THROW(sample.fromDictionary(sampleDocument(999, text)), Exception::SampleDataCorrupt);
}

TEST(SampleDataBound, DataThatDoesNotDecodeIsRefusedForWhatIsWrongWithIt) {
    constexpr int kFrames = 20000;
    std::vector<std::uint8_t> floats(4 * kFrames);
    for (std::size_t i = 0; i < floats.size(); ++i)
        floats[i] = static_cast<std::uint8_t>(i * i >> 9);
    const std::vector<std::uint8_t> stream = gzipped(floats);
    const auto damaged = [&stream](auto change) {
        std::vector<std::uint8_t> bytes = stream;
        change(bytes);
        return base64(bytes);
    };
    const auto append = [](const std::vector<std::uint8_t>& tail) {
        return
            [tail](std::vector<std::uint8_t>& bytes) { bytes.insert(bytes.end(), tail.begin(), tail.end()); };
    };
    const auto flip = [](std::size_t fromEnd, std::uint8_t bits) {
        return [=](std::vector<std::uint8_t>& bytes) { bytes[bytes.size() - fromEnd] ^= bits; };
    };
    const std::string text = base64(stream);
    std::string bang = text;
    bang[text.size() / 2] = '!';
    const char* const cutShort = "its data ends before its gzip stream does";
    const char* const bytesAfter = "its data has bytes after the end of its gzip stream";
    const char* const failsCheck = "its data fails its gzip stream's check";
    const struct {
        const char* damage;
        std::string text;
        const char* reason;
    } cases[] = {
        {"cut in half", text.substr(0, text.size() / 2), cutShort},
        {"without its last byte", damaged([](auto& bytes) { bytes.resize(bytes.size() - 1); }), cutShort},
        {"without its trailer", damaged([](auto& bytes) { bytes.resize(bytes.size() - 8); }), cutShort},
        {"a '!' inside", bang, "its data is not Base64"},
        {"one byte after", damaged(append({0})), bytesAfter},
        {"16 noisy bytes after",
         damaged(append({9, 200, 17, 3, 250, 77, 1, 99, 180, 42, 7, 13, 255, 128, 64, 222})), bytesAfter},
        {"16 bytes after, the last four a small length",
         damaged(append({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 0, 0, 0})), bytesAfter},
        {"a failing CRC", damaged(flip(8, 1)), failsCheck},
        {"a trailer declaring 4 bytes fewer", damaged(flip(4, 0x80 ^ 0x7C)), failsCheck},
        {"a trailer declaring more", damaged(flip(2, 0x10)), failsCheck},
        {"no gzip stream", base64(floats), "its data is not a gzip stream"},
    };
    for (const auto& [damage, data, reason] : cases)
        try {
            Sample(nullptr).fromDictionary(sampleDocument(kFrames, data));
            ADD_FAILURE() << damage << " loads";
        } catch (const Exception::SampleDataCorrupt& refusal) {
            EXPECT_STREQ(refusal.what(), reason) << damage;
        }
    // Whole data that holds more than the item declares is told as that; fewer frames than declared load.
    try {
        Sample(nullptr).fromDictionary(sampleDocument(kFrames - 1, text));
        ADD_FAILURE() << "more frames than declared load";
    } catch (const Exception::SampleDataCorrupt& refusal) {
        EXPECT_STREQ(refusal.what(), "its data holds more than the 19999 frames it declares");
    }
    Sample sample(nullptr);
    sample.fromDictionary(sampleDocument(kFrames + 1, text));
    EXPECT_EQ(sample.getInfo().frames, kFrames);
}

} // namespace
} // namespace trov
