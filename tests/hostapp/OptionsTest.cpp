#include "hostapp/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvale::hostapp {
namespace {

bool parse(const std::vector<const char*>& arguments, Options& options, std::string& error) {
    return parseOptions(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

TEST(Options, ReadsRenderOptionsInEitherFormAndKeepsDefaultsOtherwise) {
    Options options;
    std::string error;
    ASSERT_TRUE(parse({"render", "m.so", "in.mid", "out.wav"}, options, error)) << error;
    EXPECT_EQ(options.command, Options::Command::Render);
    EXPECT_EQ(options.sampleRate, 48000u);
    EXPECT_EQ(options.blockSize, 512);
    EXPECT_FALSE(options.tailSeconds) << "without --tail the render ends when its output has died away";
    EXPECT_FALSE(options.quiet);
    EXPECT_TRUE(options.loads.empty());

    ASSERT_TRUE(parse({"render", "--rate", "44100", "m.so", "--block=33", "in.mid", "--tail", "0.25",
                       "--load", "bank.kmd", "--quiet", "out.wav"},
                      options, error))
        << error;
    EXPECT_EQ(options.module, "m.so");
    EXPECT_EQ(options.input, "in.mid");
    EXPECT_EQ(options.output, "out.wav");
    EXPECT_EQ(options.sampleRate, 44100u);
    EXPECT_EQ(options.blockSize, 33);
    EXPECT_EQ(options.tailSeconds, 0.25);
    EXPECT_EQ(options.loads, std::vector<std::string>{"bank.kmd"});
    EXPECT_TRUE(options.quiet);

    ASSERT_TRUE(parse({"check", "--seed=7", "-q", "--", "-odd-name.so"}, options, error)) << error;
    EXPECT_EQ(options.command, Options::Command::Check);
    EXPECT_EQ(options.seed, 7u);
    EXPECT_EQ(options.startupSeed, 7u);
    EXPECT_EQ(options.module, "-odd-name.so");
    ASSERT_TRUE(parse({"check", "--load", "demo.kmd", "m.so"}, options, error)) << error;
    EXPECT_EQ(options.loads, std::vector<std::string>{"demo.kmd"});
    ASSERT_TRUE(parse({"render", "m", "i", "o"}, options, error)) << error;
    EXPECT_FALSE(options.startupSeed) << "without --seed the module's seed is left to the environment";
    ASSERT_TRUE(parse({"render", "--seed", "0", "m", "i", "o"}, options, error)) << error;
    EXPECT_EQ(options.startupSeed, 0u);
    ASSERT_TRUE(parse({"render", "--seed=4294967295", "m", "i", "o"}, options, error)) << error;
    EXPECT_EQ(options.startupSeed, 4294967295u);

    ASSERT_TRUE(parse({"--help"}, options, error));
    EXPECT_EQ(options.command, Options::Command::Help);
}

TEST(Options, TakesLoadSeveralTimesInTheOrderGiven) {
    Options options;
    std::string error;
    ASSERT_TRUE(
        parse({"render", "--load", "bank.kmd", "m", "--load=just.scl", "i", "o", "--load", "kick.wav"},
              options, error))
        << error;
    EXPECT_EQ(options.loads, (std::vector<std::string>{"bank.kmd", "just.scl", "kick.wav"}));
    ASSERT_TRUE(parse({"check", "--load", "just.scl", "--load", "bank.kmd", "m"}, options, error)) << error;
    EXPECT_EQ(options.loads, (std::vector<std::string>{"just.scl", "bank.kmd"}));
}

TEST(Options, AsksForTheUsageOrTheVersionAnywhereBeforeTheOperandsEnd) {
    const struct {
        std::vector<const char*> arguments;
        Options::Command command;
    } cases[] = {
        {{"--help"}, Options::Command::Help},
        {{"render", "--help"}, Options::Command::Help},
        {{"check", "-h"}, Options::Command::Help},
        {{"render", "--rate=1", "m", "--help"}, Options::Command::Help},
        {{"--version"}, Options::Command::Version},
        {{"check", "--version", "m"}, Options::Command::Version},
    };
    for (const auto& asked : cases) {
        SCOPED_TRACE(asked.arguments.back());
        Options options;
        std::string error;
        ASSERT_TRUE(parse(asked.arguments, options, error)) << error;
        EXPECT_EQ(options.command, asked.command);
    }
    // After "--" they are operands.
    Options options;
    std::string error;
    ASSERT_TRUE(parse({"check", "--", "--help"}, options, error)) << error;
    EXPECT_EQ(options.command, Options::Command::Check);
    EXPECT_EQ(options.module, "--help");
    EXPECT_NE(std::string(versionText()).find("corvale-host "), std::string::npos);
}

TEST(Options, RefusesBadCommandLinesWithOneLineSayingWhy) {
    const struct {
        std::vector<const char*> arguments;
        const char* reason;
    } cases[] = {
        {{}, "no command given"},
        {{"play", "a"}, "unknown command 'play'"},
        {{"render", "m.so", "in.mid"}, "render needs MODULE INPUT.mid OUTPUT.wav (2 given)"},
        {{"render", "m.so", "a", "b", "c"}, "(4 given)"},
        {{"check"}, "check needs MODULE (0 given)"},
        {{"render", "--rate", "44k", "m", "i", "o"}, "--rate: '44k' is not a whole number"},
        {{"render", "--rate=7999", "m", "i", "o"}, "--rate: '7999'"},
        {{"render", "--rate=384001", "m", "i", "o"}, "--rate: '384001'"},
        {{"render", "--rate=-48000", "m", "i", "o"}, "--rate: '-48000'"},
        {{"render", "--block=0", "m", "i", "o"},
         "--block: '0' is not a whole number of frames from 1 to 8192"},
        {{"render", "--block=8193", "m", "i", "o"}, "--block: '8193'"},
        {{"render", "--block=", "m", "i", "o"}, "--block: ''"},
        {{"render", "--tail=-1", "m", "i", "o"}, "--tail: '-1' is not a number of seconds"},
        {{"render", "--tail=nan", "m", "i", "o"}, "--tail: 'nan'"},
        {{"render", "--tail=1e9", "m", "i", "o"}, "--tail: '1e9'"},
        {{"render", "--tail=2s", "m", "i", "o"}, "--tail: '2s'"},
        {{"render", "m", "i", "o", "--rate"}, "--rate needs a value"},
        {{"render", "--load=", "m", "i", "o"}, "--load needs a file name"},
        {{"check", "--load=", "m"}, "--load needs a file name"},
        {{"render", "--quiet=yes", "m", "i", "o"}, "--quiet takes no value"},
        {{"render", "--seed=-1", "m", "i", "o"}, "--seed: '-1'"},
        {{"check", "--rate=48000", "m"}, "unknown option '--rate' for check"},
        {{"check", "--seed=4294967296", "m"}, "--seed: '4294967296'"},
        {{"check", "--verbose", "m"}, "unknown option '--verbose'"},
        {{"render", "m", "i", "-"},
         "the output cannot be '-' (standard output): a WAV file is finished by seeking"},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.reason);
        Options options;
        std::string error;
        EXPECT_FALSE(parse(bad.arguments, options, error));
        EXPECT_NE(error.find(bad.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(Options, AnEmptyOperandIsRefusedAsAnEmptyName) {
    Options options;
    std::string error;
    EXPECT_FALSE(parse({"render", "m.so", "in.mid", ""}, options, error));
    EXPECT_EQ(error, "the name given for OUTPUT.wav is empty");
}

TEST(Options, APictureNamedDashIsRefusedAsAnOutputNamedDashIs) {
    Options options;
    std::string error;
    EXPECT_FALSE(parse({"render", "--view", "-", "m.so", "in.mid", "out.wav"}, options, error));
    EXPECT_EQ(error.rfind("the picture cannot be '-' (standard output)", 0), 0u) << error;
}

} // namespace
} // namespace corvale::hostapp
