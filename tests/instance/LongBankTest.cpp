// Banks with long arrays: reading costs node visits in proportion to their items, whatever the arrays hold.
#include "support/InstanceTestSupport.h"

#include "framework/Dictionary.h"
#include "framework/DictionaryNodes.h"

#include <gtest/gtest.h>

#include <string>

using namespace trov;
using namespace trov::test;

namespace {

using dictionary_nodes::visitedNodes;

class LongBankTest : public testing::Test {
protected:
    // Visits to read a bank written by an instance, its first program's stored values grown by n values no
    // parameter has and then n values of "Cutoff" (the last of them 3).
    std::uint64_t visitsToRead(int n) {
        auto source = world.makePlugin();
        Dictionary bank;
        source->writeState(bank, false);
        const Dictionary::View module =
            bank.getArray("programs")->getFirstChild("program")->getArray("modules")->getFirstChild("module");
        Dictionary::View values = module->getDictionary("parameters");
        if (!values)
            values = module->addDictionary("parameters");
        for (int i = 0; i < n; ++i)
            values->setFloat("Unknown" + std::to_string(i), 1.0f);
        for (int i = 0; i < n; ++i)
            values->setFloat("Cutoff", i + 1 == n ? 3.0f : static_cast<float>(i % 7), 0, false);
        const Dictionary document(bank.toDocumentText());
        auto target = world.makePlugin();
        const std::uint64_t before = visitedNodes();
        EXPECT_TRUE(target->readState(document));
        const std::uint64_t visits = visitedNodes() - before;
        EXPECT_EQ(target->getModule(0)->getSettings()->getFloat("Cutoff"), 3.0f);
        return visits;
    }

    // Visits to read a bank whose programs follow n comments in their array.
    std::uint64_t visitsToReadPrograms(int n) {
        auto source = world.makePlugin();
        source->getPreset(15)->setName("last");
        Dictionary bank;
        source->writeState(bank, false);
        std::string text = bank.toDocumentText();
        std::string comments;
        for (int i = 0; i < n; ++i)
            comments += "<!-- not a program -->";
        const std::size_t programs = text.find("<programs>");
        EXPECT_NE(programs, std::string::npos);
        text.insert(programs + std::string("<programs>").size(), comments);
        const Dictionary document(text);
        auto target = world.makePlugin();
        const std::uint64_t before = visitedNodes();
        EXPECT_TRUE(target->readState(document));
        const std::uint64_t visits = visitedNodes() - before;
        EXPECT_EQ(target->getPreset(15)->getName(), "last");
        return visits;
    }

    InstanceWorld world;
};

TEST_F(LongBankTest, ReadingAProgramsValuesVisitsNodesInProportionToThem) {
    const std::uint64_t single = visitsToRead(1500);
    EXPECT_LE(visitsToRead(3000), 2 * single) << single;
}

TEST_F(LongBankTest, ReadingProgramsWalksTheirArrayOnceWhateverStandsBetweenThem) {
    // Each item more costs one visit of the one walk, not one per preset that looks for its program.
    const std::uint64_t some = visitsToReadPrograms(2000);
    const std::uint64_t more = visitsToReadPrograms(4000);
    EXPECT_LE(more - some, 2000u + 2000u / 2) << some;
}

} // namespace
