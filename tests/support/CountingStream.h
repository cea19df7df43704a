#pragma once

#include <algorithm>
#include <cstring>
#include <ios>
#include <streambuf>
#include <string>

namespace trov::test {

// An input stream buffer over the bytes given that counts the reads and seeks asked of it. It holds no
// buffer of its own, so each read of an istream on it reaches it: tests bound how often a reader goes to
// its stream.
class CountingBuffer : public std::streambuf {
public:
    explicit CountingBuffer(std::string bytes) : bytes_(std::move(bytes)) {}
    int calls = 0;

protected:
    int_type underflow() override {
        ++calls;
        return at_ < bytes_.size() ? traits_type::to_int_type(bytes_[at_]) : traits_type::eof();
    }
    int_type uflow() override {
        const int_type next = underflow();
        at_ += next != traits_type::eof() ? 1 : 0;
        return next;
    }
    std::streamsize xsgetn(char* out, std::streamsize count) override {
        ++calls;
        const std::size_t n = std::min(static_cast<std::size_t>(count), bytes_.size() - at_);
        std::memcpy(out, bytes_.data() + at_, n);
        at_ += n;
        return static_cast<std::streamsize>(n);
    }
    pos_type seekoff(off_type offset, std::ios::seekdir from, std::ios::openmode) override {
        const auto base = static_cast<off_type>(from == std::ios::beg   ? 0
                                                : from == std::ios::cur ? at_
                                                                        : bytes_.size());
        return seekpos(base + offset, std::ios::in);
    }
    pos_type seekpos(pos_type position, std::ios::openmode) override {
        ++calls;
        if (position < 0 || static_cast<std::size_t>(position) > bytes_.size())
            return pos_type(off_type(-1));
        at_ = static_cast<std::size_t>(position);
        return position;
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

} // namespace trov::test
