// The sample file factory: every reader in turn.
#include "engine/samples/SampleFiles.h"

#include "engine/samples/Sample.h"
#include "engine/samples/SampleFileSupport.h"
#include "engine/samples/SampleREX.h"
#include "engine/samples/SampleWav.h"
#include "engine/samples/SampleWavpack.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "framework/System.h"

#include <exception>

namespace trov {

namespace {

enum class Reader { Rex, Wav, SoundFile, Wavpack };

Sample* makeSample(Reader reader, Radio* parent) {
    switch (reader) {
    case Reader::Rex:
        return new SampleREX(parent);
    case Reader::Wav:
        return new SampleWav(parent);
    case Reader::SoundFile:
        return new Sample(parent);
    case Reader::Wavpack:
        return new SampleWavpack(parent);
    }
    return nullptr;
}

constexpr double kFirstTempo = 120.0;

void finishLoading(Reader reader, Sample& sample, const File& file) {
    if (reader != Reader::Wavpack)
        sample.updateSettings();
    if (reader == Reader::Wav || reader == Reader::SoundFile)
        sample.loadSliceFile(file);
    sample.render(kFirstTempo);
}

} // namespace

bool canLoadSampleFile(const File& file) {
    return Sample::acceptsFile(file) || SampleREX::acceptsFile(file) || SampleWav::acceptsFile(file) ||
           SampleWavpack::acceptsFile(file);
}

Sample* loadSampleFile(Radio* parent, const File& file, bool loadData) {
    static const char* const kWhere = "loadSampleFile";
    if (!file.exists()) {
        logErrorLine(3, ErrorImportFailed(kWhere, file));
        return nullptr;
    }
    for (Reader reader : {Reader::Rex, Reader::Wav, Reader::SoundFile, Reader::Wavpack}) {
        Sample* sample = makeSample(reader, parent);
        Error result = NoError();
        try {
            result = sample->load(file, loadData);
        } catch (const std::exception& exception) {
            logLine(3, "caught exception: %s", exception.what());
            result = GeneralError(kWhere, kSampleCorruptText);
        }
        if (result.ok()) {
            if (loadData)
                finishLoading(reader, *sample, file);
            return sample;
        }
        sample->release();
        if (result.isImportFailure())
            continue;
        logErrorLine(3, result);
        showErrorMessage(result.getMessage());
        return nullptr;
    }
    logErrorLine(3, GeneralError(kWhere, std::string(kSampleUnsupportedText) + " " + file.getPath()));
    return nullptr;
}

} // namespace trov
