#include "framework/Minidumper.h"

#include "framework/Folder.h"
#include "framework/Logger.h"
#include "framework/Preferences.h"
#include "framework/ProductIdentity.h"
#include "framework/SocketConnection.h"
#include "framework/System.h"
#include "platform/CrashHandler.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace trov {

namespace {

constexpr int kDefaultPort = 80;

// "host" or "host:port".
bool splitServer(const std::string& server, std::string& host, int& port) {
    host = server;
    port = kDefaultPort;
    const std::size_t colon = server.find(':');
    if (colon == std::string::npos)
        return !host.empty();
    const std::string digits = server.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return false;
    host = server.substr(0, colon);
    port = std::stoi(digits);
    return !host.empty() && port > 0 && port <= 65535;
}

enum class ReadResult { kRead, kUnreadable, kTooLarge };

// Reads at most `limit` bytes and refuses a file with more, whatever its size said: it may have grown,
// or be no regular file at all.
ReadResult readAtMost(const File& file, std::size_t limit, std::string& out) {
    std::ifstream in(file.getPath(), std::ios::binary);
    if (!in)
        return ReadResult::kUnreadable;
    out.resize(limit + 1);
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    if (in.bad())
        return ReadResult::kUnreadable;
    out.resize(static_cast<std::size_t>(in.gcount()));
    return out.size() > limit ? ReadResult::kTooLarge : ReadResult::kRead;
}

} // namespace

Minidumper::Minidumper() : productName_(getProductIdentity().getName()) {
    reportPreviousCrash();
    install();
}

Minidumper::~Minidumper() {
    if (installed_)
        platform::removeCrashHandler();
}

File Minidumper::getDumpFile() const {
    std::string base = platform::applicationDataFolder();
    if (base.empty())
        base = platform::temporaryFolder();
    Folder folder = Folder(base) + Folder(getProductIdentity().getMakerName());
    folder.create();
    return folder + File(productName_ + ".dmp");
}

void Minidumper::install() {
    if (installed_)
        return;
    const std::string path = getDumpFile().getPath();
    const int error = platform::installCrashHandler(path);
    installed_ = true;
    if (error != 0)
        logLine(2, "  failed to create dump file '%s' (error %d)", path.c_str(), error);
    logLine(2, "Minidumper: enabled");
}

bool Minidumper::reportPreviousCrash() {
    Preferences* preferences = getUserPreferences();
    bool wanted = true;
    if (preferences != nullptr && preferences->getBool("SendCrashDump", wanted) && !wanted)
        return false;

    const File dump = getDumpFile();
    const bool exists = dump.exists();
    const std::int64_t modified = exists ? dump.getModificationTime() : 0;
    std::int32_t lastOffered = 0;
    std::string server;
    if (preferences != nullptr) {
        preferences->getLong("LastCrashDump", lastOffered);
        preferences->getString("CrashReportServer", server);
    }

    bool connected = false;
    // Without a report server there is nowhere to send the dump, so the user is not asked.
    if (exists && modified > lastOffered && !server.empty()) {
        const ProductIdentity& product = getProductIdentity();
        const std::string question =
            productName_ + " may have crashed last time it was run.  Can I report the error to " +
            product.getMakerName() + " for analysis so the bug that caused this can be fixed?";
        // The user is not asked about a dump that would not be sent.
        if (static_cast<std::uint64_t>(dump.getSize()) > kMaxDumpBytes)
            logLine(1, "failed to send dump: '%s' is larger than %zu bytes", dump.getPath().c_str(),
                    kMaxDumpBytes);
        else if (askOkCancel(question))
            connected = upload(dump, server);
    }
    // Offered once, whatever the answer.
    if (preferences != nullptr)
        preferences->setLong("LastCrashDump", static_cast<std::int32_t>(modified));
    return connected;
}

bool Minidumper::upload(const File& dump, const std::string& server) {
    std::string host;
    int port = 0;
    if (!splitServer(server, host, port)) {
        logLine(1, "failed to send dump: bad report server '%s'", server.c_str());
        return false;
    }
    SocketConnection connection(host, port);
    if (!connection.isConnected()) {
        logLine(1, "failed to send dump: cannot connect to '%s'", server.c_str());
        return false;
    }
    std::string contents;
    const ReadResult read = readAtMost(dump, kMaxDumpBytes, contents);
    if (read == ReadResult::kTooLarge) {
        logLine(1, "failed to send dump: '%s' is larger than %zu bytes", dump.getPath().c_str(),
                kMaxDumpBytes);
        return true;
    }
    if (read != ReadResult::kRead) {
        logLine(1, "failed to send dump: cannot read '%s'", dump.getPath().c_str());
        return true;
    }
    const ProductIdentity& product = getProductIdentity();
    const std::string userAgent = productName_ + "/" + product.getVersionString();
    if (!connection.send(buildRequest(server, userAgent, contents))) {
        logLine(1, "failed to send dump: the connection broke while sending");
        return true;
    }
    const std::string reply = connection.receive();
    if (reply.find("dump received") == std::string::npos)
        logLine(1, "failed to send dump: %s", reply.c_str());
    connection.close();
    return true;
}

std::string Minidumper::buildRequest(const std::string& host, const std::string& userAgent,
                                     const std::string& dump) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string request = std::string("POST ") + kReportPath + " HTTP/1.1\r\n" + "Host: " + host + "\r\n" +
                          "User-Agent: " + userAgent + "\r\n" + "Content-Type: application/crash-dump\r\n" +
                          "Content-Length: " + std::to_string(2 * dump.size()) + "\r\n" + "\r\n";
    request.reserve(request.size() + 2 * dump.size());
    for (const char c : dump) {
        const auto byte = static_cast<unsigned char>(c);
        request += kDigits[byte >> 4];
        request += kDigits[byte & 0xF];
    }
    return request;
}

} // namespace trov
