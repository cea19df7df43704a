#include "gui/controls/MidiNames.h"

#include <array>
#include <utility>

namespace trov {

namespace {

constexpr std::array<const char*, 12> kPitchClasses = {"C",  "C#", "D",  "D#", "E",  "F",
                                                       "F#", "G",  "G#", "A",  "A#", "B"};

constexpr std::pair<int, const char*> kControllers[] = {
    {0, "Bank Select"},
    {1, "Modulation Wheel"},
    {2, "Breath Contoller"},
    {4, "Foot Controller"},
    {5, "Portamento Time"},
    {6, "Data Entry MSB"},
    {7, "Main Volume"},
    {8, "Balance"},
    {10, "Pan"},
    {12, "Effect Control 1"},
    {13, "Effect Control 2"},
    {16, "General Purpose Controller 1"},
    {17, "General Purpose Controller 2"},
    {18, "General Purpose Controller 3"},
    {19, "General Purpose Controller 4"},
    {64, "Damper Pedal (Sustain)"},
    {65, "Portamento"},
    {66, "Sostenuto"},
    {67, "Soft Pedal"},
    {68, "Legato Footswitch"},
    {69, "Hold 2"},
    {70, "Sound Controller 1"},
    {71, "Sound Controller 2"},
    {72, "Sound Controller 3"},
    {73, "Sound Controller 4"},
    {74, "Sound Controller 5"},
    {75, "Sound Controller 6"},
    {76, "Sound Controller 7"},
    {77, "Sound Controller 8"},
    {78, "Sound Controller 9"},
    {79, "Sound Controller 10"},
    {80, "General Purpose Controller 5"},
    {81, "General Purpose Controller 6"},
    {82, "General Purpose Controller 7"},
    {83, "General Purpose Controller 8"},
    {84, "Portamento Control"},
    {91, "Effects 1 Depth"},
    {92, "Effects 2 Depth"},
    {93, "Effects 3 Depth"},
    {94, "Effects 4 Depth"},
    {95, "Effects 5 Depth"},
    {96, "Data Increment"},
    {97, "Data Decrement"},
    {98, "Non-Registered Parameter Number LSB"},
    {99, "Non-Registered Parameter Number MSB"},
    {100, "Registered Parameter Number LSB"},
    {101, "Registered Parameter Number MSB"},
    {128, "Pitch Wheel"},
    {129, "Aftertouch"},
};

} // namespace

std::string getNoteName(int key) {
    // Floor division and a non-negative remainder, so that a negative key names a real pitch class.
    const int pitchClass = ((key % 12) + 12) % 12;
    const int octave = (key - pitchClass) / 12 - 2;
    return kPitchClasses[static_cast<std::size_t>(pitchClass)] + std::to_string(octave);
}

std::string getControllerName(int controller) {
    for (const auto& [number, name] : kControllers)
        if (number == controller)
            return name;
    return std::string();
}

} // namespace trov
