#include "platform/Paths.h"

namespace trov::platform {

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> components;
    std::string component;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!component.empty())
                components.push_back(std::move(component));
            component.clear();
        } else {
            component += c;
        }
    }
    if (!component.empty())
        components.push_back(std::move(component));
    return components;
}

} // namespace trov::platform
