#include "engine/RexLibrary.h"

#include "framework/Preferences.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace trov {

namespace {

struct Binding {
    void* module = nullptr;
    std::int32_t useCount = 0;
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

Binding& binding() {
    static Binding instance;
    return instance;
}

void clearEntryPoints(Binding& b) {
    void* module = b.module;
    const std::int32_t useCount = b.useCount;
    b = Binding();
    b.module = module;
    b.useCount = useCount;
}

void freeModule(Binding& b) {
    clearEntryPoints(b);
    if (b.module != nullptr)
        dlclose(b.module);
    b.module = nullptr;
    b.useCount = 0;
}

template <typename Function> bool resolve(void* module, const char* name, Function& out) {
    out = reinterpret_cast<Function>(dlsym(module, name));
    return out != nullptr;
}

// Looks every entry point up, also after one is found missing.
bool resolveAll(Binding& b) {
    bool complete = true;
    auto take = [&](const char* name, auto& out) { complete = resolve(b.module, name, out) && complete; };
    take("Open", b.open);
    take("Close", b.close);
    take("REXCreate", b.create);
    take("REXDelete", b.destroy);
    take("REXGetInfo", b.getInfo);
    take("REXGetInfoFromBuffer", b.getInfoFromBuffer);
    take("REXGetCreatorInfo", b.getCreatorInfo);
    take("REXGetSliceInfo", b.getSliceInfo);
    take("REXSetOutputSampleRate", b.setOutputSampleRate);
    take("REXRenderSlice", b.renderSlice);
    take("REXStartPreview", b.startPreview);
    take("REXStopPreview", b.stopPreview);
    take("REXRenderPreviewBatch", b.renderPreviewBatch);
    take("REXSetPreviewTempo", b.setPreviewTempo);
    return complete;
}

// Opens one candidate file; on failure says why in the library's own codes.
void* openModule(const std::filesystem::path& path, std::int32_t& code) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        code = kRexLibraryNotFound;
        return nullptr;
    }
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        code = reason != nullptr && std::strstr(reason, "memory") != nullptr ? kRexLibraryOutOfMemory
                                                                             : kRexLibraryCorrupt;
    }
    return module;
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
    if (b.module != nullptr) {
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
    for (const char* name : kRexLibraryNames) {
        path = std::filesystem::path(folder) / name;
        b.module = openModule(path, code);
        if (b.module != nullptr)
            break;
    }
    if (b.module == nullptr)
        return code;

    code = checkVersion(path);
    if (code != kRexOk) {
        freeModule(b);
        return code;
    }
    b.useCount = 1;
    if (!resolveAll(b) || !b.open()) {
        freeModule(b);
        return kRexLibraryCorrupt;
    }
    return kRexOk;
}

void unloadRexLibrary() {
    Binding& b = binding();
    if (b.useCount > 0)
        --b.useCount;
    if (b.useCount > 0 || b.module == nullptr)
        return;
    if (b.close != nullptr)
        b.close();
    freeModule(b);
}

bool isRexLibraryLoaded() {
    return binding().module != nullptr;
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
    return forward(binding().create, handle, buffer, size, callback, userData);
}

void REXDelete(REXHandle* handle) {
    if (binding().destroy != nullptr)
        binding().destroy(handle);
}

std::int32_t REXGetInfo(REXHandle handle, std::int32_t infoSize, REXInfo* info) {
    return forward(binding().getInfo, handle, infoSize, info);
}

std::int32_t REXGetInfoFromBuffer(std::int32_t bufferSize, const char* buffer, std::int32_t infoSize,
                                  REXInfo* info) {
    return forward(binding().getInfoFromBuffer, bufferSize, buffer, infoSize, info);
}

std::int32_t REXGetCreatorInfo(REXHandle handle, std::int32_t infoSize, REXCreatorInfo* info) {
    return forward(binding().getCreatorInfo, handle, infoSize, info);
}

std::int32_t REXGetSliceInfo(REXHandle handle, std::int32_t slice, std::int32_t infoSize,
                             REXSliceInfo* info) {
    return forward(binding().getSliceInfo, handle, slice, infoSize, info);
}

std::int32_t REXSetOutputSampleRate(REXHandle handle, std::int32_t rate) {
    return forward(binding().setOutputSampleRate, handle, rate);
}

std::int32_t REXRenderSlice(REXHandle handle, std::int32_t slice, std::int32_t frames, float* outputs[2]) {
    return forward(binding().renderSlice, handle, slice, frames, outputs);
}

std::int32_t REXStartPreview(REXHandle handle) {
    return forward(binding().startPreview, handle);
}

std::int32_t REXStopPreview(REXHandle handle) {
    return forward(binding().stopPreview, handle);
}

std::int32_t REXRenderPreviewBatch(REXHandle handle, std::int32_t frames, float* outputs[2]) {
    return forward(binding().renderPreviewBatch, handle, frames, outputs);
}

std::int32_t REXSetPreviewTempo(REXHandle handle, std::int32_t tempo) {
    return forward(binding().setPreviewTempo, handle, tempo);
}

} // namespace trov
