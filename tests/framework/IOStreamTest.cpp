#include "framework/IOStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

using namespace trov;

namespace {

// A stream over a byte string, to drive the typed reads through the one read operation.
class BytesStream : public IOStream {
public:
    explicit BytesStream(std::string bytes) : bytes_(std::move(bytes)) {}
    bool read(void* data, std::size_t size, bool) override {
        if (bytes_.size() - at_ < size)
            return false;
        std::memcpy(data, bytes_.data() + at_, size);
        at_ += size;
        return true;
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

TEST(IOStreamReads, NumbersAreLittleEndianAndAShortReadLeavesTheTargetAsItWas) {
    BytesStream stream(std::string("\x01\x02\x03\x84\xFE\xFF\x80\x01\x02", 9));
    std::int32_t l = 0;
    std::int16_t s = 0;
    std::int8_t c = 0;
    EXPECT_TRUE(stream.readLong(l));
    EXPECT_EQ(l, static_cast<std::int32_t>(0x84030201u));
    EXPECT_TRUE(stream.readShort(s));
    EXPECT_EQ(s, -2);
    EXPECT_TRUE(stream.readChar(c));
    EXPECT_EQ(c, -128);
    EXPECT_TRUE(stream.getFlag());
    EXPECT_FALSE(stream.readLong(l));
    EXPECT_EQ(l, static_cast<std::int32_t>(0x84030201u));
    EXPECT_TRUE(stream.readShort(s));
    EXPECT_EQ(s, 0x0201);
}

TEST(IOStreamReads, ExpectedBytesMustMatchAndBeThere) {
    BytesStream stream("RIFFWAVE");
    EXPECT_TRUE(stream.expectString("RIFF"));
    EXPECT_FALSE(stream.expectString("WAVX"));
    EXPECT_FALSE(stream.expectString("more"));
    EXPECT_FALSE(BytesStream("WA").expectString("WAVE"));
}

TEST(StreamFunctions, ReadIntoAZeroedValue) {
    std::istringstream in(std::string("\x34\x12\x78\x56\x34\x12\x00\x00\xC0\x3F\x01", 11));
    EXPECT_EQ(readStreamShort(in), 0x1234);
    EXPECT_EQ(readStreamLong(in), 0x12345678);
    EXPECT_EQ(readStreamFloat(in), 1.5f);
    EXPECT_EQ(readStreamLong(in), 1); // only one byte was left
}

} // namespace
