#pragma once

#include <string>

namespace trov {

class Radio;
class Sample;

// The named resource samples the players take (noises, responses): only samples the process-wide
// resources already hold are taken. Nothing is loaded, searched for on disk or asked of the user, since
// players take their samples at note start.

// The loaded sample of that name with one reference for the caller; null when the resources (reached
// through the station) hold none by that name. No allocation, no log; takes the resources' cache lock.
Sample* acquireLoadedSample(const Radio& station, const std::string& name) noexcept;
// Gives a reference taken by acquireLoadedSample back (through the resources when there are any).
void releaseLoadedSample(const Radio& station, Sample* sample) noexcept;
// Frames a player may read: the sample's frame count, 0 without a sample or data.
int playableFrames(const Sample* sample) noexcept;

} // namespace trov
