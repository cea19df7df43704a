#include "framework/DictionaryXml.h"

#include <tinyxml.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

namespace trov::dictionary_xml {

namespace {

// The walker follows the parser's reading rules step by step (white space, names, entities, multi-byte
// characters, quoting, comments, CDATA, declarations and its lenient unquoted attributes), because a
// simpler scan could be fooled into counting fewer levels than the parser will recurse into. The rules are
// those of TinyXML 2.6.2; the document parse fuzz target checks that walk and parser agree.

enum class Encoding { kUnknown, kUtf8, kLegacy };
enum class Kind { kNone, kDeclaration, kComment, kCData, kUnknown, kElement };

int utf8Length(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    return 1;
}

bool isWhite(char c) {
    return std::isspace(static_cast<unsigned char>(c)) || c == '\n' || c == '\r';
}
bool isAlpha(unsigned char c) {
    return c < 127 ? std::isalpha(c) != 0 : true;
}
bool isAlphaNum(unsigned char c) {
    return c < 127 ? std::isalnum(c) != 0 : true;
}

// Code points of 2^21 and above give nothing, as in the parser.
void appendUtf8(unsigned long code, std::string& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x200000) {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

struct Entity {
    const char* text;
    std::size_t length;
    char value;
};
constexpr Entity kEntities[] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};

class Walker {
public:
    Walker(const char* text, bool utf8)
        : text_(text), end_(text + std::strlen(text)),
          encoding_(utf8 ? Encoding::kUtf8 : Encoding::kUnknown) {}
    XmlShape run();

private:
    int toLower(int v, Encoding encoding) const;
    bool startsWith(const char* p, const char* tag, bool ignoreCase, Encoding encoding) const;
    bool startsWith(const char* p, const char* tag, bool ignoreCase) const {
        return startsWith(p, tag, ignoreCase, encoding_);
    }
    const char* skipWhite(const char* p) const;
    const char* readName(const char* p) const;
    const char* getEntity(const char* p, std::string* out) const;
    const char* getChar(const char* p, std::string* out) const;
    const char* plainTextEnd(const char* p, char endTag) const;
    const char* readText(const char* p, std::string* out, const char* endTag) const;
    const char* attribute(const char* p, std::string_view* name, std::string* value) const;
    Kind identify(const char* p) const;
    const char* declaration(const char* p, std::string* encoding) const;
    const char* comment(const char* p) const;
    const char* cdata(const char* p) const;
    const char* unknown(const char* p) const;
    const char* text(const char* p) const;
    const char* other(Kind kind, const char* p) const;
    const char* startTag(const char* p, std::string_view* name, bool* opened);
    const char* element(const char* p);
    const char* endTag(const char* p, std::string_view name) const;
    bool countItem();
    bool enterElement(std::size_t depth);
    const char* fail(const char* why) {
        if (shape_.stop == nullptr)
            shape_.stop = why;
        return nullptr;
    }

    const char* text_;
    // The text's terminating NUL.
    const char* end_;
    Encoding encoding_ = Encoding::kUnknown;
    XmlShape shape_;
    std::vector<std::string_view> attributes_;
};

int Walker::toLower(int v, Encoding encoding) const {
    if (encoding == Encoding::kUtf8)
        return v < 128 ? std::tolower(v) : v;
    return std::tolower(v);
}

bool Walker::startsWith(const char* p, const char* tag, bool ignoreCase, Encoding encoding) const {
    if (p == nullptr || *p == 0)
        return false;
    const char* q = p;
    if (ignoreCase) {
        while (*q && *tag && toLower(*q, encoding) == toLower(*tag, encoding)) {
            ++q;
            ++tag;
        }
    } else {
        while (*q && *tag && *q == *tag) {
            ++q;
            ++tag;
        }
    }
    return *tag == 0;
}

const char* Walker::skipWhite(const char* p) const {
    if (p == nullptr || *p == 0)
        return nullptr;
    if (encoding_ == Encoding::kUtf8) {
        while (*p) {
            const auto* u = reinterpret_cast<const unsigned char*>(p);
            // Byte-order marks and the two UTF-8 non-characters count as white space.
            if (u[0] == 0xEF &&
                ((u[1] == 0xBB && u[2] == 0xBF) || (u[1] == 0xBF && (u[2] == 0xBE || u[2] == 0xBF)))) {
                p += 3;
                continue;
            }
            if (isWhite(*p))
                ++p;
            else
                break;
        }
    } else {
        while ((*p && isWhite(*p)) || *p == '\n' || *p == '\r')
            ++p;
    }
    return p;
}

const char* Walker::readName(const char* p) const {
    if (p && *p && (isAlpha(static_cast<unsigned char>(*p)) || *p == '_')) {
        while (
            p && *p &&
            (isAlphaNum(static_cast<unsigned char>(*p)) || *p == '_' || *p == '-' || *p == '.' || *p == ':'))
            ++p;
        return p;
    }
    return nullptr;
}

const char* Walker::getEntity(const char* p, std::string* out) const {
    if (p[1] && p[1] == '#' && p[2]) {
        unsigned long code = 0;
        unsigned multiplier = 1;
        std::ptrdiff_t delta = 0;
        const bool hex = p[2] == 'x';
        if (hex && !p[3])
            return nullptr;
        const char* q = std::strchr(p + (hex ? 3 : 2), ';');
        if (q == nullptr || !*q)
            return nullptr;
        delta = q - p;
        --q;
        const char stop = hex ? 'x' : '#';
        while (*q != stop) {
            unsigned digit = 0;
            if (*q >= '0' && *q <= '9')
                digit = static_cast<unsigned>(*q - '0');
            else if (hex && *q >= 'a' && *q <= 'f')
                digit = static_cast<unsigned>(*q - 'a' + 10);
            else if (hex && *q >= 'A' && *q <= 'F')
                digit = static_cast<unsigned>(*q - 'A' + 10);
            else
                return nullptr;
            code += multiplier * digit;
            multiplier *= hex ? 16 : 10;
            --q;
        }
        if (out != nullptr) {
            if (encoding_ == Encoding::kUtf8)
                appendUtf8(code, *out);
            else
                out->push_back(static_cast<char>(code));
        }
        return p + delta + 1;
    }
    for (const Entity& entity : kEntities)
        if (std::strncmp(entity.text, p, entity.length) == 0) {
            if (out != nullptr)
                out->push_back(entity.value);
            return p + entity.length;
        }
    // An unknown entity's ampersand is dropped from the text.
    return p + 1;
}

const char* Walker::getChar(const char* p, std::string* out) const {
    const int length = encoding_ == Encoding::kUtf8 ? utf8Length(static_cast<unsigned char>(*p)) : 1;
    if (length == 1) {
        if (*p == '&')
            return getEntity(p, out);
        if (out != nullptr)
            out->push_back(*p);
        return p + 1;
    }
    if (out != nullptr) {
        char bytes[4] = {0, 0, 0, 0};
        for (int i = 0; p[i] && i < length; ++i)
            bytes[i] = p[i];
        out->append(bytes, static_cast<std::size_t>(length));
    }
    // A lead byte takes its continuation bytes whatever they are, even a terminator.
    return p + length;
}

// Where a text read up to a one-byte terminator ends, found without reading it character by character
// (binary values make documents mostly attribute text), or null when the text needs that reading. The
// first terminator byte ends the text unless an entity or a multi-byte character could reach past it: the
// text before it holds no "&" and, in UTF-8, none of the three bytes before it starts a character that
// would take it in.
const char* Walker::plainTextEnd(const char* p, char endTag) const {
    const auto length = static_cast<std::size_t>(end_ - p);
    const auto* q = static_cast<const char*>(std::memchr(p, endTag, length));
    if (q == nullptr || std::memchr(p, '&', static_cast<std::size_t>(q - p)) != nullptr)
        return nullptr;
    if (encoding_ == Encoding::kUtf8)
        for (const char* r = q - std::min<std::ptrdiff_t>(3, q - p); r < q; ++r)
            if (utf8Length(static_cast<unsigned char>(*r)) > q - r)
                return nullptr;
    return q;
}

const char* Walker::readText(const char* p, std::string* out, const char* endTag) const {
    if (out != nullptr)
        out->clear();
    // Past the text's end (a multi-byte character can step over the NUL) there is nothing to search.
    if (p && *p && endTag[0] != 0 && endTag[1] == 0)
        if (const char* q = plainTextEnd(p, endTag[0])) {
            if (out != nullptr)
                out->assign(p, q);
            return q[1] != 0 ? q + 1 : nullptr;
        }
    while (p && *p && !startsWith(p, endTag, false))
        p = getChar(p, out);
    // A text that ends with its terminator, or without one, ends the parse.
    if (p && *p)
        p += std::strlen(endTag);
    return (p && *p) ? p : nullptr;
}

const char* Walker::attribute(const char* p, std::string_view* name, std::string* value) const {
    p = skipWhite(p);
    if (!p || !*p)
        return nullptr;
    const char* start = p;
    p = readName(p);
    if (!p || !*p)
        return nullptr;
    if (name != nullptr)
        *name = std::string_view(start, static_cast<std::size_t>(p - start));
    p = skipWhite(p);
    if (!p || !*p || *p != '=')
        return nullptr;
    p = skipWhite(p + 1);
    if (!p || !*p)
        return nullptr;
    if (*p == '\'')
        return readText(p + 1, value, "'");
    if (*p == '"')
        return readText(p + 1, value, "\"");
    if (value != nullptr)
        value->clear();
    while (p && *p && !isWhite(*p) && *p != '\n' && *p != '\r' && *p != '/' && *p != '>') {
        if (*p == '\'' || *p == '"')
            return nullptr;
        if (value != nullptr)
            value->push_back(*p);
        ++p;
    }
    return p;
}

Kind Walker::identify(const char* p) const {
    p = skipWhite(p);
    if (!p || !*p || *p != '<')
        return Kind::kNone;
    if (startsWith(p, "<?xml", true))
        return Kind::kDeclaration;
    if (startsWith(p, "<!--", false))
        return Kind::kComment;
    if (startsWith(p, "<![CDATA[", false))
        return Kind::kCData;
    if (startsWith(p, "<!", false))
        return Kind::kUnknown;
    if (isAlpha(static_cast<unsigned char>(p[1])) || p[1] == '_')
        return Kind::kElement;
    return Kind::kUnknown;
}

const char* Walker::declaration(const char* p, std::string* encoding) const {
    p = skipWhite(p);
    if (!p || !*p || !startsWith(p, "<?xml", true))
        return nullptr;
    p += 5;
    while (p && *p) {
        if (*p == '>')
            return p + 1;
        p = skipWhite(p);
        if (startsWith(p, "version", true) || startsWith(p, "standalone", true)) {
            p = attribute(p, nullptr, nullptr);
        } else if (startsWith(p, "encoding", true)) {
            // Each encoding attribute is read afresh and kept as a C string: a character reference to
            // NUL ("&#;", "&#0;") ends the name there, and an empty name means UTF-8.
            std::string value;
            p = attribute(p, nullptr, &value);
            if (encoding != nullptr)
                *encoding = value.c_str();
        } else {
            while (p && *p && *p != '>' && !isWhite(*p))
                ++p;
        }
    }
    return nullptr;
}

const char* Walker::comment(const char* p) const {
    p = skipWhite(p);
    if (!startsWith(p, "<!--", false))
        return nullptr;
    p += 4;
    while (p && *p && !startsWith(p, "-->", false))
        ++p;
    if (p && *p)
        p += 3;
    return p;
}

const char* Walker::cdata(const char* p) const {
    if (!startsWith(p, "<![CDATA[", false))
        return nullptr;
    p += 9;
    while (p && *p && !startsWith(p, "]]>", false))
        ++p;
    return readText(p, nullptr, "]]>");
}

const char* Walker::unknown(const char* p) const {
    p = skipWhite(p);
    if (!p || !*p || *p != '<')
        return nullptr;
    ++p;
    while (p && *p && *p != '>')
        ++p;
    if (p && *p == '>')
        return p + 1;
    return p;
}

const char* Walker::text(const char* p) const {
    if (startsWith(p, "<![CDATA[", false))
        return cdata(p);
    p = readText(p, nullptr, "<");
    return (p && *p) ? p - 1 : nullptr;
}

const char* Walker::other(Kind kind, const char* p) const {
    switch (kind) {
    case Kind::kDeclaration:
        return declaration(p, nullptr);
    case Kind::kComment:
        return comment(p);
    case Kind::kCData:
        return cdata(p);
    default:
        return unknown(p);
    }
}

bool Walker::countItem() {
    if (++shape_.items > kMaxItems) {
        shape_.limit = "document holds too many elements and attributes";
        return false;
    }
    return true;
}

bool Walker::enterElement(std::size_t depth) {
    ++shape_.elements;
    if (!countItem())
        return false;
    if (depth > static_cast<std::size_t>(kMaxDepth)) {
        shape_.limit = "document is nested too deeply";
        return false;
    }
    shape_.maxDepth = std::max(shape_.maxDepth, static_cast<int>(depth));
    return true;
}

const char* Walker::endTag(const char* p, std::string_view name) const {
    // "</name", white space, ">"; the name is matched as a prefix, as the parser does.
    if (p[0] != '<' || p[1] != '/')
        return nullptr;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (p[2 + i] != name[i])
            return nullptr;
    p = skipWhite(p + 2 + name.size());
    return (p && *p == '>') ? p + 1 : nullptr;
}

const char* Walker::startTag(const char* p, std::string_view* name, bool* opened) {
    p = skipWhite(p);
    if (!p || !*p || *p != '<')
        return fail("Error parsing Element.");
    p = skipWhite(p + 1);
    const char* start = p;
    p = readName(p);
    if (!p || !*p)
        return fail("Failed to read Element name");
    *name = std::string_view(start, static_cast<std::size_t>(p - start));
    attributes_.clear();
    while (p && *p) {
        p = skipWhite(p);
        if (!p || !*p)
            return fail("Error reading Attributes.");
        if (*p == '/') {
            ++p;
            if (*p != '>')
                return fail("Error: empty tag.");
            *opened = false;
            return p + 1;
        }
        if (*p == '>') {
            *opened = true;
            return p + 1;
        }
        std::string_view attributeName;
        p = attribute(p, &attributeName, nullptr);
        if (!p || !*p)
            return fail("Error reading Attributes.");
        for (std::string_view seen : attributes_)
            if (seen == attributeName)
                return fail("Error: duplicate attribute.");
        if (attributes_.size() >= kMaxAttributesPerElement) {
            shape_.limit = "document holds an element with too many attributes";
            return nullptr;
        }
        if (!countItem())
            return nullptr;
        attributes_.push_back(attributeName);
    }
    return p;
}

const char* Walker::element(const char* p) {
    // The names of the elements whose content is being read, outermost first; p is at an element start.
    std::vector<std::string_view> open;
    for (;;) {
        if (!enterElement(open.size() + 1))
            return nullptr;
        std::string_view name;
        bool opened = false;
        p = startTag(p, &name, &opened);
        if (p == nullptr)
            return nullptr;
        if (opened)
            open.push_back(name);
        else if (open.empty())
            return p;
        // Content of the innermost open element, until a child element starts or the element closes.
        for (;;) {
            const char* withWhite = p;
            p = skipWhite(p);
            bool childStarts = false;
            while (p && *p) {
                if (*p != '<') {
                    if (!countItem())
                        return nullptr;
                    p = text(withWhite);
                } else if (startsWith(p, "</", false)) {
                    break;
                } else {
                    const Kind kind = identify(p);
                    if (kind == Kind::kElement) {
                        childStarts = true;
                        break;
                    }
                    if (!countItem())
                        return nullptr;
                    p = other(kind, p);
                }
                withWhite = p;
                p = skipWhite(p);
            }
            if (childStarts)
                break;
            if (!p || !*p)
                return fail("Error reading end tag.");
            p = endTag(p, open.back());
            if (p == nullptr)
                return fail("Error reading end tag.");
            open.pop_back();
            if (open.empty())
                return p;
        }
    }
}

XmlShape Walker::run() {
    const char* p = text_;
    if (!p || !*p)
        return shape_;
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF)
        encoding_ = Encoding::kUtf8;
    p = skipWhite(p);
    while (p && *p) {
        const Kind kind = identify(p);
        if (kind == Kind::kNone)
            break;
        if (kind == Kind::kElement) {
            p = element(p);
        } else {
            if (!countItem())
                return shape_;
            if (kind == Kind::kDeclaration) {
                std::string encoding;
                p = declaration(p, &encoding);
                if (p == nullptr)
                    fail("Error parsing Declaration.");
                // The first declaration decides how the rest of the text is read.
                if (encoding_ == Encoding::kUnknown) {
                    if (encoding.empty() || startsWith(encoding.c_str(), "UTF-8", true, Encoding::kUnknown) ||
                        startsWith(encoding.c_str(), "UTF8", true, Encoding::kUnknown))
                        encoding_ = Encoding::kUtf8;
                    else
                        encoding_ = Encoding::kLegacy;
                }
            } else {
                p = other(kind, p);
            }
        }
        if (shape_.limit != nullptr)
            return shape_;
        p = skipWhite(p);
    }
    shape_.legacy = encoding_ != Encoding::kUtf8;
    shape_.undeclared = encoding_ == Encoding::kUnknown;
    return shape_;
}

} // namespace

XmlShape measureXml(const char* text, bool utf8) {
    return Walker(text, utf8).run();
}

namespace {

// An 8-bit byte's character: 0x80-0x9F as the Windows code page has them (its five holes stay the C1
// controls), the others as Latin-1.
void appendLegacy(unsigned char byte, std::string& out) {
    static constexpr std::uint16_t kWindows[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (byte < 0x80)
        out.push_back(static_cast<char>(byte));
    else
        appendUtf8(byte < 0xA0 ? kWindows[byte - 0x80] : byte, out);
}

// The length of the well-formed UTF-8 character at i, or 0 when the byte there starts none.
std::size_t utf8CharacterAt(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80)
        return 1;
    const std::size_t length = static_cast<std::size_t>(utf8Length(lead));
    if (length == 1 || text.size() - i < length)
        return 0;
    // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    return length;
}

bool isUtf8(const std::string& text, std::size_t length) {
    for (std::size_t i = 0; i < length;) {
        const std::size_t n = utf8CharacterAt(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

} // namespace

std::string legacyToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text)
        appendLegacy(static_cast<unsigned char>(c), out);
    return out;
}

std::string strayBytesToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8CharacterAt(text, i);
        if (n == 0) {
            appendLegacy(static_cast<unsigned char>(text[i]), out);
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

namespace {

// Converted text must say that it is UTF-8 when it is written again: without a declaration, or with one
// naming another encoding, it would be read as 8-bit characters once more.
void declareUtf8(TiXmlDocument& document) {
    bool declared = false;
    for (TiXmlNode* node = document.FirstChild(); node != nullptr; node = node->NextSibling()) {
        const TiXmlDeclaration* declaration = node->ToDeclaration();
        if (declaration == nullptr)
            continue;
        declared = true;
        if (*declaration->Encoding() == '\0')
            continue;
        const TiXmlDeclaration utf8(declaration->Version(), "UTF-8", declaration->Standalone());
        node = document.ReplaceChild(node, utf8);
        if (node == nullptr)
            return;
    }
    if (!declared && document.FirstChild() != nullptr)
        document.InsertBeforeChild(document.FirstChild(), TiXmlDeclaration("1.0", "UTF-8", ""));
}

// A declaration's values are written as they stand, without references: one holding a quote, "&", "<" or
// ">" would read back as other values or swallow what follows it.
bool writesBack(const char* value) {
    return std::strpbrk(value, "\"&<>") == nullptr;
}

constexpr const char* kWhiteSpace = " \t\n\r\v\f";

bool isPlainText(const TiXmlNode* node) {
    const TiXmlText* text = node != nullptr ? node->ToText() : nullptr;
    return text != nullptr && !text->CDATA();
}

// What the parser accepts but would not read back the same once written, and would change a little more
// at every save and load, is put right after reading. A declaration inside an element means nothing and
// is dropped (text on either side of it becomes one text, as it would read back); a document's declaration
// keeps only the values it can write back. Text standing among elements carries no value, but keeps the
// white space around it, and the saved document's indentation adds more every time: it is held without
// white space at its ends.
void normaliseTree(TiXmlDocument& document) {
    std::vector<TiXmlNode*> parents{&document};
    while (!parents.empty()) {
        TiXmlNode* parent = parents.back();
        parents.pop_back();
        for (TiXmlNode* child = parent->FirstChild(); child != nullptr;) {
            TiXmlNode* next = child->NextSibling();
            if (const TiXmlDeclaration* declaration = child->ToDeclaration()) {
                if (parent != &document) {
                    parent->RemoveChild(child);
                    if (isPlainText(next) && isPlainText(next->PreviousSibling())) {
                        TiXmlNode* before = next->PreviousSibling();
                        before->SetValue(before->ValueStr() + next->ValueStr());
                        TiXmlNode* after = next->NextSibling();
                        parent->RemoveChild(next);
                        next = after;
                    }
                } else if (!writesBack(declaration->Version()) || !writesBack(declaration->Encoding()) ||
                           !writesBack(declaration->Standalone())) {
                    const auto kept = [](const char* value) { return writesBack(value) ? value : ""; };
                    const TiXmlDeclaration clean(kept(declaration->Version()), kept(declaration->Encoding()),
                                                 kept(declaration->Standalone()));
                    parent->ReplaceChild(child, clean);
                }
            }
            child = next;
        }
        const bool mixed = parent->FirstChild() != parent->LastChild();
        for (TiXmlNode* child = parent->FirstChild(); child != nullptr;) {
            TiXmlNode* next = child->NextSibling();
            if (child->ToElement() != nullptr) {
                parents.push_back(child);
            } else if (mixed && isPlainText(child)) {
                const std::string& value = child->ValueStr();
                const std::size_t first = value.find_first_not_of(kWhiteSpace);
                if (first == std::string::npos)
                    parent->RemoveChild(child);
                else
                    child->SetValue(value.substr(first, value.find_last_not_of(kWhiteSpace) + 1 - first));
            }
            child = next;
        }
    }
}

} // namespace

void prepareXml() {
    static std::once_flag once;
    std::call_once(once, [] { TiXmlBase::SetCondenseWhiteSpace(false); });
}

namespace {

// The text's first length bytes parsed as parseXml parses a text. The text is cut there and padded in
// place: a copy would cost as much as the text again.
std::string parseText(TiXmlDocument& document, std::string& padded, std::size_t length) {
    padded.resize(length);
    padded.append(kPadding, '\0');
    XmlShape shape = measureXml(padded.c_str());
    if (shape.limit != nullptr)
        return shape.limit;
    // An 8-bit text would keep bytes (and character references) that are no UTF-8, and a document written
    // from it declares UTF-8: it would never read again. Such text is held as UTF-8 from the start.
    const bool eightBit = std::any_of(padded.begin(), padded.begin() + static_cast<std::ptrdiff_t>(length),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const bool convert = shape.legacy && (eightBit || padded.find("&#") < length);
    // A node's text carries no declaration, and ours is UTF-8: undeclared text that is valid UTF-8 is read
    // as such. Converted once more it would grow with every save and load (a state chunk's names).
    const bool asUtf8 = convert && shape.undeclared && isUtf8(padded, length);
    // Text read as UTF-8 that is no valid UTF-8 would have the parser take the byte after a stray lead byte
    // (a quote, a "&") into one character, and what is written from it would read back otherwise: its
    // stray bytes are taken as 8-bit characters.
    const bool repair = !shape.legacy && eightBit && !isUtf8(padded, length);
    TiXmlEncoding encoding = TIXML_ENCODING_UNKNOWN;
    if (convert || repair) {
        padded = asUtf8    ? padded.substr(0, length)
                 : convert ? legacyToUtf8(padded.substr(0, length))
                           : strayBytesToUtf8(padded.substr(0, length));
        if (padded.size() > kMaxTextBytes)
            return "document is too large";
        padded.append(kPadding, '\0');
        shape = measureXml(padded.c_str(), true);
        if (shape.limit != nullptr)
            return shape.limit;
        encoding = TIXML_ENCODING_UTF8;
    }
    // Nothing reads the parser's rows and columns; tracking them costs a second pass over every byte.
    document.SetTabSize(0);
    document.Parse(padded.c_str(), nullptr, encoding);
    if (document.Error())
        return std::string("malformed XML: ") + document.ErrorDesc();
    // Some malformed texts end the parse early without an error; a half-read document is no document.
    if (shape.stop != nullptr)
        return std::string("malformed XML: ") + shape.stop;
    if (convert)
        declareUtf8(document);
    normaliseTree(document);
    return {};
}

} // namespace

std::string parseXml(TiXmlDocument& document, std::string text) {
    if (text.size() > kMaxTextBytes)
        return "document is too large";
    // Two-byte text would end at its first NUL for the parser: said so, rather than read as nothing.
    const bool utf16 = text.size() >= 2 &&
                       ((text[0] == '\xFF' && text[1] == '\xFE') ||
                        (text[0] == '\xFE' && text[1] == '\xFF') || ((text[0] == '\0') != (text[1] == '\0')));
    if (utf16)
        return "document is UTF-16 text; only UTF-8 and 8-bit text is read";
    prepareXml();
    // The parser reads a C string: the text ends at its first NUL.
    const std::size_t size = text.size();
    const std::size_t length = std::min(size, text.find('\0'));
    std::string problem = parseText(document, text, length);
    if (!problem.empty() && length < size)
        return problem + " (the text ends for the parser at the NUL byte at offset " +
               std::to_string(length) + ")";
    return problem;
}

} // namespace trov::dictionary_xml
