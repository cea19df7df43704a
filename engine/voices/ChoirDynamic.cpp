#include "engine/voices/ChoirDynamic.h"

#include "plugin/PluginInfo.h"

#include <algorithm>

namespace trov {

namespace {
// Voices a pool makes room for up front, so that appending does not allocate under the lock for any
// usual limit.
constexpr std::size_t kReservedVoices = 32;
} // namespace

ChoirDynamic::ChoirDynamic(const Module* owner) : Choir(owner) {
    voices_.reserve(kReservedVoices);
}

ChoirDynamic::~ChoirDynamic() {
    ChoirDynamic::reset();
}

void ChoirDynamic::reset() {
    std::vector<Voice*> released;
    {
        std::lock_guard guard(poolLock());
        const Note silence;
        for (Voice* voice : voices_)
            voice->noteOff(silence, true);
        released.swap(voices_);
        activeCount_ = 0;
        Choir::reset();
    }
    // Let go outside the lock, on this thread: a voice's destruction may take other locks and must not
    // stall a render walk.
    for (Voice* voice : released)
        voice->release();
    released.clear();
    {
        std::lock_guard guard(poolLock());
        // Keep the list's storage for the voices to come.
        if (voices_.empty() && released.capacity() > voices_.capacity())
            voices_.swap(released);
    }
}

int ChoirDynamic::setVoiceLimit(int limit) {
    std::lock_guard guard(poolLock());
    Choir::setVoiceLimit(limit);
    // Count afresh: voices whose release ended on their own are free without the pool knowing.
    activeCount_ = static_cast<int>(std::count_if(voices_.begin(), voices_.end(),
                                                  [](Voice* v) { return v->getState() != Voice::kFree; }));
    const Note silence;
    for (Voice* voice : voices_) {
        if (activeCount_ <= limit)
            break;
        if (voice->getState() == Voice::kFree)
            continue;
        const int key = voice->getNote().getKey();
        if (keyState(key) == kKeySounding)
            setKeyState(key, kKeyHeld);
        voice->noteOff(silence, true);
        --activeCount_;
    }
    return limit;
}

Voice* ChoirDynamic::noteOn(const Note& note) noexcept {
    Note working(note);
    const int key = note.getKey();
    {
        std::lock_guard guard(poolLock());
        // A key that sounds again stops its voice at once.
        activeCount_ = 0;
        for (Voice* voice : voices_) {
            if (voice->getState() == Voice::kFree)
                continue;
            ++activeCount_;
            if (voice->getNote().getKey() == key) {
                voice->noteOff(note, true);
                setKeyState(key, kKeySounding);
                --activeCount_;
            }
        }
        // A fixed slot stops whatever plays in it.
        const int slot = note.getSlot();
        if (slot >= 0)
            for (Voice* voice : voices_)
                if (voice->getState() != Voice::kFree && voice->getNote().getSlot() == slot) {
                    const int playing = voice->getNote().getKey();
                    voice->noteOff(note, true);
                    if (keyState(playing) == kKeySounding)
                        setKeyState(playing, kKeyHeld);
                    --activeCount_;
                }
        if (working.getSlot() < 0)
            working.setSlot(rotation_);

        if (reuse()) {
            if (activeCount_ >= voiceLimit() && !voices_.empty())
                stealFirstActive();
            setKeyState(key, kKeySounding);
            for (Voice* voice : voices_)
                if (voice->getState() == Voice::kFree) {
                    voice->noteOn(working);
                    advanceRotation();
                    ++activeCount_;
                    return voice;
                }
        } else {
            if (activeCount_ >= voiceLimit())
                return nullptr;
            setKeyState(key, kKeySounding);
        }
    }
    return startNewVoice(working);
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
        if (reuse() && activeCount_ >= std::max(voiceLimit(), 1))
            stealFirstActive();
        try {
            voices_.push_back(voice);
            advanceRotation();
            ++activeCount_;
            return voice;
        } catch (...) {
        }
    }
    voice->release();
    return nullptr;
}

void ChoirDynamic::stealFirstActive() {
    const Note silence;
    for (Voice* voice : voices_)
        if (voice->getState() != Voice::kFree) {
            const int key = voice->getNote().getKey();
            if (keyState(key) == kKeySounding)
                setKeyState(key, kKeyHeld);
            voice->noteOff(silence, true);
            --activeCount_;
            return;
        }
}

void ChoirDynamic::advanceRotation() {
    rotation_ = (rotation_ + 1) % std::max(voiceLimit(), 1);
}

bool ChoirDynamic::noteOff(const Note& note, bool /*immediate*/) noexcept {
    std::lock_guard guard(poolLock());
    const int key = note.getKey();
    setKeyState(key, kKeyUp);
    const int candidate = handOverCandidate(key);
    bool found = false;
    for (Voice* voice : voices_) {
        if (voice->getNote().getKey() != key)
            continue;
        found = true;
        if (voice->getState() == Voice::kFree)
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
    return static_cast<int>(std::count_if(voices_.begin(), voices_.end(),
                                          [](Voice* v) { return v->getState() != Voice::kFree; }));
}

int ChoirDynamic::collectActiveVoices(std::vector<Voice*>& voices) const {
    std::lock_guard guard(poolLock());
    for (Voice* voice : voices_)
        if (voice->getState() != Voice::kFree) {
            voices.push_back(voice);
            voice->retain();
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
    return index >= 0 && index < static_cast<int>(voices_.size()) ? voices_[static_cast<std::size_t>(index)]
                                                                  : nullptr;
}

int ChoirDynamic::getVoiceCount() const {
    std::lock_guard guard(poolLock());
    return static_cast<int>(voices_.size());
}

} // namespace trov
