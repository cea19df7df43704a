#pragma once

#include "framework/Dictionary.h"

#include <string>

namespace trov::detail {

// Whether a child view stands on an element rather than on stray text or a comment between elements.
inline bool isElement(const Dictionary& view) {
    if (!view.getName().empty())
        return true;
    std::string text;
    view.toText(text);
    return text.size() > 1 && text[0] == '<' && text[1] != '!';
}

} // namespace trov::detail
