// The instrument's documents: banks and patches through the load and save dialogs and by dropping a
// file, tunings, single samples, the analog model inside banks, and the conversion of older documents.
#include "engine/Analogics.h"
#include "engine/modules/Module.h"
#include "engine/notes/TuningSCL.h"
#include "engine/samples/Sample.h"
#include "engine/samples/SampleFiles.h"
#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/Dictionary.h"
#include "framework/EditorServices.h"
#include "framework/File.h"
#include "framework/Folder.h"
#include "framework/Logger.h"
#include "framework/Message.h"
#include "framework/StringUtils.h"
#include "framework/System.h"
#include "framework/Version.h"
#include "instrument/Corvale.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace trov {

namespace {

// A dropped or chosen file for a zone manager or the editor (the extra word points to its path).
enum : std::int32_t { kDropFile = 3021 };

enum LoadEntry { kLoadBank, kLoadPatch, kLoadCalibration, kLoadTuning, kLoadSample, kLoadAny };
enum SaveEntry { kSaveBank, kSavePatch, kSaveCalibration, kSaveSample };

const FileFilterList& loadFilters() {
    static const FileFilterList filters = {
        {"Corvale Banks", {"kmd"}},
        {"Corvale Patches", {"kpr"}},
        {"Corvale Calibrations", {"kch"}},
        {"Tuning Files", {"scl"}},
        {"Wavesamples", {"aif", "aifc", "aiff", "au", "rcy", "rex", "rx2", "scl", "snd", "wav", "wv"}},
        {"Any type", {"*"}}};
    return filters;
}

const FileFilterList& saveFilters() {
    static const FileFilterList filters = {{"Corvale Bank", {"kmd"}},
                                           {"Corvale Patch", {"kpr"}},
                                           {"Corvale Calibration", {"kch"}},
                                           {"Wavesample", {"wav"}}};
    return filters;
}

// The envelope stages whose velocity share moved in format 0.7.
constexpr std::array<const char*, 8> kConvertedStages = {"VCAAttack", "VCAPeak", "VCASustain", "VCARelease",
                                                         "VCFAttack", "VCFPeak", "VCFSustain", "VCFRelease"};
const Version kConversionFormat("0.7");

const NativeWindow* windowOf(const EditorInterface* editor) {
    return editor != nullptr ? editor->getWindow() : nullptr;
}

int programCount(const Dictionary& document) {
    const Dictionary::View programs = document.getArray("programs");
    return programs ? programs->count("program") : 0;
}

// What the user is told of a document that could not be read.
std::string unreadDocumentText(const File& file, const std::string& problem) {
    return "The file " + file.getPath() + " could not be loaded: " + asSentence(problem);
}

// What the user is told of a file larger than any bank or patch, or empty. Told before a byte of it is
// read: parsing costs several times the text.
std::string oversizeRefusal(const File& file) {
    return Plugin::documentSizeRefusal(static_cast<std::uint64_t>(std::max<std::int64_t>(file.getSize(), 0)));
}

// Reads a bank or patch file; false with what the user is told.
bool loadDocumentFile(const File& file, Dictionary& document, std::string& refusal) {
    refusal = oversizeRefusal(file);
    std::string problem;
    if (refusal.empty() && !document.load(file, &problem))
        refusal = unreadDocumentText(file, problem);
    return refusal.empty();
}

// Whether a file is meant for the document reader: by its extension, or by its first bytes, which begin an
// XML text ("<" after blanks and a byte order mark) or UTF-16 text. Reads the first bytes of a regular file.
bool isMeantAsDocument(const File& file) {
    static const std::array<const char*, 4> kExtensions = {"kmd", "kpr", "kch", "xml"};
    const std::string extension = toLowerCase(file.getExtension());
    if (std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end())
        return true;
    char head[256] = {};
    std::ifstream in(file.getPath(), std::ios::binary);
    in.read(head, sizeof head);
    const std::string text(head, static_cast<std::size_t>(in.gcount()));
    if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0)
        return true;
    const std::size_t at = text.find_first_not_of(" \t\r\n", text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    return at != std::string::npos && text[at] == '<';
}

// What a load records is named from the root, so that a saved project finds it from any working folder,
// by a path no longer than a path may be (4,096 bytes with its end); a relative one has nothing to be named
// from when the working folder's own path cannot be told (past that length, or the folder is gone). Why the
// file cannot be so named, as the end of a sentence; empty when it can.
std::string unnamedFromRoot(const File& file) {
    constexpr std::size_t kPathBytes = 4096;
    constexpr const char* kTooLong = "its path from the root is longer than the 4,096 bytes a path may hold, "
                                     "so a saved project could not open it again";
    std::size_t length = file.getPath().size();
    if (file.getFolder().isRelative()) {
        const Folder current = Folder::getCurrent();
        if (current.isRelative()) {
            // Past the folder's buffer or gone: the system's own reason tells which.
            std::error_code error;
            static_cast<void>(std::filesystem::current_path(error));
            if (error == std::errc::no_such_file_or_directory)
                return "the working folder it is named from no longer exists";
            if (error && error != std::errc::filename_too_long && error != std::errc::result_out_of_range)
                return "the path of the working folder it is named from cannot be told (" + error.message() +
                       ")";
            return kTooLong;
        }
        length += current.getPath().size() + 1;
    }
    return length < kPathBytes ? std::string() : std::string(kTooLong);
}

} // namespace

void Corvale::writeState(Dictionary& document, bool withData) {
    Plugin::writeState(document, withData);
    if (const Analogics* analogics = getAnalogics())
        analogics->write(document);
}

bool Corvale::readState(const Dictionary& document) {
    const bool read = Plugin::readState(document);
    if (!read)
        return false;
    if (Analogics* analogics = getAnalogics())
        analogics->read(document);
    convertOldFormat(document);
    return true;
}

bool Corvale::readPatch(const Dictionary& document) {
    return readPatchProgram(document, 0);
}

bool Corvale::readProgramFile(const File& file, int programIndex) {
    Dictionary document;
    std::string refusal;
    if (!loadDocumentFile(file, document, refusal)) {
        showErrorMessage(refusal, windowOf(getEditor()));
        return false;
    }
    const DocumentFolderScope beside(*this, file.getFolder());
    return readPatchProgram(document, programIndex);
}

bool Corvale::readPatchProgram(const Dictionary& document, int programIndex) {
    Dictionary checked(document);
    std::string refusal;
    if (!checked.checkCompatibility(refusal)) {
        showErrorMessage(refusalText(refusal), windowOf(getEditor()));
        return false;
    }
    if (!readProgram(document, programIndex))
        return false;
    convertOldFormat(document);
    return true;
}

void Corvale::convertOldFormat(const Dictionary& document) {
    std::string format;
    document.getString("file-format", &format);
    // In order of parts: a format such as 0.6.9 is older than 0.7 too (part by part it is neither older
    // nor newer).
    if (Version(format).toInteger() >= kConversionFormat.toInteger())
        return;
    // Every layer's program came with the old meaning.
    for (int m = 0; m < getModuleCount(); ++m) {
        const Module* module = getModule(m);
        Settings* settings = module != nullptr ? module->getSettings() : nullptr;
        if (settings == nullptr)
            continue;
        for (const char* stage : kConvertedStages) {
            const std::string partner = std::string("Velocity_") + stage;
            const float n = settings->getNormalizedValue(stage);
            const float v = settings->getFloat(partner);
            settings->setNormalizedValue(stage, n - v, Sender::kSettings);
            settings->setFloat(partner, 2.0f * v, Sender::kSettings);
        }
    }
}

bool Corvale::importFile(const File& file) {
    const DocumentFolderScope beside(*this, file.getFolder());
    Dictionary document;
    std::string refusal = oversizeRefusal(file);
    std::string problem;
    // A document that loads but is refused has told the user why already.
    if (refusal.empty() && document.load(file, &problem))
        return readState(document);
    if (refusal.empty())
        refusal = "Failed to import settings from " + file.getPath() + ": " + asSentence(problem);
    showErrorMessage(refusal, windowOf(getEditor()));
    return false;
}

// Each refusal shows exactly one message: that of the reader the file was meant for. A sample file (by its
// bytes or extension) is the zone manager's alone, a Scala file's refusal is the tuning's, and anything else
// is read as a document.
bool Corvale::loadFile(const File& file) {
    const DocumentFolderScope beside(*this, file.getFolder());
    EditorInterface* editor = getEditor();
    const std::string path = file.getPath();
    // The reason first: where the message is quoted, a path this long is cut.
    if (const std::string unnamed = unnamedFromRoot(file); !unnamed.empty()) {
        showErrorMessage("The file could not be loaded: " + unnamed + ": " + path, windowOf(editor));
        return false;
    }
    // Checked before anything opens it: a pipe would keep the load waiting for a writer.
    if (!file.isRegularFile()) {
        showErrorMessage(file.exists()
                             ? "The file " + path + " is " + File::kNotRegularText + " and was not read."
                             : "The file " + path + " does not exist.",
                         windowOf(editor));
        return false;
    }
    const Module* shown = editor != nullptr ? editor->getEditedModule() : getFirstModule();
    logLine(3, "module = 0x%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(shown)));
    std::string sampleRefusal;
    if (ZoneManager* zones = shown != nullptr ? shown->getZoneManager() : nullptr) {
        const SampleFileRefusals refusals;
        if (zones->receive(WindowMessage(this, kDropFile, 0, Point(), pointerToWord(path.c_str()))))
            return true;
        sampleRefusal = refusals.first();
    }
    if (isMeantAsSampleFile(file)) {
        showErrorMessage(!sampleRefusal.empty() ? sampleRefusal
                                                : "The sample file " + path +
                                                      " could not be loaded: no layer takes samples now.",
                         windowOf(editor));
        return false;
    }
    logLine(3, "not a sample file");
    const bool scala = toLowerCase(file.getExtension()) == "scl";
    // A bank or patch is its text as it stands in the file, so its size alone decides the budget: past it
    // the file is refused before the Scala reader reads it to its end to find it no scale.
    if (!scala && isMeantAsDocument(file))
        if (const std::string refusal = oversizeRefusal(file); !refusal.empty()) {
            showErrorMessage(refusal, windowOf(editor));
            return false;
        }
    if (file.getSize() == 0) {
        showErrorMessage((scala ? "The tuning file " : "The file ") + path +
                             " could not be loaded: it is empty.",
                         windowOf(editor));
        return false;
    }
    TuningSCL tuning;
    if (tuning.load(file)) {
        addTuning(tuning);
        return true;
    }
    if (scala) {
        logLine(3, "Scala file %s is not a valid scale: %s", path.c_str(), tuning.getRefusal().c_str());
        showErrorMessage("The tuning file " + path +
                             " could not be loaded: " + asSentence(tuning.getRefusal()),
                         windowOf(editor));
        return false;
    }
    Dictionary document;
    std::string refusal;
    if (!loadDocumentFile(file, document, refusal)) {
        // A file meant for no reader (a MIDI file, a picture, plain text) is told what the instrument takes;
        // the parser's complaint would only puzzle.
        showErrorMessage(isMeantAsDocument(file)
                             ? refusal
                             : "The file " + path +
                                   " is not a bank (.kmd), patch (.kpr), Scala tuning (.scl) or sample file "
                                   "(WAV, AIFF, AU, FLAC, Ogg Vorbis, WavPack).",
                         windowOf(editor));
        return false;
    }
    const int programs = programCount(document);
    if (programs == 0) {
        // A document, but no bank or patch this instrument reads (another product's, or one without its
        // format): the user is told why nothing happened.
        Dictionary checked(document);
        std::string refusal;
        if (checked.checkCompatibility(refusal))
            refusal = checked.findEntry("file-format")
                          ? "The file " + path + " holds no bank or patch: it has no program."
                          : "These settings do not name their file format and cannot be loaded.";
        logLine(3, "%s holds no settings to load", file.getPath().c_str());
        showErrorMessage(refusal, windowOf(editor));
        return false;
    }
    if (programs == 1)
        return readPatch(document);
    // The document read above, not the file once more: a second parse would hold two trees at once.
    return readState(document);
}

bool Corvale::runLoadDialog() {
    EditorInterface* editor = getEditor();
    File file;
    dialogOpen_ = true;
    const int chosen = file.openDialog("Select input file", loadFilters(), File("default"), windowOf(editor));
    dialogOpen_ = false;
    if (chosen < 0 || chosen >= static_cast<int>(loadFilters().size()))
        return false;
    switch (chosen) {
    case kLoadBank:
        return importFile(file);
    case kLoadPatch: {
        const DocumentFolderScope beside(*this, file.getFolder());
        Dictionary document;
        std::string refusal;
        if (!loadDocumentFile(file, document, refusal)) {
            showErrorMessage(refusal, windowOf(editor));
            return false;
        }
        return readPatch(document);
    }
    case kLoadCalibration:
        return false;
    default:
        break;
    }
    const std::string path = file.getPath();
    const WindowMessage message(this, kDropFile, 0, Point(), pointerToWord(path.c_str()));
    if (chosen == kLoadSample && editor != nullptr)
        if (const Module* shown = editor->getEditedModule())
            if (ZoneManager* zones = shown->getZoneManager(); zones != nullptr && zones->receive(message))
                return true;
    return editor != nullptr && editor->receiveMessage(message);
}

bool Corvale::runSaveDialog() {
    EditorInterface* editor = getEditor();
    File file;
    dialogOpen_ = true;
    const int chosen =
        file.saveDialog("Select output file", saveFilters(), File("default"), 2, windowOf(editor));
    dialogOpen_ = false;
    switch (chosen) {
    case kSaveBank: {
        Dictionary document;
        writeState(document, true);
        // A bank past a reader's limit (more sample data than a bank may decode) would only be refused
        // when loaded again: the user is told now, while the samples are still here.
        if (const std::string refusal = stateLimitRefusal(document); !refusal.empty()) {
            showErrorMessage("The bank was not saved, as it could not be loaded again. " +
                                 refusalText(refusal),
                             windowOf(editor));
            return false;
        }
        return document.save(file);
    }
    case kSavePatch: {
        Dictionary document;
        writeProgram(document);
        return document.save(file);
    }
    case kSaveSample: {
        const Module* shown = editor != nullptr ? editor->getEditedModule() : getFirstModule();
        const ZoneManager* zones = shown != nullptr ? shown->getZoneManager() : nullptr;
        Resources* resources = getResources();
        const std::string id = zones != nullptr ? zones->getCurrentSampleName() : std::string();
        Sample* sample = resources != nullptr && !id.empty() ? resources->findSample(id) : nullptr;
        return sample != nullptr && sample->save(file).ok();
    }
    default:
        return false;
    }
}

} // namespace trov
