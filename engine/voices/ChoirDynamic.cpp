#include "engine/voices/ChoirDynamic.h"

#include "plugin/PluginInfo.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace trov {

namespace {
// Voices a pool makes room for up front, so that appending does not allocate under the lock for any
// usual limit.
constexpr std::size_t kReservedVoices = 32;

std::size_t boundFor(int limit) noexcept {
    return 2 * static_cast<std::size_t>(std::max(limit, 1));
}
} // namespace

ChoirDynamic::ChoirDynamic(const Module* owner) : Choir(owner) {
    voices_.reserve(kReservedVoices);
}

ChoirDynamic::~ChoirDynamic() {
    ChoirDynamic::reset();
}

void ChoirDynamic::reset() {
    std::vector<Entry> released;
    {
        std::lock_guard guard(poolLock());
        const Note silence;
        for (const Entry& entry : voices_)
            entry.voice->noteOff(silence, true);
        released.swap(voices_);
        activeCount_ = 0;
        Choir::reset();
    }
    // Let go outside the lock, on this thread: a voice's destruction may take other locks and must not
    // stall a render walk.
    for (const Entry& entry : released)
        entry.voice->release();
    released.clear();
    {
        std::lock_guard guard(poolLock());
        // Keep the list's storage for the voices to come.
        if (voices_.empty() && released.capacity() > voices_.capacity())
            voices_.swap(released);
    }
}

int ChoirDynamic::setVoiceLimit(int limit) {
    // Room for every voice the limit allows, made outside the lock; the old storage goes after it.
    std::vector<Entry> room;
    const std::size_t bound = boundFor(limit);
    std::size_t capacity = 0;
    {
        std::lock_guard guard(poolLock());
        capacity = voices_.capacity();
    }
    if (capacity < bound) {
        try {
            room.reserve(bound);
        } catch (const std::exception&) {
            // A limit beyond memory: voices are appended as they come.
        }
    }
    std::lock_guard guard(poolLock());
    if (room.capacity() > voices_.capacity() && room.capacity() >= voices_.size()) {
        room.assign(voices_.begin(), voices_.end());
        voices_.swap(room);
    }
    Choir::setVoiceLimit(limit);
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
    return static_cast<int>(
        std::count_if(voices_.begin(), voices_.end(), [](const Entry& e) { return holdsPlace(*e.voice); }));
}

Voice* ChoirDynamic::noteOn(const Note& note) noexcept {
    Note working(note);
    const int key = note.getKey();
    {
        std::lock_guard guard(poolLock());
        // A key that sounds again stops its voice at once.
        activeCount_ = 0;
        for (Entry& entry : voices_) {
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
            for (Entry& entry : voices_)
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
    }
    return startNewVoice(working);
}

ChoirDynamic::Entry* ChoirDynamic::voiceToTake() noexcept {
    const bool atBound = voices_.size() >= boundFor(voiceLimit());
    if (reuse() || atBound)
        for (Entry& entry : voices_)
            if (entry.voice->getState() == Voice::kFree)
                return &entry;
    if (!atBound)
        return nullptr;
    Entry* furthest = nullptr;
    for (Entry& entry : voices_)
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
    PluginInfo* info = getPluginInfo();
    if (info == nullptr)
        return nullptr;
    Voice* voice = nullptr;
    try {
        voice = info->createVoice(getOwner(), note.getSlot(), note);
    } catch (...) {
        return nullptr;
    }
    if (voice == nullptr)
        return nullptr;
    voice->noteOn(note);
    if (voice->getState() != Voice::kPlaying) {
        voice->release();
        return nullptr;
    }
    {
        std::lock_guard guard(poolLock());
        // Another thread may have started voices while this one was built.
        activeCount_ = soundingCount();
        if (reuse() && activeCount_ >= std::max(voiceLimit(), 1))
            stealOldest();
        if (voices_.size() < boundFor(voiceLimit())) {
            try {
                // The voice is playing already: only its place in the orders is new.
                voices_.push_back(Entry{voice});
                Entry& entry = voices_.back();
                entry.started = ++sequence_;
                rotation_ = (rotation_ + 1) % std::max(voiceLimit(), 1);
                ++activeCount_;
                return voice;
            } catch (...) {
            }
        }
    }
    // The pool filled up meanwhile (or has no room): the note is dropped.
    voice->release();
    return nullptr;
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
    for (Entry& entry : voices_)
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
    for (const Entry& entry : voices_) {
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
    return static_cast<int>(std::count_if(
        voices_.begin(), voices_.end(), [](const Entry& e) { return e.voice->getState() != Voice::kFree; }));
}

int ChoirDynamic::collectActiveVoices(std::vector<Voice*>& voices) const {
    std::lock_guard guard(poolLock());
    for (const Entry& entry : voices_)
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
    return index >= 0 && index < static_cast<int>(voices_.size())
               ? voices_[static_cast<std::size_t>(index)].voice
               : nullptr;
}

int ChoirDynamic::getVoiceCount() const {
    std::lock_guard guard(poolLock());
    return static_cast<int>(voices_.size());
}

int ChoirDynamic::getVoiceBound() const {
    std::lock_guard guard(poolLock());
    return static_cast<int>(std::min<std::size_t>(boundFor(voiceLimit()), std::numeric_limits<int>::max()));
}

} // namespace trov
