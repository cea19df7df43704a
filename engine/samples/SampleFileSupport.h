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

// A file whose audio a sample cannot hold.
inline const char* const kSampleTooLargeText = "The sample file is too large to be loaded.";
inline const char* const kSampleCorruptText = "The sample file is corrupt and could not be loaded.";
// A file no reader takes; the log line names the file after it.
inline const char* const kSampleUnsupportedText = "unsupported or damaged sample file";

} // namespace trov
