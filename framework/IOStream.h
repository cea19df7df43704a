#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

namespace trov {

// Abstract binary input stream: typed little-endian reads over one pure read operation.
class IOStream {
public:
    IOStream() = default;
    IOStream(const IOStream&) = default;
    IOStream& operator=(const IOStream&) = default;
    virtual ~IOStream();

    virtual bool readValue(void* data, std::size_t size);
    virtual bool readLong(std::int32_t& value);
    virtual bool readShort(std::int16_t& value);
    virtual bool readChar(std::int8_t& value);
    virtual bool expectString(const std::string& text);
    virtual bool getFlag() const { return flag_; }
    // True only when all size bytes were read.
    virtual bool read(void* data, std::size_t size, bool flag) = 0;
    virtual bool expectData(const void* bytes, std::size_t size);

private:
    bool flag_ = true;
};

// Reads from a standard stream into a zeroed value, little-endian.
std::int16_t readStreamShort(std::istream& in);
std::int32_t readStreamLong(std::istream& in);
float readStreamFloat(std::istream& in);

} // namespace trov
