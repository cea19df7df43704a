#pragma once

#include "engine/samples/RexApi.h"

#include <cstdint>
#include <string>

namespace trov {

// The process's binding to the REX shared library: loads it from the folder named by the machine
// preference "InstallPath", checks its version, resolves its fourteen entry points by name and counts
// its users. Every call below goes through a forwarder that answers kRexLibraryNotLoaded while the
// library or that entry point is missing (REXDelete then does nothing).
//
// The library's version is the dotted number that follows ".so." in the name of the file the library
// path resolves to ("REX Shared Library.so" -> "REX Shared Library.so.1.1.1"); a file without one counts
// as version 0. Load and unload run on the user-interface thread (start-up and shut-down of the process);
// the forwarders on the thread that loads samples, never while the library is being unloaded.

// File names tried in order inside the install folder; the first that loads wins.
inline constexpr const char* kRexLibraryNames[] = {"REX Shared Library Debug.so",
                                                   "REX Shared Library Beta.so", "REX Shared Library.so"};

// kRexOk, kRexLibraryAlreadyLoaded (the use count grew) or the reason the library could not be used.
std::int32_t loadRexLibrary();
// Drops one use; the last one closes and frees the library.
void unloadRexLibrary();
bool isRexLibraryLoaded();
// The user's text for a result code; empty for success and for codes without a text.
std::string rexErrorText(std::int32_t code);

std::int32_t REXCreate(REXHandle* handle, const char* buffer, std::int32_t size, REXCreateCallback callback,
                       void* userData);
void REXDelete(REXHandle* handle);
std::int32_t REXGetInfo(REXHandle handle, std::int32_t infoSize, REXInfo* info);
std::int32_t REXGetInfoFromBuffer(std::int32_t bufferSize, const char* buffer, std::int32_t infoSize,
                                  REXInfo* info);
std::int32_t REXGetCreatorInfo(REXHandle handle, std::int32_t infoSize, REXCreatorInfo* info);
std::int32_t REXGetSliceInfo(REXHandle handle, std::int32_t slice, std::int32_t infoSize, REXSliceInfo* info);
std::int32_t REXSetOutputSampleRate(REXHandle handle, std::int32_t rate);
std::int32_t REXRenderSlice(REXHandle handle, std::int32_t slice, std::int32_t frames, float* outputs[2]);
std::int32_t REXStartPreview(REXHandle handle);
std::int32_t REXStopPreview(REXHandle handle);
std::int32_t REXRenderPreviewBatch(REXHandle handle, std::int32_t frames, float* outputs[2]);
std::int32_t REXSetPreviewTempo(REXHandle handle, std::int32_t tempo);

} // namespace trov
