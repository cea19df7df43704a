#include "support/HostTestSupport.h"

#include "host/RTASParameter.h"
#include "instance/Preset.h"
#include "plugin/Parameter.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace trov;
using namespace trov::test;

namespace {

std::uint32_t wordAt(const std::vector<std::uint8_t>& chunk, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, chunk.data() + at, 4);
    return value;
}

void putWord(std::vector<std::uint8_t>& chunk, std::size_t at, std::uint32_t value) {
    std::memcpy(chunk.data() + at, &value, 4);
}

class ChunkTest : public HostTest {
protected:
    std::vector<std::uint8_t> chunkOf(hostsdk::Process& process) {
        std::int32_t size = 0;
        EXPECT_EQ(process.getChunkSize(hostsdk::kStateChunkId, size), hostsdk::kResultOk);
        std::vector<std::uint8_t> chunk(static_cast<std::size_t>(size));
        EXPECT_EQ(process.getChunk(hostsdk::kStateChunkId, chunk.data(), size), hostsdk::kResultOk);
        return chunk;
    }
    static float level(RTASProcess& process) {
        return process.getPlugin()->getAutomatableParameter(0)->getNormalized();
    }
};

TEST_F(ChunkTest, OffersOneStateChunkWithItsName) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    std::int32_t count = 0;
    process->getChunkCount(count);
    EXPECT_EQ(count, 1);
    std::uint32_t id = 5;
    process->getChunkId(2, id);
    EXPECT_EQ(id, 5u);
    process->getChunkId(1, id);
    EXPECT_EQ(id, 0x746F746Cu);
    std::uint8_t name[32] = {};
    process->getChunkName(id, name);
    const std::string expected = "Trovato Corvale Test 1953461356";
    ASSERT_EQ(name[0], 31);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(name + 1), 31), expected.substr(0, 31));
}

TEST_F(ChunkTest, SizeAndGetAgreeAndTheHeaderIsTheHosts) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    const std::vector<std::uint8_t> chunk = chunkOf(*process);
    ASSERT_GT(chunk.size(), 56u);
    EXPECT_EQ(wordAt(chunk, 0), chunk.size());
    EXPECT_EQ(wordAt(chunk, 4), 1u);
    EXPECT_EQ(wordAt(chunk, 8), hostproduct::TestProductInfo::kMakerCode);
    EXPECT_EQ(wordAt(chunk, 12), hostproduct::TestProductInfo::kProductCode);
    EXPECT_EQ(wordAt(chunk, 16), hostproduct::TestProductInfo::kProductCode);
    EXPECT_EQ(wordAt(chunk, 20), 0x746F746Cu);
    const std::string name = "Trovato Corvale Test State";
    EXPECT_EQ(chunk[24], name.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&chunk[25]), name.size()), name);
    const std::string text(reinterpret_cast<const char*>(&chunk[56]), chunk.size() - 56);
    EXPECT_EQ(text, process->buildChunkText());
    EXPECT_NE(text.find("Corvale Test"), std::string::npos);
    EXPECT_NE(text.find("file-format"), std::string::npos);
    EXPECT_EQ(text.back(), '>'); // no terminating zero
}

TEST_F(ChunkTest, GetHandsOutTheTextTheSizeWasMeasuredFor) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    std::int32_t size = 0;
    process->getChunkSize(hostsdk::kStateChunkId, size);
    const std::string measured = process->buildChunkText();
    // The state changes between the two requests (a longer value text).
    process->setControlValue(2, RTASParameter::fixed(0.123456f));
    ASSERT_NE(process->buildChunkText(), measured);
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(size) + 16, 0xEE);
    ASSERT_EQ(process->getChunk(hostsdk::kStateChunkId, chunk.data(), size), hostsdk::kResultOk);
    EXPECT_EQ(wordAt(chunk, 0), static_cast<std::uint32_t>(size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&chunk[56]), static_cast<std::size_t>(size) - 56),
              measured);
    for (std::size_t i = static_cast<std::size_t>(size); i < chunk.size(); ++i)
        ASSERT_EQ(chunk[i], 0xEE) << "wrote past the size at " << i;
}

TEST_F(ChunkTest, AShortBufferGetsNothing) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    std::vector<std::uint8_t> chunk(40, 0xEE);
    EXPECT_NE(process->getChunk(hostsdk::kStateChunkId, chunk.data(), 40), hostsdk::kResultOk);
    for (const std::uint8_t byte : chunk)
        ASSERT_EQ(byte, 0xEE);
}

TEST_F(ChunkTest, ARoundTripRestoresTheProgramInASecondInstanceAndCountsOneChange) {
    RTASProcess* first = makeProcess();
    RTASProcess* second = makeProcess();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    first->setControlValue(1, RTASParameter::fixed(0.8f));
    first->setControlValue(2, RTASParameter::fixed(0.1f));
    const std::vector<std::uint8_t> chunk = chunkOf(*first);
    bool equal = true;
    second->compareChunk(chunk.data(), static_cast<std::int32_t>(chunk.size()), equal);
    EXPECT_FALSE(equal);
    const std::int32_t before = second->changeCount();
    ASSERT_EQ(second->setChunk(hostsdk::kStateChunkId, chunk.data(), static_cast<std::int32_t>(chunk.size())),
              hostsdk::kResultOk);
    EXPECT_EQ(second->changeCount(), before + 1);
    EXPECT_NEAR(level(*second), 0.8f, 1e-5f);
    equal = false;
    {
        ModuleLogCapture log;
        second->compareChunk(chunk.data(), static_cast<std::int32_t>(chunk.size()), equal);
        EXPECT_EQ(log.count("chunks are identical"), 1);
    }
    EXPECT_TRUE(equal);
    EXPECT_TRUE(services.boxes.empty());
}

// A host saves and restores a project many times: the state's text must come back as it went, names
// with characters beyond ASCII included (they once doubled in size with every restore).
TEST_F(ChunkTest, RepeatedRestoresKeepANameBeyondASCII) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    ASSERT_NE(process->getPlugin()->getCurrentPreset(), nullptr);
    const std::string name = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB9";
    process->getPlugin()->getCurrentPreset()->setName(name);
    const std::vector<std::uint8_t> first = chunkOf(*process);
    for (int round = 0; round < 4; ++round) {
        const std::vector<std::uint8_t> chunk = chunkOf(*process);
        ASSERT_EQ(
            process->setChunk(hostsdk::kStateChunkId, chunk.data(), static_cast<std::int32_t>(chunk.size())),
            hostsdk::kResultOk);
        EXPECT_EQ(process->getPlugin()->getCurrentPreset()->getName(), name) << "round " << round;
    }
    EXPECT_EQ(chunkOf(*process), first);
}

TEST_F(ChunkTest, EveryRefusalLeavesProgramAndCounterAsTheyWere) {
    RTASProcess* source = makeProcess();
    RTASProcess* target = makeProcess();
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    source->setControlValue(1, RTASParameter::fixed(0.9f));
    target->setControlValue(1, RTASParameter::fixed(0.2f));
    const std::vector<std::uint8_t> good = chunkOf(*source);
    const std::string foreign =
        "<?xml version=\"1.0\"?><dict><dict name=\"info\"><string name=\"creator\" "
        "value=\"Other Product\"/><string name=\"version\" value=\"9.9\"/></dict></dict>";
    struct Case {
        const char* what;
        std::vector<std::uint8_t> chunk;
        std::int32_t length;
        bool boxShown;
    };
    std::vector<Case> cases;
    auto with = [&](const char* what, auto change, bool box = false) {
        std::vector<std::uint8_t> chunk = good;
        std::int32_t length = static_cast<std::int32_t>(chunk.size());
        change(chunk, length);
        cases.push_back({what, chunk, length, box});
    };
    with("size below the header", [](auto& c, auto&) { putWord(c, 0, 55); });
    with("size zero", [](auto& c, auto&) { putWord(c, 0, 0); });
    with("size beyond the buffer",
         [](auto& c, auto& l) { putWord(c, 0, static_cast<std::uint32_t>(l) + 1); });
    with("buffer shorter than a header", [](auto&, auto& l) { l = 20; });
    with("another version", [](auto& c, auto&) { putWord(c, 4, 2); });
    with("another product", [](auto& c, auto&) { putWord(c, 12, 0x41424344); });
    with(
        "unparsable text",
        [](auto& c, auto&) {
            for (std::size_t i = 56; i < c.size(); ++i)
                c[i] = '<';
        },
        true);
    with(
        "a foreign creator",
        [&](auto& c, auto& l) {
            c.resize(56 + foreign.size());
            std::memcpy(c.data() + 56, foreign.data(), foreign.size());
            l = static_cast<std::int32_t>(c.size());
            putWord(c, 0, static_cast<std::uint32_t>(l));
        },
        true);
    for (const Case& c : cases) {
        services.boxes.clear();
        const std::int32_t before = target->changeCount();
        target->setChunk(hostsdk::kStateChunkId, c.chunk.data(), c.length);
        EXPECT_EQ(target->changeCount(), before) << c.what;
        EXPECT_NEAR(level(*target), 0.2f, 1e-5f) << c.what;
        EXPECT_EQ(!services.boxes.empty(), c.boxShown) << c.what;
        for (const std::string& box : services.boxes)
            EXPECT_EQ(box.find("<dict"), std::string::npos) << c.what << ": the box quotes the document";
        bool equal = true;
        target->compareChunk(c.chunk.data(), c.length, equal);
        if (std::string(c.what) != "a foreign creator") {
            EXPECT_TRUE(equal) << c.what << ": a refused chunk leaves equal untouched";
        }
    }
    // Another identifier is not this process's chunk.
    const std::int32_t before = target->changeCount();
    target->setChunk(0x41424344, good.data(), static_cast<std::int32_t>(good.size()));
    EXPECT_EQ(target->changeCount(), before);
    EXPECT_NEAR(level(*target), 0.2f, 1e-5f);
}

TEST_F(ChunkTest, TheChangeCounterCountsStateChangesAndIsLogged) {
    RTASProcess* process = makeProcess();
    ASSERT_NE(process, nullptr);
    std::int32_t changes = -1;
    process->getChangeCounter(changes);
    const std::int32_t start = changes;
    process->setControlValue(3, RTASParameter::fixed(0.0f));
    process->getPlugin()->notifyPresetChanged();
    ModuleLogCapture log;
    process->getChangeCounter(changes);
    EXPECT_EQ(changes, start + 2);
    EXPECT_EQ(log.count(std::to_string(start + 2) + " changes"), 1);
}

} // namespace
