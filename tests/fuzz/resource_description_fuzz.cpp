// fuzz-links: trov_engine
// Reads arbitrary text as the resource description (from a file, as at start-up) and as the "samples" of
// a state document, asks for every bitmap it names and saves the samples again. Nothing may crash, and
// every saved item must name a sample the resources hold, or be a skipped sample's item, kept without
// audio unless its audio could not be read.
#include "engine/samples/Sample.h"
#include "engine/zones/Resources.h"
#include "framework/Dictionary.h"
#include "framework/File.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

bool audioUnreadable(const trov::Dictionary& item) {
    trov::Sample probe(nullptr);
    try {
        probe.fromDictionary(item);
    } catch (const std::exception&) {
        return true;
    }
    return false;
}

const std::string& descriptionPath() {
    static const std::string path = trov::fuzz::ScratchFolder::path() + "/resources.xml";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::ofstream(descriptionPath(), std::ios::binary | std::ios::trunc) << text;

    trov::Resources resources;
    if (!resources.load(trov::File(descriptionPath())).failed()) {
        const trov::Dictionary description{trov::File(descriptionPath())};
        if (const trov::Dictionary::View bitmaps = description.getDictionary("bitmaps"))
            for (int i = 0; i < bitmaps->count("") && i < 64; ++i)
                if (const trov::Dictionary::View item = bitmaps->getChild(i, ""))
                    resources.releaseBitmap(resources.getBitmap(item->getName()));
    }
    resources.readDocumentSamples(trov::Dictionary(text));
    trov::Dictionary saved;
    resources.saveSamples(saved, true);
    const trov::Dictionary::View items = saved.getArray("samples");
    for (int i = 0; items && i < items->count(""); ++i) {
        std::string id;
        const trov::Dictionary::View item = items->getChild(i, "");
        item->getString("id", &id);
        check(resources.findSample(id) != nullptr || !item->findEntry("sampledata") ||
              audioUnreadable(*item));
    }
    resources.retainAll();
    resources.purgeUnused();
    return 0;
}
