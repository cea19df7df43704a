#pragma once

#include "engine/samples/Sample.h"

struct WavpackContext;

namespace trov {

// A sample decoded from a WavPack file (with its correction file when one lies beside it). Multichannel
// files are read as their first two channels; integer and float files alike end as one mono channel.
// One thread at a time, like any sample.
class SampleWavpack : public Sample {
public:
    explicit SampleWavpack(Radio* parent = nullptr);
    SampleWavpack(const SampleWavpack& other);
    ~SampleWavpack() override;

    Sample* clone() const override;
    // An import failure (kErrorImportFailed) when WavPack does not open the file; without loadData only the
    // format is read.
    Error load(const File& file, bool loadData) override;

    static bool acceptsFile(const File& file);
    // The frames a WavPack file declares, read from its header without decoding any audio, which is as far
    // as it is read; the most a sample holds when it declares none; -1 when WavPack does not open it.
    static std::int64_t declaredFileFrames(const File& file);

private:
    Error decodeMono(WavpackContext* context);
};

} // namespace trov
