#include "framework/DictionaryNodes.h"

#include <tinyxml.h>

#include <cctype>

namespace trov::dictionary_nodes {

namespace {
thread_local std::uint64_t visited = 0;
}

std::uint64_t visitedNodes() {
    return visited;
}

TiXmlElement* findChild(const TiXmlNode* node, const std::string& tag, const std::string& name, int n) {
    if (node == nullptr || n < 0)
        return nullptr;
    for (const TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
        ++visited;
        const TiXmlElement* element = child->ToElement();
        if (element == nullptr || (!tag.empty() && element->ValueStr() != tag))
            continue;
        if (!name.empty()) {
            const std::string* own = element->Attribute(std::string("name"));
            if (own == nullptr || *own != name)
                continue;
        }
        if (n-- == 0)
            return const_cast<TiXmlElement*>(element);
    }
    return nullptr;
}

TiXmlNode* nthChildNode(const TiXmlNode* node, int n) {
    if (node == nullptr || n < 0)
        return nullptr;
    for (const TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
        ++visited;
        if (n-- == 0)
            return const_cast<TiXmlNode*>(child);
    }
    return nullptr;
}

TiXmlNode* nextMatching(const TiXmlNode* first, const std::string& tag) {
    for (const TiXmlNode* node = first; node != nullptr; node = node->NextSibling()) {
        ++visited;
        if (tag.empty() || (node->ToElement() != nullptr && node->ValueStr() == tag))
            return const_cast<TiXmlNode*>(node);
    }
    return nullptr;
}

int countChildren(const TiXmlNode* node, const std::string& tag) {
    int count = 0;
    if (node == nullptr)
        return 0;
    for (const TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
        ++visited;
        if (tag.empty() || (child->ToElement() != nullptr && child->ValueStr() == tag))
            ++count;
    }
    return count;
}

const std::string* attributeOf(const TiXmlElement* element, const std::string& attribute) {
    return element != nullptr ? element->Attribute(attribute) : nullptr;
}

bool isElementName(const std::string& name) {
    // Bytes from 127 up count as letters, as the parser has them.
    auto letter = [](unsigned char c) { return c >= 127 || std::isalpha(c) != 0; };
    if (name.empty() || !(letter(static_cast<unsigned char>(name[0])) || name[0] == '_'))
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (!(letter(u) || (u < 127 && std::isdigit(u)) || c == '_' || c == '-' || c == '.' || c == ':'))
            return false;
    }
    return true;
}

} // namespace trov::dictionary_nodes
