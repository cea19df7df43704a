// corvale-host: renders a standard MIDI file through a plug-in module into a WAV file, or checks the module
// headless through its host interface.
#include "hostapp/CheckSession.h"
#include "hostapp/Options.h"
#include "hostapp/Render.h"
#include "hostapp/StopSignals.h"

#include <clocale>
#include <csignal>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    using namespace corvale::hostapp;
    std::setlocale(LC_ALL, "C");
    Options options;
    std::string error;
    if (!parseOptions(argc - 1, argv + 1, options, error)) {
        std::cerr << "corvale-host: " << error << " (corvale-host --help shows the usage)" << std::endl;
        return 2;
    }
    // A render or check stops at a signal where it can finish its file and remove its scratch store.
    const StopSignals stop;
    // Past a file-size limit a write fails (EFBIG), as on a full disk, rather than the signal ending the
    // program with its file unfinished and its scratch store left.
    std::signal(SIGXFSZ, SIG_IGN);
    switch (options.command) {
    case Options::Command::Render:
        return runRender(options, std::cout, std::cerr);
    case Options::Command::Check:
        return runCheck(options, std::cout);
    case Options::Command::Version:
        std::cout << versionText();
        return 0;
    case Options::Command::Help:
        break;
    }
    std::cout << usageText();
    return 0;
}
