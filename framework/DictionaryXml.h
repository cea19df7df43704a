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
};

// Walks the text exactly as the XML parser will read it, without recursion, and reports how deep and how
// large the parsed tree would be. `text` must be followed by at least kPadding NUL bytes.
XmlShape measureXml(const char* text);

// Switches the parser's white-space condensing off, once for the process.
void prepareXml();

// Parses text into an empty document unless its tree would exceed the guards. Returns what went wrong,
// empty on success.
std::string parseXml(TiXmlDocument& document, const std::string& text);

} // namespace trov::dictionary_xml
