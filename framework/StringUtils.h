#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trov {

// Each character of `from` becomes the one at the same position of `to` (or `to`'s last character);
// the passes run in order, so a character produced by an earlier pass is translated again by a later one.
std::string translateCharacters(const std::string& text, const std::string& from, const std::string& to);
std::string toLowerCase(const std::string& text);
std::string toUpperCase(const std::string& text);
// Backslash, backslash, "n" becomes a line feed (the newline rule of stored strings).
std::string unescapeNewlines(const std::string& text);
// Left to right, non-overlapping; replaced text is not searched again.
std::string replaceAll(const std::string& text, const std::string& search, const std::string& replacement);
// The value of the leading hexadecimal digits; 0 when there are none.
std::int32_t hexToInteger(const std::string& text);
// A reason as the end of a sentence: a full stop added unless it ends in one (or "!" or "?").
std::string asSentence(const std::string& reason);
// The text as it is when it holds at most `most` bytes; else cut there, at the first byte of a UTF-8
// character rather than inside one, and "..." added.
std::string cutWithEllipsis(const std::string& text, std::size_t most);

// Character sets for filterCharacters.
enum CharacterFilter { kFilterName = 0, kFilterUrl = 1, kFilterAlphanumeric = 2 };
std::string filterCharacters(const std::string& text, int mode);

} // namespace trov
