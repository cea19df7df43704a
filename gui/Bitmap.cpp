#include "gui/Bitmap.h"

#include "framework/Logger.h"
#include "framework/Random.h"
#include "platform/draw/ImageFiles.h"

#include <fstream>
#include <iterator>

namespace trov {

namespace {

constexpr const char* kLoadPlace =
    "class trov::Error __thiscall trov::Bitmap::loadFile(const class trov::File &)";

bool readAll(const File& file, std::string& bytes) {
    if (!file.exists())
        return false;
    std::ifstream in(file.getPath(), std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

const std::uint8_t* bytesOf(const std::string& bytes) {
    return reinterpret_cast<const std::uint8_t*>(bytes.data());
}

} // namespace

Bitmap::Bitmap(const File& file) {
    if (loadFile(file).failed())
        logLine(1, "Bitmap::loadFile");
}

Bitmap::Bitmap(std::shared_ptr<platform::draw::Surface> image, const Rect& r)
    : image_(std::move(image)), bounds_(r), frame_(r), useAlpha_(true) {}

Error Bitmap::loadFile(const File& file) {
    std::string bytes;
    const bool readable = readAll(file, bytes);
    if (readable) {
        switch (loadPng(bytes)) {
        case PngResult::Loaded:
            return NoError();
        case PngResult::Failed:
            // Taken as a PNG: the BMP loader is not tried.
            return ErrorImportFailed(kLoadPlace, file);
        case PngResult::NotTaken:
            break;
        }
        if (loadBmp(bytes))
            return NoError();
    }
    return ErrorImportFailed(kLoadPlace, file);
}

Bitmap::PngResult Bitmap::loadPng(const std::string& bytes) {
    using platform::draw::PngStatus;
    const platform::draw::PngImage png = platform::draw::decodePng(bytesOf(bytes), bytes.size());
    switch (png.status) {
    case PngStatus::TooShort:
        logLine(0, "  PNG::signature read error");
        return PngResult::NotTaken;
    case PngStatus::NotPng:
        logLine(0, "  PNG::signature mismatch");
        return PngResult::NotTaken;
    case PngStatus::NoReadStruct:
        logLine(0, "  PNG::failed to create read struct");
        return PngResult::Failed;
    case PngStatus::NoInfoStruct:
        logLine(0, "  PNG::failed to create info struct");
        return PngResult::Failed;
    case PngStatus::Damaged:
        logLine(0, "  PNG::failed to install error handler");
        return PngResult::Failed;
    case PngStatus::NoImage:
        // The previous image is gone already, as once its replacement's size is known.
        takeImage(nullptr, 0, 0);
        logLine(0, "  PNG::failed to create image");
        return PngResult::Failed;
    case PngStatus::Decoded:
        break;
    }
    takeImage(png.surface, png.width, png.height);
    return PngResult::Loaded;
}

bool Bitmap::loadBmp(const std::string& bytes) {
    std::shared_ptr<platform::draw::Surface> image = platform::draw::decodeBmp(bytesOf(bytes), bytes.size());
    if (!image)
        return false;
    const int width = image->width();
    const int height = image->height();
    takeImage(std::move(image), width, height);
    return true;
}

void Bitmap::takeImage(std::shared_ptr<platform::draw::Surface> image, int width, int height) {
    image_ = std::move(image);
    bounds_ = image_ ? Rect(0, 0, width, height) : Rect();
    frame_ = bounds_;
}

int Bitmap::getColumns() const {
    // An empty frame rectangle divides the image into no frames.
    const int width = frame_.getWidth();
    return width > 0 && frame_.getHeight() > 0 ? bounds_.getWidth() / width : 0;
}

int Bitmap::getRows() const {
    const int height = frame_.getHeight();
    return height > 0 && frame_.getWidth() > 0 ? bounds_.getHeight() / height : 0;
}

Rect Bitmap::getFrame(int index) const {
    const int columns = getColumns();
    if (index < 0 || index >= getFrameCount())
        return Rect();
    Rect frame = frame_;
    frame.offset(frame_.getWidth() * (index % columns), frame_.getHeight() * (index / columns));
    return frame;
}

float Bitmap::getFlickerTransparency() const {
    return transparency_ - static_cast<float>(randomDouble()) * getFlicker();
}

} // namespace trov
