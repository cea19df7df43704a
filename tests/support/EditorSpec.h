#pragma once

// Editor specifications written by tests, in the typed layout hand-written specifications use:
//   specification({node("Panel").id("special::background").at(0, 0, 200, 100).child(node("Slider")...)})
#include <string>
#include <vector>

namespace trov::test {

class ControlNode {
public:
    explicit ControlNode(const std::string& type) {
        if (!type.empty())
            string("class", type);
    }

    ControlNode& integer(const std::string& key, long value) {
        entries_ += "<integer name=\"" + key + "\" value=\"" + std::to_string(value) + "\"/>";
        return *this;
    }
    ControlNode& real(const std::string& key, double value) {
        entries_ += "<float name=\"" + key + "\" value=\"" + std::to_string(value) + "\"/>";
        return *this;
    }
    ControlNode& flag(const std::string& key, bool value) {
        entries_ += "<bool name=\"" + key + "\" value=\"" + (value ? "true" : "false") + "\"/>";
        return *this;
    }
    ControlNode& string(const std::string& key, const std::string& value, const std::string& more = "") {
        entries_ += "<string name=\"" + key + "\" value=\"" + value + "\"" + more + "/>";
        return *this;
    }
    ControlNode& raw(const std::string& xml) {
        entries_ += xml;
        return *this;
    }
    ControlNode& id(const std::string& value) { return string("id", value); }
    ControlNode& at(int x, int y, int width, int height) {
        return integer("x", x).integer("y", y).integer("width", width).integer("height", height);
    }
    // index < 0: no "index" attribute.
    ControlNode& parameter(const std::string& name, int index = -1) {
        return string("parameter", name, index < 0 ? "" : " index=\"" + std::to_string(index) + "\"");
    }
    ControlNode& child(const ControlNode& node) {
        children_.push_back(node.xml());
        return *this;
    }
    // A repeat group: the group's children are built once per instance.
    ControlNode& repeat(int instances, int xoffset, int yoffset) {
        return integer("instances", instances).integer("xoffset", xoffset).integer("yoffset", yoffset);
    }

    std::string xml() const {
        std::string text = "<dict>" + entries_;
        if (!children_.empty()) {
            text += "<array name=\"controls\">";
            for (const std::string& c : children_)
                text += c;
            text += "</array>";
        }
        return text + "</dict>";
    }

private:
    std::string entries_;
    std::vector<std::string> children_;
};

inline ControlNode node(const std::string& type) {
    return ControlNode(type);
}

// A whole editor specification with these roots.
inline std::string specification(const std::vector<ControlNode>& roots) {
    std::string text = "<?xml version=\"1.0\"?><dict><array name=\"controls\">";
    for (const ControlNode& root : roots)
        text += root.xml();
    return text + "</array></dict>";
}

} // namespace trov::test
