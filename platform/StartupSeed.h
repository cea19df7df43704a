#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace trov::platform {

// The variable that fixes the process's start-up seed from outside (renders that must repeat bit for bit,
// tests); it sits beside the registry stand-in's TROV_MACHINE_REGISTRY and TROV_USER_REGISTRY.
constexpr const char* kStartupSeedVariable = "TROV_STARTUP_SEED";

// A decimal number from 0 to 4294967295, nothing else (no sign, blanks or suffix); none otherwise.
std::optional<std::uint32_t> parseStartupSeed(std::string_view text);

// The seed the process-wide context hands to the random generators: the variable's number, 0 when it is
// unset or empty (0 stands for the calendar time). A value that is not such a number is reported (level 3)
// and counts as unset. Any thread.
std::uint32_t startupSeed();

} // namespace trov::platform
