#pragma once

#include <string>
#include <vector>

namespace trov::platform {

// The non-empty components of a path, split at "/" and at "\" (old documents hold Windows paths).
std::vector<std::string> splitPath(const std::string& path);

} // namespace trov::platform
