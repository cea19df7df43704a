#include "tools/make-skins/PanelSpec.h"

#include "framework/Dictionary.h"
#include "framework/File.h"

#include <cstdlib>
#include <stdexcept>

namespace trov::skins {

namespace {

using platform::NativeRect;

NativeRect moved(NativeRect r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

int integerOr(const Dictionary& item, const char* key, int fallback) {
    int value = fallback;
    item.getInteger(key, &value);
    return value;
}

void readNodes(const Dictionary& spec, PanelNode& parent, int instance, int dx, int dy);

void readNode(const Dictionary& item, PanelNode& parent, int instance, int dx, int dy) {
    auto node = std::make_unique<PanelNode>();
    item.getString("class", &node->type);
    item.getString("id", &node->id);
    item.getString("parameter", &node->parameter);
    item.getString("label", &node->label);
    const int x = integerOr(item, "x", 0);
    const int y = integerOr(item, "y", 0);
    node->rect = moved({x, y, x + integerOr(item, "width", 0), y + integerOr(item, "height", 0)},
                       dx * instance, dy * instance);
    node->absolute = moved(node->rect, parent.absolute.left, parent.absolute.top);
    for (int i = 0, n = item.count("string"); i < n; ++i)
        if (const Dictionary::View entry = item.getChild(i, "string"))
            node->strings[entry->getName()] = entry->getAttribute("value");
    for (int i = 0, n = item.count("integer"); i < n; ++i)
        if (const Dictionary::View entry = item.getChild(i, "integer"))
            node->integers[entry->getName()] = std::atoi(entry->getAttribute("value").c_str());
    if (const Dictionary::View bitmaps = item.getArray("bitmaps"))
        for (int i = 0, n = bitmaps->count("string"); i < n; ++i)
            if (const Dictionary::View entry = bitmaps->getChild(i, "string"))
                node->bitmaps.push_back(entry->getAttribute("value"));
    node->parent = &parent;
    PanelNode& added = *parent.children.emplace_back(std::move(node));
    readNodes(item, added, 0, 0, 0);
}

// As the editor builds: a node of more than one instance is a repeat group whose own controls are read
// once per instance, the k-th copy moved by k times the group's offset (an absent offset counts as -1).
void readNodes(const Dictionary& spec, PanelNode& parent, int instance, int dx, int dy) {
    for (int i = 0, n = spec.getArraySize("controls"); i < n; ++i) {
        const Dictionary::View item = spec.getArrayItem("controls", i);
        if (!item)
            continue;
        const int instances = item->integerValue("instances");
        if (instances > 1) {
            for (int k = 0; k < instances; ++k)
                readNodes(*item, parent, k, item->integerValue("xoffset"), item->integerValue("yoffset"));
            continue;
        }
        if (item->stringValue("class").empty())
            continue;
        readNode(*item, parent, instance, dx, dy);
    }
}

void collect(const PanelNode& node, std::vector<const PanelNode*>& out) {
    for (const auto& child : node.children) {
        out.push_back(child.get());
        collect(*child, out);
    }
}

Dictionary load(const std::string& path) {
    Dictionary document;
    if (!document.load(File(path)))
        throw std::runtime_error("cannot read " + path);
    return document;
}

} // namespace

std::string PanelNode::text(const std::string& key) const {
    const auto it = strings.find(key);
    return it != strings.end() ? it->second : std::string();
}

std::unique_ptr<PanelNode> readPanelSpec(const std::string& path) {
    const Dictionary document = load(path);
    auto root = std::make_unique<PanelNode>();
    readNodes(document, *root, 0, 0, 0);
    return root;
}

std::vector<const PanelNode*> allNodes(const PanelNode& root) {
    std::vector<const PanelNode*> out;
    collect(root, out);
    return out;
}

std::map<std::string, std::vector<EnumEntry>> readEnumerations(const std::string& path) {
    const Dictionary document = load(path);
    std::map<std::string, std::vector<EnumEntry>> out;
    const Dictionary::View parameters = document.getArray("parameters");
    if (!parameters)
        return out;
    // Parameters stand in sections or directly in the array.
    std::vector<Dictionary::View> items;
    for (int i = 0, n = parameters->count(""); i < n; ++i)
        if (Dictionary::View child = parameters->getChild(i, "")) {
            if (!child->stringValue("class").empty()) {
                items.push_back(std::move(child));
                continue;
            }
            for (int j = 0, m = child->count(""); j < m; ++j)
                if (Dictionary::View item = child->getChild(j, ""))
                    items.push_back(std::move(item));
        }
    for (const Dictionary::View& item : items) {
        if (item->stringValue("class") != "ParameterEnum")
            continue;
        std::vector<EnumEntry>& entries = out[item->stringValue("name")];
        if (const Dictionary::View values = item->getArray("values"))
            for (int i = 0, n = values->count(""); i < n; ++i)
                if (const Dictionary::View entry = values->getChild(i, ""))
                    entries.push_back({std::strtod(entry->getAttribute("value").c_str(), nullptr),
                                       entry->getAttribute("display")});
    }
    return out;
}

} // namespace trov::skins
