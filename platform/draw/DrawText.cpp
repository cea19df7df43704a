#include "platform/draw/Blit.h"
#include "platform/draw/DrawContext.h"

#include <algorithm>
#include <vector>

namespace trov::platform::draw {

namespace {

// The text's lines, without their breaks ("\r\n", "\n" or "\r"); a break at the very end starts no line.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = begin;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        lines.push_back(text.substr(begin, end - begin));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            ++end;
        begin = end + 1;
    }
    return lines;
}

int lineWidth(LoadedFont& font, std::string_view line) {
    int width = 0;
    for (char c : line)
        width += font.glyph(static_cast<unsigned char>(c)).advance;
    return width;
}

} // namespace

int DrawContext::drawText(std::string_view text, NativeRect& r, unsigned format) {
    const std::shared_ptr<LoadedFont> font = loadFont(state_.font);
    if (!font)
        return 0;
    const std::vector<std::string_view> lines = splitLines(text);
    const int lineHeight = font->height();
    const int total = lineHeight * static_cast<int>(lines.size());
    if ((format & kTextCalcRect) != 0) {
        int widest = 0;
        for (std::string_view line : lines)
            widest = std::max(widest, lineWidth(*font, line));
        r.right = r.left + widest;
        r.bottom = r.top + total;
        return total;
    }
    if (!surface_)
        return total;
    const NativeRect box = toDevice(r);
    const NativeRect clip = intersect(deviceClip(), box);
    if (isEmpty(clip))
        return total;
    const Pixel ink = opaquePixel(state_.textColor);
    const Pixel paper = opaquePixel(state_.bkColor);
    int top = box.top;
    for (std::string_view line : lines) {
        const int width = lineWidth(*font, line);
        int x = box.left;
        if ((format & kTextRight) != 0)
            x = box.right - width;
        else if ((format & kTextCenter) != 0)
            x = box.left + (box.right - box.left - width) / 2;
        if (state_.bkMode == BackgroundMode::Opaque)
            fillDevice({x, top, x + width, top + lineHeight}, paper, clip);
        const int baseline = top + font->ascent();
        for (char c : line) {
            const Glyph& glyph = font->glyph(static_cast<unsigned char>(c));
            const int left = x + glyph.left;
            const int upper = baseline - glyph.top;
            const NativeRect area = intersect(clip, {left, upper, left + glyph.width, upper + glyph.height});
            for (int y = area.top; y < area.bottom; ++y) {
                const std::uint8_t* coverage =
                    glyph.coverage.data() + static_cast<std::size_t>((y - upper) * glyph.width);
                Pixel* out = surface_->row(y);
                for (int px = area.left; px < area.right; ++px) {
                    const std::uint32_t c = coverage[px - left];
                    if (c == 255)
                        out[px] = ink;
                    else if (c != 0)
                        out[px] = coverPixel(out[px], ink, c);
                }
            }
            x += glyph.advance;
        }
        top += lineHeight;
    }
    return total;
}

} // namespace trov::platform::draw
