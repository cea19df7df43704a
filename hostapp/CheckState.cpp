#include "hostapp/CheckSession.h"
#include "hostapp/ViewImage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace corvale::hostapp {

using namespace trov::hostsdk;

namespace {

void putField(std::vector<std::uint8_t>& chunk, std::size_t offset, std::uint32_t value) {
    if (chunk.size() >= offset + 4)
        std::memcpy(chunk.data() + offset, &value, 4);
}

std::uint32_t getField(const std::vector<std::uint8_t>& chunk, std::size_t offset) {
    std::uint32_t value = 0;
    if (chunk.size() >= offset + 4)
        std::memcpy(&value, chunk.data() + offset, 4);
    return value;
}

// A chunk whose text is replaced, with its size field following.
std::vector<std::uint8_t> withText(const std::vector<std::uint8_t>& chunk, const std::string& text) {
    // Sized once and filled by copies: a header shorter than expected stays zero-padded.
    std::vector<std::uint8_t> changed(kChunkHeaderSize + text.size(), 0);
    std::copy_n(chunk.begin(), std::min<std::size_t>(chunk.size(), kChunkHeaderSize), changed.begin());
    std::memcpy(changed.data() + kChunkHeaderSize, text.data(), text.size());
    putField(changed, 0, static_cast<std::uint32_t>(changed.size()));
    return changed;
}

std::int32_t changesOf(Process& process) {
    std::int32_t changes = 0;
    process.getChangeCounter(changes);
    return changes;
}

} // namespace

Problems checkChunkRoundTrip(CheckSession& session) {
    Problems problems;
    const std::vector<CheckInstance*> found = session.renderInstances();
    if (!problems.expect(found.size() >= 2, "fewer than two instances of the render type"))
        return problems;
    Process& first = *found[0]->process;
    Process& second = *found[1]->process;

    std::int32_t count = 0;
    first.getChunkCount(count);
    problems.expect(count == 1, "the process offers " + std::to_string(count) + " chunks");
    std::uint32_t id = 0;
    first.getChunkId(1, id);
    problems.expect(id == kStateChunkId, "chunk 1 is not \"totl\"");
    id = 0x12345678;
    first.getChunkId(2, id);
    problems.expect(id == 0x12345678, "asking for chunk 2 changed the answer");
    std::uint8_t name[32];
    std::memset(name, 0xEE, sizeof name);
    first.getChunkName(kStateChunkId, name);
    problems.expect(name[0] > 0 && name[0] <= 31, "the chunk's name has length " + std::to_string(name[0]));

    const std::vector<std::uint8_t> chunk = readChunk(first, problems);
    if (chunk.empty())
        return problems;
    problems.expect(getField(chunk, 20) == kStateChunkId, "the chunk's identifier field is not \"totl\"");
    problems.expect(getField(chunk, 12) == found[0]->type.productCode,
                    "the chunk's product code is not ours");
    problems.expect(chunk[24] <= 31, "the chunk header's name is longer than 31");

    // A get into a buffer shorter than the size writes nothing past that buffer.
    const std::int32_t shortLength = static_cast<std::int32_t>(chunk.size()) / 2;
    std::vector<std::uint8_t> cut(chunk.size(), 0xA5);
    std::int32_t size = 0;
    first.getChunkSize(kStateChunkId, size);
    first.getChunk(kStateChunkId, cut.data(), shortLength);
    bool kept = true;
    for (std::size_t i = static_cast<std::size_t>(shortLength); i < cut.size(); ++i)
        kept = kept && cut[i] == 0xA5;
    problems.expect(kept, "a get into a short buffer wrote past its length");

    const std::int32_t before = changesOf(second);
    second.setChunk(kStateChunkId, chunk.data(), static_cast<std::int32_t>(chunk.size()));
    problems.expect(changesOf(second) == before + 1, "setting a chunk did not count exactly one change");
    bool equal = false;
    second.compareChunk(chunk.data(), static_cast<std::int32_t>(chunk.size()), equal);
    problems.expect(equal, "the second instance's state differs from the chunk it was given");
    equal = false;
    first.compareChunk(chunk.data(), static_cast<std::int32_t>(chunk.size()), equal);
    problems.expect(equal, "the first instance's state differs from its own chunk");
    const std::vector<std::uint8_t> again = readChunk(second, problems);
    problems.expect(again == chunk, "the second instance gives back other bytes than it was given");
    // What was shown is quoted: a chunk naming a sample file that is gone is told to the user, rightly.
    const std::string shown = reasonLine(session.services.takeMessages());
    problems.expect(shown.empty(), "a good chunk made the module show a message: " + shown);
    return problems;
}

Problems checkBrokenChunks(CheckSession& session) {
    Problems problems;
    const std::vector<CheckInstance*> found = session.renderInstances();
    if (!problems.expect(found.size() >= 2, "fewer than two instances of the render type"))
        return problems;
    Process& process = *found[1]->process;
    const std::vector<std::uint8_t> good = readChunk(process, problems);
    if (good.empty())
        return problems;
    const std::string text(good.begin() + kChunkHeaderSize, good.end());

    struct Broken {
        std::string what;
        std::vector<std::uint8_t> bytes;
        std::int32_t length;
        bool headerRefused; // refused before the text is read: compare leaves equal untouched
    };
    std::vector<Broken> cases;
    const auto add = [&cases](std::string what, std::vector<std::uint8_t> bytes, bool headerRefused,
                              std::int32_t length = -1) {
        const auto own = static_cast<std::int32_t>(bytes.size());
        cases.push_back({std::move(what), std::move(bytes), length < 0 ? own : length, headerRefused});
    };
    add("an empty chunk", {}, true);
    add("a chunk cut inside its header", std::vector<std::uint8_t>(good.begin(), good.begin() + 55), true);
    std::vector<std::uint8_t> bytes = good;
    putField(bytes, 0, 0);
    add("a chunk of size 0", bytes, true);
    bytes = good;
    putField(bytes, 0, 40);
    add("a chunk whose size is shorter than its header", bytes, true);
    bytes = good;
    putField(bytes, 0, static_cast<std::uint32_t>(good.size() + 100));
    add("a chunk whose size runs past the buffer handed over", bytes, true);
    bytes = good;
    add("a chunk handed over with a shorter length than its size", bytes, true,
        static_cast<std::int32_t>(good.size()) - 1);
    bytes = good;
    putField(bytes, 4, getField(good, 4) + 1);
    add("a chunk of another version", bytes, true);
    bytes = good;
    putField(bytes, 12, getField(good, 12) ^ 0x01010101u);
    add("a chunk of another product", bytes, true);
    add("a chunk with text that is not XML", withText(good, "this is not a document <<<"), false);
    add("a chunk with its text cut in half", withText(good, text.substr(0, text.size() / 2)), false);
    GroupIdentity identity;
    session.group().getIdentity(identity);
    if (const std::size_t at = text.find(identity.productName); at != std::string::npos) {
        std::string foreign = text;
        foreign.replace(at, std::strlen(identity.productName), "Another Product");
        add("a chunk of another creator", withText(good, foreign), false);
    }

    for (const Broken& broken : cases) {
        const std::int32_t before = changesOf(process);
        process.setChunk(kStateChunkId, broken.bytes.empty() ? nullptr : broken.bytes.data(), broken.length);
        problems.expect(changesOf(process) == before, broken.what + " changed the change counter");
        const std::vector<std::uint8_t> after = readChunk(process, problems);
        problems.expect(after == good, broken.what + " changed the state");
        for (const bool start : {false, true}) {
            bool equal = start;
            process.compareChunk(broken.bytes.empty() ? nullptr : broken.bytes.data(), broken.length, equal);
            if (broken.headerRefused)
                problems.expect(equal == start, broken.what + " was compared");
            else
                problems.expect(!equal || start, broken.what + " compared equal");
        }
    }
    session.services.takeMessages(); // the refusals may show their reason
    return problems;
}

Problems checkView(CheckSession& session) {
    Problems problems;
    const std::vector<CheckInstance*> found = session.renderInstances();
    if (!problems.expect(found.size() >= 3, "fewer than three instances of the render type"))
        return problems;
    Process& process = *found[2]->process;
    const std::int32_t controls = process.getControlCount();

    // A drop before any accepted drag loads nothing.
    session.services.takeMessages();
    const std::int32_t before = changesOf(process);
    const std::int32_t nothing = process.drop(5, 5);
    problems.expect(nothing != kResultOk && changesOf(process) == before &&
                        session.services.messageCount() == 0,
                    "a drop before any drag did something");

    if (!process.createView()) {
        problems.expect(!process.hasView(), "no view was made but one is reported");
        return problems; // a product without an editor: nothing more to look at
    }
    problems.expect(process.hasView(), "the view made is not reported");
    ViewRect rect;
    process.getViewRect(rect);
    problems.expect(rect.bottom > rect.top && rect.right > rect.left, "the view has an empty rectangle");
    ViewPort port;
    port.originX = 10;
    port.originY = 20;
    problems.expect(process.setViewPort(&port) == kResultOk, "the view did not take its port");

    // The window timer ticks while the host idles.
    std::int32_t delivered = 0;
    const auto idleFor = [&](std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            delivered += session.group().idle();
            process.idle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    idleFor(std::chrono::milliseconds(300));
    problems.expect(delivered > 0, "idling delivered nothing in 300 ms (no window timer ticks)");
    // Painted without skins it is a bare panel: the check names them as a render's picture of it would.
    if (const std::string lacking = missingSkins(session.module, session.services, process); !lacking.empty())
        problems.add(lacking);

    if (controls > 0) {
        for (const std::int32_t colour : {0, 1, 2, 3, 7})
            problems.expect(process.setControlHighlight(1, true, colour) == kResultOk,
                            "highlight colour " + std::to_string(colour) + " failed");
        problems.expect(process.setControlHighlight(1, false, 0) == kResultOk,
                        "removing the highlight failed");
    }
    const std::int32_t midX = (rect.right - rect.left) / 2;
    const std::int32_t midY = (rect.bottom - rect.top) / 2;
    std::int32_t control = -7;
    const std::int32_t result = process.getControlAt(midX, midY, control);
    // No control under the point: control 0, with either result.
    problems.expect(result == kResultOk ? control >= 0 && control <= controls : control == 0,
                    "the control at the view's middle is " + std::to_string(control));
    control = -7;
    process.getControlAt(-5000, -5000, control);
    problems.expect(control == 0, "a control was found far outside the view");
    process.windowEvent(midX, midY, true);
    process.windowEvent(-1, -1, false);

    bool accepted = true;
    process.dragItem(3, "unknown.flavour", accepted);
    problems.expect(!accepted, "a drag of an unknown flavour was accepted");
    // A file the instance cannot load: dropping it must leave the instance working.
    const std::string dropped = (std::filesystem::temp_directory_path() /
                                 ("corvale-check-drop-" + std::to_string(::getpid()) + ".txt"))
                                    .string();
    std::ofstream(dropped) << "not a bank\n";
    accepted = false;
    process.dragItem(0, dropped.c_str(), accepted);
    problems.expect(accepted, "a drag of a file was refused");
    problems.expect(process.drop(-1, 5) != kResultOk, "a drop at a negative point was taken");
    problems.expect(process.drop(5, 5) != kResultOk, "a file the instance cannot load was reported as taken");
    std::remove(dropped.c_str());
    session.services.takeMessages();
    problems.expect(renderPeak(*found[2], 1024, 128) >= 0.0f, "the output after the drop is not finite");
    idleFor(std::chrono::milliseconds(60));

    problems.expect(process.setViewPort(nullptr) == kResultOk, "the view did not detach");
    process.destroyView();
    problems.expect(!process.hasView(), "the view is still reported after it was destroyed");
    idleFor(std::chrono::milliseconds(60));
    return problems;
}

} // namespace corvale::hostapp
