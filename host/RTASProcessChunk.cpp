#include "framework/Dictionary.h"
#include "framework/EditorServices.h"
#include "framework/Logger.h"
#include "framework/System.h"
#include "host/RTASProcess.h"
#include "instance/Plugin.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <cstring>

namespace trov {

namespace {

void putWord(std::uint8_t* at, std::uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

std::uint32_t getWord(const std::uint8_t* at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// A length byte and at most 31 characters, the rest zero.
void putLengthPrefixed(std::uint8_t (&out)[32], const std::string& text) {
    std::memset(out, 0, sizeof out);
    const std::size_t n = std::min<std::size_t>(text.size(), 31);
    out[0] = static_cast<std::uint8_t>(n);
    std::memcpy(out + 1, text.data(), n);
}

std::string identityName(const PluginInfo& info) {
    return info.getMakerName() + " " + info.getName();
}

// A chunk's text is usable when it parses into a document with its "dict" root.
bool parseChunkText(const std::string& text, Dictionary& document) {
    return document.parse(text) && document.hasElement() && document.getName() == "dict";
}

const NativeWindow* windowOf(const EditorInterface* editor) {
    return editor != nullptr ? editor->getWindow() : nullptr;
}

} // namespace

std::string RTASProcess::buildChunkText() const {
    const PluginInfo* info = getPluginInfo();
    if (plugin_ == nullptr || info == nullptr)
        return std::string();
    Dictionary document;
    document.writeInfo(info->getName(), info->getVersionString());
    const Version format = info->getFileFormatVersion();
    document.setString("file-format", std::to_string(format.getPart(0)) + "." +
                                          std::to_string(format.getPart(1)) + "." +
                                          std::to_string(format.getPart(2)));
    plugin_->writeProgram(document);
    std::string text;
    document.toText(text);
    return text;
}

std::int32_t RTASProcess::GetNumChunks(std::int32_t& count) {
    count = 1;
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::GetChunkIDFromIndex(std::int32_t index, std::uint32_t& id) {
    if (index == 1)
        id = kChunkId;
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::GetChunkName(std::uint32_t id, std::uint8_t (&name)[32]) {
    if (const PluginInfo* info = getPluginInfo(); info != nullptr && id == kChunkId)
        putLengthPrefixed(name, identityName(*info) + " " + std::to_string(id));
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::GetChunkSize(std::uint32_t id, std::int32_t& size) {
    if (id != kChunkId)
        return hostsdk::kResultOk;
    std::string text = buildChunkText();
    if (text.size() > static_cast<std::size_t>(INT32_MAX - kHeaderSize))
        return hostsdk::kResultFailed;
    size = kHeaderSize + static_cast<std::int32_t>(text.size());
    // The host sizes its buffer by this answer: the following get hands out this very text.
    sizedChunk_ = std::move(text);
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::GetChunk(std::uint32_t id, std::uint8_t* chunk, std::int32_t length) {
    const PluginInfo* info = getPluginInfo();
    if (id != kChunkId || info == nullptr)
        return hostsdk::kResultOk;
    std::string text = sizedChunk_.has_value() ? std::move(*sizedChunk_) : buildChunkText();
    sizedChunk_.reset();
    const std::size_t total = kHeaderSize + text.size();
    if (length < 0 || total > static_cast<std::size_t>(length)) {
        logLine(3, "chunk of %zu bytes refused: the host's buffer holds %d", total, length);
        return hostsdk::kResultFailed;
    }
    putWord(chunk, static_cast<std::uint32_t>(total));
    putWord(chunk + 4, static_cast<std::uint32_t>(info->getChunkVersion()));
    putWord(chunk + 8, info->getMakerCode());
    putWord(chunk + 12, info->getProductCode());
    putWord(chunk + 16, info->getProductCode());
    putWord(chunk + 20, kChunkId);
    std::uint8_t name[32];
    putLengthPrefixed(name, GetChunkNameDeclared());
    std::memcpy(chunk + 24, name, sizeof name);
    std::copy(text.begin(), text.end(), chunk + kHeaderSize); // no terminator: the header holds the size
    return hostsdk::kResultOk;
}

bool RTASProcess::acceptChunk(const std::uint8_t* chunk, std::int32_t length, std::string& text) const {
    const PluginInfo* info = getPluginInfo();
    if (info == nullptr || chunk == nullptr || length < kHeaderSize)
        return false;
    const std::uint32_t size = getWord(chunk);
    if (size < static_cast<std::uint32_t>(kHeaderSize) || size > static_cast<std::uint32_t>(length))
        return false;
    if (static_cast<std::int32_t>(getWord(chunk + 4)) != info->getChunkVersion() ||
        getWord(chunk + 12) != info->getProductCode())
        return false;
    text.assign(reinterpret_cast<const char*>(chunk + kHeaderSize), size - kHeaderSize);
    return true;
}

std::int32_t RTASProcess::SetChunk(std::uint32_t id, const std::uint8_t* chunk, std::int32_t length) {
    std::string text;
    if (id != kChunkId || !acceptChunk(chunk, length, text))
        return hostsdk::kResultOk;
    Dictionary document;
    // A text larger than any patch is refused before it is parsed: parsing costs several times the text.
    std::string refusal = Plugin::documentSizeRefusal(text.size());
    if (refusal.empty()) {
        if (!parseChunkText(text, document))
            refusal = "The saved state could not be read.";
        else if (!document.checkCompatibility(refusal) && refusal.empty())
            refusal = "The saved state does not belong to this product.";
    }
    if (!refusal.empty()) {
        showErrorMessage(Plugin::refusalText(refusal), windowOf(getEditor()));
        return hostsdk::kResultOk;
    }
    if (plugin_ != nullptr) {
        // The instance announces the new program; this change is counted once, below.
        settingChunk_ = true;
        bool read = false;
        try {
            read = plugin_->readProgram(document);
        } catch (...) {
            settingChunk_ = false;
            throw;
        }
        settingChunk_ = false;
        // Refused: the user is told, and nothing changed.
        if (!read)
            return hostsdk::kResultOk;
    }
    const std::int32_t changes = changeCounter_.fetch_add(1, std::memory_order_relaxed) + 1;
    logLine(0, "chunk set with %d changes", changes);
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::CompareActiveChunk(const std::uint8_t* chunk, std::int32_t length, bool& equal) {
    std::string text;
    if (!acceptChunk(chunk, length, text))
        return hostsdk::kResultOk;
    Dictionary theirs;
    if (!parseChunkText(text, theirs))
        return hostsdk::kResultOk;
    const Dictionary ours(buildChunkText());
    equal = ours == theirs;
    logLine(0, "chunks are %s", equal ? "identical" : "not identical");
    return hostsdk::kResultOk;
}

std::int32_t RTASProcess::GetChangeCount(std::int32_t& changes) {
    changes = changeCounter_.load(std::memory_order_relaxed);
    logLine(0, "%d changes", changes);
    return hostsdk::kResultOk;
}

} // namespace trov
