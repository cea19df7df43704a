// fuzz-links: trov_framework
// Parses arbitrary text as a dictionary document, saves it over and over, and reads it through the
// dictionary's operations. It also checks that the guard's walk predicts the parser's tree exactly (element
// count and depth): the guard is what keeps hostile nesting away from the parser's recursion.
#include "framework/Dictionary.h"
#include "framework/DictionaryXml.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

void checkGuardAgainstParser(const std::string& text) {
    using namespace trov::dictionary_xml;
    prepareXml();
    // As the dictionary does: the parser reads the text up to its first NUL.
    std::string padded = text.substr(0, text.find('\0'));
    padded.append(kPadding, '\0');
    const XmlShape shape = measureXml(padded.c_str());
    if (shape.limit != nullptr)
        return;
    TiXmlDocument document;
    document.SetTabSize(0);
    document.Parse(padded.c_str());
    std::size_t elements = 0;
    int depth = 0;
    std::vector<std::pair<const TiXmlNode*, int>> stack{{&document, 0}};
    while (!stack.empty()) {
        const auto [node, level] = stack.back();
        stack.pop_back();
        if (node->ToElement() != nullptr) {
            ++elements;
            depth = std::max(depth, level);
        }
        for (const TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling())
            stack.emplace_back(child, level + 1);
    }
    if (elements != shape.elements || depth != shape.maxDepth)
        std::abort();
}

void readEverything(trov::Dictionary& dictionary) {
    std::string text;
    dictionary.toText(text);
    std::string message;
    dictionary.checkCompatibility(message);
    const int children = dictionary.count("");
    for (int i = 0; i < children && i < 64; ++i) {
        trov::Dictionary::View child = dictionary.getChild(i, "");
        const std::string name = child->getName();
        std::string value;
        float number = 0;
        std::int32_t integer = 0;
        std::vector<std::uint8_t> data;
        dictionary.getString(name, &value);
        dictionary.getFloat(name, &number);
        dictionary.getLong(name, &integer);
        dictionary.getValue<float>(name, &number);
        dictionary.getData(name, &data, 64);
        child->getArraySize("item");
        child->hasKey("value");
    }
    if (trov::Dictionary::View nested = dictionary.getDictionary("a/b"))
        nested->count("c");
    trov::Dictionary copy;
    copy.copyFrom(dictionary);
    copy.appendChild(dictionary);
    copy.setFloat("extra", 1.5f);
    trov::Dictionary reread;
    reread.parse(copy.toDocumentText());
}

// What is saved does not keep growing from one save to the next: text that gained white space or a
// conversion at every save and load would bloat a document without end. The first saves may still settle
// hostile text (a declaration added to converted text; the parser's own quirks may shorten a save).
void checkSavesDoNotGrow(const trov::Dictionary& dictionary) {
    std::string saved = dictionary.toDocumentText();
    for (int round = 0; round < 5; ++round) {
        trov::Dictionary read;
        if (!read.parse(saved))
            return;
        std::string again = read.toDocumentText();
        if (round >= 2 && again.size() > saved.size())
            std::abort();
        saved = std::move(again);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkGuardAgainstParser(text);
    trov::Dictionary dictionary;
    if (dictionary.parse(text)) {
        checkSavesDoNotGrow(dictionary);
        readEverything(dictionary);
    }
    return 0;
}
