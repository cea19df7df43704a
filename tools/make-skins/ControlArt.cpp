#include "tools/make-skins/ControlArt.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace trov::skins {

namespace {

using namespace colours;

constexpr ColorRef kBody = rgb(84, 88, 96);
constexpr ColorRef kBodyOver = rgb(104, 108, 116);
constexpr ColorRef kLampOff = rgb(58, 46, 36);
constexpr ColorRef kIvory = rgb(236, 232, 220);
constexpr ColorRef kEbony = rgb(26, 26, 28);
constexpr ColorRef kZoneOff = rgb(200, 200, 200);
constexpr ColorRef kZoneOn = rgb(255, 127, 0);
constexpr ColorRef kSlot = rgb(20, 20, 22);

// Draws each frame of a column with the origin at its top-left corner.
template <class Draw> std::shared_ptr<Surface> column(int width, int height, int frames, Draw draw) {
    auto surface = makeSurface(width, height * frames);
    auto dc = contextOn(surface);
    for (int i = 0; i < frames; ++i) {
        dc->setOrigin({0, i * height});
        draw(*dc, i);
    }
    return surface;
}

// The same, frames side by side.
template <class Draw> std::shared_ptr<Surface> row(int width, int height, int frames, Draw draw) {
    auto surface = makeSurface(width * frames, height);
    auto dc = contextOn(surface);
    for (int i = 0; i < frames; ++i) {
        dc->setOrigin({i * width, 0});
        draw(*dc, i);
    }
    return surface;
}

void line(DrawContext& dc, int x0, int y0, int x1, int y1, ColorRef colour) {
    dc.setPenColor(colour);
    dc.moveTo(x0, y0);
    dc.lineTo(x1, y1);
    dc.setPixel(x1, y1, colour);
}

void lamp(DrawContext& dc, int width, int height, ColorRef colour) {
    const int w = std::max(4, width / 3);
    dc.fillRect(rectOf((width - w) / 2, height / 2 - 2, w, 4), colour);
}

// Lit level colours from the top of a meter down: red, then amber, then green.
ColorRef levelColour(double fromTop) {
    if (fromTop < 0.15)
        return kRed;
    return fromTop < 0.4 ? kAmber : kGreen;
}

} // namespace

std::shared_ptr<Surface> knobStrip(int size, int frames) {
    return column(size, size, frames, [&](DrawContext& dc, int i) {
        const NativeRect box = rectOf(0, 0, size, size);
        disc(dc, box, kCap, kPanelShade);
        disc(dc, inset(box, 3), rgb(70, 72, 78), rgb(110, 114, 120));
        const double v = frames > 1 ? static_cast<double>(i) / (frames - 1) : 0.0;
        const double angle = v * 1.5 * std::numbers::pi - 1.25 * std::numbers::pi;
        const double c = (size - 1) / 2.0;
        const double r = size / 2.0 - 4.0;
        const auto at = [&](double f, double axis) {
            return static_cast<int>(std::lround(c + f * r * axis));
        };
        line(dc, at(0.3, std::cos(angle)), at(0.3, std::sin(angle)), at(1.0, std::cos(angle)),
             at(1.0, std::sin(angle)), kWhite);
        line(dc, at(0.3, std::cos(angle)) + 1, at(0.3, std::sin(angle)), at(1.0, std::cos(angle)) + 1,
             at(1.0, std::sin(angle)), kWhite);
    });
}

std::shared_ptr<Surface> lampButton(int width, int height, ColorRef colour, int frames) {
    return column(width, height, frames, [&](DrawContext& dc, int i) {
        // Four frames: off, pointer over, on, blinking on; two: off, on.
        const bool on = frames == 4 ? i >= 2 : i == 1;
        const bool bright = (frames == 4 && i == 3) || (frames == 4 && i == 1);
        bevel(dc, rectOf(0, 0, width, height), bright ? kBodyOver : kBody, frames == 2 && on);
        lamp(dc, width, height, on ? (i == 3 ? mix(colour, kWhite, 0.5) : colour) : kLampOff);
    });
}

std::shared_ptr<Surface> keyButton(int width, int height) {
    return column(width, height, 2, [&](DrawContext& dc, int i) {
        bevel(dc, rectOf(0, 0, width, height), i == 0 ? kBody : kPanel, i == 1);
        dc.fillRect(rectOf(width / 2 - 3 + i, height / 2 - 1 + i, 6, 2), kLegend);
    });
}

std::shared_ptr<Surface> choiceButton(int width, int height, const std::vector<std::string>& entries) {
    return column(width, height, static_cast<int>(entries.size()) + 2, [&](DrawContext& dc, int i) {
        if (i < 2) {
            bevel(dc, rectOf(0, 0, width, height), i == 0 ? kBody : kPanel, i == 1);
            return;
        }
        // Entries over the button: text alone, the rest transparent.
        pixelText(dc, entries[static_cast<std::size_t>(i - 2)], rectOf(0, 0, width, height), kLegend, 1,
                  platform::draw::kTextCenter);
    });
}

std::shared_ptr<Surface> enumButton(int width, int height, const std::vector<std::string>& entries) {
    return column(width, height, static_cast<int>(entries.size()), [&](DrawContext& dc, int i) {
        bevel(dc, rectOf(0, 0, width, height), kBody);
        pixelText(dc, entries[static_cast<std::size_t>(i)], rectOf(0, 0, width, height),
                  i == 0 ? kLegend : kAmber, 1, platform::draw::kTextCenter);
    });
}

std::shared_ptr<Surface> menuField(int width, int height) {
    return column(width, height, 2, [&](DrawContext& dc, int i) {
        bevel(dc, rectOf(0, 0, width, height), rgb(206, 204, 192), true);
        // The opening triangle at the right, amber once an entry other than the first is chosen.
        const ColorRef mark = i == 0 ? rgb(90, 90, 90) : rgb(210, 110, 0);
        for (int k = 0; k < 3; ++k)
            dc.fillRect(rectOf(width - 9 + k, height / 2 - 1 + k, 5 - 2 * k, 1), mark);
    });
}

std::shared_ptr<Surface> fillSlider(int width, int height) {
    return row(width, height, 2, [&](DrawContext& dc, int i) {
        bevel(dc, rectOf(0, 0, width, height), kSlot, true);
        for (int y = 2; y + 2 < height; y += 3) {
            const ColorRef on = mix(kAmber, kRed, static_cast<double>(height - y) / height * 0.5);
            dc.fillRect(rectOf(2, y, width - 4, 2), i == 1 ? on : rgb(48, 40, 34));
        }
    });
}

std::shared_ptr<Surface> meterBar(int width, int height) {
    return row(width, height, 2, [&](DrawContext& dc, int i) {
        dc.fillRect(rectOf(0, 0, width, height), kSlot);
        for (int y = 1; y + 2 < height; y += 3) {
            const ColorRef lit = levelColour(static_cast<double>(y) / height);
            dc.fillRect(rectOf(1, y, width - 2, 2), i == 1 ? lit : mix(lit, kSlot, 0.8));
        }
    });
}

std::shared_ptr<Surface> ledMeter(int width, int ledHeight, int count) {
    return column(width, ledHeight, 2 * count, [&](DrawContext& dc, int i) {
        const int led = i % count;
        const ColorRef lit = levelColour(static_cast<double>(led) / count);
        dc.fillRect(rectOf(0, 0, width, ledHeight), kSlot);
        dc.fillRect(rectOf(1, 1, width - 2, ledHeight - 2), i < count ? lit : mix(lit, kSlot, 0.75));
    });
}

std::shared_ptr<Surface> lampGlow(int size) {
    auto surface = makeSurface(size, size);
    const double c = (size - 1) / 2.0;
    const double r = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double d = std::hypot(x - c, y - c) / r;
            if (d >= 1.0)
                continue;
            const auto alpha = static_cast<unsigned>(std::lround(255.0 * std::pow(1.0 - d, 0.6)));
            putPixel(*surface, x, y, mix(kWhite, kRed, std::min(1.0, d * 1.6)), alpha);
        }
    return surface;
}

std::shared_ptr<Surface> screw(int size) {
    auto surface = makeSurface(size, size);
    auto dc = contextOn(surface);
    disc(*dc, rectOf(0, 0, size, size), rgb(150, 150, 156), rgb(60, 60, 64));
    line(*dc, 2, size - 3, size - 3, 2, rgb(60, 60, 64));
    return surface;
}

std::shared_ptr<Surface> whiteKeys(int width, int height, int blackHeight,
                                   const std::vector<KeyNotch>& notches) {
    const int shapes = static_cast<int>(notches.size());
    auto surface = makeSurface(width * shapes, height * 4);
    auto dc = contextOn(surface);
    for (int state = 0; state < 4; ++state)
        for (int shape = 0; shape < shapes; ++shape) {
            dc->setOrigin({shape * width, state * height});
            ColorRef face = (state & 1) != 0 ? rgb(200, 196, 186) : kIvory;
            if ((state & 2) != 0)
                face = mix(face, kZoneOn, 0.45);
            const KeyNotch notch = notches[static_cast<std::size_t>(shape)];
            // Below the black keys the whole width, above them what they leave free.
            dc->fillRect(rectOf(0, blackHeight, width, height - blackHeight), face);
            dc->fillRect(rectOf(notch.left, 0, width - notch.left - notch.right, blackHeight), face);
            dc->fillRect(rectOf(0, height - 1, width, 1), rgb(90, 90, 90));
            dc->fillRect(rectOf(width - 1, blackHeight, 1, height - blackHeight), rgb(120, 120, 120));
            if ((state & 1) != 0)
                dc->fillRect(rectOf(1, height - 4, width - 2, 2), kAmber);
        }
    return surface;
}

std::shared_ptr<Surface> blackKeys(int width, int height) {
    return column(width, height, 4, [&](DrawContext& dc, int state) {
        ColorRef face = (state & 1) != 0 ? rgb(70, 70, 74) : kEbony;
        if ((state & 2) != 0)
            face = mix(face, kZoneOn, 0.5);
        dc.fillRect(rectOf(0, 0, width, height), face);
        dc.fillRect(rectOf(2, 0, width - 4, height - 5), mix(face, kWhite, 0.12));
        if ((state & 1) != 0)
            dc.fillRect(rectOf(2, height - 4, width - 4, 2), kAmber);
    });
}

std::shared_ptr<Surface> zoneMarker(int width, int frameHeight) {
    return column(width, frameHeight, 4, [&](DrawContext& dc, int i) {
        const bool loaded = i >= 2;
        const bool current = (i & 1) != 0;
        const ColorRef colour = current ? kZoneOn : kZoneOff;
        const NativeRect band = rectOf(0, 1, width, frameHeight - 2);
        dc.fillRect(band, loaded ? mix(colour, kBlack, 0.35) : mix(colour, kBlack, 0.8));
        dc.fillRect(rectOf(0, 1, width, 1), colour);
        dc.fillRect(rectOf(0, frameHeight - 2, width, 1), colour);
        // The caps: closed ends with their corners cut.
        for (const int x : {0, width - 6}) {
            const int edge = x == 0 ? 0 : 5;
            dc.fillRect(rectOf(x + edge, 2, 1, frameHeight - 4), colour);
        }
        Surface& image = *dc.surface();
        for (const int x : {0, width - 1})
            for (const int y : {i * frameHeight + 1, i * frameHeight + frameHeight - 2})
                image.setPixel(x, y, 0u);
    });
}

std::shared_ptr<Surface> sampleMarkers(int width, int height) {
    return row(width, height, 2, [&](DrawContext& dc, int i) {
        // The start marker's line on its left with its flag pointing in, the end marker's mirrored.
        const int x = i == 0 ? 0 : width - 1;
        dc.fillRect(rectOf(x, 0, 1, height), kAmber);
        for (int k = 0; k < 5; ++k) {
            const int length = std::max(1, width - 1 - k);
            dc.fillRect(rectOf(i == 0 ? 1 : width - 1 - length, k, length, 1), kAmber);
        }
    });
}

std::shared_ptr<Surface> browserIcons(int cell) {
    auto surface = makeSurface(cell * 6, cell * 2);
    auto dc = contextOn(surface);
    const ColorRef kinds[] = {kAmber, rgb(120, 180, 255), rgb(150, 230, 120),
                              kWhite, rgb(230, 120, 230), rgb(150, 150, 150)};
    for (int open = 0; open < 2; ++open)
        for (int kind = 0; kind < 6; ++kind) {
            dc->setOrigin({kind * cell, open * cell});
            const ColorRef c = kinds[kind];
            if (kind == 0) {
                // A folder: its tab, and the body lifted open.
                dc->fillRect(rectOf(1, 1, cell / 2 - 1, 2), c);
                dc->fillRect(rectOf(1, 2, cell - 2, cell - 3), open != 0 ? mix(c, kBlack, 0.4) : c);
                if (open != 0)
                    dc->fillRect(rectOf(3, 4, cell - 4, cell - 5), c);
                continue;
            }
            // A document page, its corner turned, with a mark of its kind.
            dc->fillRect(rectOf(2, 1, cell - 6, 2), c);
            dc->fillRect(rectOf(2, 3, cell - 4, cell - 4), c);
            dc->fillRect(rectOf(3, cell / 2, cell - 6, 1), open != 0 ? kAmber : kBlack);
        }
    return surface;
}

} // namespace trov::skins
