// Sample data in documents decodes into no more than the sample declares: a small gzip stream that
// unpacks into hundreds of megabytes is refused before it is unpacked, and the sample is left as it was.
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

// A gzip stream of that many zero bytes, made piece by piece so the test itself never holds them.
std::vector<std::uint8_t> gzippedZeros(std::size_t bytes) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    const std::vector<std::uint8_t> zeros(1 << 20, 0);
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[1 << 16];
    for (std::size_t left = bytes;;) {
        const std::size_t piece = std::min(left, zeros.size());
        stream.next_in = const_cast<Bytef*>(zeros.data());
        stream.avail_in = static_cast<uInt>(piece);
        left -= piece;
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
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
    const std::string bomb = base64(gzippedZeros(std::size_t{256} << 20));
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

} // namespace
} // namespace trov
