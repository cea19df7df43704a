#include "instrument/engine/OstrelParameters.h"

#include "instrument/ProductFactories.h"

namespace trov {

ParameterManager* createOstrelParameters(const Module* owner) {
    return new OstrelParameters(owner);
}

} // namespace trov
