#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvale::hostapp {

// What the command line asks for. Plain data.
struct Options {
    enum class Command { Help, Version, Render, Check };
    Command command = Command::Help;
    std::string module; // the plug-in module to load
    std::string input;  // render: the standard MIDI file
    std::string output; // render: the WAV file to write
    // Files dropped on the instance one after another before playing: banks, patches, tunings, samples.
    std::vector<std::string> loads;
    std::string view; // render: a PNG file the module writes its view into after the render
    std::uint32_t sampleRate = 48000;
    std::int32_t blockSize = 512;
    // render: how long to go on after the last event, for releases; absent: until the output has stayed
    // below kQuietLevel for kQuietSeconds (at most kMaxQuietTailSeconds).
    std::optional<double> tailSeconds;
    std::uint32_t seed = 1; // check: the random automation's seed
    // --seed N, either command: the module's start-up seed, handed over in TROV_STARTUP_SEED before the
    // module is loaded, with a scratch copy of its per-user store (absent: the environment's seed, else one
    // the program picks; see ModuleStartup).
    std::optional<std::uint32_t> startupSeed;
    bool quiet = false;
};

constexpr std::uint32_t kMinSampleRate = 8000;
constexpr std::uint32_t kMaxSampleRate = 384000;
constexpr std::int32_t kMaxBlockSize = 8192;
constexpr double kMaxTailSeconds = 600.0;
// The default tail: a release ends when the output stays below -100 dBFS this long, or at the cap.
constexpr float kQuietLevel = 1e-5f;
constexpr double kQuietSeconds = 0.5;
constexpr double kMaxQuietTailSeconds = 60.0;

// A start-up seed as the module reads it: a decimal number from 0 to 4294967295, nothing else (no sign,
// blank or suffix); nothing otherwise.
std::optional<std::uint32_t> parseSeed(const std::string& text);

// The usage text, ending with a newline.
const char* usageText();

// The program's version, as the build names it.
const char* versionText();

// Reads the arguments after the program's name. False with a one-line reason in error for an unknown
// command or option, a missing, surplus or empty operand, a value that is not a number in its range, or an
// output or a picture named "-". Options take their value as the next argument or after "="; --help or
// --version anywhere before "--" asks for the usage or the version alone.
bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error);

} // namespace corvale::hostapp
