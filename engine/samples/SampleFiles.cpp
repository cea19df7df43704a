// The sample file factory: every reader in turn.
#include "engine/samples/SampleFiles.h"

#include "engine/samples/Sample.h"
#include "engine/samples/SampleFileSupport.h"
#include "engine/samples/SampleREX.h"
#include "engine/samples/SampleWav.h"
#include "engine/samples/SampleWavpack.h"
#include "framework/File.h"
#include "framework/Logger.h"
#include "framework/StringUtils.h"
#include "framework/System.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <fstream>
#include <optional>
#include <utility>

namespace trov {

namespace {

// The readers in the order they are tried, which is also their order here.
enum class Reader { Rex, Wav, SoundFile, Wavpack };
constexpr std::array<Reader, 4> kReaders = {Reader::Rex, Reader::Wav, Reader::SoundFile, Reader::Wavpack};

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

// The first of the readers after the loop reader that takes the file by its content, as loadSampleFile
// tries them, with the frames it declares (as far as it reads); none when none takes it.
std::optional<std::pair<Reader, std::int64_t>> contentReader(const File& file) {
    for (const auto& [reader, declared] : {std::pair{Reader::Wav, &SampleWav::declaredFileFrames},
                                           std::pair{Reader::SoundFile, &Sample::declaredFileFrames},
                                           std::pair{Reader::Wavpack, &SampleWavpack::declaredFileFrames}})
        if (const std::int64_t frames = declared(file); frames >= 0)
            return std::pair{reader, frames};
    return std::nullopt;
}

// The reader a file is meant for: by its first bytes, else the one that takes its content, else by its
// extension; none for any other file. A loop file is known by its extension only: the loop reader reads
// the whole file to tell.
std::optional<Reader> meantReader(const File& file) {
    char head[12] = {};
    std::streamsize got = 0;
    if (file.isRegularFile()) {
        std::ifstream in(file.getPath(), std::ios::binary);
        in.read(head, sizeof head);
        got = in.gcount();
    }
    auto at = [&](std::size_t offset, const char* id) {
        return got >= static_cast<std::streamsize>(offset + 4) && std::memcmp(head + offset, id, 4) == 0;
    };
    if (at(0, "RIFF") && at(8, "WAVE"))
        return Reader::Wav;
    if ((at(0, "FORM") && (at(8, "AIFF") || at(8, "AIFC"))) || at(0, ".snd"))
        return Reader::SoundFile;
    if (at(0, "wvpk"))
        return Reader::Wavpack;
    if (at(0, "fLaC") || at(0, "OggS"))
        return Reader::SoundFile;
    if (const auto taken = contentReader(file))
        return taken->first;
    if (SampleREX::acceptsFile(file))
        return Reader::Rex;
    if (SampleWav::acceptsFile(file))
        return Reader::Wav;
    if (SampleWavpack::acceptsFile(file))
        return Reader::Wavpack;
    if (Sample::acceptsFile(file))
        return Reader::SoundFile;
    return std::nullopt;
}

thread_local SampleFileRefusals* innermostRefusals = nullptr;

} // namespace

SampleFileRefusals::SampleFileRefusals() : outer_(innermostRefusals) {
    innermostRefusals = this;
}

SampleFileRefusals::~SampleFileRefusals() {
    innermostRefusals = outer_;
}

void SampleFileRefusals::refuse(const std::string& message) {
    if (innermostRefusals != nullptr)
        keep(message);
    else
        showErrorMessage(message);
}

void SampleFileRefusals::keep(const std::string& message) {
    if (innermostRefusals != nullptr && innermostRefusals->first_.empty())
        innermostRefusals->first_ = message;
}

bool canLoadSampleFile(const File& file) {
    return Sample::acceptsFile(file) || SampleREX::acceptsFile(file) || SampleWav::acceptsFile(file) ||
           SampleWavpack::acceptsFile(file);
}

bool isMeantAsSampleFile(const File& file) {
    return meantReader(file).has_value();
}

std::uint64_t sampleFileHeldValues(const File& file) {
    // What the reader that takes the file holds of it, whatever the file's name says.
    if (!file.isRegularFile() || SampleREX::takesFile(file))
        return 0;
    std::int64_t frames = 0;
    if (const auto taken = contentReader(file))
        frames = taken->second;
    else if (meantReader(file) == Reader::Wav)
        frames = file.getSize();
    return std::min(static_cast<std::uint64_t>(std::max<std::int64_t>(frames, 0)),
                    std::uint64_t{Sample::kMaxDataValues});
}

Sample* loadSampleFile(Radio* parent, const File& file, bool loadData) {
    static const char* const kWhere = "loadSampleFile";
    const std::string path = file.getPath();
    if (!file.exists()) {
        logErrorLine(3, ErrorImportFailed(kWhere, file));
        SampleFileRefusals::keep("The sample file " + path + " does not exist.");
        return nullptr;
    }
    // Readers open what they read: a pipe would keep them waiting for a writer, a device for ever.
    if (!file.isRegularFile()) {
        const std::string message =
            "The sample file " + path + " is " + File::kNotRegularText + " and was not read.";
        logLine(3, "%s", message.c_str());
        SampleFileRefusals::refuse(message);
        return nullptr;
    }
    // Each reader's import failure, indexed as Reader.
    std::array<Error, kReaders.size()> failures{NoError(), NoError(), NoError(), NoError()};
    for (std::size_t i = 0; i < kReaders.size(); ++i) {
        const Reader reader = kReaders[i];
        Sample* sample = makeSample(reader, parent);
        Error result = NoError();
        try {
            result = sample->load(file, loadData);
        } catch (const std::exception& exception) {
            logLine(3, "caught exception: %s", exception.what());
            result = GeneralError(kWhere,
                                  corruptText(std::string("reading it failed (") + exception.what() + ")"));
        }
        if (result.ok()) {
            if (loadData)
                finishLoading(reader, *sample, file);
            return sample;
        }
        sample->release();
        if (result.isImportFailure()) {
            failures[i] = result;
            continue;
        }
        logErrorLine(3, result);
        SampleFileRefusals::refuse(path + ": " + result.getMessage());
        return nullptr;
    }
    // No reader takes the file: the reason is that of the reader it was meant for.
    const std::optional<Reader> meant = meantReader(file);
    const std::string reason = file.getSize() == 0 ? std::string("it is empty")
                               : meant             ? failures[static_cast<std::size_t>(*meant)].getMessage()
                                                   : std::string("no sample reader takes it");
    // A caller that tries other readers after these (in a refusal scope) has a file meant for none of them
    // still to read: the failure, if there is one, is that caller's to log.
    if (meant || innermostRefusals == nullptr)
        logErrorLine(3,
                     GeneralError(kWhere, std::string(kSampleUnsupportedText) + " " + path + ": " + reason));
    SampleFileRefusals::keep("The sample file " + path + " could not be loaded: " + asSentence(reason));
    return nullptr;
}

} // namespace trov
