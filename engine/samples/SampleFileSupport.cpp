#include "engine/samples/SampleFileSupport.h"

#include "framework/File.h"
#include "framework/StringUtils.h"

#include <algorithm>
#include <cstring>

namespace trov {

bool extensionInList(const File& file, const char* list) {
    const std::string pattern = "*." + toLowerCase(file.getExtension()) + ";";
    return std::strstr(list, pattern.c_str()) != nullptr;
}

std::string librarySays(const char* library, const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' '))
        trimmed.pop_back();
    return std::string(library) + " says: " + (trimmed.empty() ? "nothing" : trimmed);
}

std::string tooLargeText(const std::string& reason) {
    return "The sample file is too large to be loaded: " + reason + ".";
}

std::string corruptText(const std::string& reason) {
    return "The sample file is corrupt and could not be loaded: " + reason + ".";
}

Sample::Loop boundedLoop(Sample::Loop loop, std::int32_t frames) {
    const std::int32_t last = std::max(frames - 1, 0);
    loop.start = std::clamp(loop.start, 0, last);
    loop.end = std::clamp(loop.end, 0, last);
    if (loop.end < loop.start)
        loop = {Sample::kLoopOff, frames / 2, last};
    return loop;
}

} // namespace trov
