#pragma once

#include "framework/File.h"

#include <cstddef>
#include <string>

namespace trov {

// Writes a dump when the process crashes and, at the next start, offers once to send it to the maker's
// crash-report server. The process-wide context creates one at start-up, after the preferences and the
// log, and destroys it at unload, which removes the crash handler. User-interface thread.
//
// Per-user preferences, top key: "SendCrashDump" (bool, false turns the report off), "LastCrashDump"
// (long, modification time of the dump last offered), "CrashReportServer" (text, "host" or "host:port",
// port 80 by default; without it nothing is offered or sent).
class Minidumper {
public:
    static constexpr const char* kReportPath = "/cgi-bin/crashdump.cgi";
    // Our text dumps take tens of kilobytes; a larger file is no dump of ours and is neither offered nor
    // read (the request doubles it).
    static constexpr std::size_t kMaxDumpBytes = std::size_t{4} << 20;

    // Takes the product name, reports a previous crash, then installs the handler.
    Minidumper();
    Minidumper(const Minidumper&) = delete;
    Minidumper& operator=(const Minidumper&) = delete;
    virtual ~Minidumper();

    void install();
    // "<application data>/<maker>/<product>.dmp".
    File getDumpFile() const;
    // Offers a dump newer than the one last offered and uploads it when the user agrees. True when the
    // upload connection was made. Failures, and a dump above kMaxDumpBytes, leave a log line and never
    // stop the start-up.
    bool reportPreviousCrash();

    // The HTTP request that carries a dump: headers, then every byte as two lower-case hex digits.
    static std::string buildRequest(const std::string& host, const std::string& userAgent,
                                    const std::string& dump);

private:
    bool upload(const File& dump, const std::string& server);

    std::string productName_;
    bool installed_ = false;
};

} // namespace trov
