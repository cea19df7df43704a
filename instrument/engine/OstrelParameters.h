#pragma once

#include "plugin/ParameterManager.h"

namespace trov {

// The instrument's parameter manager: the framework's factory, unchanged. Made by the product descriptor
// for each module; threads as `ParameterManager`.
class OstrelParameters : public ParameterManager {
public:
    using ParameterManager::ParameterManager;
};

} // namespace trov
