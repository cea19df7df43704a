#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace trov {

// Reads a text stream line by line for the parsers of small text files (slice side files, scales), keeping
// at most a given number of characters of each line so that a hostile file cannot make a line grow without
// bound. A last line that ends at the end of the stream counts as a line. One thread at a time.
class LineReader {
public:
    LineReader(std::istream& in, std::size_t maxLength);

    // The next line without its line feed (a carriage return stays); false when nothing is left.
    bool next(std::string& line);

private:
    std::streambuf* buffer_;
    std::size_t maxLength_;
};

} // namespace trov
