#include "imaging/PortableSmoothing.h"

#include "imaging/AlignedRows.h"
#include "imaging/RowRings.h"

#include <cstdint>

namespace trov::imaging {

void rowSum121(const std::uint8_t* row, std::int32_t* out, std::ptrdiff_t n, std::ptrdiff_t channels) {
    const std::uint8_t* left = row;
    const std::uint8_t* centre = row + channels;
    const std::uint8_t* right = row + 2 * channels;
    std::ptrdiff_t j = 0;
    for (; j + 4 <= n; j += 4) {
        out[j] = left[j] + 2 * centre[j] + right[j];
        out[j + 1] = left[j + 1] + 2 * centre[j + 1] + right[j + 1];
        out[j + 2] = left[j + 2] + 2 * centre[j + 2] + right[j + 2];
        out[j + 3] = left[j + 3] + 2 * centre[j + 3] + right[j + 3];
    }
    for (; j < n; ++j)
        out[j] = left[j] + 2 * centre[j] + right[j];
}

void columnSum121Round(const std::int32_t* above, const std::int32_t* centre, const std::int32_t* below,
                       std::uint8_t* out, std::ptrdiff_t n) {
    auto element = [&](std::ptrdiff_t j) {
        out[j] = roundDiv16HalfEven(static_cast<std::uint32_t>(above[j] + 2 * centre[j] + below[j]));
    };
    std::ptrdiff_t j = 0;
    for (; j + 2 <= n; j += 2) {
        element(j);
        element(j + 1);
    }
    if (j < n)
        element(j);
}

FilterStatus smooth3x3Rows(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                           std::int32_t dstStep, std::int32_t width, std::int32_t height,
                           std::int32_t channels, RowSum121Fn rowSum, ColumnSum121Fn columnSum) {
    const std::ptrdiff_t n = std::ptrdiff_t{width} * channels;
    if (n > PTRDIFF_MAX / 3)
        return FilterStatus::NoMemory;
    std::int32_t* block = alignedAllocInt32(3 * n);
    if (!block)
        return FilterStatus::NoMemory;
    std::int32_t* rows[3] = {block, block + n, block + 2 * n};

    // Source rows -1 and 0, one pixel left of the rectangle.
    const std::uint8_t* p = src - srcStep - channels;
    rowSum(p, rows[0], n, channels);
    rowSum(p + srcStep, rows[1], n, channels);
    p += 2 * std::ptrdiff_t{srcStep};
    for (std::ptrdiff_t y = 0; y < height; ++y) {
        // The row below is summed before destination row y is written, so in-place calls work.
        rowSum(p, rows[2], n, channels);
        columnSum(rows[0], rows[1], rows[2], dst + y * dstStep, n);
        std::int32_t* oldest = rows[0];
        rows[0] = rows[1];
        rows[1] = rows[2];
        rows[2] = oldest;
        p += srcStep;
    }
    alignedFree(block);
    return FilterStatus::Ok;
}

FilterStatus smooth3x3Portable(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                               std::int32_t dstStep, std::int32_t width, std::int32_t height,
                               std::int32_t channels) {
    return smooth3x3Rows(src, srcStep, dst, dstStep, width, height, channels, rowSum121, columnSum121Round);
}

void rowSums5x5(const std::uint8_t* row, std::int32_t* a, std::int32_t* b, std::int32_t* c,
                std::ptrdiff_t n) {
    // Each source byte is multiplied once by each of the six distinct weights; the products of the five
    // pixels under the mask stay in a table whose slots rotate, so every output is five additions.
    constexpr std::int32_t kWeights[6] = {2, 7, 12, 31, 52, 127};
    enum { W2, W7, W12, W31, W52, W127 };
    std::int32_t products[5][6][4];
    auto fill = [&](int slot, const std::uint8_t* pixel) {
        for (int w = 0; w < 6; ++w)
            for (int ch = 0; ch < 4; ++ch)
                products[slot][w][ch] = kWeights[w] * pixel[ch];
    };
    for (int k = 0; k < 4; ++k)
        fill(k, row + 4 * k);
    const std::ptrdiff_t pixels = n / 4;
    int s[5] = {0, 1, 2, 3, 4}; // slots of the window's pixels, left to right
    for (std::ptrdiff_t x = 0; x < pixels; ++x) {
        fill(s[4], row + 4 * (x + 4));
        for (int ch = 0; ch < 4; ++ch) {
            const std::ptrdiff_t j = 4 * x + ch;
            a[j] = products[s[0]][W2][ch] + products[s[1]][W7][ch] + products[s[2]][W12][ch] +
                   products[s[3]][W7][ch] + products[s[4]][W2][ch];
            b[j] = products[s[0]][W7][ch] + products[s[1]][W31][ch] + products[s[2]][W52][ch] +
                   products[s[3]][W31][ch] + products[s[4]][W7][ch];
            c[j] = products[s[0]][W12][ch] + products[s[1]][W52][ch] + products[s[2]][W127][ch] +
                   products[s[3]][W52][ch] + products[s[4]][W12][ch];
        }
        const int leaving = s[0];
        for (int k = 0; k < 4; ++k)
            s[k] = s[k + 1];
        s[4] = leaving;
    }
}

void columnSum5x5Round(const std::int32_t* a0, const std::int32_t* b1, const std::int32_t* c2,
                       const std::int32_t* b3, const std::int32_t* a4, std::uint8_t* out, std::ptrdiff_t n) {
    auto element = [&](std::ptrdiff_t j) {
        out[j] = roundDiv571(static_cast<std::uint32_t>(a0[j] + b1[j] + c2[j] + b3[j] + a4[j]));
    };
    std::ptrdiff_t j = 0;
    for (; j + 4 <= n; j += 4) {
        element(j);
        element(j + 1);
        element(j + 2);
        element(j + 3);
    }
    for (; j < n; ++j)
        element(j);
}

FilterStatus smooth5x5Rings(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                            std::int32_t dstStep, std::int32_t width, std::int32_t height,
                            RowSums5x5Fn rowSums, ColumnSum5x5Fn columnSum) {
    const std::ptrdiff_t n = std::ptrdiff_t{width} * 4;
    if (n > PTRDIFF_MAX / 12)
        return FilterStatus::NoMemory;
    std::int32_t* block = alignedAllocInt32(12 * n);
    if (!block)
        return FilterStatus::NoMemory;
    std::int32_t* rows[12];
    for (int k = 0; k < 12; ++k)
        rows[k] = block + k * n;

    runFiveRowRings(
        rows, height,
        [&](std::ptrdiff_t y, std::int32_t* a, std::int32_t* b, std::int32_t* c) {
            rowSums(src + y * srcStep - 8, a, b, c, n);
        },
        [&](std::ptrdiff_t y, const std::int32_t* a0, const std::int32_t* b1, const std::int32_t* c2,
            const std::int32_t* b3,
            const std::int32_t* a4) { columnSum(a0, b1, c2, b3, a4, dst + y * dstStep, n); });
    alignedFree(block);
    return FilterStatus::Ok;
}

} // namespace trov::imaging
