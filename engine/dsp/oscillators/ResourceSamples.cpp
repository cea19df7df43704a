#include "engine/dsp/oscillators/ResourceSamples.h"

#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "framework/File.h"

#include <algorithm>

namespace trov {

namespace {

// Made once at load time: a file object allocates its count, which a note start must not.
const File kNoFile;

} // namespace

Sample* acquireLoadedSample(const Radio& station, const std::string& name) noexcept {
    Resources* resources = station.getResources();
    if (resources == nullptr || name.empty())
        return nullptr;
    // Cache only: a name the resources do not hold yet is missing, never looked for.
    const Resources::CacheOnlyScope cacheOnly;
    return resources->acquireSample(name, kNoFile);
}

void releaseLoadedSample(const Radio& station, Sample* sample) noexcept {
    if (sample == nullptr)
        return;
    if (Resources* resources = station.getResources())
        resources->releaseSample(sample);
    else
        sample->release();
}

int playableFrames(const Sample* sample) noexcept {
    if (sample == nullptr || sample->getData() == nullptr)
        return 0;
    return std::max(sample->getInfo().frames, 0);
}

} // namespace trov
