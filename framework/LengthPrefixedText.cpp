#include "framework/LengthPrefixedText.h"

#include <algorithm>
#include <cstring>

namespace trov {

void toLengthPrefixedText(unsigned char* destination, const std::string& text, std::size_t maximum) {
    const std::size_t length = std::min({text.size(), maximum, std::size_t{255}});
    destination[0] = static_cast<unsigned char>(length);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the length byte ends the text, not a NUL
    std::memcpy(destination + 1, text.data(), length);
}

} // namespace trov
