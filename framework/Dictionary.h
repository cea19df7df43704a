#pragma once

#include "framework/DictionaryCodec.h"
#include "framework/SharedObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TiXmlDocument;
class TiXmlNode;
class TiXmlElement;

namespace trov {

class File;

// The hierarchical key/value store behind every specification and saved document: a view on one node of
// an XML document. Views made from a dictionary (children, copies) share its document, which lives until
// the last of them is gone; `clear`, `copyFrom`, `load` and `parse` move only the view they are called on
// to a new document. Entries are written as an element named after the key with "index" and "value"
// attributes; documents of older formats are read in the typed layout (an element named after the type
// with "name", "index" and "value").
// Threads: any thread, but a document and all views on it are used by one thread at a time. Destroying
// views of one document on several threads at once is safe.
class Dictionary : public SharedObject {
public:
    // Views returned by look-ups belong to the caller; null means not found.
    using View = std::unique_ptr<Dictionary>;

    // A new document: the declaration and an empty root "dict".
    Dictionary();
    explicit Dictionary(const File& file);
    explicit Dictionary(const std::string& xml);
    // A bare text could be a path or XML: say which with File or std::string.
    Dictionary(const char*) = delete;
    // Another view on the same node of the same document.
    Dictionary(const Dictionary& other);
    Dictionary& operator=(const Dictionary& other);
    ~Dictionary() override;

    // Documents. A missing file leaves the dictionary as it was; unreadable or malformed XML leaves an
    // empty document; both return false, with the reason in problem when one is given. Only regular files
    // are opened. Text is held as UTF-8: 8-bit text (declared so, or undeclared and no valid UTF-8) is
    // converted on reading.
    bool load(const File& file, std::string* problem = nullptr);
    bool parse(const std::string& xml);
    // Writes the whole document, replacing the file only once the new text is complete.
    bool save(const File& file) const;
    // Appends this node's XML text without indentation or line breaks (no declaration; it parses back
    // unchanged).
    bool toText(std::string& text) const;
    // The whole document's XML text as `save` writes it, declaration included.
    std::string toDocumentText() const;
    void clear();
    // A deep copy of the other view's node in a document of this view's own.
    void copyFrom(const Dictionary& other);
    // Same number of child nodes and the same compact text.
    bool operator==(const Dictionary& other) const;
    bool operator!=(const Dictionary& other) const { return !(*this == other); }
    bool isValid() const { return node_ != nullptr; }
    // The characters of this node's names, attributes and texts, its descendants' included: about what a
    // copy of it holds, markup left out. One walk, without recursion.
    std::size_t textSize() const;
    // Whether the view stands on an element, rather than on text, a comment or another kind of node.
    bool hasElement() const { return element() != nullptr; }
    bool readsTypedLayout() const { return typedRead_; }

    // Structure. An empty tag matches child nodes of any kind, text included.
    int count(const std::string& tag) const;
    // Walks from the first child on every call: to read every child, use forEachChild.
    View getChild(int n, const std::string& tag) const;
    // The first child with the tag, and the next node after this one with the tag among its siblings.
    View getFirstChild(const std::string& tag) const;
    View getNextSibling(const std::string& tag) const;
    // Every child with the tag, in order, in one walk over the children (documents come from outside, and
    // an array of many items must not cost a walk per item).
    template <class Visit> void forEachChild(const std::string& tag, Visit visit) const {
        for (View child = getFirstChild(tag); child; child = child->getNextSibling(tag))
            visit(*child);
    }
    // The first child element named key, in either layout.
    View getElement(const std::string& key) const;
    // A nested dictionary by a path of keys separated by "/" or "\"; the index applies at every step.
    View getDictionary(const std::string& path, int index = 0) const;
    View addDictionary(const std::string& key);
    View getArray(const std::string& key) const;
    int getArraySize(const std::string& key) const;
    View addArray(const std::string& key);
    View getArrayItem(const std::string& key, int index) const;
    View getArrayDictionary(const std::string& key, const std::string& name) const;
    // The entry element of a key (typed layout: the first child element whose "name" is the key).
    View findEntry(const std::string& key) const;
    // Appends a deep copy of the other view's node to this node.
    bool appendChild(const Dictionary& other);
    bool appendTo(Dictionary& other) const;
    // Typed layout: the "name" attribute; otherwise the element's tag.
    std::string getName() const;
    bool setName(const std::string& name);
    std::string getAttribute(const std::string& attribute) const;
    // On this element (empty key) or on the entry named key.
    bool setAttribute(const std::string& key, const std::string& attribute, const std::string& value);
    bool hasKey(const std::string& key) const;

    // Typed values. A getter looks for an attribute named key on this element, then for the index-th
    // entry of the key, and reads the named attribute of the entry or else its text; it writes the result
    // only when found. Numbers are read and written in the C locale. Longs are stored as 32 bits.
    bool getBool(const std::string& key, bool* value, int index = 0,
                 const std::string& attribute = "value") const;
    bool getLong(const std::string& key, std::int32_t* value, int index = 0,
                 const std::string& attribute = "value") const;
    bool getInteger(const std::string& key, int* value, int index = 0,
                    const std::string& attribute = "value") const;
    bool getIndex(const std::string& key, int* value, int index = 0,
                  const std::string& attribute = "value") const;
    bool getFloat(const std::string& key, float* value, int index = 0,
                  const std::string& attribute = "value") const;
    bool getDouble(const std::string& key, double* value, int index = 0,
                   const std::string& attribute = "value") const;
    // As getLong, getIndex and getFloat, for a value that must be a number: only a text that is wholly one,
    // blanks around it aside (for getFiniteFloat, a finite float), is read. Any other is refused: false, the
    // value left alone, and `refused` made true when given (it is never made false).
    bool getWholeLong(const std::string& key, std::int32_t* value, bool* refused = nullptr) const;
    bool getWholeIndex(const std::string& key, int* value, bool* refused = nullptr) const;
    bool getFiniteFloat(const std::string& key, float* value, bool* refused = nullptr) const;
    // Backslash, backslash, "n" in the stored text reads as a line feed.
    bool getString(const std::string& key, std::string* value, int index = 0,
                   const std::string& attribute = "value") const;
    // Decodes a "data" entry. `expectedLength` is the byte count a text of the older packed-word form
    // holds (the form does not say). False when absent or when the text does not decode.
    bool getData(const std::string& key, std::vector<std::uint8_t>* data, std::size_t expectedLength = 0,
                 int index = 0, const std::string& attribute = "value") const;
    // As getData, decoding at most maxLength bytes: a gzip stream that declares more is never held, and the
    // packed-word form is refused for an expected length above it. When false, `fault` says why (kNone: the
    // entry has no text to decode).
    bool getDataAtMost(const std::string& key, std::vector<std::uint8_t>* data, std::size_t expectedLength,
                       std::size_t maxLength, DataFault* fault = nullptr) const;
    // The length a gzip+Base64 "data" entry's stream declares, read from the end of its text without
    // unpacking it: what getDataAtMost decodes it into when it decodes at all. False when the entry is
    // absent, too short for a stream, or in the packed-word form.
    bool getDataDeclaredLength(const std::string& key, std::size_t* length) const;
    // As the getters, with the value also returned in the entry's "display" attribute when it has one.
    bool getIntegerDisplay(const std::string& key, int* value, std::string* display, int index = 0,
                           const std::string& attribute = "value") const;
    bool getFloatDisplay(const std::string& key, float* value, std::string* display, int index = 0,
                         const std::string& attribute = "value") const;
    bool getStringDisplay(const std::string& key, std::string* value, std::string* display, int index = 0,
                          const std::string& attribute = "value") const;
    // The entry is the child element named key, in either layout.
    bool getIntegerByTag(const std::string& key, int* value, int index = 0,
                         const std::string& attribute = "value") const;
    bool getStringByTag(const std::string& key, std::string* value, int index = 0,
                        const std::string& attribute = "value") const;
    // Every value of the key's entries, in order, in one walk: what getString and getDouble read at index 0,
    // 1, ... up to the first entry without a value (an attribute named key on this element is no entry).
    std::vector<std::string> getStrings(const std::string& key) const;
    std::vector<double> getDoubles(const std::string& key) const;
    // The stored text of an integer entry, line feeds unescaped.
    bool getIntegerText(const std::string& key, std::string* text, int index = 0,
                        const std::string& attribute = "value") const;
    // Stream conversions of the whole text; for std::int32_t, bool, float and double.
    template <class T>
    bool getValue(const std::string& key, T* value, int index = 0,
                  const std::string& attribute = "value") const;
    // The "value" of the entry named name, or T() when there is none.
    template <class T> static T getEntryValue(const Dictionary& dictionary, const std::string& name);
    // Writes in the layout the view reads, so that getValue finds it again.
    template <class T> bool setValue(const std::string& key, const T& value, bool replace = true);
    // The typed-layout tag of a value type.
    template <class T> static const char* typeName();

    bool boolValue(const std::string& key) const;   // false when absent
    int integerValue(const std::string& key) const; // -1 when absent
    std::string stringValue(const std::string& key) const;

    // Setters write the entry named key: with replace, the index-th existing one gets the new "value";
    // otherwise a new entry is appended. False when the key is no valid element name.
    bool setBool(const std::string& key, bool value, int index = 0, bool replace = true);
    bool setInteger(const std::string& key, std::int32_t value, int index = 0, bool replace = true);
    bool setIndex(const std::string& key, int value, int index = 0, bool replace = true);
    bool setFloat(const std::string& key, float value, int index = 0, bool replace = true);
    bool setDouble(const std::string& key, double value, int index = 0, bool replace = true);
    // Strings carry no "index"; replacing looks at the first entry whatever the index.
    bool setString(const std::string& key, const std::string& value, int index = 0, bool replace = true);
    // A file name, whatever its bytes, in a document held as UTF-8: "value" holds it as UTF-8 (bytes that
    // are no UTF-8 taken as 8-bit characters, as an 8-bit document's are read), and a name that would not
    // read back from there as it is keeps its exact bytes in the entry's "bytes" attribute too,
    // percent-encoded, which getFileName prefers. A reader of "value" alone reads the UTF-8 form.
    bool setFileName(const std::string& key, const std::string& name);
    // The name setFileName wrote; getString's text where the entry has no well-formed "bytes".
    bool getFileName(const std::string& key, std::string* name) const;
    bool setData(const std::string& key, const std::uint8_t* data, std::size_t length, int index = 0,
                 bool replace = true);

    // The creator record: an "info" element with "creator" and "version".
    bool writeInfo(const std::string& creator, const std::string& version);
    // Leaves the strings unchanged when the record or an attribute is absent.
    void readInfo(std::string* creator, std::string* version) const;

    // Whether this product may load the document; when not, the message says why. Detects the layout.
    bool checkCompatibility(std::string& message);

    // Binary values: gzip and Base64; the older packed-word form is read too.
    static void encodeData(std::string& text, const std::uint8_t* data, std::size_t length);
    static bool decodeData(const std::string& text, std::vector<std::uint8_t>* data,
                           std::size_t expectedLength, std::size_t maxLength = kMaxDataBytes,
                           DataFault* fault = nullptr);

private:
    Dictionary(const Dictionary& parent, TiXmlNode* node);

    TiXmlElement* element() const;
    // This node when entries can be added to it (an element or the document).
    TiXmlNode* container() const;
    View viewOn(TiXmlNode* node) const;
    // Gives this view a document of its own, leaving other views on the old one.
    void adopt(std::shared_ptr<TiXmlDocument> document, TiXmlNode* node);
    // Takes the text, as parseXml does.
    bool readDocument(std::string text, const char* where, std::string* problem = nullptr);
    void detectLayout();
    // The entry of a value: by tag, or in typed layout by type tag and "name".
    TiXmlElement* valueEntry(const std::string& key, const char* typeTag, int index, bool byTag) const;
    bool readText(const std::string& key, const char* typeTag, int index, const std::string& attribute,
                  bool byTag, std::string* text, std::string* display = nullptr) const;
    template <class T, class Convert>
    std::vector<T> readList(const std::string& key, const char* typeTag, Convert convert) const;
    template <class T, class Convert>
    bool readAs(const std::string& key, const char* typeTag, int index, const std::string& attribute,
                bool byTag, T* value, Convert convert, std::string* display = nullptr) const;
    bool writeText(const std::string& key, const std::string& text, int index, bool replace, bool withIndex);
    TiXmlElement* appendElement(const std::string& key);

    std::shared_ptr<TiXmlDocument> document_;
    TiXmlNode* node_ = nullptr;
    bool typedRead_ = false;
};

} // namespace trov
