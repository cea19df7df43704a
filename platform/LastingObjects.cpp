#include "platform/LastingObjects.h"

#include <array>
#include <cstddef>
#include <cstdlib>
#include <mutex>

namespace trov::platform {

namespace {

// A fixed table: the platform layer keeps a handful of objects, and keeping one allocates nothing.
class Keeper {
public:
    Keeper() = default;
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;

    ~Keeper() {
        for (;;) {
            Kept last;
            {
                std::lock_guard guard(mutex_);
                if (count_ == 0)
                    return;
                last = kept_[--count_];
            }
            // Outside the lock: a destructor may keep or use another object of the table.
            last.destroy(last.object);
        }
    }

    void keep(void* object, void (*destroy)(void*)) {
        std::lock_guard guard(mutex_);
        if (count_ == kept_.size())
            std::abort(); // a programming error: the table is sized to the layer's objects
        kept_[count_++] = Kept{object, destroy};
    }

private:
    struct Kept {
        void* object = nullptr;
        void (*destroy)(void*) = nullptr;
    };

    std::mutex mutex_;
    std::array<Kept, 32> kept_{};
    std::size_t count_ = 0;
};

Keeper gKeeper __attribute__((init_priority(101)));

} // namespace

void keepToTheEnd(void* object, void (*destroy)(void*)) {
    if (object != nullptr && destroy != nullptr)
        gKeeper.keep(object, destroy);
}

} // namespace trov::platform
