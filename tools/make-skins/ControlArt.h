#pragma once

#include "tools/make-skins/Paint.h"

#include <memory>
#include <string>
#include <vector>

namespace trov::skins {

// Placeholder art for the controls, each image laid out in the frames its control reads. Frames of one
// column are stacked top to bottom unless said otherwise.

// Knob positions from 0 to 1 over a 270-degree sweep, lower left to lower right over the top.
std::shared_ptr<Surface> knobStrip(int size, int frames);
// A lamp button of four frames (off, pointer over, on, blinking on) or two (off, on).
std::shared_ptr<Surface> lampButton(int width, int height, ColorRef lamp, int frames);
// A key-cap button: up, then pressed down.
std::shared_ptr<Surface> keyButton(int width, int height);
// A choice button: up and down, then one frame per entry holding the entry's name alone.
std::shared_ptr<Surface> choiceButton(int width, int height, const std::vector<std::string>& entries);
// An enumeration button: one whole button per entry, showing its name.
std::shared_ptr<Surface> enumButton(int width, int height, const std::vector<std::string>& entries);
// A menu field: plain, then marked (an entry other than the first chosen).
std::shared_ptr<Surface> menuField(int width, int height);
// A fader revealed by its value, empty beside full (two frames across).
std::shared_ptr<Surface> fillSlider(int width, int height);
// A level bar, unlit beside lit (two frames across).
std::shared_ptr<Surface> meterBar(int width, int height);
// An LED column: `count` lit LEDs, loudest on top, then the same unlit (2 x count frames).
std::shared_ptr<Surface> ledMeter(int width, int ledHeight, int count);
// A round lamp's glow, with alpha.
std::shared_ptr<Surface> lampGlow(int size);
std::shared_ptr<Surface> screw(int size);

// The white keys' sheet: eight shapes across (C, D, E, F, G, A, B and a top C whole), four states down
// (plain, sounding, selected, selected and sounding). `notches` gives, per shape, the columns a black key
// covers at its left and right.
struct KeyNotch {
    int left = 0;
    int right = 0;
};
std::shared_ptr<Surface> whiteKeys(int width, int height, int blackHeight,
                                   const std::vector<KeyNotch>& notches);
// The black keys' sheet: one shape, the four states down.
std::shared_ptr<Surface> blackKeys(int width, int height);

// A zone's band: four frames down (empty, empty and current, loaded, loaded and current), its 6-pixel caps
// at either end and a middle that repeats along the width.
std::shared_ptr<Surface> zoneMarker(int width, int frameHeight);
// The sample's start and end markers, two frames across.
std::shared_ptr<Surface> sampleMarkers(int width, int height);
// The browser's icons: one kind per column (folder, bank, patch, sample, loop, other file), closed on the
// first row and open on the second.
std::shared_ptr<Surface> browserIcons(int cell);

} // namespace trov::skins
