#include "gui/controls/MidiNames.h"

#include <gtest/gtest.h>

#include <string>

using trov::getControllerName;
using trov::getNoteName;
using trov::isBlackKey;

TEST(MidiNames, NotesAreNamedByPitchClassAndAnOctaveCountedFromKeyZeroAsMinusTwo) {
    const std::pair<int, const char*> cases[] = {{60, "C3"}, {0, "C-2"},  {127, "G8"},  {61, "C#3"},
                                                 {59, "B2"}, {-1, "B-3"}, {-12, "C-3"}, {-13, "B-4"}};
    for (const auto& [key, name] : cases)
        EXPECT_EQ(getNoteName(key), name) << key;
    EXPECT_TRUE(isBlackKey(61));
    EXPECT_FALSE(isBlackKey(59));
    EXPECT_TRUE(isBlackKey(-11)); // C#, as far below as 61 is above
}

TEST(MidiNames, ControllersHaveTheirNamesAndNumbersWithoutOneAnEmptyText) {
    const std::pair<int, const char*> named[] = {{0, "Bank Select"},
                                                 {2, "Breath Contoller"},
                                                 {64, "Damper Pedal (Sustain)"},
                                                 {101, "Registered Parameter Number MSB"},
                                                 {128, "Pitch Wheel"},
                                                 {129, "Aftertouch"}};
    for (const auto& [number, name] : named)
        EXPECT_EQ(getControllerName(number), name) << number;
    for (int number : {3, 9, 11, 14, 15, 20, 63, 85, 90, 102, 127, 130, -1})
        EXPECT_EQ(getControllerName(number), "") << number;
    int count = 0;
    for (int n = 0; n < 130; ++n)
        count += getControllerName(n).empty() ? 0 : 1;
    EXPECT_EQ(count, 49);
}
