#include "engine/voices/ChoirDynamic.h"

#include "engine/modules/Module.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>

namespace trov {

namespace {
// Voices a pool makes room for up front, so that appending does not allocate under the lock for any
// usual limit.
constexpr std::size_t kReservedVoices = 32;

// Counts voices joining lists across every pool of the process.
std::atomic<std::uint64_t>& joinSequence() noexcept {
    static std::atomic<std::uint64_t> sequence{0};
    return sequence;
}

std::size_t boundFor(int limit) noexcept {
    return 2 * static_cast<std::size_t>(std::max(limit, 1));
}
} // namespace

ChoirDynamic::ChoirDynamic(const Module* owner) : Choir(owner) {
    voices_.reserve(kReservedVoices);
}

ChoirDynamic::~ChoirDynamic() {
    releaseAll();
}

void ChoirDynamic::releaseAll() noexcept {
    std::vector<Entry> released;
    {
        std::lock_guard guard(poolLock());
        const Note silence;
        for (int i = 0; i < used_; ++i)
            voices_[static_cast<std::size_t>(i)].voice->noteOff(silence, true);
        released.swap(voices_);
        used_ = 0;
        activeCount_ = 0;
        Choir::reset();
    }
    for (const Entry& entry : released)
        entry.voice->release();
}

std::vector<Voice*> ChoirDynamic::makeVoices(std::size_t count) const {
    std::vector<Voice*> made;
    PluginInfo* info = getPluginInfo();
    if (info == nullptr)
        return made;
    made.reserve(count);
    const Note none(getOwner() != nullptr ? static_cast<const FrequencySource*>(getOwner()) : nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        Voice* voice = nullptr;
        try {
            voice = info->createVoice(getOwner(), Note::kAnySlot, none);
        } catch (const std::exception&) {
            voice = nullptr;
        }
        if (voice == nullptr)
            break;
        made.push_back(voice);
    }
    return made;
}

std::size_t ChoirDynamic::missingVoices() const {
    std::lock_guard guard(poolLock());
    const std::size_t ahead = voices_.size() - static_cast<std::size_t>(used_);
    const std::size_t bound = boundFor(voiceLimit());
    // Voices made ahead cover whatever the list may still grow by.
    const std::size_t wanted = bound > static_cast<std::size_t>(used_) ? bound - used_ : 0;
    return wanted > ahead ? wanted - ahead : 0;
}

void ChoirDynamic::appendMade(std::vector<Voice*>& made, std::vector<Entry>& room) {
    // The room was sized for these outside the lock; what is copied here does not allocate.
    if (room.capacity() >= voices_.size() + made.size()) {
        room.assign(voices_.begin(), voices_.end());
        voices_.swap(room);
    }
    for (Voice* voice : made)
        voices_.push_back(Entry{voice});
    made.clear();
}

void ChoirDynamic::init() {
    Choir::init();
    initialized_ = true;
    for (int round = 0; round < 4; ++round) {
        const std::size_t count = missingVoices();
        if (count == 0)
            break;
        std::vector<Voice*> made = makeVoices(count);
        if (made.empty())
            break;
        std::vector<Entry> room;
        const std::size_t total = static_cast<std::size_t>(getMadeVoiceCount()) + made.size();
        room.reserve(std::max(total, kReservedVoices));
        std::lock_guard guard(poolLock());
        appendMade(made, room);
    }
}

void ChoirDynamic::reset() {
    if (!initialized_) {
        std::lock_guard guard(poolLock());
        Choir::reset();
        return;
    }
    // Fresh voices for those that played, made before the lock; should more have played meanwhile, more
    // are made.
    std::vector<Voice*> made;
    std::vector<Entry> released;
    for (;;) {
        int played = 0;
        {
            std::lock_guard guard(poolLock());
            played = used_;
        }
        if (made.size() < static_cast<std::size_t>(played)) {
            std::vector<Voice*> more = makeVoices(static_cast<std::size_t>(played) - made.size());
            made.insert(made.end(), more.begin(), more.end());
        }
        std::vector<Entry> room;
        const std::size_t total = static_cast<std::size_t>(getMadeVoiceCount()) + made.size();
        room.reserve(std::max(total, kReservedVoices));
        released.reserve(static_cast<std::size_t>(played));
        std::lock_guard guard(poolLock());
        if (used_ > played && made.size() < static_cast<std::size_t>(used_))
            continue;
        const Note silence;
        for (int i = 0; i < used_; ++i) {
            voices_[static_cast<std::size_t>(i)].voice->noteOff(silence, true);
            released.push_back(voices_[static_cast<std::size_t>(i)]);
        }
        voices_.erase(voices_.begin(), voices_.begin() + used_);
        used_ = 0;
        activeCount_ = 0;
        appendMade(made, room);
        Choir::reset();
        break;
    }
    // Let go outside the lock, on this thread: a voice's destruction may take other locks and must not
    // stall a render walk.
    for (const Entry& entry : released)
        entry.voice->release();
    for (Voice* voice : made)
        voice->release();
}

int ChoirDynamic::setVoiceLimit(int limit) {
    {
        std::lock_guard guard(poolLock());
        Choir::setVoiceLimit(limit);
    }
    // The voices the new bound allows, made ahead outside the lock.
    if (initialized_)
        if (const std::size_t count = missingVoices(); count > 0) {
            std::vector<Voice*> made = makeVoices(count);
            std::vector<Entry> room;
            const std::size_t total = static_cast<std::size_t>(getMadeVoiceCount()) + made.size();
            room.reserve(std::max(total, kReservedVoices));
            std::lock_guard guard(poolLock());
            appendMade(made, room);
        }
    std::lock_guard guard(poolLock());
    // Count afresh: voices whose release ended on their own are free without the pool knowing.
    activeCount_ = soundingCount();
    while (activeCount_ > limit && stealOldest()) {
    }
    return limit;
}

bool ChoirDynamic::holdsPlace(const Voice& voice) noexcept {
    const std::int32_t state = voice.getState();
    return state != Voice::kFree && state != Voice::kStopping;
}

int ChoirDynamic::soundingCount() const noexcept {
    return static_cast<int>(std::count_if(voices_.begin(), voices_.begin() + used_,
                                          [](const Entry& e) { return holdsPlace(*e.voice); }));
}

Voice* ChoirDynamic::noteOn(const Note& note) noexcept {
    Note working(note);
    const int key = note.getKey();
    std::lock_guard guard(poolLock());
    // A key that sounds again stops its voice at once.
    activeCount_ = 0;
    for (Entry& entry : list()) {
        if (!holdsPlace(*entry.voice))
            continue;
        ++activeCount_;
        if (entry.voice->getNote().getKey() == key) {
            stop(entry, note);
            setKeyState(key, kKeySounding);
        }
    }
    // A fixed slot stops whatever plays in it.
    const int slot = note.getSlot();
    if (slot >= 0)
        for (Entry& entry : list())
            if (holdsPlace(*entry.voice) && entry.voice->getNote().getSlot() == slot)
                stop(entry, note);
    if (working.getSlot() < 0)
        working.setSlot(rotation_);

    if (reuse()) {
        if (activeCount_ >= voiceLimit())
            stealOldest();
    } else if (activeCount_ >= voiceLimit()) {
        return nullptr;
    }
    setKeyState(key, kKeySounding);
    if (Entry* entry = voiceToTake()) {
        start(*entry, working);
        return entry->voice;
    }
    return startNewVoice(working);
}

ChoirDynamic::Entry* ChoirDynamic::voiceToTake() noexcept {
    const bool atBound = static_cast<std::size_t>(used_) >= boundFor(voiceLimit());
    if (reuse() || atBound)
        for (Entry& entry : list())
            if (entry.voice->getState() == Voice::kFree)
                return &entry;
    if (!atBound)
        return nullptr;
    Entry* furthest = nullptr;
    for (Entry& entry : list())
        if (entry.voice->getState() == Voice::kStopping &&
            (furthest == nullptr || entry.stopped < furthest->stopped))
            furthest = &entry;
    return furthest;
}

void ChoirDynamic::start(Entry& entry, const Note& note) noexcept {
    entry.voice->noteOn(note);
    entry.started = ++sequence_;
    entry.stopped = 0;
    rotation_ = (rotation_ + 1) % std::max(voiceLimit(), 1);
    ++activeCount_;
}

Voice* ChoirDynamic::startNewVoice(const Note& note) noexcept {
    if (static_cast<std::size_t>(used_) >= voices_.size() ||
        static_cast<std::size_t>(used_) >= boundFor(voiceLimit()))
        return nullptr;
    Entry& entry = voices_[static_cast<std::size_t>(used_)];
    Voice* voice = entry.voice;
    voice->assignSlot(note.getSlot());
    voice->noteOn(note);
    if (voice->getState() != Voice::kPlaying) {
        // Kept aside as made, for the next note that needs a new voice.
        voice->discarded();
        return nullptr;
    }
    activeCount_ = soundingCount();
    if (reuse() && activeCount_ >= std::max(voiceLimit(), 1))
        stealOldest();
    // The voice is playing already: only its place in the orders is new.
    ++used_;
    entry.joined = joinSequence().fetch_add(1, std::memory_order_relaxed) + 1;
    entry.started = ++sequence_;
    entry.stopped = 0;
    rotation_ = (rotation_ + 1) % std::max(voiceLimit(), 1);
    ++activeCount_;
    return voice;
}

void ChoirDynamic::stop(Entry& entry, const Note& cause) noexcept {
    const int key = entry.voice->getNote().getKey();
    if (keyState(key) == kKeySounding)
        setKeyState(key, kKeyHeld);
    entry.voice->noteOff(cause, true);
    entry.stopped = ++sequence_;
    --activeCount_;
}

bool ChoirDynamic::stealOldest() noexcept {
    Entry* oldest = nullptr;
    for (Entry& entry : list())
        if (holdsPlace(*entry.voice) && (oldest == nullptr || entry.started < oldest->started))
            oldest = &entry;
    if (oldest == nullptr)
        return false;
    stop(*oldest, Note());
    return true;
}

bool ChoirDynamic::noteOff(const Note& note, bool /*immediate*/) noexcept {
    std::lock_guard guard(poolLock());
    const int key = note.getKey();
    setKeyState(key, kKeyUp);
    const int candidate = handOverCandidate(key);
    bool found = false;
    for (const Entry& entry : list()) {
        Voice* voice = entry.voice;
        if (voice->getNote().getKey() != key)
            continue;
        found = true;
        // A free voice has nothing to hand over, a stopping one is already ending.
        if (!holdsPlace(*voice))
            continue;
        if (candidate >= 0) {
            // The voice keeps sounding, now for the held key.
            Note moved(voice->getNote());
            moved.setKey(candidate);
            setKeyState(candidate, kKeySounding);
            voice->changeNote(moved);
        } else {
            // Released with its tail, whatever the caller asked.
            voice->noteOff(note, false);
        }
    }
    return found;
}

int ChoirDynamic::getActiveVoiceCount() const {
    std::lock_guard guard(poolLock());
    const auto entries = list();
    return static_cast<int>(std::count_if(
        entries.begin(), entries.end(), [](const Entry& e) { return e.voice->getState() != Voice::kFree; }));
}

int ChoirDynamic::collectActiveVoices(std::vector<Voice*>& voices) const {
    std::lock_guard guard(poolLock());
    for (const Entry& entry : list())
        if (entry.voice->getState() != Voice::kFree) {
            voices.push_back(entry.voice);
            entry.voice->retain();
        }
    return static_cast<int>(voices.size());
}

void ChoirDynamic::releaseVoices(std::vector<Voice*>& voices) const {
    for (Voice* voice : voices)
        voice->release();
    voices.clear();
}

Voice* ChoirDynamic::getVoice(int index) const {
    std::lock_guard guard(poolLock());
    return index >= 0 && index < used_ ? voices_[static_cast<std::size_t>(index)].voice : nullptr;
}

int ChoirDynamic::getVoiceCount() const {
    std::lock_guard guard(poolLock());
    return used_;
}

int ChoirDynamic::getMadeVoiceCount() const {
    std::lock_guard guard(poolLock());
    return static_cast<int>(voices_.size());
}

int ChoirDynamic::getVoiceBound() const {
    std::lock_guard guard(poolLock());
    return static_cast<int>(std::min<std::size_t>(boundFor(voiceLimit()), std::numeric_limits<int>::max()));
}

} // namespace trov
