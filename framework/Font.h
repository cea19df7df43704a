#pragma once

#include <cstdint>
#include <string>

namespace trov {

// A font description that the canvas turns into a platform font when it draws text. Plain value.
// style: bit 0 italic. weight: 0 light, 1 normal, 2 semi-bold, 3 bold, 4 heavy.
// alignment: 1 left, 2 right, 4 centred, 8 top, 16 bottom, 32 middle, 65536 no smoothing (pixel fonts).
class Font {
public:
    static constexpr std::int32_t kAlignLeft = 1;
    static constexpr std::int32_t kAlignRight = 2;
    static constexpr std::int32_t kAlignCenter = 4;
    static constexpr std::int32_t kAlignTop = 8;
    static constexpr std::int32_t kAlignBottom = 16;
    static constexpr std::int32_t kAlignMiddle = 32;
    static constexpr std::int32_t kNoSmoothing = 65536;

    Font() = default;
    // A line height of exactly 0 means size + 2.
    Font(std::string face, float size, std::int32_t style, std::int32_t weight, std::int32_t alignment,
         float lineHeight);
    Font(const Font&) = default;
    Font& operator=(const Font&) = default;
    virtual ~Font() = default;

    virtual std::string getFace() const { return face_; }
    virtual float getSize() const { return size_; }
    virtual std::int32_t getStyle() const { return style_; }
    virtual std::int32_t getWeight() const { return weight_; }
    virtual std::int32_t getAlignment() const { return alignment_; }
    virtual float getLineHeight() const { return lineHeight_; }
    virtual void setFace(const std::string& face) { face_ = face; }
    virtual void setSize(float size) { size_ = size; }
    virtual void setStyle(std::int32_t style) { style_ = style; }
    virtual void setWeight(std::int32_t weight) { weight_ = weight; }
    virtual void setAlignment(std::int32_t alignment) { alignment_ = alignment; }
    virtual void setLineHeight(float lineHeight) { lineHeight_ = lineHeight; }
    virtual void divideSize(float f) { size_ = size_ / f; }
    virtual void multiplySize(float f) { size_ = size_ * f; }

private:
    std::string face_ = "Arial";
    float size_ = 12.0f;
    std::int32_t style_ = 0;
    std::int32_t weight_ = 1;
    std::int32_t alignment_ = kAlignLeft | kAlignTop;
    float lineHeight_ = 14.0f;
};

} // namespace trov
