#include "framework/SharedObject.h"

namespace trov {

SharedObject::SharedObject() : counter_(new std::atomic<std::int32_t>(1)) {}

SharedObject::SharedObject(const SharedObject& other) : counter_(other.counter_) {
    counter_->fetch_add(1, std::memory_order_relaxed);
}

SharedObject& SharedObject::operator=(const SharedObject& other) {
    if (this == &other || counter_ == other.counter_)
        return *this;
    dropShare();
    other.counter_->fetch_add(1, std::memory_order_relaxed);
    counter_ = other.counter_;
    released_.store(false, std::memory_order_relaxed);
    return *this;
}

SharedObject::~SharedObject() {
    if (deletingFromRelease_)
        delete counter_; // the release that reached zero already took this object's share
    else
        dropShare();
}

void SharedObject::dropShare() {
    if (counter_->fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete counter_;
    counter_ = nullptr;
}

std::int32_t SharedObject::retain() {
    return counter_->fetch_add(1, std::memory_order_relaxed) + 1;
}

std::int32_t SharedObject::release() {
    released_.store(true, std::memory_order_relaxed);
    const std::int32_t count = counter_->fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 0) {
        deletingFromRelease_ = true;
        delete this;
    }
    return count;
}

bool SharedObject::isShared() const {
    return counter_ != nullptr && counter_->load(std::memory_order_acquire) >= 2;
}

std::int32_t SharedObject::getReferenceCount() const {
    return counter_ != nullptr ? counter_->load(std::memory_order_acquire) : 0;
}

} // namespace trov
