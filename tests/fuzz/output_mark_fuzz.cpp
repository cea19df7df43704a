// fuzz-links: corvale_hostapp
// Before it writes over an existing output, the host program reads the file's first bytes for its own mark:
// a WAV render's chunk, a painted picture's text chunk. Any bytes give an answer naming the file or none.
#include "hostapp/FileChecks.h"

#include "FuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// One file, rewritten for every input; the scratch folder holding it goes at exit.
const std::string& scratchFile() {
    static const std::string path = trov::fuzz::ScratchFolder::path() + "/output";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvale::hostapp;
    const std::string& path = scratchFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        check(static_cast<bool>(out));
    }
    for (const OutputKind kind : {OutputKind::Wav, OutputKind::Png}) {
        const std::string refusal = overwriteRefusal(path, kind, {});
        check(refusal.empty() || refusal.find(path) != std::string::npos);
        // An empty file is always ours to write.
        check(size != 0 || refusal.empty());
    }
    return 0;
}
