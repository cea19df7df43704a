#pragma once

#include "platform/NativeRect.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace trov::skins {

// One control of the editor specification as the skin generator sees it: its type, id, parameter, legend
// and the skin names it asks for, with its rectangle in its parent's and in the editor's coordinates.
// Repeat groups are expanded into their copies, each moved by its group's offset.
struct PanelNode {
    std::string type;
    std::string id;
    std::string parameter;
    std::string label;
    platform::NativeRect rect;     // in the parent's coordinates
    platform::NativeRect absolute; // in the editor's coordinates
    // The text of every string entry ("handle", "background", "alphabet", "marker", ...), and the "value"
    // texts of a "bitmaps" array in order.
    std::map<std::string, std::string> strings;
    std::map<std::string, int> integers; // every integer entry

    std::vector<std::string> bitmaps;
    const PanelNode* parent = nullptr;
    std::vector<std::unique_ptr<PanelNode>> children;

    int width() const { return rect.right - rect.left; }
    int height() const { return rect.bottom - rect.top; }
    std::string text(const std::string& key) const;
};

// The specification read into a tree of nodes under one invisible root. Throws std::runtime_error when
// the file cannot be read.
std::unique_ptr<PanelNode> readPanelSpec(const std::string& path);

// Every node of the tree below the root, parents before their children.
std::vector<const PanelNode*> allNodes(const PanelNode& root);

// An entry of an enumeration parameter of the plug-in specification.
struct EnumEntry {
    double value = 0.0;
    std::string display;
};

// The entries of every enumeration parameter of the plug-in specification, by parameter name. Throws
// std::runtime_error when the file cannot be read.
std::map<std::string, std::vector<EnumEntry>> readEnumerations(const std::string& path);

} // namespace trov::skins
