#pragma once

// The host's side of the plug-in module: what a host program needs to load the module with dlopen, declare
// its effect types, run processes and show their views, and nothing else. Self-contained (standard
// headers only): a host includes this one file and links none of the module's libraries.
//
// Loading:
//   void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
//   auto setServices = reinterpret_cast<SetHostServicesFunction>(dlsym(module, kSetHostServicesSymbol));
//   setServices(&myServices);                       // before NewPlugIn: start-up may ask a question
//   auto newPlugIn = reinterpret_cast<NewPlugInFunction>(dlsym(module, kNewPlugInSymbol));
//   PlugInGroup* group = newPlugIn();
//   ... group->getTypeCount(), group->createProcess(type, &myProcessHost) ...
//   process->release(); group->release(); setServices(nullptr); dlclose(module);
// Everything the module made (its log, registry stores, random generators, event loop, threads) exists
// once, inside the module, and goes with dlclose; a later dlopen starts afresh.
//
// Installation: the module finds its files through its machine-wide registry store. Before the first
// NewPlugIn the host sets up, in its environment:
//   TROV_MACHINE_REGISTRY = a store file holding, under the key "Software\<maker>\<product>" (for the test
//       module "Software\Trovato\Corvale Test"), the string values "InstallPath" (the installation folder),
//       "ResourcesXmlFile" and "SettingsXmlFile" (file names inside that folder), and for a product with an
//       editor "ControlsXmlFile" (its editor specification, a file name inside that folder) and "ImagesDir"
//       (the folder of its skins inside that folder); the module only reads it, and a missing one stays
//       missing;
//   TROV_USER_REGISTRY = a writable store file for the per-user values (made when missing);
//   XDG_STATE_HOME = a writable folder: the log goes to <it>/<maker>/<product>.log.
// A store file is, little-endian: "TRRG" u32:1 key, where key = u16:nameLength name u32:valueCount value*
// u32:childCount key* and value = u16:nameLength name u32:type u32:size byte*. The root key has an empty
// name; each level of the key path is a child key. A string value has type 1 and carries its terminating
// zero in its size. Without "InstallPath" or with a broken installation the module shows its fatal message
// through HostServices::messageBox and asks the host to quit (HostServices::requestQuit); NewPlugIn still
// gives a group, which then declares no types.
//
// Threads: the group, the processes' set-up, controls, chunks and views on the host's user-interface
// thread (the one that calls PlugInGroup::idle); Process::renderAudio on one audio thread at a time;
// Process::deliverMidi on one MIDI thread at a time. The module calls ProcessHost from the thread of the
// call that caused it (automation from the user-interface thread).

#include <cstddef>
#include <cstdint>

namespace trov::hostsdk {

// Stem formats of an effect type's input or output.
constexpr std::int32_t kStemMono = 0;
constexpr std::int32_t kStemStereo = 1;
constexpr std::int32_t kStemNone = -1;

// Results of the process operations.
constexpr std::int32_t kResultOk = 0;
constexpr std::int32_t kResultFailed = -1;

// The one chunk every process offers ("totl" as a big-endian four-character code).
constexpr std::uint32_t kStateChunkId = 0x746F746Cu;
// Every chunk starts with its header: i32 size (header included), i32 version, u32 maker code, u32
// product code, u32 plug-in code, u32 chunk identifier, then 32 bytes of name (a length byte and at most
// 31 characters); the data follows.
constexpr std::int32_t kChunkHeaderSize = 56;

// Answers of HostServices::messageBox.
enum class BoxKind : std::int32_t { Info = 0, OkCancel = 1, YesNoCancel = 2, Error = 3 };
enum class BoxAnswer : std::int32_t { Ok = 0, Cancel = 1, Yes = 2, No = 3, Closed = 4 };

// Most properties and channels an effect type describes.
constexpr int kMaxTypeProperties = 16;
constexpr int kMaxNameLength = 63;

// One declared effect type.
struct EffectTypeInfo {
    std::uint32_t typeCode = 0;
    std::uint32_t productCode = 0;
    std::uint32_t categoryFlags = 0;
    std::int32_t sampleRateSupport = 0;
    std::int32_t inputStem = kStemNone;
    std::int32_t outputStem = kStemNone;
    std::int32_t propertyCount = 0;
    std::int32_t properties[kMaxTypeProperties] = {}; // in declaration order
    char name[kMaxNameLength + 1] = {};
};

// What the group tells the host about the product; empty names when the module could not start.
struct GroupIdentity {
    char productName[kMaxNameLength + 1] = {};
    std::uint32_t productVersion = 0; // four 8-bit parts, the first in the most significant byte
    char makerName[kMaxNameLength + 1] = {};
    std::uint32_t makerCode = 0;
    std::int32_t groupProperty = 0; // 0 when none was set
};

// How the host connects a process: its stems and the largest block it will render.
struct ConnectInfo {
    std::int32_t inputStem = kStemStereo;
    std::int32_t outputStem = kStemStereo;
    std::int32_t maxBlockSize = 512;
};

// Where the host shows a view: the port's origin inside the host's window and that window's native
// handle (0 lets the view make a window of its own).
struct ViewPort {
    std::int32_t originX = 0;
    std::int32_t originY = 0;
    std::uintptr_t nativeWindow = 0;
};

struct ViewRect {
    std::int16_t top = 0;
    std::int16_t left = 0;
    std::int16_t bottom = 0;
    std::int16_t right = 0;
};

// The host's answers to the module's questions and its quit request; the host implements it and hands it
// over with the kSetHostServicesSymbol entry. Called on the user-interface thread.
class HostServices {
public:
    virtual ~HostServices() = default;
    virtual BoxAnswer messageBox(const char* caption, const char* text, BoxKind kind) = 0;
    // An open (save = false) or save dialog. True with the chosen path (zero-terminated, cut to pathRoom
    // - 1 characters) and the 0-based filter index; false when cancelled.
    virtual bool fileDialog(bool save, const char* title, const char* initialPath, char* path,
                            std::size_t pathRoom, std::int32_t& filterIndex) = 0;
    // True with the chosen folder's path; false when cancelled.
    virtual bool browseFolder(const char* title, char* path, std::size_t pathRoom) = 0;
    // The module's fatal exit: the host ends its loop with this code; the module never calls exit.
    virtual void requestQuit(std::int32_t code) = 0;
};

// What a process asks of its host; the host implements one per process and keeps it alive until the
// process is released.
class ProcessHost {
public:
    virtual ~ProcessHost() = default;
    // The host's time source: tempo in beats per minute and the song position counter.
    virtual double getTempo() = 0;
    virtual std::int64_t getPosition() = 0;
    // Automation recorded for the host: a control's new value (controls numbered from 1) and the begin
    // (touch) and end (release) of a user's edit of it.
    virtual void automationSet(std::int32_t control, std::int32_t value) = 0;
    virtual void automationTouch(std::int32_t control) = 0;
    virtual void automationRelease(std::int32_t control) = 0;
};

// One processing instance as the host sees it. Results are kResultOk unless said otherwise. Control
// numbers run from 1 to getControlCount(); values are signed 32-bit fixed point (INT32_MIN is 0.0,
// INT32_MAX is 1.0).
class Process {
public:
    // Creates the instance; kResultFailed when it cannot start (the reason is in the log).
    virtual std::int32_t initialize() = 0;
    virtual std::int32_t connect(const ConnectInfo& info) = 0;
    virtual std::int32_t setSampleRate(std::int32_t rate) = 0;
    // One block on the audio thread: channel pointers for the connected stems (1 or 2 each). An output
    // may be the same buffer as the input of its index (in place). frames <= maxBlockSize.
    virtual void renderAudio(float** inputs, float** outputs, std::int32_t frames) noexcept = 0;
    // A MIDI channel message (status, two data bytes) on the MIDI thread; ignored without a MIDI input.
    virtual void deliverMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) noexcept = 0;
    virtual bool hasMidiInput() const = 0;
    // Note-ons the instance dropped since it was made because its event queue was full (too many arrived
    // before one block). Any thread after initialize.
    virtual std::uint32_t getDroppedNotes() const = 0;

    // Controls. Texts are zero-terminated within length bytes; length <= 0 writes nothing.
    virtual std::int32_t getControlCount() const = 0;
    virtual std::int32_t getControlName(std::int32_t control, char* name, std::int32_t length) = 0;
    virtual std::int32_t getControlValueText(std::int32_t control, char* text, std::int32_t length) = 0;
    virtual bool isControlAutomatable(std::int32_t control) = 0;
    virtual std::int32_t setControlValue(std::int32_t control, std::int32_t value) = 0;
    virtual std::int32_t getControlValue(std::int32_t control, std::int32_t& value) = 0;
    // Colour codes: 0 red, 1 blue, 2 green, 3 yellow; off or any other code removes the highlight.
    virtual std::int32_t setControlHighlight(std::int32_t control, bool on, std::int32_t colour) = 0;

    // Chunks. A chunk travels with the length of its buffer; nothing is read or written beyond it.
    virtual std::int32_t getChunkCount(std::int32_t& count) = 0;
    // index from 1; id untouched for an unknown index.
    virtual std::int32_t getChunkId(std::int32_t index, std::uint32_t& id) = 0;
    // A length byte and at most 31 characters.
    virtual std::int32_t getChunkName(std::uint32_t id, std::uint8_t (&name)[32]) = 0;
    virtual std::int32_t getChunkSize(std::uint32_t id, std::int32_t& size) = 0;
    // Fills the buffer with the chunk whose size the last getChunkSize gave (the state as it was then);
    // kResultFailed, writing nothing, when length is shorter than that.
    virtual std::int32_t getChunk(std::uint32_t id, std::uint8_t* chunk, std::int32_t length) = 0;
    // Takes only a chunk of this product and version whose size lies within 56..length; a refused one
    // changes nothing.
    virtual std::int32_t setChunk(std::uint32_t id, const std::uint8_t* chunk, std::int32_t length) = 0;
    // equal is left untouched for a chunk that is refused.
    virtual std::int32_t compareChunk(const std::uint8_t* chunk, std::int32_t length, bool& equal) = 0;
    virtual std::int32_t getChangeCounter(std::int32_t& changes) = 0;

    // The view. createView gives false (and no view) when the product has no editor.
    virtual bool createView() = 0;
    virtual bool hasView() const = 0;
    virtual std::int32_t getViewRect(ViewRect& rect) = 0;
    // Shows the view in the port; null hides it.
    virtual std::int32_t setViewPort(const ViewPort* port) = 0;
    virtual void destroyView() = 0;
    // The view's idle work (paints what is pending); call it from the host's idle with PlugInGroup::idle.
    virtual void idle() = 0;
    // The mouse at (x, y), inside the view or having left it.
    virtual void windowEvent(std::int32_t x, std::int32_t y, bool inside) = 0;
    // The control number under a point; kResultFailed and control 0 when there is none.
    virtual std::int32_t getControlAt(std::int32_t x, std::int32_t y, std::int32_t& control) = 0;
    // Drag and drop of a file: flavours 0..2 are files the view may take.
    virtual std::int32_t dragItem(std::int32_t flavour, const char* fileName, bool& accepted) = 0;
    // Drops the last file a drag offered: kResultOk when the instance took it, kResultFailed when it
    // refused it (its reason, if any, went to HostServices::messageBox), when nothing was offered or when
    // a coordinate is negative.
    virtual std::int32_t drop(std::int32_t x, std::int32_t y) = 0;

    // Ends the process (destroys its view and instance). The process is gone afterwards.
    virtual void release() = 0;

protected:
    virtual ~Process() = default;
};

// The module's process group: its product identity and effect types, the factory of processes, and the
// module's event loop.
class PlugInGroup {
public:
    virtual void getIdentity(GroupIdentity& identity) = 0;
    // The first call declares the types. A declaration that stops early keeps the types declared before
    // it; getDeclarationError then gives the code it stopped with (0 when none).
    virtual std::int32_t getTypeCount() = 0;
    virtual bool getTypeInfo(std::int32_t index, EffectTypeInfo& info) = 0;
    virtual std::int32_t getDeclarationError() = 0;
    // A new process of type index (from 0) talking to host; null for an unknown type or without a started
    // module. The process starts with initialize.
    virtual Process* createProcess(std::int32_t index, ProcessHost* host) = 0;
    // Delivers the module's pending window events and due window timers on the calling thread; the host
    // calls it from its idle, on the user-interface thread. Returns how many were delivered.
    virtual std::int32_t idle() = 0;
    // Ends the group; release every process first.
    virtual void release() = 0;

protected:
    virtual ~PlugInGroup() = default;
};

// Exported entry points (extern "C", looked up with dlsym).
constexpr const char* kNewPlugInSymbol = "NewPlugIn";
constexpr const char* kSetHostServicesSymbol = "TrovSetHostServices";
constexpr const char* kWriteViewImageSymbol = "TrovWriteViewImage";
using NewPlugInFunction = PlugInGroup* (*)();
// Null goes back to the module's own headless answers (cancel, no); a quit request is then only
// remembered.
using SetHostServicesFunction = void (*)(HostServices* services);
// Writes what the process's view shows (attached to a port, after its window timer has painted it) as a
// PNG file at path, marked with a text chunk (tEXt) of kViewImageKeyword and kViewImageMark before its
// image. The picture is written beside path and renamed over it once whole, so a failure leaves what was
// there. kResultOk, or kResultFailed without a view, and, writing nothing, with the reason going to
// HostServices::messageBox: for a view that shows nothing, a file that cannot be written (the system's
// reason, a file-size limit named as such), a view whose specification did not load (naming its file) or
// that lacks skins it paints (naming them). A null path writes nothing and only asks about the skins:
// kResultOk when the view lacks none, kResultFailed without a view or, with the reason shown the same way,
// when it lacks some. The user-interface thread. A module without it cannot show its view as a file.
using WriteViewImageFunction = std::int32_t (*)(Process* process, const char* path);
// The mark of a picture the entry painted, by which a host tells it from another's before writing over it.
constexpr const char* kViewImageKeyword = "Software";
constexpr const char* kViewImageMark = "corvale-host";

} // namespace trov::hostsdk

extern "C" {
trov::hostsdk::PlugInGroup* NewPlugIn();
void TrovSetHostServices(trov::hostsdk::HostServices* services);
std::int32_t TrovWriteViewImage(trov::hostsdk::Process* process, const char* path);
}
