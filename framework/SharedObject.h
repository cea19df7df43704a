#pragma once

#include <atomic>
#include <cstdint>

namespace trov {

// Intrusive reference count held in a heap counter that an object and all its copies share, so that data
// owned jointly by copies (a dictionary's document) is released by the last copy to go. `retain` and
// `release` are atomic and may be called from any thread; a release that reaches zero deletes the object.
// Exactly one atomic decrement decides who frees the counter, so sharers dying at once on two threads
// never free anything twice.
class SharedObject {
public:
    SharedObject();
    SharedObject(const SharedObject& other);
    SharedObject& operator=(const SharedObject& other);
    virtual ~SharedObject();

    virtual std::int32_t retain();
    virtual std::int32_t release();

    bool isShared() const;
    std::int32_t getReferenceCount() const;
    bool wasReleased() const { return released_.load(std::memory_order_relaxed); }

private:
    // Drops this object's own share of the counter; frees it when this was the last.
    void dropShare();

    std::atomic<std::int32_t>* counter_;
    std::atomic<bool> released_{false};
    bool deletingFromRelease_ = false;
};

// Holds one counted reference for a scope. It takes over a reference its producer already retained and
// releases it once; it cannot be copied, only moved.
template <class T> class SharedObjectPtr {
public:
    SharedObjectPtr() = default;
    explicit SharedObjectPtr(T* object) : object_(object) {}
    SharedObjectPtr(const SharedObjectPtr&) = delete;
    SharedObjectPtr& operator=(const SharedObjectPtr&) = delete;
    SharedObjectPtr(SharedObjectPtr&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    SharedObjectPtr& operator=(SharedObjectPtr&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = other.object_;
            other.object_ = nullptr;
        }
        return *this;
    }
    virtual ~SharedObjectPtr() { reset(); }

    void reset() {
        if (object_ != nullptr)
            object_->release();
        object_ = nullptr;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

} // namespace trov
