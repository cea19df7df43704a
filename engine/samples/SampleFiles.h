#pragma once

#include <cstdint>
#include <string>

namespace trov {

class File;
class Radio;
class Sample;

// The sample file factory: every sample class in turn, the first that takes the file wins. The loaders
// look at the content, not at the extension; the extension lists answer `canLoadSampleFile` only.
// User-interface thread (or a worker that loads samples); shows an error box for a broken file.

// Whether any sample class takes the file's extension.
bool canLoadSampleFile(const File& file);

// Whether the file is meant for a sample reader: its first bytes are those of a WAV, AIFF, AU, FLAC, Ogg or
// WavPack file, a sample reader takes its content (libsndfile or WavPack opens it), or its extension is one
// a sample reader takes. Reads regular files only.
bool isMeantAsSampleFile(const File& file);

// A new sample (one reference, held by the caller) or null. Tries the REX, WAV, sound-file and WavPack
// readers in that order. A missing file, or one no reader takes, gives null and an error line in the log
// naming the file ("unsupported or damaged sample file", with the reason of the reader the file was meant
// for), except for a file meant for none of them while a `SampleFileRefusals` scope lives (its caller tries
// other readers); a file that is no regular file is never opened; that and a file a reader recognises but
// cannot load are logged and shown to the user. With loadData the sample's settings, its ".mrk" slices and
// its rendering at 120 beats per minute are applied too.
Sample* loadSampleFile(Radio* parent, const File& file, bool loadData);

// The values a sample read from the file would hold (its frames: every reader mixes the channels down),
// told from the file's header without decoding any audio by the reader that takes the file's content, in
// the order loadSampleFile tries them, whatever the file's name; each reads no more than it declares. A WAV
// file no reader takes holds no more frames than bytes. 0 for a file meant for no reader, and for a loop
// file (the REX library makes a loop of it), whose zones never share a processed copy. At most what a
// sample holds.
std::uint64_t sampleFileHeldValues(const File& file);

// While one lives on a thread, the sample files refused on that thread are not shown to the user: the
// first refusal's message is kept for the caller, and so is the reason a missing file or one no reader
// takes was refused (those are never shown). For a caller that tries the sample readers among others and
// tells the user one reason. Scopes nest: the innermost keeps.
class SampleFileRefusals {
public:
    SampleFileRefusals();
    ~SampleFileRefusals();
    SampleFileRefusals(const SampleFileRefusals&) = delete;
    SampleFileRefusals& operator=(const SampleFileRefusals&) = delete;

    // The first refusal's message; empty when there was none.
    const std::string& first() const { return first_; }

    // Shows the message as the refusal of a sample file, or keeps it in this thread's innermost scope.
    static void refuse(const std::string& message);

private:
    // Keeps the message in this thread's innermost scope, if any; shows nothing.
    static void keep(const std::string& message);
    friend Sample* loadSampleFile(Radio* parent, const File& file, bool loadData);

    SampleFileRefusals* outer_;
    std::string first_;
};

} // namespace trov
