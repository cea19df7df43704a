#include "instrument/AnalogTolerances.h"

#include "instance/Plugin.h"

namespace trov {

AnalogTolerances* findAnalogTolerances(const Radio& station) {
    return dynamic_cast<AnalogTolerances*>(station.getPlugin());
}

} // namespace trov
