#include "engine/samples/SampleREX.h"

#include "engine/notes/Note.h"
#include "engine/samples/RexLibrary.h"
#include "engine/samples/RexTempoSource.h"
#include "engine/samples/SampleFileSupport.h"
#include "framework/File.h"
#include "framework/Logger.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

namespace trov {

namespace {

constexpr const char* kRexExtensions = "*.rcy;*.rex;*.rx2;";
constexpr const char* kDetuneKey = "SampleDetuneCoarse";
// Loop files are small; anything larger is no loop file and is not read into memory to find out.
constexpr std::int64_t kMaxLoopFileSize = std::int64_t{1} << 28;
constexpr std::int32_t kMaxSlices = 1 << 16;
// What createObject answers for a file it does not read (no REX result has this value).
constexpr std::int32_t kUnreadable = 0;
// Room the library may write past a slice's last frame.
constexpr std::size_t kRenderSlack = 256;

// An import failure that names the library's reason where other import failures name the file.
class RexImportFailed : public Error {
public:
    RexImportFailed(const std::string& where, const std::string& reason)
        : Error(where, "Failed to import file " + reason, kErrorImportFailed) {}
};

std::string textOf(const char (&field)[256]) {
    return std::string(field, strnlen(field, sizeof field));
}

REXHandle handleOf(const std::shared_ptr<void>& object) {
    return object.get();
}

} // namespace

struct SampleREX::Layout {
    std::int32_t end = 0;
    std::int32_t channels = 1;
    std::vector<Slice> slices;
};

SampleREX::SampleREX(Radio* parent) : Sample(parent) {}

SampleREX::SampleREX(const SampleREX& other) : Sample(other), object_(other.object_), tempo_(other.tempo_) {}

SampleREX::~SampleREX() = default;

Sample* SampleREX::clone() const {
    return new SampleREX(*this);
}

bool SampleREX::acceptsFile(const File& file) {
    return extensionInList(file, kRexExtensions);
}

bool SampleREX::takesFile(const File& file) {
    SampleREX probe;
    return probe.createObject(file) == kRexOk;
}

Error SampleREX::loadFile(const File& file) {
    static const char* const kWhere = "SampleREX::loadFile";
    const std::int32_t code = createObject(file);
    if (code == kUnreadable)
        return ErrorImportFailed(kWhere, file);
    if (code != kRexOk)
        return RexImportFailed(kWhere, rexErrorText(code));
    return NoError();
}

std::int32_t SampleREX::createObject(const File& file) {
    object_.reset();
    // Without the library every call answers "not loaded"; the file need not be read to learn that.
    if (!isRexLibraryLoaded())
        return kRexLibraryNotLoaded;
    const std::int64_t size = file.getSize();
    // Only regular files: opening a pipe would wait for a writer.
    if (!file.isRegularFile() || size <= 0 || size > kMaxLoopFileSize)
        return kUnreadable;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    std::ifstream in(file.getPath(), std::ios::binary);
    in.read(buffer.data(), static_cast<std::streamsize>(size));
    if (!in.is_open() || in.gcount() != static_cast<std::streamsize>(size))
        return kUnreadable;
    REXHandle handle = nullptr;
    const std::int32_t code =
        REXCreate(&handle, buffer.data(), static_cast<std::int32_t>(size), nullptr, nullptr);
    if (code != kRexOk)
        return code;
    object_ = std::shared_ptr<void>(handle, [](void* object) {
        REXHandle doomed = object;
        REXDelete(&doomed);
    });
    return kRexOk;
}

Error SampleREX::load(const File& file, bool /*loadData*/) {
    static const char* const kWhere = "SampleREX::load";
    const std::int32_t created = createObject(file);
    if (created == kRexLibraryNotLoaded)
        return SampleImportFailed(kWhere, "loop files need the REX shared library, which is not installed");
    if (created == kUnreadable) {
        const std::int64_t size = file.getSize();
        return SampleImportFailed(kWhere, size <= 0                 ? "it is empty"
                                          : size > kMaxLoopFileSize ? "it is larger than any loop file"
                                                                    : "it cannot be read");
    }
    if (created != kRexOk)
        return SampleImportFailed(kWhere, librarySays("The REX library", rexErrorText(created)));
    tempo_ = 0.0;
    std::int32_t code = REXSetOutputSampleRate(handleOf(object_), info_.sampleRate);
    if (code == kRexOk) {
        REXInfo info{};
        code = REXGetInfo(handleOf(object_), sizeof info, &info);
        if (code == kRexOk) {
            if (info.sliceCount == 0)
                return GeneralError(kWhere, "This ReCycle file does not contain any active slices.");
            if (info.sliceCount < 0 || info.sliceCount > kMaxSlices)
                return GeneralError(kWhere, rexErrorText(kRexFileCorrupt));
            releaseData();
            slices_.assign(static_cast<std::size_t>(info.sliceCount), Slice{});
            info_.channels = info.channels;
            info_.bitDepth = info.bitDepth;
            info_.sampleRate = info.sampleRate;
            info_.layout = SampleInfo::kChannelBlocks;
            REXCreatorInfo creator{};
            if (REXGetCreatorInfo(handleOf(object_), sizeof creator, &creator) == kRexOk) {
                info_.creator = textOf(creator.name);
                const std::string email = textOf(creator.email);
                if (!email.empty())
                    info_.creator += " <" + email + ">";
                info_.comment = textOf(creator.freeText);
            } else {
                info_.creator.clear();
                info_.comment.clear();
            }
        }
    }
    return code == kRexOk ? Error(NoError()) : Error(GeneralError(kWhere, rexErrorText(code)));
}

// Where every slice goes at this tempo, checked before anything of the sample changes.
bool SampleREX::planSlices(double tempo, Layout& layout) const {
    REXInfo info{};
    if (REXGetInfo(handleOf(object_), sizeof info, &info) != kRexOk)
        return false;
    if (info.channels < 1 || info.channels > 2 || info.sampleRate <= 0)
        return false;
    layout.channels = info.channels;
    // One PPQ unit (1/256 of a beat at this tempo in minutes) lasts rate / (256 x tempo) frames.
    const double framesPerUnit = static_cast<double>(info.sampleRate) * (1.0 / tempo) * 0.00390625;
    const double limit = static_cast<double>(kMaxDataValues - kRenderSlack) / info.channels - 1.0;
    bool inside = true;
    auto position = [&](double ppq) {
        const double frames = std::round(ppq * framesPerUnit);
        inside = inside && frames >= 0.0 && frames <= limit;
        return inside ? static_cast<std::int32_t>(frames) : 0;
    };
    layout.end = position(info.ppqLength);
    layout.slices.resize(slices_.size());
    for (std::size_t i = 0; i < layout.slices.size(); ++i) {
        REXSliceInfo slice{};
        if (REXGetSliceInfo(handleOf(object_), static_cast<std::int32_t>(i), sizeof slice, &slice) != kRexOk)
            return false;
        const std::int32_t start = position(slice.ppqPosition);
        const std::int64_t end = std::int64_t{start} + slice.sampleLength;
        if (!inside || slice.sampleLength < 0 || static_cast<double>(end) > limit)
            return false;
        layout.slices[i] = {start, static_cast<std::int32_t>(end)};
        layout.end = std::max(layout.end, layout.slices[i].end);
    }
    return inside;
}

bool SampleREX::render(double tempo) {
    // A host without a tempo must not divide by zero.
    if (!(tempo > 0.0) || !std::isfinite(tempo))
        return false;
    if (tempo == tempo_ || slices_.empty())
        return true;
    tempo_ = tempo;
    Layout layout;
    if (!planSlices(tempo, layout))
        return false;
    start_ = 0;
    end_ = layout.end;
    setLoop(Loop{});
    slices_ = layout.slices;
    return renderSlices(layout);
}

bool SampleREX::renderSlices(const Layout& layout) {
    const std::int32_t frames = layout.end + 1;
    const std::size_t stride = static_cast<std::size_t>(frames);
    float* data = allocateData(stride * layout.channels + kRenderSlack);
    if (data == nullptr) {
        releaseData();
        slices_.clear();
        end_ = -1;
        return false;
    }
    info_.frames = frames;
    info_.channels = layout.channels;
    info_.layout = SampleInfo::kChannelBlocks;
    for (std::size_t i = 0; i < slices_.size(); ++i) {
        const Slice slice = slices_[i];
        float* outputs[2] = {data + slice.start, layout.channels > 1 ? data + slice.start + stride : nullptr};
        const std::int32_t code =
            REXRenderSlice(handleOf(object_), static_cast<std::int32_t>(i), slice.end - slice.start, outputs);
        if (code != kRexOk) {
            logLine(3, "SampleREX::render::REXRenderSlice() failed: %d", code);
            slices_.resize(i < 2 ? 0 : i - 1);
            // What was rendered stays playable: one channel with its guard.
            mixToMono();
            boundData("a rendered loop");
            return false;
        }
        if (i > 0)
            slices_[i - 1].end = std::min(slices_[i - 1].end, slice.start - 1);
    }
    mixToMono();
    boundData("a rendered loop");
    return true;
}

bool SampleREX::needsProcessing() const {
    std::int32_t detune = 0;
    settings_.getLong(kDetuneKey, &detune);
    return detune != 0 || Sample::needsProcessing();
}

void SampleREX::applySettings(const Dictionary& settings) {
    std::int32_t wanted = 0;
    std::int32_t current = 0;
    settings.getLong(kDetuneKey, &wanted);
    settings_.getLong(kDetuneKey, &current);
    if (wanted != current) {
        render(RexTempoSource::currentTempo() / pitchRatio(static_cast<float>(wanted), 0.0f));
        settings_.setInteger(kDetuneKey, wanted);
    }
    Sample::applySettings(settings);
}

} // namespace trov
