#pragma once

#include <cstdint>

// The calls and records of the REX shared library, a vendor component loaded at run time. Every entry
// point has C linkage and is looked up by the name given with its type below.
namespace trov {

// Result codes of the library and of its loader.
enum RexResult : std::int32_t {
    kRexOk = 1,
    kRexAborted = 2,
    kRexNoCreatorInfo = 3,
    kRexLibraryOutOfMemory = 100,
    kRexLibraryCorrupt = 101,
    kRexLibraryTooOld = 102,
    kRexLibraryNotFound = 103,
    kRexLibraryTooNew = 104,
    kRexOutOfMemory = 105,
    kRexFileCorrupt = 106,
    kRexFileTooNew = 107,
    kRexFileWithoutBarsAndBeats = 108,
    kRexSystemTooOld = 109,
    kRexLibraryNotLoaded = 200,
    kRexLibraryAlreadyLoaded = 201,
    kRexInvalidHandle = 202,
    kRexInvalidSize = 203,
    kRexInvalidArgument = 204,
    kRexInvalidSlice = 205,
    kRexInvalidSampleRate = 206,
    kRexBufferTooSmall = 207,
    kRexIsBeingPreviewed = 208,
    kRexNotBeingPreviewed = 209,
    kRexInvalidTempo = 210,
    kRexUndefinedError = 666,
};

// 36 bytes. Tempos are in thousandths of a beat per minute; lengths and positions in PPQ units, 15360
// to a quarter note.
struct REXInfo {
    std::int32_t channels;
    std::int32_t sampleRate;
    std::int32_t sliceCount;
    std::int32_t tempo;
    std::int32_t originalTempo;
    std::int32_t ppqLength;
    std::int32_t timeSignatureNumerator;
    std::int32_t timeSignatureDenominator;
    std::int32_t bitDepth;
};

// 8 bytes: where a slice starts and how many frames it has at the output sample rate.
struct REXSliceInfo {
    std::int32_t ppqPosition;
    std::int32_t sampleLength;
};

// 1280 bytes: five NUL-terminated texts.
struct REXCreatorInfo {
    char name[256];
    char rights[256];
    char url[256];
    char email[256];
    char freeText[256];
};

static_assert(sizeof(REXInfo) == 36 && sizeof(REXSliceInfo) == 8 && sizeof(REXCreatorInfo) == 1280);

using REXHandle = void*;
// Progress of REXCreate in percent; returning 0 aborts it.
using REXCreateCallback = std::int32_t (*)(std::int32_t percent, void* userData);

namespace rexapi {
using Open = char (*)();  // "Open"
using Close = void (*)(); // "Close"
using Create = std::int32_t (*)(REXHandle* handle, const char* buffer, std::int32_t size,
                                REXCreateCallback callback, void* userData);              // "REXCreate"
using Delete = void (*)(REXHandle* handle);                                               // "REXDelete"
using GetInfo = std::int32_t (*)(REXHandle handle, std::int32_t infoSize, REXInfo* info); // "REXGetInfo"
using GetInfoFromBuffer = std::int32_t (*)(std::int32_t bufferSize, const char* buffer, std::int32_t infoSize,
                                           REXInfo* info); // "REXGetInfoFromBuffer"
using GetCreatorInfo = std::int32_t (*)(REXHandle handle, std::int32_t infoSize,
                                        REXCreatorInfo* info); // "REXGetCreatorInfo"
using GetSliceInfo = std::int32_t (*)(REXHandle handle, std::int32_t slice, std::int32_t infoSize,
                                      REXSliceInfo* info);                         // "REXGetSliceInfo"
using SetOutputSampleRate = std::int32_t (*)(REXHandle handle, std::int32_t rate); // "REXSetOutputSampleRate"
// Writes frames values into outputs[0] and, for stereo, outputs[1].
using RenderSlice = std::int32_t (*)(REXHandle handle, std::int32_t slice, std::int32_t frames,
                                     float* outputs[2]); // "REXRenderSlice"
using StartPreview = std::int32_t (*)(REXHandle handle); // "REXStartPreview"
using StopPreview = std::int32_t (*)(REXHandle handle);  // "REXStopPreview"
using RenderPreviewBatch = std::int32_t (*)(REXHandle handle, std::int32_t frames,
                                            float* outputs[2]);                 // "REXRenderPreviewBatch"
using SetPreviewTempo = std::int32_t (*)(REXHandle handle, std::int32_t tempo); // "REXSetPreviewTempo"
} // namespace rexapi

} // namespace trov
