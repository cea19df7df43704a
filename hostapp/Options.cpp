#include "hostapp/Options.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace corvale::hostapp {

const char* usageText() {
    return "usage: corvale-host render [options] MODULE INPUT.mid OUTPUT.wav\n"
           "       corvale-host check [options] MODULE\n"
           "       corvale-host --help | --version\n"
           "render plays a standard MIDI file through the module into a WAV file (32-bit float; RF64 past\n"
           "4 GiB). An existing OUTPUT.wav is written over only when it is a WAV file corvale-host wrote,\n"
           "never the MIDI file or a loaded one:\n"
           "  --rate HZ         sample rate, 8000 to 384000 (default 48000)\n"
           "  --block FRAMES    largest block, 1 to 8192 (default 512)\n"
           "  --load FILE       a bank, patch, Scala tuning (.scl) or sample file dropped on the instance\n"
           "                    first; give it again for more, dropped in order\n"
           "  --tail SECONDS    time after the last event, 0 to 600 (default: until the output has stayed\n"
           "                    below -100 dBFS for half a second, at most 60 s after the last event)\n"
           "  --seed N          the module's start-up seed, 0 to 4294967295 (0: one from the time; default:\n"
           "                    one picked; the seed used is shown); the module then runs on a scratch copy\n"
           "                    of its per-user store, so the same seed repeats the render bit for bit\n"
           "  --view FILE.png   after the render, open the module's view headless, let its window timer\n"
           "                    paint it and have the module write it as a PNG file\n"
           "  --quiet           no summary (the progress line shows only on a terminal)\n"
           "check runs the module through its host interface headless and ends with \"N passed, N failed\":\n"
           "  --seed N          seed of the random automation and block sizes (default 1), and the\n"
           "                    module's start-up seed (default: one picked), on a scratch copy of its\n"
           "                    per-user store\n"
           "  --load FILE       a bank, patch, Scala tuning or sample file dropped on the instance before "
           "the\n"
           "                    note check plays; give it again for more\n"
           "  --quiet           only failures and the summary\n";
}

const char* versionText() {
    return "corvale-host " CORVALE_VERSION "\n";
}

namespace {

bool parseWhole(const std::string& text, std::uint64_t low, std::uint64_t high, std::uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto [rest, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && rest == end && !text.empty() && value >= low && value <= high;
}

bool parseSeconds(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto [rest, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && rest == end && !text.empty() && std::isfinite(value) && value >= 0.0 &&
           value <= kMaxTailSeconds;
}

} // namespace

std::optional<std::uint32_t> parseSeed(const std::string& text) {
    std::uint64_t value = 0;
    if (!parseWhole(text, 0, 0xFFFFFFFFu, value))
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
    options = Options();
    if (argc < 1) {
        error = "no command given (render or check)";
        return false;
    }
    // Asked anywhere before "--", the usage or the version is all that is done.
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--")
            break;
        if (argument == "-h" || argument == "--help" || (i == 0 && argument == "help")) {
            options.command = Options::Command::Help;
            return true;
        }
        if (argument == "--version") {
            options.command = Options::Command::Version;
            return true;
        }
    }
    const std::string command = argv[0];
    if (command == "render") {
        options.command = Options::Command::Render;
    } else if (command == "check") {
        options.command = Options::Command::Check;
    } else {
        error = "unknown command '" + command + "' (render or check)";
        return false;
    }
    const bool render = options.command == Options::Command::Render;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            operands.push_back(std::move(argument));
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::string value;
        bool hasValue = false;
        if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasValue = true;
        }
        const auto takeValue = [&]() {
            if (hasValue)
                return true;
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        std::uint64_t number = 0;
        if (name == "--quiet" || name == "-q") {
            if (hasValue) {
                error = name + " takes no value";
                return false;
            }
            options.quiet = true;
        } else if (render && name == "--rate") {
            if (!takeValue())
                return false;
            if (!parseWhole(value, kMinSampleRate, kMaxSampleRate, number)) {
                error = "--rate: '" + value + "' is not a whole number of hertz from 8000 to 384000";
                return false;
            }
            options.sampleRate = static_cast<std::uint32_t>(number);
        } else if (render && name == "--block") {
            if (!takeValue())
                return false;
            if (!parseWhole(value, 1, kMaxBlockSize, number)) {
                error = "--block: '" + value + "' is not a whole number of frames from 1 to 8192";
                return false;
            }
            options.blockSize = static_cast<std::int32_t>(number);
        } else if (render && name == "--tail") {
            if (!takeValue())
                return false;
            double seconds = 0.0;
            if (!parseSeconds(value, seconds)) {
                error = "--tail: '" + value + "' is not a number of seconds from 0 to 600";
                return false;
            }
            options.tailSeconds = seconds;
        } else if (render && name == "--view") {
            if (!takeValue())
                return false;
            if (value.empty()) {
                error = "--view needs a file name";
                return false;
            }
            if (value == "-") {
                error =
                    "the picture cannot be '-' (standard output): it is written beside its file and renamed "
                    "into place; name a file";
                return false;
            }
            options.view = value;
        } else if (name == "--load") {
            if (!takeValue())
                return false;
            if (value.empty()) {
                error = "--load needs a file name";
                return false;
            }
            options.loads.push_back(value);
        } else if (name == "--seed") {
            if (!takeValue())
                return false;
            const std::optional<std::uint32_t> seed = parseSeed(value);
            if (!seed) {
                error = "--seed: '" + value + "' is not a whole number from 0 to 4294967295";
                return false;
            }
            options.seed = *seed;
            options.startupSeed = options.seed;
        } else {
            error = "unknown option '" + name + "' for " + command;
            return false;
        }
    }
    const std::size_t wanted = render ? 3 : 1;
    if (operands.size() != wanted) {
        error = render ? "render needs MODULE INPUT.mid OUTPUT.wav" : "check needs MODULE";
        error += " (" + std::to_string(operands.size()) + " given)";
        return false;
    }
    const char* const names[] = {"MODULE", "INPUT.mid", "OUTPUT.wav"};
    for (std::size_t i = 0; i < wanted; ++i)
        if (operands[i].empty()) {
            error = std::string("the name given for ") + names[i] + " is empty";
            return false;
        }
    options.module = operands[0];
    if (render) {
        options.input = operands[1];
        options.output = operands[2];
        // A WAV file's sizes are written at its start once the audio is done, which a pipe cannot take.
        if (options.output == "-") {
            error = "the output cannot be '-' (standard output): a WAV file is finished by seeking back to "
                    "its header; name a file";
            return false;
        }
    }
    return true;
}

} // namespace corvale::hostapp
