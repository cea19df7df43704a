#pragma once

// Image files built by the tests: PNGs of any colour type and depth written through libpng into memory,
// BMPs put together byte by byte.
#include <png.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace trov::test {

struct PngSpec {
    int width = 1;
    int height = 1;
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::uint8_t> samples; // the rows as libpng takes them, packed, each row padded to a byte
    std::vector<png_color> palette;
    std::vector<std::uint8_t> paletteAlpha; // tRNS for palette images
    int transparentGray = -1;               // tRNS for grey images
    double gamma = 0.0;                     // a gAMA chunk when positive
};

inline std::size_t pngRowBytes(const PngSpec& spec) {
    int channels = 1;
    if (spec.colorType == PNG_COLOR_TYPE_RGB)
        channels = 3;
    else if (spec.colorType == PNG_COLOR_TYPE_RGB_ALPHA)
        channels = 4;
    else if (spec.colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        channels = 2;
    return (static_cast<std::size_t>(spec.width) * channels * spec.bitDepth + 7) / 8;
}

inline std::string makePng(const PngSpec& spec) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), size);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width), static_cast<png_uint_32>(spec.height),
                 spec.bitDepth, spec.colorType, spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(), static_cast<int>(spec.paletteAlpha.size()),
                     nullptr);
    if (spec.transparentGray >= 0) {
        png_color_16 gray{};
        gray.gray = static_cast<png_uint_16>(spec.transparentGray);
        png_set_tRNS(png, info, nullptr, 0, &gray);
    }
    if (spec.gamma > 0.0)
        png_set_gAMA(png, info, spec.gamma);
    png_write_info(png, info);
    std::vector<std::uint8_t> samples = spec.samples;
    std::vector<png_bytep> rows;
    for (int y = 0; y < spec.height; ++y)
        rows.push_back(samples.data() + pngRowBytes(spec) * static_cast<std::size_t>(y));
    if (spec.bitDepth == 16)
        png_set_swap(png); // samples are given little-endian, as the test writes them
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The CRC-32 of PNG chunks, for tests that rewrite a chunk.
inline std::uint32_t crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

inline void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A BMP with a 40-byte info header (or a 12-byte core header), the palette or masks given, and the rows in
// file order (bottom-up unless the height is negative), each padded by this function to 4 bytes.
struct BmpSpec {
    int width = 1;
    int height = 1; // negative: rows top-down
    int bits = 24;
    std::uint32_t compression = 0;
    bool coreHeader = false;
    std::vector<std::uint8_t> palette; // 4 bytes (3 with the core header) per entry: blue, green, red[, 0]
    std::vector<std::uint32_t> masks;  // with compression 3: red, green, blue
    std::vector<std::vector<std::uint8_t>> rows;
};

inline std::string makeBmp(const BmpSpec& spec) {
    std::string pixels;
    for (const auto& row : spec.rows) {
        pixels.append(row.begin(), row.end());
        while (pixels.size() % 4 != 0)
            pixels += '\0';
    }
    const std::uint32_t header = spec.coreHeader ? 12 : 40;
    const auto offset = static_cast<std::uint32_t>(14 + header + spec.palette.size() + spec.masks.size() * 4);
    std::string out = "BM";
    put32(out, offset + static_cast<std::uint32_t>(pixels.size()));
    put32(out, 0);
    put32(out, offset);
    put32(out, header);
    if (spec.coreHeader) {
        put16(out, static_cast<std::uint32_t>(spec.width));
        put16(out, static_cast<std::uint32_t>(spec.height));
        put16(out, 1);
        put16(out, static_cast<std::uint32_t>(spec.bits));
    } else {
        put32(out, static_cast<std::uint32_t>(spec.width));
        put32(out, static_cast<std::uint32_t>(spec.height));
        put16(out, 1);
        put16(out, static_cast<std::uint32_t>(spec.bits));
        put32(out, spec.compression);
        put32(out, static_cast<std::uint32_t>(pixels.size()));
        put32(out, 2835);
        put32(out, 2835);
        put32(out, 0);
        put32(out, 0);
    }
    for (std::uint32_t mask : spec.masks)
        put32(out, mask);
    out.append(spec.palette.begin(), spec.palette.end());
    out += pixels;
    return out;
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace trov::test
