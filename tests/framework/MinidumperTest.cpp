#include "framework/Minidumper.h"

#include "framework/Preferences.h"
#include "platform/CrashHandler.h"
#include "platform/Responder.h"
#include "support/ChildProcess.h"
#include "support/FileTestFolder.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"
#include "support/ScopedProduct.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sys/socket.h>

namespace trov {
namespace {

using platform::BoxAnswer;
using test::LoopbackServer;

const std::string kAccepted = "HTTP/1.1 200 OK\r\n\r\ndump received\n";

// Serves one upload: reads the headers and as many body bytes as they announce, answers with the reply,
// then keeps whatever else the client sends before it closes.
class ReportServer {
public:
    explicit ReportServer(std::string reply)
        : server_(std::make_unique<LoopbackServer>([this, reply = std::move(reply)](int fd) {
              connected_ = true;
              char c;
              while (request_.find("\r\n\r\n") == std::string::npos && ::recv(fd, &c, 1, 0) == 1)
                  request_ += c;
              const std::size_t at = request_.find("Content-Length: ");
              request_ += LoopbackServer::readAll(
                  fd, at == std::string::npos ? 0 : std::stoul(request_.substr(at + 16)));
              LoopbackServer::sendAll(fd, reply);
              ::shutdown(fd, SHUT_WR);
              request_ += LoopbackServer::readAll(fd);
          })),
          address_("127.0.0.1:" + std::to_string(server_->port())) {}

    const std::string& address() const { return address_; }
    // Waits for the connection to end, or stops waiting for one that never came.
    void finish() { server_.reset(); }
    const std::string& request() const { return request_; }
    bool connected() const { return connected_; }

private:
    std::string request_;
    bool connected_ = false;
    std::unique_ptr<LoopbackServer> server_;
    std::string address_;
};

// The next start: a fresh application-data folder, per-user preferences, a scripted user and a log.
class MinidumperTest : public testing::Test {
protected:
    MinidumperTest() {
        ::setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
        setProcessPreferences(nullptr, &preferences_);
    }
    ~MinidumperTest() override {
        setProcessPreferences(nullptr, nullptr);
        ::unsetenv("XDG_STATE_HOME");
    }

    std::string dumpPath() const { return folder_ / "state/Maker/Sampler.dmp"; }
    std::int64_t writeDump(const std::string& bytes) {
        folder_.write("state/Maker/Sampler.dmp", bytes);
        return File(dumpPath()).getModificationTime();
    }
    std::int32_t lastCrashDump() {
        std::int32_t value = -1;
        preferences_.getLong("LastCrashDump", value);
        return value;
    }
    // Starts up with a report server giving the reply and the user answering the question, if asked.
    std::unique_ptr<ReportServer> startWithServer(const std::string& reply, BoxAnswer answer) {
        auto server = std::make_unique<ReportServer>(reply);
        preferences_.setString("CrashReportServer", server->address());
        user_.queueBox(answer);
        { Minidumper dumper; }
        server->finish();
        return server;
    }
    std::size_t questionsAsked() const { return user_.questions().size(); }

    test::FileTestFolder folder_;
    test::ScopedProduct product_;
    test::LogCapture log_;
    Preferences preferences_{platform::RegistryRoot::User, "Software\\Maker\\Sampler"};
    platform::ScriptedResponder user_;
    platform::ScopedResponder scopedUser_{user_};
};

TEST_F(MinidumperTest, ACrashInAChildLeavesADumpThatTheNextStartOffersOnceAndUploads) {
    const auto outcome = test::runInChild([] {
        Minidumper dumper;
        volatile std::uintptr_t address = 8;
        *reinterpret_cast<volatile int*>(address) = 1;
        return 0;
    });
    EXPECT_FALSE(outcome.exited && outcome.exitCode == 0);
    const std::string dump = test::readFile(dumpPath());
    ASSERT_EQ(dump.rfind("minidumper caught exception Access violation, creating dump\n", 0), 0u) << dump;
    const std::int64_t modified = File(dumpPath()).getModificationTime();

    ReportServer server(kAccepted);
    preferences_.setString("CrashReportServer", server.address());
    user_.queueBox(BoxAnswer::Ok);
    {
        Minidumper dumper;
        EXPECT_TRUE(platform::isCrashHandlerInstalled());
    }
    EXPECT_FALSE(platform::isCrashHandlerInstalled()) << "removed with the dumper";
    server.finish();
    ASSERT_EQ(questionsAsked(), 1u);
    EXPECT_EQ(user_.questions()[0].text,
              "Sampler may have crashed last time it was run.  Can I report the error to Maker for "
              "analysis so the bug that caused this can be fixed?");
    EXPECT_EQ(user_.questions()[0].box, platform::BoxKind::OkCancel);
    EXPECT_TRUE(server.request() == Minidumper::buildRequest(server.address(), "Sampler/1.0", dump));
    EXPECT_EQ(lastCrashDump(), modified);
    EXPECT_EQ(log_.count("failed to send dump"), 0) << log_.text();
    EXPECT_EQ(log_.count("Minidumper: enabled"), 2) << "in the crashed child and at this start";

    Minidumper again;
    EXPECT_EQ(questionsAsked(), 1u) << "a dump is offered once";
}

TEST_F(MinidumperTest, TheRequestCarriesEveryDumpByteAsTwoLowerCaseHexDigits) {
    writeDump(std::string("\x00\xAB\x10", 3));
    const auto server = startWithServer(kAccepted, BoxAnswer::Ok);
    EXPECT_EQ(server->request(), "POST /cgi-bin/crashdump.cgi HTTP/1.1\r\nHost: " + server->address() +
                                     "\r\nUser-Agent: Sampler/1.0\r\nContent-Type: application/crash-dump\r\n"
                                     "Content-Length: 6\r\n\r\n00ab10");
}

TEST_F(MinidumperTest, NothingIsOfferedWhenReportsAreOffOrTheDumpIsNoNewerThanTheLastOffered) {
    writeDump("dump");
    preferences_.setBool("SendCrashDump", false);
    preferences_.setLong("LastCrashDump", 5);
    preferences_.setString("CrashReportServer", "127.0.0.1:9");
    Minidumper dumper;
    EXPECT_FALSE(dumper.reportPreviousCrash());
    EXPECT_EQ(lastCrashDump(), 5);

    preferences_.setBool("SendCrashDump", true);
    const std::int64_t modified = writeDump("dump");
    preferences_.setLong("LastCrashDump", static_cast<std::int32_t>(modified));
    EXPECT_FALSE(dumper.reportPreviousCrash());
    EXPECT_EQ(questionsAsked(), 0u);
    EXPECT_EQ(lastCrashDump(), modified);
}

TEST_F(MinidumperTest, DecliningSendsNothingButStillRemembersTheDump) {
    const std::int64_t modified = writeDump("dump");
    const auto server = startWithServer(kAccepted, BoxAnswer::Cancel);
    EXPECT_EQ(questionsAsked(), 1u);
    EXPECT_FALSE(server->connected());
    EXPECT_EQ(lastCrashDump(), modified);
}

TEST_F(MinidumperTest, WithoutAReportServerNothingIsOfferedAndWithoutADumpTheMarkIsZero) {
    const std::int64_t modified = writeDump("dump");
    Minidumper dumper;
    EXPECT_EQ(questionsAsked(), 0u);
    EXPECT_EQ(lastCrashDump(), modified);

    std::filesystem::remove(dumpPath());
    preferences_.setString("CrashReportServer", "127.0.0.1:9");
    EXPECT_FALSE(dumper.reportPreviousCrash());
    EXPECT_EQ(lastCrashDump(), 0);
    EXPECT_EQ(questionsAsked(), 0u);
}

TEST_F(MinidumperTest, AWrongReplyIsLoggedAndOnlyItsFirst1024BytesCount) {
    writeDump("dump");
    const auto server = startWithServer(std::string(1100, 'x') + "dump received", BoxAnswer::Ok);
    EXPECT_TRUE(server->connected());
    EXPECT_EQ(log_.count("failed to send dump: " + std::string(1024, 'x') + "\n"), 1) << log_.text().size();
}

TEST_F(MinidumperTest, ADumpAboveTheLimitIsNeitherOfferedNorSentAndOneAtTheLimitIs) {
    const std::string tooLarge = "failed to send dump: '" + dumpPath() + "' is larger than 4194304 bytes";
    std::int64_t modified = writeDump(std::string(Minidumper::kMaxDumpBytes + 1, 'd'));
    auto server = startWithServer(kAccepted, BoxAnswer::Ok);
    EXPECT_EQ(questionsAsked(), 0u);
    EXPECT_FALSE(server->connected());
    EXPECT_EQ(log_.count(tooLarge), 1) << log_.text();
    EXPECT_EQ(lastCrashDump(), modified);

    modified = writeDump(std::string(Minidumper::kMaxDumpBytes, 'd'));
    preferences_.setLong("LastCrashDump", 0);
    server = startWithServer(kAccepted, BoxAnswer::Ok);
    EXPECT_EQ(questionsAsked(), 1u);
    EXPECT_NE(server->request().find("Content-Length: 8388608\r\n"), std::string::npos);
    EXPECT_EQ(log_.count("failed to send dump"), 1) << log_.text();
}

TEST_F(MinidumperTest, ADumpWhoseSizeSaysNothingIsReadOnlyUpToTheLimit) {
    // A device reads endlessly but reports no size.
    folder_.write("state/Maker/Other.dmp", "");
    std::filesystem::create_symlink("/dev/zero", dumpPath());
    const auto server = startWithServer(kAccepted, BoxAnswer::Ok);
    EXPECT_EQ(questionsAsked(), 1u);
    EXPECT_TRUE(server->connected());
    EXPECT_EQ(server->request(), "") << "nothing is sent";
    EXPECT_EQ(log_.count("failed to send dump: '" + dumpPath() + "' is larger than 4194304 bytes"), 1)
        << log_.text();
}

TEST_F(MinidumperTest, AnUnreachableServerOnlyLeavesALogLine) {
    const std::int64_t modified = writeDump("dump");
    const std::string closed = ReportServer(kAccepted).address();
    preferences_.setString("CrashReportServer", closed);
    user_.queueBox(BoxAnswer::Ok);
    Minidumper dumper;
    EXPECT_EQ(log_.count("failed to send dump: cannot connect to '" + closed + "'"), 1) << log_.text();
    EXPECT_EQ(lastCrashDump(), modified);
    EXPECT_TRUE(platform::isCrashHandlerInstalled()) << "start-up goes on";
}

} // namespace
} // namespace trov
