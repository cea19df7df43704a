// Typed values, the creator record, the compatibility check and binary values of trov::Dictionary.
#include "framework/Dictionary.h"

#include "framework/DictionaryCodec.h"
#include "framework/DictionaryNodes.h"
#include "framework/DictionaryXml.h"
#include "framework/ProductIdentity.h"
#include "framework/StringUtils.h"
#include "framework/Version.h"

#include <tinyxml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <locale>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

namespace trov {

using namespace dictionary_nodes;

namespace {

// Enough for any float in fixed notation with eight decimals (49 characters), so no value is cut.
constexpr std::size_t kNumberBuffer = 64;

// Every gzip+Base64 text begins with the code of the gzip header, which is also made of packed-word
// characters: that beginning decides; any other text is read as gzip+Base64 unless it is packed words.
bool isGzipText(const std::string& text) {
    return text.compare(0, 4, "H4sI") == 0 || !isPackedWordText(text);
}

std::string formatFixed8(float value) {
    char buffer[kNumberBuffer];
    const auto result = std::to_chars(buffer, buffer + kNumberBuffer, static_cast<double>(value),
                                      std::chars_format::fixed, 8);
    return std::string(buffer, result.ptr);
}

std::string formatDouble(double value) {
    char buffer[kNumberBuffer];
    const auto result = std::to_chars(buffer, buffer + kNumberBuffer, value, std::chars_format::general, 16);
    return std::string(buffer, result.ptr);
}

std::string formatInteger(long long value) {
    char buffer[kNumberBuffer];
    const auto result = std::to_chars(buffer, buffer + kNumberBuffer, value);
    return std::string(buffer, result.ptr);
}

// The attribute beside a file name's "value" that holds its exact bytes (setFileName).
const char* const kFileNameBytes = "bytes";

// The bytes that form writes as "%XX": control characters, "%" and everything past ASCII, so that what
// is left is ASCII that every reader takes as it is.
bool isEscapedByte(unsigned char byte) {
    return byte < 0x20 || byte >= 0x7F || byte == '%';
}

std::string percentEncoded(const std::string& name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (isEscapedByte(byte)) {
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text;
}

// Writes the name only when the text is a percent-encoded one: no stray "%", no NUL byte.
void percentDecode(const std::string& text, std::string& name) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        unsigned byte = 0;
        const char* digits = text.data() + i + 1;
        if (text.size() - i < 3 || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2 ||
            byte == 0)
            return;
        bytes += static_cast<char>(byte);
        i += 2;
    }
    if (!bytes.empty())
        name = std::move(bytes);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The decimal integer at the start of the text after blanks, 0 when there is none; values beyond 32 bits
// saturate.
std::int32_t leadingInteger(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    long long value = 0;
    constexpr long long kLimit = 1LL << 31;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min(value * 10 + (text[at] - '0'), kLimit);
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, kLimit - 1));
}

locale_t cLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// The length of the decimal number at `from`, as the instrument writes numbers: a sign, digits with at most
// one point, an exponent. 0 when none stands there. The C library would also read hexadecimal ("0x10" as
// 16), which no document of ours holds and integers do not take either.
std::size_t decimalLength(const std::string& text, std::size_t from) {
    const auto digitsFrom = [&text](std::size_t at) {
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
        return at;
    };
    std::size_t at = from;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const std::size_t whole = digitsFrom(at);
    std::size_t end = whole;
    if (end < text.size() && text[end] == '.')
        end = digitsFrom(end + 1);
    // At least one digit, before or after the point.
    if (end - at <= (end > whole ? 1u : 0u))
        return 0;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (const std::size_t digits = digitsFrom(exponent); digits > exponent)
            end = digits;
    }
    return end - from;
}

// The decimal number after the text's leading blanks: where it ends, 0 when there is none, and its value.
std::size_t leadingDecimal(const std::string& text, double* value) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    const std::size_t length = decimalLength(text, at);
    if (length == 0)
        return 0;
    *value = ::strtod_l(text.substr(at, length).c_str(), nullptr, cLocale());
    return at + length;
}

// The decimal floating-point number at the start of the text after blanks, 0 when there is none ("inf" and
// "nan" as the C library reads them, for callers that hold values that are not finite).
double leadingFloat(const std::string& text) {
    double value = 0.0;
    return leadingDecimal(text, &value) != 0 ? value : ::strtod_l(text.c_str(), nullptr, cLocale());
}
float leadingFloat32(const std::string& text) {
    return static_cast<float>(leadingFloat(text));
}

// Whether nothing but blanks follows `from`.
bool onlyBlanksFrom(const std::string& text, std::size_t from) {
    return text.find_first_not_of(" \t\n\v\f\r", from) == std::string::npos;
}

// What leadingInteger reads, when the text is wholly one integer but blanks.
template <class Integer> bool wholeInteger(const std::string& text, Integer* value) {
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    const std::size_t digits = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        ++at;
    if (at == digits || !onlyBlanksFrom(text, at))
        return false;
    *value = leadingInteger(text);
    return true;
}

// What leadingFloat32 reads, when the text is wholly one number but blanks and that number is a finite float.
bool finiteFloat(const std::string& text, float* value) {
    double read = 0.0;
    const std::size_t end = leadingDecimal(text, &read);
    if (end == 0 || !onlyBlanksFrom(text, end) || !(std::fabs(read) <= std::numeric_limits<float>::max()))
        return false;
    *value = static_cast<float>(read);
    return true;
}

bool refuseUnless(bool read, bool* refused) {
    if (!read && refused != nullptr)
        *refused = true;
    return read;
}

// Only the exact text "true" is true.
bool isTrue(const std::string& text) {
    return text == "true";
}

template <class T> T fromString(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    T value{};
    in >> value;
    return value;
}

// The entry's attribute, else its text; false when it has neither.
bool entryText(const TiXmlElement* entry, const std::string& attribute, std::string* text) {
    if (const std::string* value = attributeOf(entry, attribute)) {
        *text = *value;
        return true;
    }
    const TiXmlNode* first = entry->FirstChild();
    if (first == nullptr || first->ToText() == nullptr)
        return false;
    *text = first->ValueStr();
    return true;
}

template <class T> std::string toString(const T& value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(16);
    out << value;
    return out.str();
}

} // namespace

TiXmlElement* Dictionary::valueEntry(const std::string& key, const char* typeTag, int index,
                                     bool byTag) const {
    if (typedRead_ && !byTag)
        return findChild(node_, typeTag, key, index);
    return findChild(node_, key, "", index);
}

bool Dictionary::readText(const std::string& key, const char* typeTag, int index,
                          const std::string& attribute, bool byTag, std::string* text,
                          std::string* display) const {
    if (key.empty())
        return false;
    if (const std::string* own = attributeOf(element(), key)) {
        *text = *own;
        return true;
    }
    const TiXmlElement* entry = valueEntry(key, typeTag, index, byTag);
    if (entry == nullptr || !entryText(entry, attribute, text))
        return false;
    if (display != nullptr)
        if (const std::string* shown = attributeOf(entry, "display"))
            *display = *shown;
    return true;
}

bool Dictionary::writeText(const std::string& key, const std::string& text, int index, bool replace,
                           bool withIndex) {
    TiXmlNode* parent = container();
    if (parent == nullptr || !isElementName(key))
        return false;
    if (replace)
        if (TiXmlElement* entry = findChild(parent, key, "", withIndex ? index : 0)) {
            entry->SetAttribute(std::string("value"), text);
            return true;
        }
    auto* entry = new TiXmlElement(key);
    if (withIndex)
        entry->SetAttribute(std::string("index"), formatInteger(index));
    entry->SetAttribute(std::string("value"), text);
    return parent->LinkEndChild(entry) != nullptr;
}

template <class T, class Convert>
bool Dictionary::readAs(const std::string& key, const char* typeTag, int index, const std::string& attribute,
                        bool byTag, T* value, Convert convert, std::string* display) const {
    std::string text;
    if (!readText(key, typeTag, index, attribute, byTag, &text, display))
        return false;
    *value = convert(text);
    return true;
}

template <class T, class Convert>
std::vector<T> Dictionary::readList(const std::string& key, const char* typeTag, Convert convert) const {
    std::vector<T> values;
    if (node_ == nullptr || key.empty())
        return values;
    // The entries valueEntry finds at index 0, 1, ..., visited once each.
    const std::string tag = typedRead_ ? typeTag : key;
    std::string text;
    for (const TiXmlNode* node = nextMatching(node_->FirstChild(), tag); node != nullptr;
         node = nextMatching(node->NextSibling(), tag)) {
        const TiXmlElement* entry = node->ToElement();
        if (typedRead_) {
            const std::string* name = attributeOf(entry, "name");
            if (name == nullptr || *name != key)
                continue;
        }
        if (!entryText(entry, "value", &text))
            break;
        values.push_back(convert(text));
    }
    return values;
}

std::vector<std::string> Dictionary::getStrings(const std::string& key) const {
    return readList<std::string>(key, "string", unescapeNewlines);
}

std::vector<double> Dictionary::getDoubles(const std::string& key) const {
    return readList<double>(key, "float", leadingFloat);
}

bool Dictionary::getBool(const std::string& key, bool* value, int index, const std::string& attribute) const {
    return readAs(key, "bool", index, attribute, false, value, isTrue);
}

bool Dictionary::getLong(const std::string& key, std::int32_t* value, int index,
                         const std::string& attribute) const {
    return readAs(key, "integer", index, attribute, false, value, leadingInteger);
}

bool Dictionary::getInteger(const std::string& key, int* value, int index,
                            const std::string& attribute) const {
    return readAs(key, "integer", index, attribute, false, value, leadingInteger);
}

bool Dictionary::getIndex(const std::string& key, int* value, int index, const std::string& attribute) const {
    return readAs(key, "index", index, attribute, false, value, leadingInteger);
}

bool Dictionary::getFloat(const std::string& key, float* value, int index,
                          const std::string& attribute) const {
    return readAs(key, "float", index, attribute, false, value, leadingFloat32);
}

bool Dictionary::getDouble(const std::string& key, double* value, int index,
                           const std::string& attribute) const {
    return readAs(key, "float", index, attribute, false, value, leadingFloat);
}

bool Dictionary::getWholeLong(const std::string& key, std::int32_t* value, bool* refused) const {
    std::string text;
    return readText(key, "integer", 0, "value", false, &text) &&
           refuseUnless(wholeInteger(text, value), refused);
}

bool Dictionary::getWholeIndex(const std::string& key, int* value, bool* refused) const {
    std::string text;
    return readText(key, "index", 0, "value", false, &text) &&
           refuseUnless(wholeInteger(text, value), refused);
}

bool Dictionary::getFiniteFloat(const std::string& key, float* value, bool* refused) const {
    std::string text;
    return readText(key, "float", 0, "value", false, &text) &&
           refuseUnless(finiteFloat(text, value), refused);
}

bool Dictionary::getString(const std::string& key, std::string* value, int index,
                           const std::string& attribute) const {
    return readAs(key, "string", index, attribute, false, value, unescapeNewlines);
}

bool Dictionary::getData(const std::string& key, std::vector<std::uint8_t>* data, std::size_t expectedLength,
                         int index, const std::string& attribute) const {
    std::string text;
    if (!readText(key, "data", index, attribute, false, &text))
        return false;
    std::vector<std::uint8_t> decoded;
    if (!decodeData(text, &decoded, expectedLength))
        return false;
    *data = std::move(decoded);
    return true;
}

bool Dictionary::getDataAtMost(const std::string& key, std::vector<std::uint8_t>* data,
                               std::size_t expectedLength, std::size_t maxLength, DataFault* fault) const {
    std::string text;
    if (!readText(key, "data", 0, "value", false, &text))
        return false;
    std::vector<std::uint8_t> decoded;
    if (!decodeData(text, &decoded, expectedLength, maxLength, fault))
        return false;
    *data = std::move(decoded);
    return true;
}

bool Dictionary::getDataDeclaredLength(const std::string& key, std::size_t* length) const {
    std::string text;
    return readText(key, "data", 0, "value", false, &text) && isGzipText(text) &&
           gzipBase64DeclaredLength(text, *length);
}

bool Dictionary::getIntegerDisplay(const std::string& key, int* value, std::string* display, int index,
                                   const std::string& attribute) const {
    return readAs(key, "integer", index, attribute, false, value, leadingInteger, display);
}

bool Dictionary::getFloatDisplay(const std::string& key, float* value, std::string* display, int index,
                                 const std::string& attribute) const {
    return readAs(key, "float", index, attribute, false, value, leadingFloat32, display);
}

bool Dictionary::getStringDisplay(const std::string& key, std::string* value, std::string* display, int index,
                                  const std::string& attribute) const {
    return readAs(key, "string", index, attribute, false, value, unescapeNewlines, display);
}

bool Dictionary::getIntegerByTag(const std::string& key, int* value, int index,
                                 const std::string& attribute) const {
    return readAs(key, "integer", index, attribute, true, value, leadingInteger);
}

bool Dictionary::getStringByTag(const std::string& key, std::string* value, int index,
                                const std::string& attribute) const {
    return readAs(key, "string", index, attribute, true, value, unescapeNewlines);
}

bool Dictionary::getIntegerText(const std::string& key, std::string* text, int index,
                                const std::string& attribute) const {
    return readAs(key, "integer", index, attribute, false, text, unescapeNewlines);
}

template <class T> const char* Dictionary::typeName() {
    if constexpr (std::is_same_v<T, bool>)
        return "bool";
    else if constexpr (std::is_integral_v<T>)
        return "integer";
    else
        return "float";
}

template <class T>
bool Dictionary::getValue(const std::string& key, T* value, int index, const std::string& attribute) const {
    return readAs(key, typeName<T>(), index, attribute, false, value, fromString<T>);
}

template <class T> T Dictionary::getEntryValue(const Dictionary& dictionary, const std::string& name) {
    T value{};
    dictionary.getValue(name, &value);
    return value;
}

template <class T> bool Dictionary::setValue(const std::string& key, const T& value, bool replace) {
    TiXmlNode* parent = container();
    if (parent == nullptr || key.empty() || (!typedRead_ && !isElementName(key)))
        return false;
    const std::string text = toString(value);
    TiXmlElement* entry = valueEntry(key, typeName<T>(), 0, false);
    if (replace && entry != nullptr) {
        entry->SetAttribute(std::string("value"), text);
        return true;
    }
    auto* created = new TiXmlElement(typedRead_ ? typeName<T>() : key);
    if (typedRead_)
        created->SetAttribute(std::string("name"), key);
    created->SetAttribute(std::string("index"), std::string("0"));
    created->SetAttribute(std::string("value"), text);
    return parent->LinkEndChild(created) != nullptr;
}

// T names a type in a template argument list, where parentheses are not allowed.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define TROV_DICTIONARY_VALUE_TYPE(T)                                                                        \
    template const char* Dictionary::typeName<T>();                                                          \
    template bool Dictionary::getValue<T>(const std::string&, T*, int, const std::string&) const;            \
    template T Dictionary::getEntryValue<T>(const Dictionary&, const std::string&);                          \
    template bool Dictionary::setValue<T>(const std::string&, const T&, bool);
TROV_DICTIONARY_VALUE_TYPE(std::int32_t)
TROV_DICTIONARY_VALUE_TYPE(bool)
TROV_DICTIONARY_VALUE_TYPE(float)
TROV_DICTIONARY_VALUE_TYPE(double)
#undef TROV_DICTIONARY_VALUE_TYPE
// NOLINTEND(bugprone-macro-parentheses)

bool Dictionary::boolValue(const std::string& key) const {
    bool value = false;
    getBool(key, &value);
    return value;
}

int Dictionary::integerValue(const std::string& key) const {
    int value = -1;
    getInteger(key, &value);
    return value;
}

std::string Dictionary::stringValue(const std::string& key) const {
    std::string value;
    getString(key, &value);
    return value;
}

bool Dictionary::setBool(const std::string& key, bool value, int index, bool replace) {
    return writeText(key, value ? "true" : "false", index, replace, true);
}

bool Dictionary::setInteger(const std::string& key, std::int32_t value, int index, bool replace) {
    return writeText(key, formatInteger(value), index, replace, true);
}

bool Dictionary::setIndex(const std::string& key, int value, int index, bool replace) {
    return writeText(key, formatInteger(value), index, replace, true);
}

bool Dictionary::setFloat(const std::string& key, float value, int index, bool replace) {
    return writeText(key, formatFixed8(value), index, replace, true);
}

bool Dictionary::setDouble(const std::string& key, double value, int index, bool replace) {
    return writeText(key, formatDouble(value), index, replace, true);
}

bool Dictionary::setString(const std::string& key, const std::string& value, int, bool replace) {
    return writeText(key, value, 0, replace, false);
}

bool Dictionary::setFileName(const std::string& key, const std::string& name) {
    const std::string text = dictionary_xml::strayBytesToUtf8(name);
    if (!setString(key, text))
        return false;
    TiXmlElement* entry = findChild(container(), key, "", 0);
    if (entry == nullptr)
        return false;
    const bool readsBack =
        text == name && unescapeNewlines(name) == name && std::none_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        });
    if (readsBack)
        entry->RemoveAttribute(kFileNameBytes);
    else
        entry->SetAttribute(std::string(kFileNameBytes), percentEncoded(name));
    return true;
}

bool Dictionary::getFileName(const std::string& key, std::string* name) const {
    if (!getString(key, name))
        return false;
    // An attribute named key on this element is the value itself, with nothing beside it.
    if (attributeOf(element(), key) == nullptr)
        if (const std::string* bytes = attributeOf(valueEntry(key, "string", 0, false), kFileNameBytes))
            percentDecode(*bytes, *name);
    return true;
}

bool Dictionary::setData(const std::string& key, const std::uint8_t* data, std::size_t length, int index,
                         bool replace) {
    std::string text;
    encodeData(text, data, length);
    return writeText(key, text, index, replace, true);
}

bool Dictionary::writeInfo(const std::string& creator, const std::string& version) {
    TiXmlElement* info = appendElement("info");
    if (info == nullptr)
        return false;
    info->SetAttribute(std::string("creator"), creator);
    info->SetAttribute(std::string("version"), version);
    return true;
}

void Dictionary::readInfo(std::string* creator, std::string* version) const {
    const TiXmlElement* info = findChild(node_, "info", "", 0);
    if (const std::string* text = attributeOf(info, "creator"))
        *creator = *text;
    if (const std::string* text = attributeOf(info, "version"))
        *version = *text;
}

bool Dictionary::checkCompatibility(std::string& message) {
    detectLayout();
    std::string creator = "an unknown plugin";
    std::string version;
    readInfo(&creator, &version);
    std::string fileFormat;
    getString("file-format", &fileFormat);
    const ProductIdentity& product = getProductIdentity();
    if (creator != product.getName()) {
        message = "These settings were created by " + creator + " and cannot be loaded.\n\n";
        toText(message);
        return false;
    }
    // Only the first parts are compared: every format this product's major version wrote is read.
    const Version required = product.getFileFormatVersion();
    if (!required.isAtLeast(Version(fileFormat), 1)) {
        message = "These settings were created by an older version of " + creator +
                  " and cannot be loaded.\n" + "(Format is " +
                  (fileFormat.empty() ? std::string("unspecified") : fileFormat) + ", this plugin requires " +
                  required.toString() + " or newer.)";
        return false;
    }
    return true;
}

void Dictionary::encodeData(std::string& text, const std::uint8_t* data, std::size_t length) {
    gzipBase64Encode(text, data, length);
}

bool Dictionary::decodeData(const std::string& text, std::vector<std::uint8_t>* data,
                            std::size_t expectedLength, std::size_t maxLength, DataFault* fault) {
    data->clear();
    maxLength = std::min(maxLength, kMaxDataBytes);
    if (isGzipText(text))
        return gzipBase64Decode(text, *data, maxLength, fault);
    if (expectedLength > maxLength) {
        if (fault != nullptr)
            *fault = DataFault::kTooLong;
        return false;
    }
    data->assign(expectedLength, 0);
    PackedWordReader reader(text);
    for (std::size_t at = 0; at + 4 <= expectedLength; at += 4) {
        const std::uint32_t word = reader.readWord();
        for (int byte = 0; byte < 4; ++byte)
            (*data)[at + static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(word >> (8 * byte));
    }
    return true;
}

} // namespace trov
