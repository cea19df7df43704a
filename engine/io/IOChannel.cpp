#include "engine/io/IOChannel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace trov {

template <class T> IOChannel<T>::IOChannel(std::int32_t frames, T* externalData) {
    if (externalData != nullptr) {
        data_ = externalData;
        size_ = validFrames_ = std::max(frames, 0);
    } else {
        allocate(frames);
    }
}

template <class T>
IOChannel<T>::IOChannel(const IOChannel& source, std::int32_t offset, std::int32_t length)
    : SharedObject(source), memory_(source.memory_), ownsData_(source.ownsData_), gain_(source.gain_),
      level_(source.level_) {
    const std::int32_t extent = source.extent();
    const std::int32_t start = std::clamp(offset, 0, extent);
    data_ = source.data_ != nullptr ? source.data_ + start : nullptr;
    capacity_ = ownsData_ ? extent - start : 0;
    size_ = std::clamp(length, 0, extent - start);
}

template <class T> IOChannel<T>& IOChannel<T>::operator=(const IOChannel& other) {
    if (this == &other)
        return *this;
    SharedObject::operator=(other);
    memory_ = other.memory_;
    data_ = other.data_;
    ownsData_ = other.ownsData_;
    capacity_ = other.capacity_;
    size_ = other.size_;
    validFrames_ = other.validFrames_;
    gain_ = other.gain_;
    level_ = other.level_;
    return *this;
}

template <class T> IOChannel<T>::~IOChannel() = default;

template <class T> void IOChannel<T>::allocate(std::int32_t frames) {
    freeData();
    const std::int64_t rounded = (std::int64_t{std::max(frames, 0)} + kAllocationGranule - 1) /
                                 kAllocationGranule * kAllocationGranule;
    validFrames_ = 0;
    ownsData_ = true;
    if (rounded == 0)
        return;
    memory_.reset(new T[static_cast<std::size_t>(rounded)]());
    data_ = memory_.get();
    size_ = capacity_ = static_cast<std::int32_t>(rounded);
}

template <class T> void IOChannel<T>::freeData() {
    memory_.reset();
    data_ = nullptr;
    capacity_ = size_ = validFrames_ = 0;
    ownsData_ = false;
}

template <class T> void IOChannel<T>::wrap(T* externalData, std::int32_t frames) noexcept {
    memory_.reset();
    data_ = externalData;
    ownsData_ = false;
    capacity_ = 0;
    size_ = validFrames_ = externalData != nullptr ? std::max(frames, 0) : 0;
}

template <class T> void IOChannel<T>::setSize(std::int32_t frames) {
    if (frames == size_)
        return;
    if (frames > capacity_)
        allocate(frames);
    else
        size_ = std::max(frames, 0);
    validFrames_ = std::min(validFrames_, size_);
}

template <class T> std::int32_t IOChannel<T>::setValidFrames(std::int32_t frames) noexcept {
    validFrames_ = std::clamp(frames, 0, size_);
    return validFrames_;
}

template <class T> void IOChannel<T>::clear(std::int32_t start, std::int32_t count) noexcept {
    const std::int32_t from = std::clamp(start, 0, size_);
    const std::int32_t n = count < 0 ? size_ - from : std::min(count, size_ - from);
    if (data_ == nullptr || n <= 0)
        return;
    std::fill(data_ + from, data_ + from + n, T(0));
    validFrames_ = std::max(validFrames_, from + n);
}

template <class T> void IOChannel<T>::copyFrom(const IOChannel& source) noexcept {
    if (source.data_ == data_ || data_ == nullptr)
        return;
    const std::int32_t n = std::min(source.data_ != nullptr ? source.validFrames_ : 0, size_);
    if (n > 0)
        std::memmove(data_, source.data_, static_cast<std::size_t>(n) * sizeof(T));
    validFrames_ = std::max(n, 0);
}

template <class T> void IOChannel<T>::mixFrom(const IOChannel& source, bool add) noexcept {
    const std::int32_t n = (data_ == nullptr || source.data_ == nullptr) ? 0 : std::min(source.size_, size_);
    const T* in = source.data_;
    if (add)
        for (std::int32_t i = 0; i < n; ++i)
            data_[i] += in[i];
    else
        for (std::int32_t i = 0; i < n; ++i)
            data_[i] = data_[i] + in[i] - data_[i] * in[i];
    validFrames_ = n;
}

template <class T> bool IOChannel<T>::appendFrom(const IOChannel& source) noexcept {
    const std::int32_t n = (data_ == nullptr || source.data_ == nullptr)
                               ? 0
                               : std::min(source.validFrames_, size_ - validFrames_);
    if (n > 0) {
        std::memmove(data_ + validFrames_, source.data_, static_cast<std::size_t>(n) * sizeof(T));
        validFrames_ += n;
    }
    return validFrames_ < size_;
}

template <class T> T IOChannel<T>::getPeak() const noexcept {
    T peak = T(0);
    for (std::int32_t i = 0; i < validFrames_; ++i)
        peak = std::max(peak, static_cast<T>(std::fabs(data_[i])));
    return peak;
}

template class IOChannel<float>;

} // namespace trov
