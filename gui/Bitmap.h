#pragma once

#include "framework/EditorServices.h"
#include "framework/Error.h"
#include "framework/File.h"
#include "framework/Rect.h"

#include <atomic>
#include <memory>
#include <string>

namespace trov {

namespace platform::draw {
class Surface;
}

// A reference-counted skin image: the pixels of one PNG or BMP file (or of an image made at run time),
// divided into equal frames laid out in rows (animations, button states, glyph sheets), with the part in
// use, a per-pixel alpha flag, a constant transparency, a random flicker amount and, for glyph sheets, the
// alphabet that maps characters to frames. Pixels are premultiplied. The resource manager makes and shares
// bitmaps; the canvas draws them. Loaded and configured on the user-interface thread; any thread may read.
class Bitmap : public BitmapInterface {
public:
    // Loads the file; a failure is logged ("Bitmap::loadFile") and leaves an empty bitmap.
    explicit Bitmap(const File& file);
    // Takes over an image made at run time; r is its bounds and frame, drawn with per-pixel alpha.
    Bitmap(std::shared_ptr<platform::draw::Surface> image, const Rect& r);

    // PNG first, then BMP. NoError, or ErrorImportFailed when neither loader takes the file or its image
    // cannot be made.
    Error loadFile(const File& file);

    bool isLoaded() const override { return image_ != nullptr; }
    // Null while nothing is loaded.
    const std::shared_ptr<platform::draw::Surface>& getHandle() const { return image_; }
    Rect getBounds() const override { return bounds_; }
    Rect getFrameRect() const { return frame_; }
    void setFrameRect(const Rect& rect) override { frame_ = rect; }
    Rect getSourceRect() const { return source_; }
    void setSourceRect(const Rect& rect) override { source_ = rect; }

    // Frames: columns = bounds width / frame width, rows = bounds height / frame height, both 0 when the
    // frame rectangle is empty; frame i is the frame rectangle moved by i mod columns frame widths right and
    // i / columns frame heights down. Past the frame count (or negative) a frame is the zero rectangle.
    int getColumns() const;
    int getRows() const;
    int getFrameCount() const { return getColumns() * getRows(); }
    Rect getFrame(int index) const;
    Rect getFrame(int row, int column) const { return getFrame(row * getColumns() + column); }

    bool getUseAlpha() const { return useAlpha_; }
    void setUseAlpha(bool useAlpha) override { useAlpha_ = useAlpha; }
    float getTransparency() const { return transparency_; }
    void setTransparency(float transparency) override { transparency_ = transparency; }
    // The flicker may be set from a display's timer while the editor draws with the bitmap.
    float getFlicker() const { return flicker_.load(std::memory_order_relaxed); }
    void setFlicker(float flicker) override { flicker_.store(flicker, std::memory_order_relaxed); }
    // The transparency less a fresh uniform random value in [0, 1) times the flicker.
    float getFlickerTransparency() const;
    const std::string& getAlphabet() const { return alphabet_; }
    void setAlphabet(const std::string& alphabet) override { alphabet_ = alphabet; }

private:
    enum class PngResult { NotTaken, Loaded, Failed };
    PngResult loadPng(const std::string& bytes);
    bool loadBmp(const std::string& bytes);
    void takeImage(std::shared_ptr<platform::draw::Surface> image, int width, int height);

    std::shared_ptr<platform::draw::Surface> image_;
    Rect bounds_;
    Rect frame_;
    Rect source_;
    bool useAlpha_ = false;
    float transparency_ = 1.0f;
    std::atomic<float> flicker_{0.0f};
    std::string alphabet_;
};

} // namespace trov
