// How a zone travels in program documents: "id", "min", "max", "parameters", "loops" and "slices".
#include "engine/zones/Zone.h"

#include "framework/SharedObject.h"
#include "plugin/Parameter.h"
#include "plugin/ParameterValue.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace trov {

namespace {

const char* const kParametersKey = "parameters";
// Attributes a value entry carries besides its name.
const char* const kEntryAttributes[] = {"value", "index", "display"};

std::int32_t loopModeOf(const std::string& word) {
    if (word == "until-release")
        return Zone::kLoopUntilRelease;
    if (word == "in-release")
        return Zone::kLoopInRelease;
    return Zone::kLoopOff;
}

const char* loopWordOf(std::int32_t mode) {
    switch (mode) {
    case Zone::kLoopUntilRelease:
        return "until-release";
    case Zone::kLoopInRelease:
        return "in-release";
    default:
        return "off";
    }
}

std::int16_t keyOf(int value) {
    return static_cast<std::int16_t>(std::clamp<int>(value, std::numeric_limits<std::int16_t>::min(),
                                                     std::numeric_limits<std::int16_t>::max()));
}

// The items of an array that are elements (stray text and comments are no items).
template <class Visit> void forEachItem(const Dictionary& dictionary, const std::string& key, Visit visit) {
    if (const Dictionary::View array = dictionary.getArray(key))
        array->forEachChild("", [&visit](const Dictionary& item) {
            if (item.hasElement())
                visit(item);
        });
}

} // namespace

void Zone::fromDictionary(const Dictionary& dictionary) {
    const PublishOnExit publishing(*this);
    // Held through the reading, so a document naming the sample the zone plays finds it still loaded.
    if (shared_ != nullptr)
        shared_->retain();
    const SharedObjectPtr<Sample> previous(shared_);
    releaseSample();
    dictionary_.clear();
    int low = 0;
    int high = 0;
    std::string id;
    const bool hasLow = dictionary.getInteger("min", &low);
    const bool hasHigh = dictionary.getInteger("max", &high);
    const bool hasId = dictionary.getString("id", &id);
    if (!hasLow || !hasHigh || !hasId)
        return;
    storeKeyRange(KeyRange(keyOf(low), keyOf(high)));
    // The document's values come first: taking the sample then only supplies what the document leaves
    // out, so a saved zone reads back as it was saved.
    Dictionary::View values = dictionary.getDictionary(kParametersKey);
    if (!values)
        values = dictionary.getDictionary("settings");
    if (values)
        readParameters(*values);
    else
        dictionary_.addDictionary(kParametersKey);
    clampStoredValues();
    {
        const DocumentScope reading(readingDocument_);
        setSample(id);
    }

    loops_.clear();
    forEachItem(dictionary, "loops", [this](const Dictionary& item) {
        Loop loop;
        item.getInteger("start", &loop.start);
        item.getInteger("end", &loop.end);
        std::string word;
        if (item.getString("mode", &word))
            loop.mode = loopModeOf(word);
        loops_.push_back(loop);
    });
    slices_.clear();
    forEachItem(dictionary, "slices", [this](const Dictionary& item) {
        Slice slice;
        item.getInteger("start", &slice.start);
        item.getInteger("end", &slice.end);
        slices_.push_back(slice);
    });
    prepareSample();
}

void Zone::readParameters(const Dictionary& values) {
    if (!values.readsTypedLayout()) {
        // The entries only: nothing else of the document's values belongs to the zone.
        if (const Dictionary::View target = dictionary_.addDictionary(kParametersKey))
            values.forEachChild("", [&target](const Dictionary& item) {
                if (item.hasElement())
                    target->appendChild(item);
            });
        return;
    }
    // Older documents name each entry by an attribute; the zone keeps the key-named layout it writes, so a
    // document read in the old layout is saved without losing its values.
    const Dictionary::View target = dictionary_.addDictionary(kParametersKey);
    if (!target)
        return;
    values.forEachChild("", [&target](const Dictionary& item) {
        if (!item.hasElement())
            return;
        const Dictionary::View entry = target->addDictionary(item.getName());
        if (!entry)
            return;
        for (const char* attribute : kEntryAttributes) {
            const std::string text = item.getAttribute(attribute);
            if (!text.empty())
                entry->setAttribute("", attribute, text);
        }
        item.forEachChild("", [&entry](const Dictionary& child) { entry->appendChild(child); });
    });
}

void Zone::clampStoredValues() {
    Settings* settings = getSettings();
    const Dictionary::View values = dictionary_.getDictionary(kParametersKey);
    if (settings == nullptr || !values)
        return;
    // Look-ups by name find the first entry of a name, wherever it stands: each name is clamped once, so
    // that many entries of one name cost no walk each.
    std::set<std::string> clamped;
    values->forEachChild("", [&](const Dictionary& item) {
        if (!item.hasElement())
            return;
        const std::string name = item.getName();
        if (!clamped.insert(name).second)
            return;
        const Parameter* parameter = settings->getParameter(name, 0);
        if (parameter == nullptr || parameter->getScope() != Parameter::kScopeZone)
            return;
        if (const auto* whole = dynamic_cast<const ParameterValue<long>*>(parameter)) {
            std::int32_t value = 0;
            if (values->getLong(name, &value)) {
                const auto held = static_cast<std::int32_t>(
                    std::clamp<long>(value, std::min(whole->getMin(), whole->getMax()), whole->getMax()));
                if (held != value)
                    values->setInteger(name, held);
            }
        } else if (const auto* real = dynamic_cast<const ParameterValue<float>*>(parameter)) {
            float value = 0.0f;
            if (values->getFloat(name, &value)) {
                const float held =
                    std::isfinite(value)
                        ? std::clamp(value, std::min(real->getMin(), real->getMax()), real->getMax())
                        : real->getDefault();
                if (held != value)
                    values->setFloat(name, held);
            }
        }
    });
}

void Zone::toDictionary(Dictionary& dictionary) const {
    const KeyRange range = getKeyRange();
    dictionary.setString("id", sampleName_);
    dictionary.setInteger("min", range.low);
    dictionary.setInteger("max", range.high);
    if (const Dictionary::View values = dictionary_.getDictionary(kParametersKey))
        dictionary.appendChild(*values);
    if (const Dictionary::View loops = dictionary.addArray("loops")) {
        for (const Loop& loop : loops_) {
            const Dictionary::View item = loops->addDictionary("loop");
            item->setInteger("start", loop.start);
            item->setInteger("end", loop.end);
            item->setString("mode", loopWordOf(loop.mode));
        }
    }
    if (const Dictionary::View slices = dictionary.addArray("slices")) {
        for (const Slice& slice : slices_) {
            const Dictionary::View item = slices->addDictionary("slice");
            item->setInteger("start", slice.start);
            item->setInteger("end", slice.end);
        }
    }
}

} // namespace trov
