#include "platform/StartupSeed.h"

#include "platform/Diagnostics.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace trov::platform {

std::optional<std::uint32_t> parseStartupSeed(std::string_view text) {
    // from_chars takes no sign or blank of its own; a leading '-' would be read, so refuse it here.
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, status] = std::from_chars(text.data(), end, value);
    if (status != std::errc() || rest != end)
        return std::nullopt;
    return value;
}

std::uint32_t startupSeed() {
    const char* text = std::getenv(kStartupSeedVariable);
    if (text == nullptr || *text == '\0')
        return 0;
    if (const std::optional<std::uint32_t> seed = parseStartupSeed(text))
        return *seed;
    report(3, std::string(kStartupSeedVariable) + " '" + text +
                  "' is not a whole number from 0 to 4294967295; the start-up seed is the time");
    return 0;
}

} // namespace trov::platform
