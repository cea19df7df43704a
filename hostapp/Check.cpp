#include "hostapp/CheckSession.h"
#include "hostapp/FileChecks.h"
#include "hostapp/ModuleStartup.h"
#include "hostapp/StopSignals.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <thread>

namespace corvale::hostapp {

using namespace trov::hostsdk;

std::string Problems::text() const {
    std::string text;
    for (const std::string& problem : list_)
        text += (text.empty() ? "" : "; ") + problem;
    return text;
}

CheckInstance* CheckSession::startInstance(std::int32_t index, std::int32_t maxBlock, Problems& problems) {
    auto instance = std::make_unique<CheckInstance>();
    instance->typeIndex = index;
    if (!problems.expect(group().getTypeInfo(index, instance->type), "no type " + std::to_string(index)))
        return nullptr;
    instance->process = group().createProcess(index, &instance->host);
    if (!problems.expect(instance->process != nullptr, "type " + std::to_string(index) + " made no process"))
        return nullptr;
    Process& process = *instance->process;
    // An instance that did not start is released at once: no later check may take it for a working one.
    const auto notStarted = [&](const std::string& what) -> CheckInstance* {
        const std::string shown = reasonLine(services.takeMessages());
        problems.add("an instance of type " + std::to_string(index) + " " + what +
                     (shown.empty() ? "" : ": " + shown));
        process.release();
        return nullptr;
    };
    if (process.initialize() != kResultOk)
        return notStarted("failed to initialise");
    process.setSampleRate(static_cast<std::int32_t>(kCheckRate));
    ConnectInfo connect;
    connect.inputStem = instance->type.inputStem;
    connect.outputStem = instance->type.outputStem;
    connect.maxBlockSize = maxBlock;
    if (process.connect(connect) != kResultOk)
        return notStarted("refused its connection");
    instances.push_back(std::move(instance));
    return instances.back().get();
}

void CheckSession::releaseInstances() {
    for (auto& instance : instances)
        if (instance->process != nullptr) {
            instance->process->release();
            instance->process = nullptr;
        }
    instances.clear();
}

std::vector<std::int32_t> controlValues(Process& process) {
    std::vector<std::int32_t> values;
    for (std::int32_t c = 1; c <= process.getControlCount(); ++c) {
        std::int32_t value = 0;
        process.getControlValue(c, value);
        values.push_back(value);
    }
    return values;
}

std::vector<CheckInstance*> CheckSession::renderInstances() {
    std::vector<CheckInstance*> found;
    for (auto& instance : instances)
        if (instance->process != nullptr && instance->typeIndex == renderType)
            found.push_back(instance.get());
    return found;
}

float renderPeak(CheckInstance& instance, std::int64_t frames, std::int32_t block) {
    const int inputs = channelsOfStem(instance.type.inputStem);
    const int outputs = channelsOfStem(instance.type.outputStem);
    std::vector<std::vector<float>> buffers(static_cast<std::size_t>(inputs + outputs),
                                            std::vector<float>(static_cast<std::size_t>(block)));
    std::vector<float*> pointers;
    for (auto& buffer : buffers)
        pointers.push_back(buffer.data());
    float peak = 0.0f;
    for (std::int64_t done = 0; done < frames;) {
        const auto count = static_cast<std::int32_t>(std::min<std::int64_t>(block, frames - done));
        for (int i = 0; i < inputs; ++i)
            std::fill(buffers[i].begin(), buffers[i].end(), 0.0f);
        instance.process->renderAudio(pointers.data(), pointers.data() + inputs, count);
        for (int i = 0; i < outputs; ++i)
            for (std::int32_t f = 0; f < count; ++f) {
                const float value = pointers[inputs + i][f];
                if (!std::isfinite(value))
                    return -1.0f;
                peak = std::max(peak, std::fabs(value));
            }
        done += count;
    }
    return peak;
}

std::vector<std::uint8_t> readChunk(Process& process, Problems& problems) {
    std::int32_t size = 0;
    process.getChunkSize(kStateChunkId, size);
    if (!problems.expect(size >= kChunkHeaderSize && size <= (64 << 20),
                         "chunk size " + std::to_string(size) + " out of range"))
        return {};
    constexpr std::size_t kGuard = 16;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + kGuard, 0xA5);
    process.getChunk(kStateChunkId, bytes.data(), size);
    for (std::size_t i = static_cast<std::size_t>(size); i < bytes.size(); ++i)
        if (!problems.expect(bytes[i] == 0xA5, "the chunk was written past its size"))
            return {};
    bytes.resize(static_cast<std::size_t>(size));
    std::int32_t sizeField = 0;
    std::memcpy(&sizeField, bytes.data(), 4);
    problems.expect(sizeField == size, "the chunk's size field " + std::to_string(sizeField) +
                                           " differs from its size " + std::to_string(size));
    return bytes;
}

Problems checkModuleStarts(CheckSession& session) {
    Problems problems;
    session.threadsBeforeLoad = countThreads();
    std::string error;
    if (!problems.expect(session.module.load(session.modulePath, session.services, error), error))
        return problems;
    const std::string failure = startFailure(session.group(), session.services);
    if (!problems.expect(failure.empty(), "it did not start: " + failure))
        return problems;
    // A module whose instance cannot initialise (its settings file missing, for one) did not start either,
    // as a render finds it; the instance is let go, the later checks make their own.
    if (const std::int32_t type = chooseRenderType(session.group()); type >= 0) {
        Problems instance;
        const bool started = session.startInstance(type, 512, instance) != nullptr;
        session.releaseInstances();
        if (!problems.expect(started, "it did not start: " + instance.text()))
            return problems;
    }
    GroupIdentity identity;
    session.group().getIdentity(identity);
    problems.expect(std::strlen(identity.productName) > 0, "no product name");
    problems.expect(std::strlen(identity.makerName) > 0, "no maker name");
    problems.expect(identity.makerCode != 0, "no maker code");
    problems.expect(identity.productVersion != 0, "no product version");
    const std::vector<std::string> shown = session.services.takeMessages();
    problems.expect(shown.empty(), "it showed a message at start: " + (shown.empty() ? "" : shown.front()));
    return problems;
}

Problems checkEffectTypes(CheckSession& session) {
    Problems problems;
    PlugInGroup& group = session.group();
    GroupIdentity identity;
    group.getIdentity(identity);
    const std::int32_t count = group.getTypeCount();
    session.typeCount = count;
    if (!problems.expect(count >= 1, "no effect types"))
        return problems;
    problems.expect(group.getTypeCount() == count, "the type count changed when asked again");
    constexpr std::uint32_t kFirstTypeCode = 0x566E6B20; // "Vnk "
    std::uint32_t productCode = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        EffectTypeInfo info;
        const std::string which = "type " + std::to_string(i);
        if (!problems.expect(group.getTypeInfo(i, info), which + " has no description"))
            continue;
        problems.expect(info.typeCode == kFirstTypeCode + static_cast<std::uint32_t>(i),
                        which + " has code " + std::to_string(info.typeCode));
        if (i == 0)
            productCode = info.productCode;
        problems.expect(info.productCode != 0 && info.productCode == productCode,
                        which + " has another product code");
        problems.expect(std::strcmp(info.name, identity.productName) == 0, which + " is named " + info.name);
        problems.expect(channelsOfStem(info.outputStem) > 0, which + " has no output stem");
        problems.expect(info.inputStem == kStemNone || channelsOfStem(info.inputStem) > 0,
                        which + " has an unknown input stem");
        problems.expect(info.propertyCount >= 0 && info.propertyCount <= kMaxTypeProperties,
                        which + " has " + std::to_string(info.propertyCount) + " properties");
    }
    EffectTypeInfo none;
    problems.expect(!group.getTypeInfo(count, none) && !group.getTypeInfo(-1, none),
                    "types outside the count are described");
    session.renderType = chooseRenderType(group);
    problems.expect(session.renderType >= 0, "no type has an audio output");
    return problems;
}

Problems checkSeveralInstances(CheckSession& session) {
    Problems problems;
    PlugInGroup& group = session.group();
    problems.expect(group.createProcess(session.typeCount, nullptr) == nullptr &&
                        group.createProcess(-1, nullptr) == nullptr,
                    "a process was made for a type that does not exist");
    // One instance of every type, all alive at once, and three of the render type for the later checks.
    for (std::int32_t i = 0; i < session.typeCount; ++i)
        session.startInstance(i, 512, problems);
    for (int extra = 0; extra < 2 && session.renderType >= 0; ++extra)
        session.startInstance(session.renderType, 512, problems);
    // The last instance is left untouched: its state is what a new instance starts with.
    if (!session.instances.empty() && session.instances.back()->process != nullptr) {
        Process& fresh = *session.instances.back()->process;
        session.freshChunk = readChunk(fresh, problems);
        session.freshValues = controlValues(fresh);
        fresh.getChangeCounter(session.freshChanges);
    }
    std::int32_t controls = -1;
    for (const auto& instance : session.instances) {
        if (instance->process == nullptr)
            continue;
        const std::int32_t count = instance->process->getControlCount();
        if (controls < 0)
            controls = count;
        problems.expect(count == controls, "instances of one module have different control counts");
    }
    return problems;
}

namespace {

// Runs a text query with guard bytes after the buffer and checks it keeps within length and, when it
// must answer, ends with a zero; returns the text.
std::string guardedText(const std::function<void(char*, std::int32_t)>& query, std::int32_t length,
                        const std::string& what, Problems& problems, bool mustAnswer = true) {
    constexpr std::size_t kRoom = 96;
    char buffer[kRoom];
    std::memset(buffer, 0x7F, sizeof buffer);
    query(buffer, length);
    const std::size_t limit = length > 0 ? static_cast<std::size_t>(length) : 0;
    for (std::size_t i = limit; i < kRoom; ++i)
        if (!problems.expect(buffer[i] == 0x7F,
                             what + " at length " + std::to_string(length) + " wrote past its length"))
            return std::string();
    if (limit == 0 || (!mustAnswer && static_cast<unsigned char>(buffer[0]) == 0x7F))
        return std::string();
    const void* end = std::memchr(buffer, 0, limit);
    if (!problems.expect(end != nullptr,
                         what + " at length " + std::to_string(length) + " is not terminated"))
        return std::string();
    return std::string(buffer);
}

} // namespace

Problems checkControls(CheckSession& session) {
    Problems problems;
    if (!problems.expect(!session.instances.empty() && session.instances.front()->process != nullptr,
                         "no instance to ask"))
        return problems;
    CheckInstance& instance = *session.instances.front();
    Process& process = *instance.process;
    const std::int32_t count = process.getControlCount();
    problems.expect(count >= 0, "negative control count");
    std::vector<std::int32_t> initial(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t c = 1; c <= count; ++c) {
        const std::string which = "control " + std::to_string(c);
        for (const std::int32_t length : {64, 32, 16, 8, 4, 2, 1, 0, -1}) {
            const std::string name =
                guardedText([&](char* buffer, std::int32_t room) { process.getControlName(c, buffer, room); },
                            length, which + "'s name", problems);
            if (length == 32)
                problems.expect(!name.empty(), which + " has no name");
            guardedText(
                [&](char* buffer, std::int32_t room) { process.getControlValueText(c, buffer, room); },
                length, which + "'s value text", problems);
        }
        problems.expect(process.isControlAutomatable(c), which + " is not automatable");
        process.getControlValue(c, initial[static_cast<std::size_t>(c - 1)]);
    }
    // Values: the ends of the range keep their order, and a value read back is stable when set again.
    std::int32_t changesBefore = 0;
    process.getChangeCounter(changesBefore);
    int sets = 0;
    for (std::int32_t c = 1; c <= count; ++c) {
        const std::string which = "control " + std::to_string(c);
        std::int32_t low = 0;
        std::int32_t high = 0;
        std::int32_t again = 0;
        process.setControlValue(c, INT32_MIN);
        process.getControlValue(c, low);
        process.setControlValue(c, INT32_MAX);
        process.getControlValue(c, high);
        process.setControlValue(c, high);
        process.getControlValue(c, again);
        sets += 3;
        problems.expect(low <= high, which + ": the lowest value reads above the highest");
        problems.expect(again == high, which + ": a value read back changes when set again");
        process.setControlValue(c, initial[static_cast<std::size_t>(c - 1)]);
        ++sets;
    }
    std::int32_t changesAfter = 0;
    process.getChangeCounter(changesAfter);
    problems.expect(changesAfter >= changesBefore + sets, "host control changes were not all counted");
    // Numbers outside 1..count change nothing.
    std::vector<std::int32_t> before(initial.size());
    for (std::int32_t c = 1; c <= count; ++c)
        process.getControlValue(c, before[static_cast<std::size_t>(c - 1)]);
    for (const std::int32_t outside : {0, -1, count + 1, INT32_MAX}) {
        process.setControlValue(outside, 0);
        process.setControlHighlight(outside, true, 0);
        guardedText([&](char* buffer, std::int32_t room) { process.getControlName(outside, buffer, room); },
                    16, "control " + std::to_string(outside) + "'s name", problems, false);
    }
    for (std::int32_t c = 1; c <= count; ++c) {
        std::int32_t value = 0;
        process.getControlValue(c, value);
        problems.expect(value == before[static_cast<std::size_t>(c - 1)],
                        "setting a control outside the count changed control " + std::to_string(c));
    }
    // Only the editor's gestures go back to the host as automation, never the host's own changes.
    const std::vector<HostedProcess::Automation> echoed = instance.host.takeAutomation();
    problems.expect(echoed.empty(), "the host's own control changes came back as automation");
    return problems;
}

Problems checkTeardown(CheckSession& session) {
    Problems problems;
    session.releaseInstances();
    session.module.unload();
    problems.expect(!LoadedModule::isMapped(session.modulePath),
                    "the module is still mapped after unloading");
    // The module's threads are joined by its teardown; give the system a moment to reap them.
    int threads = countThreads();
    for (int wait = 0; wait < 100 && threads > session.threadsBeforeLoad; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        threads = countThreads();
    }
    problems.expect(threads <= session.threadsBeforeLoad,
                    std::to_string(threads - session.threadsBeforeLoad) + " thread(s) outlived the module");
    const std::vector<std::string> shown = session.services.takeMessages();
    problems.expect(shown.empty(),
                    "it showed a message at teardown: " + (shown.empty() ? "" : shown.front()));
    return problems;
}

Problems checkReload(CheckSession& session) {
    Problems problems;
    std::string error;
    if (!problems.expect(session.module.load(session.modulePath, session.services, error), error))
        return problems;
    const std::string failure = startFailure(session.group(), session.services);
    if (!problems.expect(failure.empty(), "it did not start again: " + failure))
        return problems;
    problems.expect(session.group().getTypeCount() == session.typeCount, "the reload declares other types");
    if (session.renderType >= 0) {
        if (CheckInstance* instance = session.startInstance(session.renderType, 512, problems)) {
            std::int32_t changes = -1;
            instance->process->getChangeCounter(changes);
            problems.expect(changes == session.freshChanges, "a new instance after the reload counts " +
                                                                 std::to_string(changes) + " changes, not " +
                                                                 std::to_string(session.freshChanges));
            // Programs carry random identities, so the state is compared by its size and control values.
            const std::vector<std::uint8_t> chunk = readChunk(*instance->process, problems);
            problems.expect(chunk.size() == session.freshChunk.size(),
                            "a new instance's state after the reload has another size than the first load's");
            problems.expect(controlValues(*instance->process) == session.freshValues,
                            "a new instance's controls after the reload differ from the first load's");
            instance->process->deliverMidi(0x90, 60, 100);
            const float peak = renderPeak(*instance, 4096, 256);
            problems.expect(peak >= 0.0f, "the output after the reload is not finite");
            instance->process->deliverMidi(0x80, 60, 0);
        }
    }
    session.releaseInstances();
    session.module.unload();
    problems.expect(!LoadedModule::isMapped(session.modulePath),
                    "the module is still mapped after unloading");
    return problems;
}

int runCheck(const Options& options, std::ostream& out) {
    // A file to load that cannot be read is the command line's fault, not the module's: nothing is checked.
    for (const std::string& load : options.loads)
        if (const std::string problem = loadProblem(load); !problem.empty()) {
            out << "no check ran: " << problem << " (given with --load)" << std::endl;
            return 2;
        }
    // Outlives the session, whose module keeps writing its per-user store until it is unloaded.
    ModuleStartup startup;
    std::string error;
    if (!startup.prepare(options, error)) {
        out << "FAIL the module's start-up state could not be prepared: " << error << std::endl;
        out << "0 passed, 1 failed" << std::endl;
        return 1;
    }
    CheckSession session;
    // Named before the module loads: a module may change the current folder while it opens files, and a
    // relative name would then fail the reload.
    std::error_code unresolved;
    session.modulePath = std::filesystem::absolute(options.module, unresolved).string();
    if (session.modulePath.empty())
        session.modulePath = options.module;
    for (const std::string& load : options.loads) {
        std::error_code ignored;
        session.loadPaths.push_back(std::filesystem::absolute(load, ignored).string());
    }
    session.random.seed(options.seed);
    struct Step {
        const char* name;
        Problems (*run)(CheckSession&);
        bool needsInstances;
    };
    const Step steps[] = {
        {"the module loads and starts with its identity", checkModuleStarts, false},
        {"effect types are declared in order with consecutive codes", checkEffectTypes, false},
        {"several instances start at once", checkSeveralInstances, false},
        {"controls answer names, value texts and values within their lengths", checkControls, true},
        {"a note through the MIDI input sounds", checkNoteSounds, true},
        {"MIDI on one thread while another renders odd blocks under random automation", checkConcurrentRender,
         true},
        {"a chunk round-trips into a second instance and compares equal", checkChunkRoundTrip, true},
        {"broken chunks are refused and change nothing", checkBrokenChunks, true},
        {"the view opens, idles, highlights, takes a drag and drop and closes", checkView, true},
        {"teardown releases everything, unloads the module and leaves no thread", checkTeardown, false},
        {"a reload starts fresh and plays", checkReload, false},
    };
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    bool started = true;
    bool loaded = true;
    int ran = 0;
    // The checks a module that did not start (or load) leaves nothing to judge: said once, after the others.
    int unstarted = 0;
    for (const Step& step : steps) {
        // A signal stops the checks between two, so that the module is unloaded and the store removed.
        if (StopSignals::caught() != 0)
            break;
        ++ran;
        // A module that never loaded has nothing to tear down: that is no pass.
        if (step.run == checkTeardown ? !loaded : !started) {
            ++unstarted;
            continue;
        }
        // A message left over from an earlier step (a refused file's reason) is not this step's.
        if (step.run != checkModuleStarts)
            session.services.takeMessages();
        Problems problems;
        if (step.needsInstances && session.instances.empty()) {
            problems.skip("no instance could be made");
        } else {
            problems = step.run(session);
        }
        if (step.run == checkModuleStarts) {
            started = problems.empty();
            loaded = session.module.loaded();
        }
        if (problems.empty() && !problems.skipped().empty()) {
            ++skipped;
            out << "SKIP " << step.name << ": " << problems.skipped() << std::endl;
        } else if (problems.empty()) {
            ++passed;
            if (!options.quiet)
                out << "ok   " << step.name << std::endl;
        } else {
            ++failed;
            out << "FAIL " << step.name << ": " << problems.text() << std::endl;
        }
    }
    if (unstarted > 0) {
        skipped += unstarted;
        out << "SKIP the " << unstarted << " other checks: the module did not " << (loaded ? "start" : "load")
            << std::endl;
    }
    session.releaseInstances();
    session.module.unload();
    for (const std::string& line : startup.setAside())
        std::cerr << "corvale-host: " << line << std::endl;
    const int stopped = StopSignals::caught();
    if (stopped != 0)
        out << "stopped by " << StopSignals::name(stopped) << " after " << ran << " of " << std::size(steps)
            << " checks" << std::endl;
    out << passed << " passed, " << failed << " failed";
    if (skipped > 0)
        out << ", " << skipped << " skipped";
    out << std::endl;
    if (stopped != 0)
        return StopSignals::exitStatus(stopped);
    return failed == 0 ? 0 : 1;
}

} // namespace corvale::hostapp
