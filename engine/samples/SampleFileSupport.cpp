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

Sample::Loop boundedLoop(Sample::Loop loop, std::int32_t frames) {
    const std::int32_t last = std::max(frames - 1, 0);
    loop.start = std::clamp(loop.start, 0, last);
    loop.end = std::clamp(loop.end, 0, last);
    if (loop.end < loop.start)
        loop = {Sample::kLoopOff, frames / 2, last};
    return loop;
}

} // namespace trov
