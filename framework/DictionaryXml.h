#pragma once

// Internal to the dictionary: guarded parsing of XML text. Not for callers outside framework/Dictionary*.

#include <cstddef>
#include <string>

class TiXmlDocument;

namespace trov::dictionary_xml {

// The XML parser recurses once per element level, so nesting is what bounds its stack; it also finds
// duplicate attributes by a linear search, so attributes per element bound its time. Real documents nest
// about ten levels and carry a handful of attributes per element.
constexpr int kMaxDepth = 256;
constexpr std::size_t kMaxAttributesPerElement = 1024;
// Nodes and attributes together: what a document may cost in parsed objects.
constexpr std::size_t kMaxItems = 1000000;
constexpr std::size_t kMaxTextBytes = std::size_t{512} << 20;
// NUL bytes behind the text: the parser may step a few bytes past the terminator of a truncated text.
constexpr std::size_t kPadding = 64;

struct XmlShape {
    std::size_t elements = 0;
    std::size_t items = 0;
    int maxDepth = 0;
    // The guard the text exceeds (the walk stopped there), or null.
    const char* limit = nullptr;
    // The parser would stop on malformed text here; some of these stops it does not report as errors.
    const char* stop = nullptr;
    // The parser would read the text as 8-bit characters: no byte-order mark, and no declaration or one
    // naming an encoding other than UTF-8.
    bool legacy = false;
    // No byte-order mark and no declaration: what a document's node writes without its document.
    bool undeclared = false;
};

// Walks the text exactly as the XML parser will read it, without recursion, and reports how deep and how
// large the parsed tree would be. `text` must be followed by at least kPadding NUL bytes. With `utf8` the
// text is read as UTF-8 whatever its declaration says.
XmlShape measureXml(const char* text, bool utf8 = false);

// An 8-bit text as UTF-8: bytes 0x80-0x9F as the Windows code page has them, the others as Latin-1.
std::string legacyToUtf8(const std::string& text);
// A text meant as UTF-8, its well-formed characters kept and every other byte taken as `legacyToUtf8`
// takes it.
std::string strayBytesToUtf8(const std::string& text);

// Switches the parser's white-space condensing off, once for the process.
void prepareXml();

// Parses text into an empty document unless its tree would exceed the guards. Returns what went wrong,
// empty on success. A document is always held as UTF-8: text the parser would read as 8-bit characters is
// converted first (and its declaration made to say UTF-8), so what is read is written back in a form
// that reads again. Other texts are parsed as they are. The text is taken, not copied: a caller done with
// it moves it in, and one with room for kPadding more bytes spares the parse a copy of it.
std::string parseXml(TiXmlDocument& document, std::string text);

} // namespace trov::dictionary_xml
