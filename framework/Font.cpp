#include "framework/Font.h"

namespace trov {

Font::Font(std::string face, float size, std::int32_t style, std::int32_t weight, std::int32_t alignment,
           float lineHeight)
    : face_(std::move(face)), size_(size), style_(style), weight_(weight), alignment_(alignment),
      lineHeight_(lineHeight == 0.0f ? size + 2.0f : lineHeight) {}

} // namespace trov
