#pragma once

#include "engine/io/IOConfig.h"
#include "framework/Radio.h"

#include <cstdint>
#include <string>

namespace trov {

class EditorInterface;

// The framework's view of the host, independent of any plug-in SDK: the open editor, the input/output
// configuration with one buffer per channel, the block size, sample rate, tempo, song position and the
// host's name. The host binding's process derives from it and answers the host queries; tests answer them
// with their own subclass. A station without owner; oscillators and other rate-dependent objects tune in
// to it for the sample-rate message (system message 3004, extra word = the rate in Hz).
//
// Threads: configuration, block size and sample rate change on the user-interface thread while no block
// is processed; the audio thread fills and reads the buffers and asks tempo and song position.
class HostInterface : public Radio {
public:
    static constexpr std::int32_t kKind = 21;
    static constexpr int kDefaultSampleRate = 44100;

    HostInterface();
    ~HostInterface() override;

    EditorInterface* getEditor() const override { return editor_; }
    // Null on close.
    virtual void setEditor(EditorInterface* editor) { editor_ = editor; }

    // The current configuration with its buffers.
    virtual IOConfig& getIOBridge() { return ioBridge_; }
    // Adopts a copy of the configuration and gives every channel of its pins a buffer of the block size.
    virtual bool setIOConfig(const IOConfig& config);
    virtual int getBlockSize() const { return blockSize_; }
    // Resizes every channel buffer of the configuration to the new block size.
    virtual void setBlockSize(int frames);
    virtual int getSampleRate() const { return sampleRate_; }
    // Stores the rate and broadcasts system message 3004 with the rate, also when it did not change.
    virtual void setSampleRate(int rate);

    // Beats per minute.
    virtual double getTempo() const = 0;
    // In beats from the song's start.
    virtual double getSongPosition() const = 0;
    virtual std::string getHostName() const = 0;

    std::int32_t getKind() const { return kKind; }

private:
    void sizeBuffers();

    EditorInterface* editor_ = nullptr;
    IOConfig ioBridge_;
    int blockSize_ = 0;
    int sampleRate_ = kDefaultSampleRate;
};

} // namespace trov
