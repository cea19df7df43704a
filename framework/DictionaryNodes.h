#pragma once

// Internal to the dictionary: walking and naming the nodes of its XML document.

#include <cstdint>
#include <string>

class TiXmlElement;
class TiXmlNode;

namespace trov::dictionary_nodes {

// The n-th (from 0) child element whose tag is `tag` (any tag when empty) and, when `name` is given, whose
// "name" attribute is `name`. Other kinds of nodes are skipped.
TiXmlElement* findChild(const TiXmlNode* node, const std::string& tag, const std::string& name, int n);
// The n-th child node of any kind.
TiXmlNode* nthChildNode(const TiXmlNode* node, int n);
// From `first` on (itself included), the first node of any kind when the tag is empty, else the first
// element whose tag is `tag`: with a node's first child or its next sibling, one walk over the children.
TiXmlNode* nextMatching(const TiXmlNode* first, const std::string& tag);
// Child elements with the tag; every child node when the tag is empty.
int countChildren(const TiXmlNode* node, const std::string& tag);
// How many child nodes the walks above have visited on this thread: counting shows that a reader visits each
// item of an array a bounded number of times, whatever the array's length.
std::uint64_t visitedNodes();
// The attribute's text, or null when the element or its attribute is absent.
const std::string* attributeOf(const TiXmlElement* element, const std::string& attribute);
// Whether the XML parser reads the text back as the same element or attribute name, so that a document
// written with it can be loaded again.
bool isElementName(const std::string& name);

} // namespace trov::dictionary_nodes
