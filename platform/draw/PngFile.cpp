#include "platform/draw/ImageFiles.h"

#include "platform/FileReplacement.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace trov::platform::draw {

namespace {

// Errors end in a jump back to the setjmp of the function that made the call; warnings are dropped.
[[noreturn]] void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

void readBytes(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->at)
        png_error(png, "truncated");
    std::memcpy(out, reader->data + reader->at, count);
    reader->at += count;
}

// What the reading keeps outside the frame that libpng may jump out of.
struct Decoding {
    PngImage image;
    std::vector<std::uint8_t> bytes;
    std::vector<png_bytep> rows;
};

// Only trivially destructible locals live here, since an error jumps back into this frame.
PngStatus readImage(png_structp png, png_infop info, Decoding& out) {
    if (setjmp(png_jmpbuf(png)))
        return PngStatus::Damaged;
    // The single-precision 2.2 widened to double, as the screen gamma always was.
    png_set_gamma(png, static_cast<double>(2.2f), 0.45455);
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colorType = 0;
    if (png_get_IHDR(png, info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr) == 0)
        return PngStatus::Damaged;
    out.image.width = static_cast<int>(width);
    out.image.height = static_cast<int>(height);
    out.image.surface = Surface::create(out.image.width, out.image.height);
    if (!out.image.surface)
        return PngStatus::NoImage;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && png_get_valid(png, info, PNG_INFO_tRNS) == 0)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t stride = png_get_rowbytes(png, info);
    if (stride != std::size_t{width} * 4)
        return PngStatus::Damaged;
    out.bytes.resize(stride * height);
    out.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        out.rows[y] = out.bytes.data() + stride * y;
    png_read_image(png, out.rows.data());
    png_read_end(png, nullptr);
    return PngStatus::Decoded;
}

} // namespace

PngImage decodePng(const std::uint8_t* data, std::size_t size) {
    PngImage result;
    if (size < 4) {
        result.status = PngStatus::TooShort;
        return result;
    }
    if (png_sig_cmp(data, 0, 4) != 0) {
        result.status = PngStatus::NotPng;
        return result;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (png == nullptr) {
        result.status = PngStatus::NoReadStruct;
        return result;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        result.status = PngStatus::NoInfoStruct;
        return result;
    }
    Reader reader{data, size, 4};
    png_set_read_fn(png, &reader, readBytes);
    png_set_sig_bytes(png, 4);
    Decoding decoding;
    const PngStatus status = readImage(png, info, decoding);
    png_destroy_read_struct(&png, &info, nullptr);
    result.status = status;
    result.width = decoding.image.width;
    result.height = decoding.image.height;
    if (status != PngStatus::Decoded)
        return result;
    Surface& surface = *decoding.image.surface;
    for (int y = 0; y < surface.height(); ++y) {
        const std::uint8_t* in = decoding.rows[static_cast<std::size_t>(y)];
        Pixel* out = surface.row(y);
        for (int x = 0; x < surface.width(); ++x, in += 4)
            out[x] = premultiply(in[0], in[1], in[2], in[3]);
    }
    result.surface = decoding.image.surface;
    return result;
}

namespace {

struct Writing {
    std::vector<std::uint8_t> bytes;
    std::vector<png_bytep> rows;
    std::vector<png_text> texts;
};

void writeBytes(png_structp png, png_bytep data, png_size_t count) {
    if (!static_cast<FileReplacement*>(png_get_io_ptr(png))->write(data, count))
        png_error(png, "write failed");
}
void flushNothing(png_structp) {}

bool writeImage(png_structp png, png_infop info, FileReplacement& file, const Surface& surface,
                Writing& out) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, &file, writeBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width()),
                 static_cast<png_uint_32>(surface.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!out.texts.empty())
        png_set_text(png, info, out.texts.data(), static_cast<int>(out.texts.size()));
    png_write_info(png, info);
    png_write_image(png, out.rows.data());
    png_write_end(png, nullptr);
    return true;
}

std::uint8_t unpremultiply(std::uint32_t c, std::uint32_t a) {
    return a == 0 ? 0 : static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
}

} // namespace

bool writePng(const Surface& surface, const std::string& path, const std::vector<PngText>& texts,
              std::string* problem) {
    Writing writing;
    for (const PngText& text : texts) {
        png_text entry{};
        entry.compression = PNG_TEXT_COMPRESSION_NONE;
        entry.key = const_cast<png_charp>(text.keyword.c_str()); // copied by libpng
        entry.text = const_cast<png_charp>(text.text.c_str());
        entry.text_length = text.text.size();
        writing.texts.push_back(entry);
    }
    const auto width = static_cast<std::size_t>(surface.width());
    writing.bytes.resize(width * 4 * static_cast<std::size_t>(surface.height()));
    writing.rows.resize(static_cast<std::size_t>(surface.height()));
    for (int y = 0; y < surface.height(); ++y) {
        std::uint8_t* out = writing.bytes.data() + width * 4 * static_cast<std::size_t>(y);
        writing.rows[static_cast<std::size_t>(y)] = out;
        const Pixel* in = surface.row(y);
        for (std::size_t x = 0; x < width; ++x, out += 4) {
            const std::uint32_t a = alphaOf(in[x]);
            out[0] = unpremultiply(redOf(in[x]), a);
            out[1] = unpremultiply(greenOf(in[x]), a);
            out[2] = unpremultiply(blueOf(in[x]), a);
            out[3] = static_cast<std::uint8_t>(a);
        }
    }
    FileReplacement file(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool written = info != nullptr && writeImage(png, info, file, surface, writing) && file.commit();
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    if (!written && problem != nullptr)
        *problem = file.problem().empty() ? "the image could not be encoded" : file.problem();
    return written;
}

} // namespace trov::platform::draw
