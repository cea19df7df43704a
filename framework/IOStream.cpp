#include "framework/IOStream.h"

#include <cstring>
#include <vector>

namespace trov {

namespace {

template <typename T> T fromLittleEndian(const unsigned char* bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = sizeof(T); i > 0; --i)
        value = (value << 8) | bytes[i - 1];
    return static_cast<T>(value);
}

template <typename T> bool readLittleEndian(IOStream& stream, T& out) {
    unsigned char bytes[sizeof(T)];
    if (!stream.read(bytes, sizeof bytes, true))
        return false;
    out = fromLittleEndian<T>(bytes);
    return true;
}

// A short read leaves the missing high bytes zero.
template <typename T> T readStreamValue(std::istream& in) {
    unsigned char bytes[sizeof(T)] = {};
    in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    return fromLittleEndian<T>(bytes);
}

} // namespace

IOStream::~IOStream() = default;

bool IOStream::readValue(void* data, std::size_t size) {
    return read(data, size, true);
}

bool IOStream::readLong(std::int32_t& value) {
    return readLittleEndian(*this, value);
}

bool IOStream::readShort(std::int16_t& value) {
    return readLittleEndian(*this, value);
}

bool IOStream::readChar(std::int8_t& value) {
    return readLittleEndian(*this, value);
}

bool IOStream::expectString(const std::string& text) {
    return expectData(text.data(), text.size());
}

bool IOStream::expectData(const void* bytes, std::size_t size) {
    std::vector<unsigned char> scratch(size);
    if (!read(scratch.data(), size, true))
        return false;
    return size == 0 || std::memcmp(scratch.data(), bytes, size) == 0;
}

std::int16_t readStreamShort(std::istream& in) {
    return readStreamValue<std::int16_t>(in);
}

std::int32_t readStreamLong(std::istream& in) {
    return readStreamValue<std::int32_t>(in);
}

float readStreamFloat(std::istream& in) {
    const std::int32_t bits = readStreamValue<std::int32_t>(in);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace trov
