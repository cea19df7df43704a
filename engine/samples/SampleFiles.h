#pragma once

namespace trov {

class File;
class Radio;
class Sample;

// The sample file factory: every sample class in turn, the first that takes the file wins. The loaders
// look at the content, not at the extension; the extension lists answer `canLoadSampleFile` only.
// User-interface thread (or a worker that loads samples); shows an error box for a broken file.

// Whether any sample class takes the file's extension.
bool canLoadSampleFile(const File& file);

// A new sample (one reference, held by the caller) or null. Tries the REX, WAV, sound-file and WavPack
// readers in that order. A missing file, or one no reader takes, gives null and an error line in the log
// naming the file ("unsupported or damaged sample file"); a file a reader recognises but cannot load is
// logged and shown to the user. With loadData the sample's settings, its ".mrk" slices and its
// rendering at 120 beats per minute are applied too.
Sample* loadSampleFile(Radio* parent, const File& file, bool loadData);

} // namespace trov
