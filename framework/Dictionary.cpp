#include "framework/Dictionary.h"

#include "framework/DictionaryNodes.h"
#include "framework/DictionaryXml.h"
#include "framework/Logger.h"
#include "framework/Version.h"

#include <tinyxml.h>

#include <utility>

namespace trov {

using namespace dictionary_nodes;

namespace {

std::shared_ptr<TiXmlDocument> newDocument() {
    dictionary_xml::prepareXml();
    auto document = std::make_shared<TiXmlDocument>();
    document->LinkEndChild(new TiXmlDeclaration("1.0", "", "no"));
    document->LinkEndChild(new TiXmlElement("dict"));
    return document;
}

} // namespace

Dictionary::Dictionary() : document_(newDocument()) {
    node_ = document_->RootElement();
}

Dictionary::Dictionary(const std::string& xml) : Dictionary() {
    parse(xml);
}

Dictionary::Dictionary(const Dictionary& other)
    : SharedObject(other), document_(other.document_), node_(other.node_), typedRead_(other.typedRead_) {}

Dictionary::Dictionary(const Dictionary& parent, TiXmlNode* node)
    : SharedObject(parent), document_(parent.document_), node_(node), typedRead_(parent.typedRead_) {}

Dictionary& Dictionary::operator=(const Dictionary& other) {
    if (this != &other) {
        SharedObject::operator=(other);
        document_ = other.document_;
        node_ = other.node_;
        typedRead_ = other.typedRead_;
    }
    return *this;
}

// The document is held jointly, so whichever view goes last frees it, on whatever thread.
Dictionary::~Dictionary() = default;

TiXmlElement* Dictionary::element() const {
    return node_ != nullptr ? node_->ToElement() : nullptr;
}

TiXmlNode* Dictionary::container() const {
    if (node_ == nullptr || (node_->ToElement() == nullptr && node_->ToDocument() == nullptr))
        return nullptr;
    return node_;
}

Dictionary::View Dictionary::viewOn(TiXmlNode* node) const {
    if (node == nullptr)
        return nullptr;
    return View(new Dictionary(*this, node));
}

void Dictionary::adopt(std::shared_ptr<TiXmlDocument> document, TiXmlNode* node) {
    if (document_.use_count() > 1)
        SharedObject::operator=(SharedObject());
    document_ = std::move(document);
    node_ = node;
}

bool Dictionary::readDocument(std::string text, const char* where, std::string* problem) {
    auto document = std::make_shared<TiXmlDocument>();
    const std::string found = dictionary_xml::parseXml(*document, std::move(text));
    if (!found.empty()) {
        logLine(3, "%s: %s", where, found.c_str());
        if (problem != nullptr)
            *problem = found;
        clear();
        return false;
    }
    TiXmlNode* root = document->FirstChildElement("dict");
    adopt(document, root != nullptr ? root : document.get());
    detectLayout();
    return true;
}

bool Dictionary::parse(const std::string& xml) {
    return readDocument(xml, "bool trov::Dictionary::parse(const std::string&)");
}

bool Dictionary::toText(std::string& text) const {
    if (node_ != nullptr) {
        TiXmlPrinter printer;
        printer.SetStreamPrinting();
        node_->Accept(&printer);
        text += printer.Str();
    }
    return true;
}

std::string Dictionary::toDocumentText() const {
    TiXmlPrinter printer;
    printer.SetIndent("    ");
    document_->Accept(&printer);
    return printer.Str();
}

void Dictionary::clear() {
    auto document = newDocument();
    TiXmlNode* root = document->RootElement();
    adopt(std::move(document), root);
    typedRead_ = false;
}

void Dictionary::copyFrom(const Dictionary& other) {
    if (other.node_ == nullptr) {
        clear();
        return;
    }
    const bool typed = other.typedRead_;
    if (other.node_->ToDocument() != nullptr) {
        auto document = std::make_shared<TiXmlDocument>(*other.node_->ToDocument());
        adopt(document, document.get());
    } else {
        auto document = newDocument();
        document->RemoveChild(document->RootElement());
        TiXmlNode* copy = document->LinkEndChild(other.node_->Clone());
        adopt(std::move(document), copy);
    }
    typedRead_ = typed;
}

bool Dictionary::operator==(const Dictionary& other) const {
    if (node_ == nullptr || other.node_ == nullptr)
        return node_ == other.node_;
    if (countChildren(node_, "") != countChildren(other.node_, ""))
        return false;
    std::string mine;
    std::string theirs;
    toText(mine);
    other.toText(theirs);
    return mine == theirs;
}

void Dictionary::detectLayout() {
    typedRead_ = false;
    if (getName() != "dict")
        return;
    std::string format;
    if (!getString("file-format", &format))
        typedRead_ = true;
    else
        typedRead_ = Version(format) < Version("0.6");
}

int Dictionary::count(const std::string& tag) const {
    return countChildren(node_, tag);
}

Dictionary::View Dictionary::getChild(int n, const std::string& tag) const {
    return viewOn(tag.empty() ? nthChildNode(node_, n) : findChild(node_, tag, "", n));
}

Dictionary::View Dictionary::getFirstChild(const std::string& tag) const {
    return viewOn(node_ != nullptr ? nextMatching(node_->FirstChild(), tag) : nullptr);
}

Dictionary::View Dictionary::getNextSibling(const std::string& tag) const {
    return viewOn(node_ != nullptr ? nextMatching(node_->NextSibling(), tag) : nullptr);
}

Dictionary::View Dictionary::getElement(const std::string& key) const {
    return viewOn(findChild(node_, key, "", 0));
}

Dictionary::View Dictionary::getDictionary(const std::string& path, int index) const {
    TiXmlNode* node = node_;
    std::size_t start = 0;
    while (node != nullptr && start <= path.size()) {
        std::size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = path.size();
        const std::string piece = path.substr(start, end - start);
        // Empty pieces (doubled or trailing separators) are no step.
        if (!piece.empty())
            node = typedRead_ ? findChild(node, "dict", piece, index) : findChild(node, piece, "", index);
        start = end + 1;
    }
    return viewOn(node);
}

Dictionary::View Dictionary::addDictionary(const std::string& key) {
    return viewOn(appendElement(key));
}

Dictionary::View Dictionary::getArray(const std::string& key) const {
    return viewOn(typedRead_ ? findChild(node_, "array", key, 0) : findChild(node_, key, "", 0));
}

int Dictionary::getArraySize(const std::string& key) const {
    const View array = getArray(key);
    return array ? countChildren(array->node_, "") : 0;
}

Dictionary::View Dictionary::addArray(const std::string& key) {
    return viewOn(appendElement(key));
}

Dictionary::View Dictionary::getArrayItem(const std::string& key, int index) const {
    const View array = getArray(key);
    return array ? viewOn(nthChildNode(array->node_, index)) : nullptr;
}

Dictionary::View Dictionary::getArrayDictionary(const std::string& key, const std::string& name) const {
    const View array = getArray(key);
    if (!array)
        return nullptr;
    return viewOn(typedRead_ ? findChild(array->node_, "dict", name, 0)
                             : findChild(array->node_, name, "", 0));
}

Dictionary::View Dictionary::findEntry(const std::string& key) const {
    return viewOn(typedRead_ ? findChild(node_, "", key, 0) : findChild(node_, key, "", 0));
}

bool Dictionary::appendChild(const Dictionary& other) {
    TiXmlNode* parent = container();
    if (parent == nullptr || other.node_ == nullptr || other.node_->ToDocument() != nullptr)
        return false;
    return parent->LinkEndChild(other.node_->Clone()) != nullptr;
}

std::size_t Dictionary::textSize() const {
    std::size_t size = 0;
    const TiXmlNode* node = node_;
    while (node != nullptr) {
        size += node->ValueStr().size();
        if (const TiXmlElement* own = node->ToElement())
            for (const TiXmlAttribute* attribute = own->FirstAttribute(); attribute != nullptr;
                 attribute = attribute->Next())
                size += attribute->NameTStr().size() + attribute->ValueStr().size();
        // Depth first, never above this view's node.
        if (node->FirstChild() != nullptr) {
            node = node->FirstChild();
            continue;
        }
        while (node != node_ && node->NextSibling() == nullptr)
            node = node->Parent();
        node = node != node_ ? node->NextSibling() : nullptr;
    }
    return size;
}

bool Dictionary::appendTo(Dictionary& other) const {
    other.appendChild(*this);
    return true;
}

std::string Dictionary::getName() const {
    const TiXmlElement* own = element();
    if (own == nullptr)
        return {};
    if (typedRead_) {
        const std::string* name = own->Attribute(std::string("name"));
        return name != nullptr ? *name : std::string();
    }
    return own->ValueStr();
}

bool Dictionary::setName(const std::string& name) {
    TiXmlElement* own = element();
    if (own == nullptr || !isElementName(name))
        return false;
    own->SetValue(name);
    return true;
}

std::string Dictionary::getAttribute(const std::string& attribute) const {
    const std::string* value = attributeOf(element(), attribute);
    return value != nullptr ? *value : std::string();
}

bool Dictionary::setAttribute(const std::string& key, const std::string& attribute,
                              const std::string& value) {
    TiXmlElement* target = key.empty() ? element() : findChild(node_, key, "", 0);
    if (target == nullptr || !isElementName(attribute))
        return false;
    target->SetAttribute(attribute, value);
    return true;
}

bool Dictionary::hasKey(const std::string& key) const {
    if (typedRead_)
        return false;
    if (attributeOf(element(), key) != nullptr)
        return true;
    const TiXmlElement* entry = findChild(node_, key, "", 0);
    return entry != nullptr && (attributeOf(entry, "value") != nullptr || entry->FirstChild() != nullptr);
}

TiXmlElement* Dictionary::appendElement(const std::string& key) {
    TiXmlNode* parent = container();
    if (parent == nullptr || !isElementName(key))
        return nullptr;
    TiXmlNode* linked = parent->LinkEndChild(new TiXmlElement(key));
    return linked != nullptr ? linked->ToElement() : nullptr;
}

} // namespace trov
