#pragma once

// Test-side images, an independent reference convolution and guard helpers for the smoothing tests.
// Nothing here calls or copies the implementation.

#include "imaging/FilterGauss.h"
#include "imaging/FilterStatus.h"
#include "imaging/RowHeap.h"
#include "imaging/SmoothingMask.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

namespace trov::imaging::testing {

inline int maskRadius(SmoothingMask mask) { return mask == SmoothingMask::Mask3x3 ? 1 : 2; }

// An image of four-channel pixels with `margin` extra pixels on every side of a width x height
// rectangle, filled with random bytes. `origin` is the rectangle's top-left pixel; its address modulo 16
// is `alignment`; `step` is at least the padded row.
struct Image {
    std::vector<std::uint8_t> storage;
    std::uint8_t* origin = nullptr;
    std::int32_t step = 0;
    int width = 0;
    int height = 0;
    int margin = 0;

    Image(int w, int h, int marginPixels, int extraStepBytes, int alignment, std::mt19937& rng)
        : width(w), height(h), margin(marginPixels) {
        step = 4 * (w + 2 * marginPixels) + extraStepBytes;
        const std::size_t bytes = static_cast<std::size_t>(step) * (h + 2 * marginPixels) + 64;
        storage.resize(bytes);
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : storage)
            b = static_cast<std::uint8_t>(byte(rng));
        std::uint8_t* first = storage.data() + 16;
        const auto pad = (alignment - static_cast<int>(reinterpret_cast<std::uintptr_t>(first + 4 * margin +
                                                                                          step * margin) % 16) + 16) % 16;
        origin = first + pad + static_cast<std::ptrdiff_t>(step) * margin + 4 * margin;
    }
    std::uint8_t& at(int x, int y, int ch) { return origin[static_cast<std::ptrdiff_t>(y) * step + 4 * x + ch]; }
    std::uint8_t at(int x, int y, int ch) const {
        return origin[static_cast<std::ptrdiff_t>(y) * step + 4 * x + ch];
    }
};

inline std::uint8_t divide16HalfToEven(std::int64_t t) {
    std::int64_t q = t / 16;
    const std::int64_t r = t % 16;
    if (r > 8 || (r == 8 && q % 2 == 1))
        ++q;
    return static_cast<std::uint8_t>(q);
}

inline std::uint8_t divide571Nearest(std::int64_t s) { return static_cast<std::uint8_t>((2 * s + 571) / 1142); }

// The smoothed rectangle, straight from the mask's definition: width x height x 4 bytes, row by row.
inline std::vector<std::uint8_t> referenceSmooth(const Image& src, SmoothingMask mask) {
    static constexpr int kWeights3[3][3] = {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}};
    static constexpr int kWeights5[5][5] = {{2, 7, 12, 7, 2},
                                            {7, 31, 52, 31, 7},
                                            {12, 52, 127, 52, 12},
                                            {7, 31, 52, 31, 7},
                                            {2, 7, 12, 7, 2}};
    const int r = maskRadius(mask);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(src.width) * src.height * 4);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x)
            for (int ch = 0; ch < 4; ++ch) {
                std::int64_t sum = 0;
                for (int dy = -r; dy <= r; ++dy)
                    for (int dx = -r; dx <= r; ++dx) {
                        const int w = r == 1 ? kWeights3[dy + 1][dx + 1] : kWeights5[dy + 2][dx + 2];
                        sum += w * src.at(x + dx, y + dy, ch);
                    }
                out[(static_cast<std::size_t>(y) * src.width + x) * 4 + ch] =
                    r == 1 ? divide16HalfToEven(sum) : divide571Nearest(sum);
            }
    return out;
}

// The rectangle of `image` as width x height x 4 bytes.
inline std::vector<std::uint8_t> rectangleOf(const Image& image) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            for (int ch = 0; ch < 4; ++ch)
                out.push_back(image.at(x, y, ch));
    return out;
}

// True when every byte of `after` outside the rectangle of `image` equals `before`.
inline bool onlyRectangleChanged(const Image& image, const std::vector<std::uint8_t>& before) {
    const std::uint8_t* base = image.storage.data();
    for (std::size_t i = 0; i < before.size(); ++i) {
        const std::ptrdiff_t offset = base + i - image.origin;
        const std::ptrdiff_t row = offset >= 0 ? offset / image.step : -1;
        const std::ptrdiff_t column = offset >= 0 ? offset % image.step : -1;
        const bool inside = offset >= 0 && row < image.height && column < 4 * image.width;
        if (!inside && base[i] != before[i])
            return false;
    }
    return true;
}

// Bytes with inaccessible pages right before and right after them: reading or writing one byte outside
// faults. Pass `tailAligned` to put the last byte against the following page, else the first byte against
// the preceding page.
class GuardedBytes {
public:
    GuardedBytes(std::size_t size, bool tailAligned) : size_(size) {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t body = (size + page_ - 1) / page_ * page_;
        mapped_ = body + 2 * page_;
        void* map = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED)
            throw std::runtime_error("mmap failed");
        base_ = static_cast<std::uint8_t*>(map);
        mprotect(base_, page_, PROT_NONE);
        mprotect(base_ + page_ + body, page_, PROT_NONE);
        data_ = tailAligned ? base_ + page_ + body - size : base_ + page_;
    }
    ~GuardedBytes() { munmap(base_, mapped_); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    std::uint8_t* data() { return data_; }
    std::size_t size() const { return size_; }

private:
    std::size_t size_;
    std::size_t page_ = 0;
    std::size_t mapped_ = 0;
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
};

// A heap that refuses every block and remembers the sizes asked for.
class RefusingHeap final : public RowHeap {
public:
    std::vector<std::size_t> requests;
    void* allocate(std::size_t bytes, std::size_t) noexcept override {
        requests.push_back(bytes);
        return nullptr;
    }
    void release(void*, std::size_t) noexcept override { ++unexpectedReleases; }
    int unexpectedReleases = 0;
};

// A heap that passes through to the process heap and counts blocks.
class CountingHeap final : public RowHeap {
public:
    int allocations = 0;
    int releases = 0;
    std::vector<std::uintptr_t> addresses;
    void* allocate(std::size_t bytes, std::size_t alignment) noexcept override {
        ++allocations;
        void* block = processRowHeap().allocate(bytes, alignment);
        addresses.push_back(reinterpret_cast<std::uintptr_t>(block));
        return block;
    }
    void release(void* block, std::size_t alignment) noexcept override {
        ++releases;
        processRowHeap().release(block, alignment);
    }
};

// Installs a heap for the guard's lifetime.
class HeapGuard {
public:
    explicit HeapGuard(RowHeap& heap) : previous_(setRowHeap(&heap)) {}
    ~HeapGuard() { setRowHeap(previous_); }
    HeapGuard(const HeapGuard&) = delete;
    HeapGuard& operator=(const HeapGuard&) = delete;

private:
    RowHeap* previous_;
};

// Restores the variant index when it goes.
class VariantIndexGuard {
public:
    VariantIndexGuard() : saved_(variantIndex()) {}
    ~VariantIndexGuard() { storeVariantIndex(saved_); }
    VariantIndexGuard(const VariantIndexGuard&) = delete;
    VariantIndexGuard& operator=(const VariantIndexGuard&) = delete;

private:
    std::int32_t saved_;
};

// The implementation entries 1 to 4 of the variant table.
inline FilterGaussFn variantEntry(int variant) { return variantTable()[variant]; }

inline constexpr SmoothingMask kBothMasks[] = {SmoothingMask::Mask3x3, SmoothingMask::Mask5x5};

} // namespace trov::imaging::testing
