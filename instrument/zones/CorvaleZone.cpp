#include "instrument/zones/CorvaleZone.h"

#include "framework/Message.h"
#include "instrument/InstrumentKeys.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <string_view>
#include <utility>
#include <vector>

namespace trov {

namespace {

const char* const kParametersKey = "parameters";

// The zone's own values child; added when a document left it out.
Dictionary::View valuesOf(const Dictionary& dictionary) {
    Dictionary::View values = dictionary.getDictionary(kParametersKey);
    if (!values)
        values = const_cast<Dictionary&>(dictionary).addDictionary(kParametersKey);
    return values;
}

} // namespace

CorvaleZone::CorvaleZone(ZoneManager* manager, Radio* parent, const KeyRange& range,
                         const std::string& sampleName)
    : Zone(manager, parent, range, sampleName) {
    fillFromSample();
}

void CorvaleZone::storeLong(const char* name, std::int32_t value) {
    const Dictionary::View values = valuesOf(getDictionary());
    // A value the zone's document holds stays as the document has it.
    if (isReadingDocument() && values && values->findEntry(name))
        return;
    if (values)
        values->setInteger(name, value);
    publishValues();
    setParameterLong(name, value, Sender::kDocument);
}

void CorvaleZone::storeBool(const char* name, bool value) {
    const Dictionary::View values = valuesOf(getDictionary());
    if (isReadingDocument() && values && values->findEntry(name))
        return;
    if (values)
        values->setBool(name, value);
    publishValues();
    setParameterBool(name, value, Sender::kDocument);
}

void CorvaleZone::fillFromSample() {
    // While a document is read, its loops, slices and switches are the zone's: the sample only supplies
    // the values the document lacks, and the shared sample's own loop is left alone.
    const bool document = isReadingDocument();
    const bool loopWasOn = getParameterBool(keys::kSampleLoopOn);
    const bool slicedWasOn = getParameterBool(keys::kSampleSliced);
    if (!document) {
        setFirstLoop(Loop{});
        setSlices({});
    }
    Sample* sample = getSample();
    if (sample == nullptr) {
        if (document)
            return;
        if (const Dictionary::View values = valuesOf(getDictionary()))
            for (const char* key : {keys::kSampleLoopOn, keys::kSampleNormalize, keys::kSampleSliced})
                values->setBool(key, false);
        publishValues();
        return;
    }
    storeLong(keys::kSampleStart, sample->getStart());
    storeLong(keys::kSampleEnd, sample->getEnd());
    storeLong(keys::kSampleDisplayStart, sample->getStart());
    storeLong(keys::kSampleDisplayEnd, sample->getEnd());
    // The zone transposes by semitones and fine-tunes by cents; the sample's own detune is cents, so it
    // becomes the fine value and the coarse one starts at 0.
    storeLong(keys::kSampleDetuneCoarse, 0);
    storeLong(keys::kSampleDetuneFine, sample->getDetune());
    const KeyRange range = getKeyRange();
    const std::int32_t root = sample->getRootNote();
    storeLong(keys::kWaveRootNote, root != 0 ? root : (range.low + range.high) / 2);
    // A sample without a loop gets one that is off. The zone takes the loop as the sample fits it, which is
    // what a zone read back from a document fits it to again: its values read back as they were written.
    const bool hasLoop = sample->hasLoop();
    Loop loop = hasLoop ? sample->getLoop() : Loop{};
    const bool on = hasLoop && (loop.mode != kLoopOff || loopWasOn);
    storeBool(keys::kSampleLoopOn, on);
    if (!document) {
        loop.mode = on ? kLoopInRelease : kLoopOff;
        sample->setLoop(loop);
        setFirstLoop(sample->getLoop());
    }
    // The loop's positions as the zone plays them, so a saved zone already holds what loading it again
    // would write.
    storeLong(keys::kSampleLoopStart, getLoop().start);
    storeLong(keys::kSampleLoopEnd, getLoop().end);
    if (!document) {
        std::vector<Slice> slices;
        for (int i = 0; i < sample->getSliceCount(); ++i)
            slices.push_back(sample->getSlice(i));
        setSlices(std::move(slices));
    }
    storeBool(keys::kSampleSliced, sample->getSliceCount() > 1 && slicedWasOn);
    storeBool(keys::kSampleNormalize, false);
}

void CorvaleZone::publishSample() {
    if (Settings* settings = getSettings())
        settings->setString(keys::kCurrentSample, getSample() != nullptr ? getSampleName() : std::string(),
                            Sender::kSettings);
}

void CorvaleZone::updateParameters() {
    Zone::updateParameters();
    publishSample();
}

void CorvaleZone::setSample(const std::string& name) {
    Zone::setSample(name);
    fillFromSample();
    publishSample();
}

void CorvaleZone::releaseSample() {
    Zone::releaseSample();
    publishSample();
}

void CorvaleZone::activate(const Loop& loop) {
    Zone::activate(loop);
    publishSample();
}

void CorvaleZone::setLoopEnabled(int mode) {
    Zone::setLoopEnabled(mode);
    publishSample();
}

void CorvaleZone::reverse() {
    // The positions before the sample is processed: processing writes its own back into the values.
    const std::int32_t start = getParameterLong(keys::kSampleStart);
    const std::int32_t end = getParameterLong(keys::kSampleEnd);
    Loop loop = getLoop();
    std::vector<Slice> slices;
    for (int i = getSliceCount() - 1; i >= 0; --i) {
        const Slice slice = getSlice(i);
        slices.push_back(slice);
    }
    // A reversed copy that did not fit leaves the zone as it was.
    const Sample* sample = prepareSample() ? getSample() : nullptr;
    if (sample == nullptr)
        return;
    const std::int32_t n = sample->getInfo().frames;
    storeLong(keys::kSampleStart, n - end);
    storeLong(keys::kSampleEnd, n - start);
    const std::int32_t loopStart = loop.start;
    loop.start = n - loop.end;
    loop.end = n - loopStart;
    setFirstLoop(loop);
    for (Slice& slice : slices)
        slice = Slice{n - slice.end, n - slice.start};
    setSlices(std::move(slices));
}

bool CorvaleZone::receive(const Message& message) {
    const bool handled = Zone::receive(message);
    if (message.kind != kKindParameter || message.code != Code::kParameterValue)
        return handled;
    const auto* change = dynamic_cast<const ParameterMessage*>(&message);
    if (change == nullptr || getSample() == nullptr)
        return true;
    const std::string_view name = change->name;
    if (name == keys::kSampleLoopOn)
        setLoopEnabled(message.extra != 0 ? kLoopInRelease : kLoopOff);
    else if (name == keys::kSampleReverse)
        reverse();
    // A loop rendered for the tempo depends on its transposition too.
    else if ((name == keys::kSampleNormalize && change->flags == Sender::kEditor) ||
             name == keys::kSampleInvertPhase ||
             (name == keys::kSampleDetuneCoarse && getRenderedTempo() > 0.0))
        prepareSample();
    return true;
}

} // namespace trov
