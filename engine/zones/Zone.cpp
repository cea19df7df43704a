#include "engine/zones/Zone.h"

#include "engine/modules/Module.h"
#include "engine/notes/Note.h"
#include "engine/samples/RexTempoSource.h"
#include "engine/samples/SampleREX.h"
#include "engine/zones/Resources.h"
#include "engine/zones/ZoneManager.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "framework/Message.h"
#include "framework/System.h"
#include "plugin/Parameter.h"
#include "plugin/Settings.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace trov {

namespace {

// A file dropped on a control: the extra word points to its path text.
constexpr std::int32_t kDropFile = 3021;

const char* const kParametersKey = "parameters";

// The REX library is used by one thread at a time, and copies of one loop share its object.
std::mutex& loopRenderMutex() {
    static std::mutex mutex;
    return mutex;
}

const SampleREX* asLoop(const Sample* sample) {
    return dynamic_cast<const SampleREX*>(sample);
}

// A loop plays for the tempo slowed or hurried by the transposition: an octave up renders at half the tempo.
double loopTempo(double tempo, std::int32_t semitones) {
    return tempo / pitchRatio(static_cast<float>(semitones), 0.0f);
}

// The copy of a sample that zones play processed (normalized, reversed, inverted): one for each sample and
// processing, process-wide, whichever zones of whichever programs and instances play it, so a bank of many
// zones processing one sample alike holds one copy of it. Listed while anybody holds it; it holds the
// sample it was made from, so that no other sample made at the same address later finds it.
class ProcessedSample : public Sample {
public:
    using Key = std::pair<const Sample*, std::uint32_t>;

    // With one reference for the caller; the same copy for everyone asking alike while it lives. Null when
    // memory is short for the copy.
    static Sample* acquire(Sample& source, std::uint32_t processing) {
        const Key key(&source, processing);
        {
            const std::lock_guard guard(mutex());
            if (const auto found = copies().find(key); found != copies().end()) {
                found->second->retain();
                return found->second;
            }
        }
        // Made outside the lock: copying and processing a long sample takes a while.
        ProcessedSample* made = nullptr;
        try {
            made = new ProcessedSample(source, processing);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        // A copy whose values did not fit holds none.
        if (made->getData() == nullptr && source.getData() != nullptr) {
            made->release();
            return nullptr;
        }
        Sample* taken = made;
        {
            const std::lock_guard guard(mutex());
            const auto [listed, added] = copies().emplace(key, made);
            if (!added) {
                listed->second->retain();
                taken = listed->second;
            }
        }
        // Another thread listed the same copy meanwhile.
        if (taken != made)
            made->release();
        return taken;
    }

    ProcessedSample(const ProcessedSample&) = delete;
    ProcessedSample& operator=(const ProcessedSample&) = delete;
    ~ProcessedSample() override { source_->release(); }

    // The last holder takes the copy off the list under the list's lock, so nobody finds it meanwhile.
    std::int32_t release() override {
        const std::lock_guard guard(mutex());
        if (getReferenceCount() == 1)
            if (const auto listed = copies().find(key_); listed != copies().end() && listed->second == this)
                copies().erase(listed);
        return Sample::release();
    }

    static std::vector<Zone::SharedCopy> list() {
        const std::lock_guard guard(mutex());
        std::vector<Zone::SharedCopy> listed;
        for (const auto& [key, copy] : copies()) {
            listed.push_back(
                {copy, key.first, key.second, copy->heldValueCount(), copy->getReferenceCount()});
        }
        return listed;
    }

private:
    ProcessedSample(Sample& source, std::uint32_t processing)
        : Sample(source), key_(&source, processing), source_(&source) {
        source.retain();
        applyProcessing(processing);
    }

    // Copies may be let go while the process ends: the list is never destroyed.
    static std::mutex& mutex() {
        static auto* const mutex = new std::mutex;
        return *mutex;
    }
    static std::map<Key, ProcessedSample*>& copies() {
        static auto* const copies = new std::map<Key, ProcessedSample*>;
        return *copies;
    }

    const Key key_;
    Sample* const source_; // one reference
};

// A zone's values as the sample reader takes them. The instrument keeps no sample data among a zone's
// values: entries of that kind, kept as read (and written back so), are not decoded, which would cost what
// no limit of a document counts. A copy without them only when there are any.
const Dictionary& readableValues(const Dictionary& values, Dictionary& withoutData) {
    const auto isData = [](const std::string& name) { return name == Sample::kDataKey || name == "samples"; };
    if (!values.findEntry(Sample::kDataKey) && !values.findEntry("samples"))
        return values;
    values.forEachChild("", [&](const Dictionary& entry) {
        if (entry.hasElement() && !isData(entry.getName()))
            withoutData.appendChild(entry);
    });
    return withoutData;
}

} // namespace

std::vector<Zone::SharedCopy> Zone::sharedCopies() {
    return ProcessedSample::list();
}

bool Zone::holdSharedCopy(Sample& source, std::uint32_t processing, SharedObjectPtr<Sample>& held) {
    if (processing == 0 || asLoop(&source) != nullptr)
        return true;
    Sample* copy = ProcessedSample::acquire(source, processing);
    held = SharedObjectPtr<Sample>(copy);
    return copy != nullptr;
}

std::uint64_t Zone::sharedCopyValues(const Sample& source) {
    return asLoop(&source) != nullptr ? 0 : source.heldValueCount();
}

std::string Zone::copyRefusal(const Sample& source, const std::string& name) {
    return "the copy of the sample " + name + " that its zones play normalized, reversed or inverted (" +
           std::to_string(source.heldValueCount()) + " values) does not fit in memory";
}

Zone::Zone(ZoneManager* manager, Radio* parent, const KeyRange& range, const std::string& sampleName)
    : Radio(parent != nullptr ? parent->getOwner() : nullptr), manager_(manager),
      range_(pack(range)), loops_{Loop{}} {
    const PublishOnExit publishing(*this);
    if (Settings* settings = getSettings())
        settings->saveParameters(dictionary_, Parameter::kScopeZone);
    else
        dictionary_.addDictionary(kParametersKey);
    setSample(sampleName);
}

// A copy is a new zone with its own reference count, so the count is not copied.
Zone::Zone(const Zone& other) // NOLINT(bugprone-copy-constructor-init)
    : Radio(other), SharedObject(), manager_(other.getManager()), range_(pack(other.getKeyRange())),
      sampleName_(other.sampleName_), loops_(other.loops_), slices_(other.slices_) {
    const PublishOnExit publishing(*this);
    dictionary_.copyFrom(other.dictionary_);
    takeSampleOf(other);
}

Zone& Zone::operator=(const Zone& other) {
    if (this == &other)
        return *this;
    const PublishOnExit publishing(*this);
    dropSample();
    dictionary_.copyFrom(other.dictionary_);
    loops_ = other.loops_;
    slices_ = other.slices_;
    setManager(other.getManager());
    storeKeyRange(other.getKeyRange());
    sampleName_ = other.sampleName_;
    takeSampleOf(other);
    return *this;
}

Zone::~Zone() {
    dropSample();
    // The last holder is gone: no voice reads any of them.
    for (Sample* sample : retired_)
        sample->release();
}

void Zone::takeSampleOf(const Zone& other) {
    // The other zone's hold on the resources' sample is repeated rather than looked up again by name, so a
    // copy never loads a file.
    if (other.shared_ != nullptr) {
        other.shared_->retain();
        shared_ = other.shared_;
    }
    if (other.ownsPrivateCopy_ && other.sample_ != nullptr) {
        other.sample_->retain();
        sample_ = other.sample_;
        ownsPrivateCopy_ = true;
    } else {
        sample_ = shared_;
        ownsPrivateCopy_ = false;
    }
}

void Zone::dropSample() {
    std::lock_guard guard(sampleMutex_);
    const PublishOnExit publishing(*this);
    Sample* privateCopy = ownsPrivateCopy_ ? sample_ : nullptr;
    Sample* shared = shared_;
    sample_ = nullptr;
    shared_ = nullptr;
    ownsPrivateCopy_ = false;
    if (privateCopy != nullptr)
        retire(privateCopy);
    if (shared == nullptr)
        return;
    if (Resources* resources = getResources())
        resources->releaseSample(shared);
    else
        shared->release();
}

void Zone::retire(Sample* sample) {
    retired_.push_back(sample);
}

void Zone::pruneRetired(std::int32_t holders) {
    if (retired_.empty() || getReferenceCount() > holders)
        return;
    for (Sample* sample : retired_)
        sample->release();
    retired_.clear();
}

int Zone::getRetiredCount() const {
    std::lock_guard guard(sampleMutex_);
    return static_cast<int>(retired_.size());
}

double Zone::getRenderedTempo() const {
    std::lock_guard guard(sampleMutex_);
    const SampleREX* loop = asLoop(sample_);
    return loop != nullptr ? loop->getRenderedTempo() : 0.0;
}

bool Zone::followTempo(double tempo) {
    if (!(tempo > 0.0) || !std::isfinite(tempo))
        return false;
    Sample* source = nullptr;
    Sample* copy = nullptr;
    double wanted = 0.0;
    {
        std::lock_guard guard(sampleMutex_);
        const SampleREX* loop = asLoop(sample_);
        if (loop == nullptr)
            return false;
        wanted = loopTempo(tempo, getParameterLong("SampleDetuneCoarse"));
        if (loop->getRenderedTempo() == wanted)
            return false;
        source = sample_;
        copy = sample_->clone();
    }
    bool rendered = false;
    {
        std::lock_guard render(loopRenderMutex());
        rendered = copy->render(wanted);
    }
    std::lock_guard guard(sampleMutex_);
    // A failed render keeps what plays; a sample changed meanwhile was rendered for the tempo of then.
    if (!rendered || sample_ != source) {
        copy->release();
        return false;
    }
    if (ownsPrivateCopy_)
        retire(sample_);
    sample_ = copy;
    ownsPrivateCopy_ = true;
    // The cut points moved with the tempo; the list keeps its size, so a note reading it meanwhile reads
    // no freed memory.
    if (copy->getSliceCount() == static_cast<int>(slices_.size()))
        for (std::size_t i = 0; i < slices_.size(); ++i)
            slices_[i] = copy->getSlice(static_cast<int>(i));
    // Notes find the new copy before anything retired can go.
    publishSample();
    // The manager's hold and the caller's.
    pruneRetired(2);
    return true;
}

void Zone::releaseSample() {
    dropSample();
    sampleName_ = Resources::createId();
}

void Zone::setSample(const std::string& name) {
    // The new sample is taken before the old one goes back, so setting the sample the zone already plays
    // never drops it from the resources in between.
    Resources* resources = getResources();
    Sample* next = resources != nullptr && !name.empty() ? resources->acquireSample(name, File()) : nullptr;
    releaseSample();
    std::lock_guard guard(sampleMutex_);
    const PublishOnExit publishing(*this);
    sampleName_ = name;
    shared_ = next;
    sample_ = next;
    if (sample_ != nullptr)
        sample_->setOwner(getOwner());
}

void Zone::updateParameters() {
    if (Settings* settings = getSettings())
        settings->loadParameters(dictionary_, Parameter::kScopeZone);
}

void Zone::storeParameters() {
    Settings* settings = getSettings();
    if (settings == nullptr)
        return;
    // The tempo worker reads the transposition.
    std::lock_guard guard(sampleMutex_);
    const PublishOnExit publishing(*this);
    if (const Dictionary::View values = storedValues())
        settings->writeParameters(*values, Parameter::kScopeZone);
}

Dictionary::View Zone::storedValues() {
    Dictionary::View values = dictionary_.getDictionary(kParametersKey);
    if (!values)
        values = dictionary_.addDictionary(kParametersKey);
    return values;
}

void Zone::publishLoopState() {
    Settings* settings = getSettings();
    if (settings == nullptr)
        return;
    settings->setString("CurrentSample", sampleName_, Sender::kSettings);
    settings->setBool("SampleLoopOn", getLoop().mode != kLoopOff, Sender::kSettings);
}

void Zone::activate(const Loop& loop) {
    setFirstLoop(loop);
    publishLoopState();
}

void Zone::setFirstLoop(const Loop& loop) {
    {
        std::lock_guard guard(sampleMutex_);
        if (loops_.empty())
            loops_.push_back(loop);
        else
            loops_.front() = loop;
    }
    publishSample();
}

void Zone::setSlices(std::vector<Slice> slices) {
    {
        std::lock_guard guard(sampleMutex_);
        slices_ = std::move(slices);
    }
    publishSample();
}

void Zone::setLoopEnabled(int mode) {
    {
        std::lock_guard guard(sampleMutex_);
        if (loops_.empty())
            return;
        loops_.front().mode = mode;
    }
    publishSample();
    publishLoopState();
}

void Zone::setKeyRange(const KeyRange& range) {
    if (isValidKeyRange(range) && range != getKeyRange()) {
        storeKeyRange(range);
        publishSample();
    }
}

Zone::Slice Zone::getSlice(int index) const {
    if (index < 0 || index >= getSliceCount())
        return {};
    return slices_[static_cast<std::size_t>(index)];
}

Zone::Loop Zone::getLoop() const {
    return loops_.empty() ? Loop{} : loops_.front();
}

float Zone::getRootFrequency() const {
    const Module* module = getOwner();
    return sample_ != nullptr && module != nullptr ? sample_->getRootFrequencyIn(*module) : 0.0f;
}

bool Zone::isCurrent() const noexcept {
    const ZoneManager* manager = getManager();
    return manager != nullptr && manager->isCurrentZone(this);
}

bool Zone::prepareSample() {
    std::string refusal;
    {
        std::lock_guard guard(sampleMutex_);
        if (sample_ == nullptr)
            return true;
        if (!prepareSampleLocked()) {
            // Told outside the zone's lock; a document's reader made its copies beforehand and refused
            // the document already when one did not fit.
            const Resources* resources = getResources();
            const File file = resources != nullptr ? resources->getSampleFile(sampleName_) : File();
            refusal = "The zone keeps playing what it played: " +
                      copyRefusal(shared_ != nullptr ? *shared_ : *sample_,
                                  file.getName().empty() ? sampleName_ : file.getPath()) +
                      ".";
            logLine(3, "%s", refusal.c_str());
        }
    }
    if (!refusal.empty()) {
        showErrorMessage(refusal);
        return false;
    }
    if (ZoneManager* manager = getManager())
        manager->zoneChanged(this);
    return true;
}

bool Zone::prepareSampleLocked() {
    // The zone's "SampleDetuneCoarse" counts semitones, the sample's detune cents: reading the zone's
    // values must not retune the sample, so its own root note and detune are put back afterwards.
    const std::int32_t rootNote = sample_->getRootNote();
    const std::int32_t detune = sample_->getDetune();
    const bool loop = asLoop(sample_) != nullptr;
    // A loop renders a copy of its own. Any other sample's positions are worked out on its description
    // alone, and the zone plays the shared sample or the processed copy of it that every zone processing it
    // alike shares: no zone holds a whole copy of its own.
    const bool ownCopy = loop || shared_ == nullptr;
    // Always new: the sample played so far may be read by a voice, so it is never changed; it is retired
    // when it was the zone's own copy.
    Sample* work = ownCopy ? sample_->clone() : sample_->cloneDescription();
    // A copy whose values did not fit holds none: the zone keeps what it plays.
    if (ownCopy && work->getData() == nullptr && sample_->getData() != nullptr) {
        work->release();
        return false;
    }
    const SharedObjectPtr<Sample> description(ownCopy ? nullptr : work);
    if (ownCopy) {
        if (ownsPrivateCopy_)
            retire(sample_);
        sample_ = work;
        ownsPrivateCopy_ = true;
    }
    std::unique_lock<std::mutex> rendering(loopRenderMutex(), std::defer_lock);
    if (loop)
        rendering.lock();
    const Dictionary::View values = dictionary_.getDictionary(kParametersKey);
    if (values) {
        try {
            Dictionary withoutData;
            work->fromDictionary(readableValues(*values, withoutData));
        } catch (const std::exception& exception) {
            logLine(3, "caught exception: %s", exception.what());
        }
        work->setRootNote(rootNote);
        work->setDetune(detune);
    }
    if (!loops_.empty())
        work->setLoop(loops_.front());
    if (values)
        work->applySettings(*values);
    // The shared copy is had before anything of the zone changes: one that does not fit leaves it as it was.
    const std::uint32_t processing = work->getProcessing();
    Sample* played = ownCopy || processing == 0 ? shared_ : ProcessedSample::acquire(*shared_, processing);
    if (!ownCopy && played == nullptr)
        return false;
    if (values) {
        // Only the positions go back into the values: the sample's root note and detune are its own.
        Dictionary positions;
        work->writePositions(positions);
        for (const char* key : {"SampleStart", "SampleEnd", "SampleLoopStart", "SampleLoopEnd"}) {
            int value = 0;
            if (positions.getInteger(key, &value))
                values->setInteger(key, value);
        }
    }
    // A loop plays rendered for the host's tempo over the transposition, whichever of them changed.
    bool sharedLoopFits = true;
    if (loop) {
        const double wanted =
            loopTempo(RexTempoSource::currentTempo(), getParameterLong("SampleDetuneCoarse"));
        if (asLoop(sample_)->getRenderedTempo() != wanted)
            sample_->render(wanted);
        const SampleREX* sharedLoop = asLoop(shared_);
        sharedLoopFits = sharedLoop != nullptr && sharedLoop->getRenderedTempo() == wanted;
    }
    if (rendering.owns_lock())
        rendering.unlock();
    if (!ownCopy) {
        if (ownsPrivateCopy_)
            retire(sample_);
        sample_ = played;
        ownsPrivateCopy_ = processing != 0;
    } else if (!sample_->needsProcessing() && sharedLoopFits && shared_ != nullptr) {
        // The shared sample is every program's: it keeps its own loop, and notes play the zone's (its
        // state's).
        retire(sample_);
        sample_ = shared_;
        ownsPrivateCopy_ = false;
    }
    // Notes find the sample now played before anything retired can go.
    publish();
    // The manager's hold.
    pruneRetired(1);
    return true;
}

std::int32_t Zone::getParameterLong(const std::string& name) const {
    std::int32_t value = 0;
    if (const Dictionary::View values = dictionary_.getDictionary(kParametersKey))
        values->getLong(name, &value);
    return value;
}

bool Zone::getParameterBool(const std::string& name) const {
    // The typed reader takes "true" as the settings write it (a plain stream read of the text would not).
    bool value = false;
    if (const Dictionary::View values = dictionary_.getDictionary(kParametersKey))
        values->getBool(name, &value);
    return value;
}

float Zone::getParameterFloat(const std::string& name) const {
    float value = 0.0f;
    if (const Dictionary::View values = dictionary_.getDictionary(kParametersKey))
        if (!values->getFloat(name, &value))
            value = 0.0f;
    // Documents come from outside: a value that is no finite number plays as the default.
    return std::isfinite(value) ? value : 0.0f;
}

void Zone::setParameterLong(const std::string& name, std::int32_t value, int sender) {
    if (!isCurrent())
        return;
    if (Settings* settings = getSettings())
        settings->setLong(name, value, sender);
}

void Zone::setParameterBool(const std::string& name, bool value, int sender) {
    if (!isCurrent())
        return;
    if (Settings* settings = getSettings())
        settings->setBool(name, value, sender);
}

bool Zone::receive(const Message& message) {
    if (message.kind == kKindParameter && message.code == Code::kParameterValue) {
        const auto* change = dynamic_cast<const ParameterMessage*>(&message);
        Settings* settings = getSettings();
        Parameter* parameter = change != nullptr && settings != nullptr
                                   ? settings->getParameter(change->name, change->index)
                                   : nullptr;
        // A name the settings do not know is none of the zone's business.
        if (parameter == nullptr)
            return false;
        // The tempo worker reads the transposition.
        std::lock_guard guard(sampleMutex_);
        const PublishOnExit publishing(*this);
        if (const Dictionary::View values = storedValues())
            parameter->write(*values);
        return true;
    }
    if (message.kind == kKindWindow && message.code == Code::kDropItem) {
        const auto* window = dynamic_cast<const WindowMessage*>(&message);
        if (window == nullptr)
            return false;
        const WindowMessage::DropItem& item = window->drop;
        return takeDroppedFile(item.text, item.first, item.second, item.first != 0 || item.second != 0);
    }
    if (message.kind == kKindWindow && message.code == kDropFile) {
        const char* path = wordToPointer<const char>(message.extra);
        return path != nullptr && takeDroppedFile(path, 0, 0, false);
    }
    return Radio::receive(message);
}

namespace {

bool isFixedName(std::string_view name) {
    return std::find(std::begin(ZoneState::kFixedNames), std::end(ZoneState::kFixedNames), name) !=
           std::end(ZoneState::kFixedNames);
}

// Calls visit (slot, name) for every value a state keeps, in slot order.
template <class Visit> void forEachValueName(const Settings* settings, Visit visit) {
    int slot = 0;
    for (const char* name : ZoneState::kFixedNames)
        visit(slot++, std::string(name));
    for (int i = 0; settings != nullptr && i < settings->getParameterCount() && slot < ZoneState::kMaxValues;
         ++i) {
        const Parameter* parameter = settings->getParameterAt(i);
        if (parameter == nullptr || parameter->getScope() != Parameter::kScopeZone)
            continue;
        std::string name = parameter->getName();
        if (!isFixedName(name))
            visit(slot++, std::move(name));
    }
}

} // namespace

int Zone::valueSlot(const Settings* settings, std::string_view name) {
    int found = -1;
    forEachValueName(settings, [&](int slot, const std::string& each) {
        if (found < 0 && each == name)
            found = slot;
    });
    return found;
}

void Zone::publish() {
    publishValues();
}

void Zone::publishValues() {
    std::lock_guard guard(sampleMutex_);
    values_.fill(ZoneState::Value{});
    if (const Dictionary::View values = dictionary_.getDictionary(kParametersKey))
        forEachValueName(getSettings(), [&](int slot, const std::string& name) {
            // Each form as the typed readers above give it.
            ZoneState::Value& value = values_[static_cast<std::size_t>(slot)];
            value.present = values->getLong(name, &value.asLong);
            values->getBool(name, &value.asBool);
            if (!values->getFloat(name, &value.asFloat) || !std::isfinite(value.asFloat))
                value.asFloat = 0.0f;
        });
    publishSample();
}

void Zone::publishSample() {
    std::lock_guard guard(sampleMutex_);
    ZoneState state;
    state.sample = sample_;
    state.loop = getLoop();
    state.range = getKeyRange();
    state.sliceCount = static_cast<std::int32_t>(slices_.size());
    const std::size_t kept = std::min(slices_.size(), state.slices.size());
    std::copy(slices_.begin(), slices_.begin() + static_cast<std::ptrdiff_t>(kept), state.slices.begin());
    state.values = values_;
    state_.store(state);
}

bool Zone::takeDroppedFile(const std::string& path, std::int32_t first, std::int32_t second, bool region) {
    Resources* resources = getResources();
    if (resources == nullptr || path.empty())
        return false;
    const std::string id = resources->addSampleFile("", File(path));
    // A file that does not load leaves the zone with the sample it had.
    if (resources->findSample(id) == nullptr)
        return false;
    setSample(id);
    if (region) {
        dictionary_.setInteger("SampleStart", first);
        dictionary_.setInteger("SampleEnd", second);
    }
    return true;
}

} // namespace trov
