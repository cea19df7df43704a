#include "engine/samples/RexLibrary.h"

#include "framework/Preferences.h"
#include "platform/Library.h"

#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

namespace trov {

namespace {

// The library's entry points; all null while it is not loaded.
struct EntryPoints {
    rexapi::Open open = nullptr;
    rexapi::Close close = nullptr;
    rexapi::Create create = nullptr;
    rexapi::Delete destroy = nullptr;
    rexapi::GetInfo getInfo = nullptr;
    rexapi::GetInfoFromBuffer getInfoFromBuffer = nullptr;
    rexapi::GetCreatorInfo getCreatorInfo = nullptr;
    rexapi::GetSliceInfo getSliceInfo = nullptr;
    rexapi::SetOutputSampleRate setOutputSampleRate = nullptr;
    rexapi::RenderSlice renderSlice = nullptr;
    rexapi::StartPreview startPreview = nullptr;
    rexapi::StopPreview stopPreview = nullptr;
    rexapi::RenderPreviewBatch renderPreviewBatch = nullptr;
    rexapi::SetPreviewTempo setPreviewTempo = nullptr;
};

struct Binding {
    platform::Library module;
    std::int32_t useCount = 0;
    EntryPoints entry;
};

// Never destroyed: a loop file released by another static's destructor may still call REXDelete at exit.
// Kept in static storage rather than on the heap, so that a module unloaded with it leaks nothing.
Binding& binding() {
    alignas(Binding) static unsigned char storage[sizeof(Binding)];
    static Binding& instance = *new (storage) Binding();
    return instance;
}

EntryPoints& entry() {
    return binding().entry;
}

void freeModule(Binding& b) {
    b.entry = EntryPoints();
    b.module.unload();
    b.useCount = 0;
}

template <typename Function> bool resolve(const platform::Library& module, const char* name, Function& out) {
    out = reinterpret_cast<Function>(module.findSymbol(name));
    return out != nullptr;
}

// Looks every entry point up, also after one is found missing.
bool resolveAll(Binding& b) {
    bool complete = true;
    EntryPoints& e = b.entry;
    auto take = [&](const char* name, auto& out) { complete = resolve(b.module, name, out) && complete; };
    take("Open", e.open);
    take("Close", e.close);
    take("REXCreate", e.create);
    take("REXDelete", e.destroy);
    take("REXGetInfo", e.getInfo);
    take("REXGetInfoFromBuffer", e.getInfoFromBuffer);
    take("REXGetCreatorInfo", e.getCreatorInfo);
    take("REXGetSliceInfo", e.getSliceInfo);
    take("REXSetOutputSampleRate", e.setOutputSampleRate);
    take("REXRenderSlice", e.renderSlice);
    take("REXStartPreview", e.startPreview);
    take("REXStopPreview", e.stopPreview);
    take("REXRenderPreviewBatch", e.renderPreviewBatch);
    take("REXSetPreviewTempo", e.setPreviewTempo);
    return complete;
}

// Opens one candidate file into module; on failure says why in the library's own codes.
bool openModule(const std::filesystem::path& path, platform::Library& module, std::int32_t& code) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        code = kRexLibraryNotFound;
        return false;
    }
    if (module.load(path.string()))
        return true;
    code = module.getLoadError().find("memory") != std::string::npos ? kRexLibraryOutOfMemory
                                                                     : kRexLibraryCorrupt;
    return false;
}

// The three leading numbers after ".so." in the name of the file the path resolves to; 0 when absent.
bool readVersion(const std::filesystem::path& path, int (&parts)[3]) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    if (error)
        return false;
    parts[0] = parts[1] = parts[2] = 0;
    const std::string name = real.filename().string();
    const std::size_t at = name.rfind(".so.");
    if (at == std::string::npos)
        return true;
    const char* text = name.c_str() + at + 4;
    for (int& part : parts) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end == text)
            break;
        part = static_cast<int>(value);
        if (*end != '.')
            break;
        text = end + 1;
    }
    return true;
}

std::int32_t checkVersion(const std::filesystem::path& path) {
    int version[3];
    if (!readVersion(path, version))
        return kRexLibraryCorrupt;
    if (version[0] > 1)
        return kRexLibraryTooNew;
    if (version[0] < 1)
        return kRexLibraryTooOld;
    // 1.1.1 is the first version we can use.
    return version[1] * 1000 + version[2] > 1000 ? kRexOk : kRexLibraryTooOld;
}

} // namespace

std::int32_t loadRexLibrary() {
    Binding& b = binding();
    if (b.module.isLoaded()) {
        ++b.useCount;
        return kRexLibraryAlreadyLoaded;
    }
    // The operating system always meets the library's needs here; there is no system check.
    std::string folder;
    const Preferences* machine = getMachinePreferences();
    if (machine == nullptr || !machine->getString("InstallPath", folder))
        return kRexLibraryNotFound;

    std::int32_t code = kRexLibraryNotFound;
    std::filesystem::path path;
    bool opened = false;
    for (const char* name : kRexLibraryNames) {
        path = std::filesystem::path(folder) / name;
        opened = openModule(path, b.module, code);
        if (opened)
            break;
    }
    if (!opened)
        return code;

    code = checkVersion(path);
    if (code != kRexOk) {
        freeModule(b);
        return code;
    }
    b.useCount = 1;
    if (!resolveAll(b) || !b.entry.open()) {
        freeModule(b);
        return kRexLibraryCorrupt;
    }
    return kRexOk;
}

void unloadRexLibrary() {
    Binding& b = binding();
    if (b.useCount > 0)
        --b.useCount;
    if (b.useCount > 0 || !b.module.isLoaded())
        return;
    if (b.entry.close != nullptr)
        b.entry.close();
    freeModule(b);
}

bool isRexLibraryLoaded() {
    return binding().module.isLoaded();
}

std::string rexErrorText(std::int32_t code) {
    switch (code) {
    case kRexAborted:
        return "Operation was aborted by user.";
    case kRexNoCreatorInfo:
        return "There is no optional creator-supplied information in this file.";
    case kRexLibraryOutOfMemory:
        return "Couldn't load the REX DLL because there is too little free memory. Quit some other "
               "application, "
               "then try again.";
    case kRexLibraryCorrupt:
        return "Couldn't load the REX DLL. The DLL file may be corrupt. Please re-install REX, then try "
               "again. If "
               "it still doesn't work after that, call tech support.";
    case kRexLibraryTooOld:
        return "Couldn't load the REX DLL because it is too old. Please update the DLL, then try again.";
    case kRexLibraryNotFound:
        return "The REX DLL could not be found. Maybe REX is not installed on this system?";
    case kRexLibraryTooNew:
        return "The REX DLL could not be used because it is newer than this application is expecting. Please "
               "update the application, or install an older version of the REX DLL.";
    case kRexOutOfMemory:
        return "The operation could not be completed because there is too little free memory. Quit some "
               "other "
               "application, then try again.";
    case kRexFileCorrupt:
        return "The format of this file is unknown or the file is corrupt.";
    case kRexFileTooNew:
        return "This REX2 file was created by a later version of ReCycle and cannot be loaded with this "
               "version "
               "of the REX DLL. Please update the DLL, then try again.";
    case kRexFileWithoutBarsAndBeats:
        return "This ReCycle file cannot be used because its \"Bars\" and \"Beats\" settings have not been "
               "set.";
    case kRexSystemTooOld:
        return "Couldn't load the REX DLL because it requires a newer version of Windows or Mac OS than is "
               "installed on this machine.";
    case kRexLibraryNotLoaded:
        return "The REX DLL has not been loaded. You must call REXLoadDLL() before any other function in the "
               "REX "
               "API.";
    case kRexLibraryAlreadyLoaded:
        return "The REX DLL is already loaded. You may not nest calls to REXLoadDLL().";
    case kRexInvalidHandle:
        return "Invalid handle. The handle you supplied to the function does not refer to a REX object "
               "currently "
               "in memory.";
    case kRexInvalidSize:
        return "Invalid size. The fSize field of the REXInfo or REXSliceInfo structure was not set up "
               "correctly. "
               "Please set the field to \"sizeof(REXInfo)\" or \"sizeof(REXSliceInfo)\" prior to the "
               "function "
               "call.";
    case kRexInvalidArgument:
        return "Invalid argument. One of the parameters you supplied is out of range. Please check the "
               "documentation on this function for more specific help.";
    case kRexInvalidSlice:
        return "Invalid slice. The slice number you have supplied is out of range. Check the fSliceCount "
               "member "
               "of the REXInfo structure for this REX object, to see how many slices this object has.";
    case kRexInvalidSampleRate:
        return "Invalid sample rate. The sample rate must be in the range 11025 Hz - 1000000 Hz, inclusive.";
    case kRexBufferTooSmall:
        return "The buffer you have supplied is too small for this slice. Check the documentation on "
               "REXRenderSlice() for an example on how to calculate the needed buffer size.";
    case kRexIsBeingPreviewed:
        return "This REX object is being previewed. You must stop the preview by calling REXStopPreview() "
               "before "
               "previewing can be restarted or before changing the output sample rate.";
    case kRexNotBeingPreviewed:
        return "This object is not currently being previewed. You must not call REXRenderBatch() or "
               "REXStopPreview() on a REX object unless preview has been started.";
    case kRexInvalidTempo:
        return "Invalid tempo. The preview tempo must be in the range 20 BPM - 450 BPM, inclusive.";
    case kRexUndefinedError:
        return "Undefined error. If this happens, you've found a bug in the REX DLL.";
    default:
        return std::string();
    }
}

// Forwarders: a missing library or entry point answers "not loaded".
namespace {
template <typename Function, typename... Args> std::int32_t forward(Function function, Args&&... args) {
    return function != nullptr ? function(std::forward<Args>(args)...) : kRexLibraryNotLoaded;
}
} // namespace

std::int32_t REXCreate(REXHandle* handle, const char* buffer, std::int32_t size, REXCreateCallback callback,
                       void* userData) {
    return forward(entry().create, handle, buffer, size, callback, userData);
}

void REXDelete(REXHandle* handle) {
    if (entry().destroy != nullptr)
        entry().destroy(handle);
}

std::int32_t REXGetInfo(REXHandle handle, std::int32_t infoSize, REXInfo* info) {
    return forward(entry().getInfo, handle, infoSize, info);
}

std::int32_t REXGetInfoFromBuffer(std::int32_t bufferSize, const char* buffer, std::int32_t infoSize,
                                  REXInfo* info) {
    return forward(entry().getInfoFromBuffer, bufferSize, buffer, infoSize, info);
}

std::int32_t REXGetCreatorInfo(REXHandle handle, std::int32_t infoSize, REXCreatorInfo* info) {
    return forward(entry().getCreatorInfo, handle, infoSize, info);
}

std::int32_t REXGetSliceInfo(REXHandle handle, std::int32_t slice, std::int32_t infoSize,
                             REXSliceInfo* info) {
    return forward(entry().getSliceInfo, handle, slice, infoSize, info);
}

std::int32_t REXSetOutputSampleRate(REXHandle handle, std::int32_t rate) {
    return forward(entry().setOutputSampleRate, handle, rate);
}

std::int32_t REXRenderSlice(REXHandle handle, std::int32_t slice, std::int32_t frames, float* outputs[2]) {
    return forward(entry().renderSlice, handle, slice, frames, outputs);
}

std::int32_t REXStartPreview(REXHandle handle) {
    return forward(entry().startPreview, handle);
}

std::int32_t REXStopPreview(REXHandle handle) {
    return forward(entry().stopPreview, handle);
}

std::int32_t REXRenderPreviewBatch(REXHandle handle, std::int32_t frames, float* outputs[2]) {
    return forward(entry().renderPreviewBatch, handle, frames, outputs);
}

std::int32_t REXSetPreviewTempo(REXHandle handle, std::int32_t tempo) {
    return forward(entry().setPreviewTempo, handle, tempo);
}

} // namespace trov
