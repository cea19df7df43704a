#pragma once

#include "hostapp/HostedProcess.h"
#include "hostapp/ModuleLoader.h"
#include "hostapp/Options.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace corvale::hostapp {

// What a check found wrong; empty when it passed.
class Problems {
public:
    // Notes text as a problem when condition is false; returns condition.
    bool expect(bool condition, const std::string& text) {
        if (!condition)
            list_.push_back(text);
        return condition;
    }
    void add(const std::string& text) { list_.push_back(text); }
    bool empty() const { return list_.empty(); }
    std::string text() const;
    // The check could not judge and says why: neither passed nor failed (unless problems were found too).
    void skip(const std::string& why) { skipped_ = why; }
    const std::string& skipped() const { return skipped_; }

private:
    std::vector<std::string> list_;
    std::string skipped_;
};

// One process the check runs, with its host side and type.
struct CheckInstance {
    HostedProcess host;
    trov::hostsdk::Process* process = nullptr;
    trov::hostsdk::EffectTypeInfo type;
    std::int32_t typeIndex = -1;
};

// The state the checks share: the loaded module, the processes made so far, the random generator. The
// checks run one after another on the user-interface thread (the main thread).
struct CheckSession {
    std::string modulePath;
    // Files dropped on the instance in order before the note check plays (a module that is silent until
    // it has samples), by absolute path; empty: none.
    std::vector<std::string> loadPaths;
    HeadlessServices services;
    LoadedModule module;
    std::vector<std::unique_ptr<CheckInstance>> instances;
    std::int32_t renderType = -1;
    std::int32_t typeCount = 0;
    int threadsBeforeLoad = 0;
    // A new instance's chunk and change count in the first load, for the reload to compare with.
    std::vector<std::uint8_t> freshChunk;
    std::vector<std::int32_t> freshValues;
    std::int32_t freshChanges = 0;
    std::mt19937 random;

    trov::hostsdk::PlugInGroup& group() { return *module.group(); }
    // A started process of type index (set up, rate 48000, connected with the type's stems and the given
    // largest block), kept in instances; null with the reason (and what the module showed) in problems,
    // the process released and not kept.
    CheckInstance* startInstance(std::int32_t index, std::int32_t maxBlock, Problems& problems);
    void releaseInstances();
    // The started instances of the render type, in the order they were made.
    std::vector<CheckInstance*> renderInstances();
};

constexpr std::uint32_t kCheckRate = 48000;

// Renders frames of silence in blocks of at most block frames and gives the largest absolute output value,
// or -1 when any output was not finite.
float renderPeak(CheckInstance& instance, std::int64_t frames, std::int32_t block);

// Judges a note of the one sample file dropped (at path), played at its root key at full velocity for
// 0.3 s, by its peak (the largest absolute output value, its onset included) against what the file predicts
// through the instrument's voice at its default settings: within a few decibels, or below audibility for a
// sample that plays no louder. Adds the problem when it is not; false when libsndfile cannot read the file,
// which then predicts nothing.
bool judgeSampleNote(const std::string& path, float peak, Problems& problems);

// The key that plays a sample file at its own pitch: its root note as the module reads it (a WAV file's
// "smpl" unity note, else its "acid" root note; another file's instrument chunk through libsndfile), held to
// 0..127; 60 when it names none or is no sample file libsndfile or the module's WAV reader reads.
int sampleRootKey(const std::string& path);
// A RIFF WAVE file's root key as the module's own WAV reader takes it: the last whole "smpl" chunk's unity
// note unless 0, else the last whole "acid" chunk's root note unless 0, held to the keyboard; nothing when
// that reader does not decode the file (no RIFF WAVE header, no whole format chunk, a coding other than
// integers of up to 32 bits or 32-bit floats, or less than a frame of data), which libsndfile then reads.
std::optional<int> ownWavRootKey(std::istream& in);

// Every control's value, in control order.
std::vector<std::int32_t> controlValues(trov::hostsdk::Process& process);

// A chunk's whole bytes through the size and get requests; empty with the reason in problems on failure.
std::vector<std::uint8_t> readChunk(trov::hostsdk::Process& process, Problems& problems);

// The checks, in the order they run; each returns its problems. The ones that need a process skip when an
// earlier check could not make any.
Problems checkModuleStarts(CheckSession& session);
Problems checkEffectTypes(CheckSession& session);
Problems checkSeveralInstances(CheckSession& session);
Problems checkControls(CheckSession& session);
Problems checkNoteSounds(CheckSession& session);
Problems checkConcurrentRender(CheckSession& session);
Problems checkChunkRoundTrip(CheckSession& session);
Problems checkBrokenChunks(CheckSession& session);
Problems checkView(CheckSession& session);
Problems checkTeardown(CheckSession& session);
Problems checkReload(CheckSession& session);

// The check command: every check above on the module at options.module, one line each on out, then
// "N passed, N failed" (and ", N skipped" when a check could not judge); the checks a module that did not
// start leaves nothing to judge are skipped on one line. Messages the module showed and no check took are
// dropped before the next check runs, so none is judged by a check it does not belong to. Returns 0 when
// none failed, 1 otherwise; 2, with one line and no check run, when a file to load cannot be read; 128 and
// the signal's number when StopSignals caught one, which stops the checks before the next one (a line says
// after how many).
int runCheck(const Options& options, std::ostream& out);

} // namespace corvale::hostapp
