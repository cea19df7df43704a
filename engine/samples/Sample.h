#pragma once

#include "engine/samples/SampleBuffer.h"
#include "engine/samples/SampleInfo.h"
#include "framework/Dictionary.h"
#include "framework/Error.h"
#include "framework/Radio.h"
#include "framework/SharedObject.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace trov {

class File;
class FrequencySource;

// An audio sample in memory: 32-bit float values with their description block, the playback positions
// (start, inclusive end, one loop), slices, the processing settings last applied (normalize, reverse,
// invert phase) and the resource flags. File readers fill it (or a subclass); zones and sample players read
// it. After any loader has run the data is mono, and the value after the last frame always repeats the
// first (the guard), so that interpolating at the last frame reads inside the buffer.
//
// Reference-counted: owned through SharedObjectPtr<Sample> or by the resources; every copy (`clone`, the
// copy constructor) is a new object with its own count and its own data.
// Threads: loaded, edited and saved on the user-interface thread (or a worker); the audio thread only reads
// values and positions, and no edit runs while a voice plays the sample.
class Sample : public Radio, public SharedObject {
public:
    struct Loop {
        std::int32_t mode = 0; // kLoopOff or kLoopOn
        std::int32_t start = 0;
        std::int32_t end = 0;
    };
    // Both ends inclusive frame indices.
    struct Slice {
        std::int32_t start = 0;
        std::int32_t end = 0;
    };

    static constexpr std::int32_t kLoopOff = 0;
    static constexpr std::int32_t kLoopOn = 2;
    static constexpr std::uint32_t kFlagExport = 1;
    static constexpr std::uint32_t kFlagResident = 2;
    // The least distance between start and end, and the shortest loop, in frames.
    static constexpr std::int32_t kMinimumSpan = 512;
    // The processing a sample's settings ask for, one bit each (`getProcessing`, `processingOf`).
    static constexpr std::uint32_t kNormalized = 1;
    static constexpr std::uint32_t kReversed = 2;
    static constexpr std::uint32_t kInverted = 4;
    // Resident sample data is held scrambled by this 24-bit mask (XOR on every 32-bit word).
    static constexpr std::uint32_t kResidentMask = 0x3B1D47;
    // Interpolation modes of getValue.
    static constexpr std::int32_t kNearest = 0;
    static constexpr std::int32_t kRounded = 1;
    static constexpr std::int32_t kLinear = 2;
    // The most floats one sample may hold (2 GiB); readers refuse anything larger.
    static constexpr std::size_t kMaxDataValues = std::size_t{1} << 29;
    // The key of a sample document's data.
    static constexpr const char* kDataKey = "sampledata";

    // The owner module is the parent's.
    explicit Sample(Radio* parent = nullptr);
    // Copies the block and channels x frames values of its data (none when it has none); end = frames - 1.
    Sample(Radio* parent, const SampleInfo& info);
    // Deep copy: block, flags, settings, positions, loop, slices, gain and data.
    Sample(const Sample& other);
    Sample& operator=(const Sample&) = delete;
    ~Sample() override;

    // A new copy of the same class with a count of one, held by the caller.
    virtual Sample* clone() const;
    // A new plain sample with the block, flags, settings, positions, loop and slices of this one but none
    // of its data (its frame count kept), held by the caller: what positions and processing settings make
    // of each other is worked out on it without copying the audio.
    Sample* cloneDescription() const;
    // Reads an audio file; an import failure (kErrorImportFailed) means the class does not take the file, so
    // the next reader may try.
    virtual Error load(const File& file, bool loadData);
    virtual Error save(File& file) const;
    // Applies the own settings again (after a loader replaced the data).
    virtual void updateSettings();
    // Sample documents: the keys of the sample's dictionary. Reading throws Exception::SampleDataCorrupt
    // for data that does not decode, leaving the sample exactly as it was; without data the frame and
    // channel counts stay those of the data held, and a declared count without any gives no frames.
    virtual void fromDictionary(const Dictionary& dictionary);
    // The most values (frames times channels) a new sample read from the item takes from its data,
    // counted without decoding it: what its frame and channel counts declare, or without a declared frame
    // count what its gzip stream declares; 0 without data.
    static std::uint64_t declaredDataValues(const Dictionary& item);
    // The values such a sample holds once read (its data is mixed down to one channel), counted alike.
    static std::uint64_t declaredHeldValues(const Dictionary& item);
    virtual void writePositions(Dictionary& dictionary) const;
    virtual void toDictionary(Dictionary& dictionary) const;
    // Loop files render their slices at a tempo; a plain sample has nothing to do.
    virtual bool render(double tempo);
    virtual bool needsProcessing() const;
    // Normalize, reverse and invert as the settings say, undoing what they no longer ask for.
    virtual void applySettings(const Dictionary& settings);
    // The processing settings ask for ("SampleNormalize", "SampleReverse", "SampleInvertPhase"), and the
    // processing the sample's own settings hold, as kNormalized, kReversed and kInverted bits.
    static std::uint32_t processingOf(const Dictionary& settings);
    std::uint32_t getProcessing() const { return processingOf(settings_); }
    // The plain sample's part of applySettings, for settings asking for that processing.
    void applyProcessing(std::uint32_t processing);
    // Frees the data; positions stay.
    virtual void releaseData();
    // The reader of a subclass that reads from a stream; the plain sample takes no stream (an import
    // failure).
    virtual Error loadStream(std::istream& in, bool loadData);

    // Whether the sound-file reader takes the file's extension.
    static bool acceptsFile(const File& file);
    // The frames a sound file declares, read from its header by libsndfile without decoding any audio, which
    // is as far as it is read (0 for one declaring no channels, which the reader refuses); -1 when
    // libsndfile does not open it.
    static std::int64_t declaredFileFrames(const File& file);

    float* getData() noexcept { return info_.data; }
    const float* getData() const noexcept { return info_.data; }
    // channels x frames (a channel count below 1 counts as 1), bounded by what the buffer holds.
    std::size_t heldValueCount() const;
    // The block; its data pointer points into this sample. Read it in place on the audio thread: a copy
    // copies the creator and comment texts.
    const SampleInfo& getInfo() const noexcept { return info_; }
    std::int32_t getRootNote() const noexcept { return info_.rootNote; }
    void setRootNote(std::int32_t note);
    std::int32_t getDetune() const noexcept { return info_.detune; }
    void setDetune(std::int32_t detune);
    std::int32_t getStart() const noexcept { return start_; }
    std::int32_t getEnd() const noexcept { return end_; }
    // Taken only when it leaves kMinimumSpan frames before the end; the loop is then checked again.
    void setStart(std::int32_t frame);
    // Taken only when at least kMinimumSpan frames after the start; clamped to the last frame.
    void setEnd(std::int32_t frame);
    bool hasLoop() const noexcept { return loop_.start != loop_.end; }
    Loop getLoop() const noexcept { return loop_; }
    // Stores the loop as fitLoop fits it.
    void setLoop(const Loop& loop) { loop_ = fitLoop(loop); }
    // The loop lengthened to kMinimumSpan frames, though never past the last frame held (a sample shorter
    // than that keeps its loop inside what it holds), or with its start moved back when it reaches past
    // the data. A fitted loop fits as it is.
    Loop fitLoop(const Loop& loop) const noexcept;
    int getSliceCount() const noexcept { return static_cast<int>(slices_.size()); }
    // {0, 0} when out of range.
    Slice getSlice(int index) const noexcept;
    // Resizes the list; new entries are {0, 0}.
    void setSlices(int count);
    std::uint32_t testFlags(std::uint32_t mask) const noexcept { return flags_ & mask; }
    // The factor the last normalize applied; 1.0 when none is in force.
    float getGain() const noexcept { return gain_; }

    // One value at a fractional frame position, by the interpolation mode; positions outside the data
    // read its nearest frame, and a sample without data reads 0.
    float getValue(int channel, float position) const noexcept;
    // The frequency of the root note (detuned) in a tuning, such as a module's current one, at the
    // reference pitch (FrequencySource::getFrequencyAtReferencePitch): what a player's rate is measured
    // against, so that the root key plays the sample as recorded in every tuning and a master pitch moves
    // every key alike. Computed on every call, so no thread writes anything here.
    float getRootFrequency(const FrequencySource& tuning) const noexcept;
    // The root note's frequency (detuned) in a tuning as it plays, at its master pitch.
    float getRootFrequencyIn(const FrequencySource& tuning) const noexcept;
    // The frame nearest to position, searching alternately left and right, whose sign differs from the
    // sign at position; position itself when its value is 0; 0 when none differs.
    int findZeroCrossing(int position) const;
    // Averages the channels into one (a no-op for mono); the guard is written.
    void mixToMono();
    // Scrambles or unscrambles resident data (applying it twice restores the values).
    void applyResidentMask();
    // Reads slices from the ".mrk" side file of the audio file; always false (callers ignore it).
    bool loadSliceFile(const File& audioFile);

protected:
    // For readers. Replaces the data by count zeroed floats and points info_.data at them; null (and no
    // data) when count exceeds kMaxDataValues or memory is short. info_.data is only ever set through
    // this, resizeData and releaseData (and by a document's data).
    float* allocateData(std::size_t count);
    // Grows or shrinks the buffer to count floats, keeping the values that still fit (new ones are zero);
    // null, with the buffer as it was, when count is 0, exceeds kMaxDataValues or memory is short. For
    // readers that learn the length as frames arrive: they grow it, then trim it to what they read.
    float* resizeData(std::size_t count);
    // The number of floats allocated behind info_.data.
    std::size_t getDataCapacity() const noexcept { return buffer_.size(); }
    // data[channels x frames] = data[0], when the buffer has room for it.
    void writeGuard();
    // For readers, once the data is in: values that are not finite become 0 and finite ones beyond
    // kSampleValueLimit are held at it (either would make the voices and filters it reaches sound NaN),
    // their counts are logged naming the source, and the guard is written again.
    void boundData(const std::string& source);
    // The same over values not yet the sample's (a document's data), without the guard.
    static void boundValues(float* values, std::size_t count, const std::string& source);

    SampleInfo info_;
    std::uint32_t flags_ = kFlagExport;
    Dictionary settings_;
    std::int32_t interpolation_ = kLinear;
    std::int32_t start_ = 0;
    std::int32_t end_ = 0;
    Loop loop_;
    std::vector<Slice> slices_;
    float gain_ = 1.0f;

private:
    // A copy, with the data or without it.
    Sample(const Sample& other, bool withData);
    // Frees the buffer without touching the description.
    void releaseDataBuffer();
    void copyData(const float* source, std::size_t count);
    void normalize();
    void undoNormalize();
    void reverse();
    void invert();
    // Decodes "sampledata" of channels-wide frames into mono values with the guard, returning the frames;
    // throws Exception::SampleDataCorrupt when it does not decode, or when the document declared its frames
    // and the data holds more. The sample itself is not touched.
    static std::int32_t readSampleData(const Dictionary& dictionary, std::int32_t declaredFrames,
                                       bool declared, std::int32_t channels, SampleBuffer& into);
    // Clamps start, end and loop into the frames held (when there are any).
    void clampPositions();

    SampleBuffer buffer_;
};

} // namespace trov
