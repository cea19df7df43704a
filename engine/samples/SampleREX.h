#pragma once

#include "engine/samples/Sample.h"

#include <memory>

namespace trov {

// A REX or ReCycle loop read through the REX shared library: a loop cut into slices that it renders at a
// tempo into one mono sample whose slices hold the cut points. It renders again when the tempo or the
// transposition ("SampleDetuneCoarse", in semitones) changes. Clones share the library's object, which
// goes with the last of them. One thread at a time, like any sample.
class SampleREX : public Sample {
public:
    explicit SampleREX(Radio* parent = nullptr);
    SampleREX(const SampleREX& other);
    ~SampleREX() override;

    Sample* clone() const override;
    // Reads the file and hands its bytes to the library.
    Error loadFile(const File& file);
    // The loop's format, slice count and creator texts; the audio comes with `render`.
    Error load(const File& file, bool loadData) override;
    // Renders every slice at the tempo (beats per minute); false when the library fails, keeping the
    // slices rendered before the failing one.
    bool render(double tempo) override;
    bool needsProcessing() const override;
    void applySettings(const Dictionary& settings) override;

    static bool acceptsFile(const File& file);
    // Whether the REX library makes a loop of the file, whatever its name: never without the library.
    static bool takesFile(const File& file);
    double getRenderedTempo() const { return tempo_; }

private:
    struct Layout;
    // Reads the file and hands its bytes to the library: kRexOk with the object made, else the library's
    // result or 0 for a file not read (no regular file, empty, or too large for a loop file).
    std::int32_t createObject(const File& file);
    bool planSlices(double tempo, Layout& layout) const;
    bool renderSlices(const Layout& layout);

    std::shared_ptr<void> object_;
    double tempo_ = 0.0;
};

} // namespace trov
