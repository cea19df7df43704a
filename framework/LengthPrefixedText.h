#pragma once

#include <cstddef>
#include <string>

namespace trov {

// Stores the text's length, cut to maximum (and to 255, what one byte holds), in destination[0] and that
// many characters after it, with no terminator. destination must hold maximum + 1 bytes. Any thread.
void toLengthPrefixedText(unsigned char* destination, const std::string& text, std::size_t maximum);

} // namespace trov
