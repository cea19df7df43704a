#pragma once

#include "engine/samples/Sample.h"

#include <cstdint>
#include <string>

namespace trov {

class File;

// Helpers the sample file readers share. Any thread.

// Whether "*.<lower-cased extension>;" occurs in the list (for example "*.wav;*.aif;").
bool extensionInList(const File& file, const char* list);

// Loop points from a file, kept inside frames frames; a loop that ends before it starts is turned off
// and given the readers' default points (the second half of the sample).
Sample::Loop boundedLoop(Sample::Loop loop, std::int32_t frames);

// A reader's import failure that says why it cannot read the file (a clause such as "it has no data
// chunk"). Other readers still get their turn; when none takes the file, the reason of the reader the file
// was meant for is the one reported.
class SampleImportFailed : public Error {
public:
    SampleImportFailed(const std::string& where, const std::string& reason)
        : Error(where, reason, kErrorImportFailed) {}
};

// "<library> says: <its text>", for a library's own reason.
std::string librarySays(const char* library, const std::string& text);

// A file whose audio a sample cannot hold, and one a reader recognises but cannot load, with the reason (a
// clause such as "it holds no frames").
std::string tooLargeText(const std::string& reason);
std::string corruptText(const std::string& reason);
// A file no reader takes; the log line names the file after it.
inline const char* const kSampleUnsupportedText = "unsupported or damaged sample file";

} // namespace trov
