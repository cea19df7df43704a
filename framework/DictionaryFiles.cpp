// Loading and saving dictionary documents as files.
#include "framework/Dictionary.h"

#include "framework/DictionaryXml.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "platform/FileReplacement.h"

#include <cstdint>
#include <fstream>
#include <utility>

namespace trov {

namespace {

// What the XML library's file loader does before parsing: CR LF and lone CR become LF.
void normalizeNewlines(std::string& text) {
    std::size_t out = 0;
    for (std::size_t in = 0; in < text.size(); ++in) {
        if (text[in] == '\r') {
            text[out++] = '\n';
            if (in + 1 < text.size() && text[in + 1] == '\n')
                ++in;
        } else {
            text[out++] = text[in];
        }
    }
    text.resize(out);
}

// The reason it cannot, or empty.
std::string readWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "it cannot be opened";
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return "it cannot be read";
    if (static_cast<std::uint64_t>(size) > dictionary_xml::kMaxTextBytes)
        return "it is larger than any document";
    in.seekg(0, std::ios::beg);
    // Room for the parser's padding, so that the text is parsed where it lies.
    text.reserve(static_cast<std::size_t>(size) + dictionary_xml::kPadding);
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), size);
    return in.gcount() == size ? std::string() : std::string("it cannot be read");
}

// Writes beside the target and renames over it, so that a failed save never leaves a cut-off document.
bool writeFileAtomically(const std::string& path, const std::string& text) {
    platform::FileReplacement file(path);
    return file.write(text.data(), text.size()) && file.commit();
}

} // namespace

Dictionary::Dictionary(const File& file) : Dictionary() {
    load(file);
}

bool Dictionary::load(const File& file, std::string* problem) {
    static const char* const where = "bool trov::Dictionary::load(const trov::File&)";
    if (!file.exists()) {
        if (problem != nullptr)
            *problem = "it does not exist";
        return false;
    }
    // Checked before opening: opening a pipe would wait for a writer, and a device may never end.
    std::string text;
    const std::string unread = file.isRegularFile() ? readWholeFile(file.getPath(), text)
                                                    : std::string("it is ") + File::kNotRegularText;
    if (!unread.empty()) {
        logLine(3, "%s: cannot read %s: %s", where, file.getPath().c_str(), unread.c_str());
        if (problem != nullptr)
            *problem = unread;
        clear();
        return false;
    }
    normalizeNewlines(text);
    return readDocument(std::move(text), where, problem);
}

bool Dictionary::save(const File& file) const {
    return document_ != nullptr && writeFileAtomically(file.getPath(), toDocumentText());
}

} // namespace trov
