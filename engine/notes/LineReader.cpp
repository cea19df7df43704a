#include "engine/notes/LineReader.h"

#include <istream>

namespace trov {

LineReader::LineReader(std::istream& in, std::size_t maxLength)
    : buffer_(in.rdbuf()), maxLength_(maxLength) {}

bool LineReader::next(std::string& line) {
    line.clear();
    if (buffer_ == nullptr)
        return false;
    using Traits = std::char_traits<char>;
    int c = buffer_->sbumpc();
    if (c == Traits::eof())
        return false;
    for (; c != Traits::eof() && c != '\n'; c = buffer_->sbumpc())
        if (line.size() < maxLength_)
            line.push_back(static_cast<char>(c));
    return true;
}

} // namespace trov
