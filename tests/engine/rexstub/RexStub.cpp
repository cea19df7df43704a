// The stand-in REX library: the entry points of engine/samples/RexApi.h over the format of RexStubFormat.h.
// "Open" fails while the environment variable TROV_REXSTUB_OPEN_FAILS is set.
#include "engine/samples/RexApi.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace trov;

struct Slice {
    std::int32_t ppqPosition;
    std::int32_t frames;
    float level;
    bool failsToRender;
};

struct Object {
    REXInfo info{};
    std::int32_t sourceRate = 0;
    std::int32_t outputRate = 44100;
    std::vector<Slice> slices;
    bool hasCreator = false;
    REXCreatorInfo creator{};
    bool previewing = false;
    std::int32_t previewTempo = 120000;

    std::int32_t outputFrames(const Slice& slice) const {
        return static_cast<std::int32_t>(
            std::lround(static_cast<double>(slice.frames) * outputRate / sourceRate));
    }
};

std::set<Object*>& objects() {
    static std::set<Object*> live;
    return live;
}

Object* find(REXHandle handle) {
    auto* object = static_cast<Object*>(handle);
    return objects().count(object) != 0 ? object : nullptr;
}

class Reader {
public:
    Reader(const char* bytes, std::int32_t size) : bytes_(bytes), size_(size < 0 ? 0 : size) {}
    bool integer(std::int32_t& out) {
        if (size_ - at_ < 4)
            return false;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes_[at_ + i]);
        at_ += 4;
        out = static_cast<std::int32_t>(value);
        return true;
    }
    bool text(char (&out)[256]) {
        if (at_ >= size_)
            return false;
        const std::size_t length = static_cast<unsigned char>(bytes_[at_++]);
        if (size_ - at_ < length)
            return false;
        std::memcpy(out, bytes_ + at_, length);
        out[length] = '\0';
        at_ += length;
        return true;
    }
    bool atEnd() const { return at_ == size_; }

private:
    const char* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::int32_t parse(const char* buffer, std::int32_t size, Object& object) {
    Reader in(buffer, size);
    std::int32_t magic = 0;
    std::int32_t count = 0;
    REXInfo& info = object.info;
    if (buffer == nullptr || !in.integer(magic) || std::memcmp(&magic, "TRXS", 4) != 0 ||
        !in.integer(info.channels) || !in.integer(object.sourceRate) || !in.integer(info.tempo) ||
        !in.integer(info.ppqLength) || !in.integer(info.bitDepth) || !in.integer(count))
        return kRexFileCorrupt;
    if (info.channels < 1 || info.channels > 2 || object.sourceRate < 1 || count < 0 || count > 4096)
        return kRexFileCorrupt;
    for (std::int32_t i = 0; i < count; ++i) {
        Slice slice{};
        std::int32_t bits = 0;
        std::int32_t fails = 0;
        if (!in.integer(slice.ppqPosition) || !in.integer(slice.frames) || !in.integer(bits) ||
            !in.integer(fails))
            return kRexFileCorrupt;
        std::memcpy(&slice.level, &bits, sizeof bits);
        slice.failsToRender = fails != 0;
        if (slice.frames < 0)
            return kRexFileCorrupt;
        object.slices.push_back(slice);
    }
    if (!in.atEnd()) {
        REXCreatorInfo& c = object.creator;
        if (!in.text(c.name) || !in.text(c.rights) || !in.text(c.url) || !in.text(c.email) ||
            !in.text(c.freeText) || !in.atEnd())
            return kRexFileCorrupt;
        object.hasCreator = true;
    }
    info.sliceCount = count;
    info.originalTempo = info.tempo;
    info.timeSignatureNumerator = 4;
    info.timeSignatureDenominator = 4;
    return kRexOk;
}

} // namespace

#define REXSTUB_EXPORT extern "C" __attribute__((visibility("default")))

REXSTUB_EXPORT char Open() {
    return std::getenv("TROV_REXSTUB_OPEN_FAILS") == nullptr ? 1 : 0;
}

REXSTUB_EXPORT void Close() {}

REXSTUB_EXPORT std::int32_t REXCreate(REXHandle* handle, const char* buffer, std::int32_t size,
                                      REXCreateCallback callback, void* userData) {
    if (handle == nullptr)
        return kRexInvalidArgument;
    auto object = std::make_unique<Object>();
    const std::int32_t code = parse(buffer, size, *object);
    if (code != kRexOk)
        return code;
    if (callback != nullptr && callback(100, userData) == 0)
        return kRexAborted;
    *handle = object.get();
    objects().insert(object.release());
    return kRexOk;
}

REXSTUB_EXPORT void REXDelete(REXHandle* handle) {
    if (handle == nullptr)
        return;
    if (Object* object = find(*handle)) {
        objects().erase(object);
        delete object;
    }
    *handle = nullptr;
}

REXSTUB_EXPORT std::int32_t REXGetInfo(REXHandle handle, std::int32_t infoSize, REXInfo* info) {
    const Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (infoSize != static_cast<std::int32_t>(sizeof(REXInfo)) || info == nullptr)
        return kRexInvalidSize;
    *info = object->info;
    info->sampleRate = object->outputRate;
    return kRexOk;
}

REXSTUB_EXPORT std::int32_t REXGetInfoFromBuffer(std::int32_t bufferSize, const char* buffer,
                                                 std::int32_t infoSize, REXInfo* info) {
    if (infoSize != static_cast<std::int32_t>(sizeof(REXInfo)) || info == nullptr)
        return kRexInvalidSize;
    Object object;
    const std::int32_t code = parse(buffer, bufferSize, object);
    if (code == kRexOk) {
        *info = object.info;
        info->sampleRate = object.sourceRate;
    }
    return code;
}

REXSTUB_EXPORT std::int32_t REXGetCreatorInfo(REXHandle handle, std::int32_t infoSize, REXCreatorInfo* info) {
    const Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (infoSize != static_cast<std::int32_t>(sizeof(REXCreatorInfo)) || info == nullptr)
        return kRexInvalidSize;
    if (!object->hasCreator)
        return kRexNoCreatorInfo;
    *info = object->creator;
    return kRexOk;
}

REXSTUB_EXPORT std::int32_t REXGetSliceInfo(REXHandle handle, std::int32_t slice, std::int32_t infoSize,
                                            REXSliceInfo* info) {
    const Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (infoSize != static_cast<std::int32_t>(sizeof(REXSliceInfo)) || info == nullptr)
        return kRexInvalidSize;
    if (slice < 0 || slice >= object->info.sliceCount)
        return kRexInvalidSlice;
    info->ppqPosition = object->slices[slice].ppqPosition;
    info->sampleLength = object->outputFrames(object->slices[slice]);
    return kRexOk;
}

REXSTUB_EXPORT std::int32_t REXSetOutputSampleRate(REXHandle handle, std::int32_t rate) {
    Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (object->previewing)
        return kRexIsBeingPreviewed;
    if (rate < 11025 || rate > 1000000)
        return kRexInvalidSampleRate;
    object->outputRate = rate;
    return kRexOk;
}

REXSTUB_EXPORT std::int32_t REXRenderSlice(REXHandle handle, std::int32_t slice, std::int32_t frames,
                                           float* outputs[2]) {
    const Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (slice < 0 || slice >= object->info.sliceCount)
        return kRexInvalidSlice;
    if (outputs == nullptr)
        return kRexInvalidArgument;
    const Slice& s = object->slices[slice];
    if (s.failsToRender)
        return kRexUndefinedError;
    const std::int32_t length = object->outputFrames(s);
    if (frames < length)
        return kRexBufferTooSmall;
    for (std::int32_t c = 0; c < object->info.channels; ++c) {
        if (outputs[c] == nullptr)
            return kRexInvalidArgument;
        std::fill_n(outputs[c], length, s.level / static_cast<float>(c + 1));
    }
    return kRexOk;
}

REXSTUB_EXPORT std::int32_t REXStartPreview(REXHandle handle) {
    Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (object->previewing)
        return kRexIsBeingPreviewed;
    object->previewing = true;
    return kRexOk;
}

REXSTUB_EXPORT std::int32_t REXStopPreview(REXHandle handle) {
    Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (!object->previewing)
        return kRexNotBeingPreviewed;
    object->previewing = false;
    return kRexOk;
}

REXSTUB_EXPORT std::int32_t REXRenderPreviewBatch(REXHandle handle, std::int32_t frames, float* outputs[2]) {
    const Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (!object->previewing)
        return kRexNotBeingPreviewed;
    if (outputs == nullptr || frames < 0)
        return kRexInvalidArgument;
    for (std::int32_t c = 0; c < object->info.channels; ++c)
        if (outputs[c] != nullptr)
            std::fill_n(outputs[c], frames, 0.0f);
    return kRexOk;
}

#ifndef REXSTUB_WITHOUT_PREVIEW_TEMPO
REXSTUB_EXPORT std::int32_t REXSetPreviewTempo(REXHandle handle, std::int32_t tempo) {
    Object* object = find(handle);
    if (object == nullptr)
        return kRexInvalidHandle;
    if (tempo < 20000 || tempo > 450000)
        return kRexInvalidTempo;
    object->previewTempo = tempo;
    return kRexOk;
}
#endif
