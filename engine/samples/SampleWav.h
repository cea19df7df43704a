#pragma once

#include "engine/samples/Sample.h"
#include "engine/samples/WavChunks.h"

namespace trov {

// A sample read from and written to RIFF/WAVE files: 8-, 16-, 24- and 32-bit integer and 32-bit float
// audio with the sampler chunks that carry root note, fine tune, loop and slice points. Every chunk it
// understood stays as a record. Used to export any sample as WAV (through the copy from a Sample) and to
// write recordings. One thread at a time, like any sample.
class SampleWav : public Sample {
public:
    explicit SampleWav(Radio* parent = nullptr);
    // The Sample part of another sample, with new records.
    explicit SampleWav(const Sample& sample);
    SampleWav(const SampleWav& other);
    ~SampleWav() override;

    Sample* clone() const override;
    // An import failure (kErrorImportFailed) when the file cannot be opened or is not a WAV file this reader
    // decodes.
    Error load(const File& file, bool loadData) override;
    Error loadStream(std::istream& in, bool loadData) override;
    // Writes "fmt ", "data", "smpl", "cue " and "inst" at the sample's bit depth.
    Error save(File& file) const override;

    static bool acceptsFile(const File& file);
    // The frames this reader would decode from the file, told from its header walk without reading the
    // data: the most a sample holds for one it refuses as too large; -1 for a file it leaves to the other
    // readers.
    static std::int64_t declaredFileFrames(const File& file);
    const WavChunks& getChunks() const { return chunks_; }

private:
    void decodeMono(const WavCoding& coding);
    void readPitch();
    void readLoop();
    void readSlices();

    WavChunks chunks_;
};

} // namespace trov
