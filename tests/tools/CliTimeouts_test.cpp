// harbrook-cli's --timeout bounds every wait: connects that get no answer (a black
// hole, a data port that never answers) and data connections that stall.

#include <gtest/gtest.h>

#include <chrono>

#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/BlackHoleNetwork.h"
#include "tests/support/NetworkHelpers.h"
#include "tests/tools/CliRunner.h"

namespace harbrook::testing {
namespace {

using Clock = std::chrono::steady_clock;

struct TimedRun {
    CliRun run;
    double seconds = 0;
};

TimedRun timed(const std::vector<std::string>& args) {
    const auto start = Clock::now();
    TimedRun result;
    result.run = runCli(args);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

std::string pasvReplyFor(std::uint16_t port) {
    return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
           std::to_string(port % 256) + ")";
}

// In a namespace of the test's own, every packet back is dropped: the connect must
// end within the time-out (it used to take the system's two minutes).
TEST(CliTimeouts, AConnectToABlackHoleEndsWithinTheTimeout) {
    BlackHoleNetwork network;
    if (!network.unavailableReason().empty()) {
        GTEST_SKIP() << network.unavailableReason();
    }
    const TimedRun result = timed({"--timeout", "2", "--user", "u", "--pass", "p", network.address(), "pwd"});
    EXPECT_EQ(result.run.exitCode, 1);
    EXPECT_EQ(result.run.err, "Connect timed out.\n");
    EXPECT_LT(result.seconds, 3.0);
}

TEST(CliTimeouts, AControlPortThatNeverAnswersEndsWithinTheTimeout) {
    SaturatedListener silent;
    const TimedRun result = timed({"--timeout", "2", "--port", std::to_string(silent.port()), "--user", "u",
                                   "--pass", "p", "127.0.0.1", "pwd"});
    EXPECT_EQ(result.run.exitCode, 1);
    EXPECT_EQ(result.run.err, "Connect timed out.\n");
    EXPECT_LT(result.seconds, 3.0);
}

TEST(CliTimeouts, ADataPortThatNeverAnswersEndsWithinTheTimeout) {
    SaturatedListener silent;
    for (const bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        FtpScript script = loggedIn();
        if (!upload) {
            script.on("SIZE f", "213 5");
        }
        script.on("PASV", pasvReplyFor(silent.port()));
        if (upload) {
            // Passive uploads connect once the command is out; the server's 150
            // comes, its data port never answers.
            script.on("STOR f", "150 ok");
        }
        script.hang();
        ScriptedFtpServer server(script);
        TempDir local;
        writeFile(local.file("f"), "local");
        const std::string command = upload ? "put " + local.file("f") + " f" : "get f " + local.file("g");
        const TimedRun result = timed({"--timeout", "3", "--port", std::to_string(server.port()), "--user", "u",
                                       "--pass", "p", server.host(), command});
        EXPECT_EQ(result.run.exitCode, 1);
        EXPECT_EQ(result.run.err, (upload ? "upload of " + local.file("f") + " to f" : std::string("download of f")) +
                                      " failed: Connect timed out.\n")
            << "names the file";
        EXPECT_LT(result.seconds, 3.0 + 1.5 + 0.5) << "the connect, then a brief wait for the server's answer";
    }
}

// A data connection that stands but carries nothing, from a server that then says
// nothing either: one time-out, not one for the data and another for the reply.
TEST(CliTimeouts, AStalledDataConnectionWaitsTheTimeoutOnce) {
    FtpScript script = loggedIn();
    script.on("SIZE f", "213 5")
        .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
        .acceptData()
        .on("RETR f", "150 ok")
        .hang();
    ScriptedFtpServer server(script);
    TempDir local;
    writeFile(local.file("f"), "the good old copy");
    const TimedRun result = timed({"--timeout", "3", "--port", std::to_string(server.port()), "--user", "u",
                                   "--pass", "p", server.host(), "get f " + local.file("f")});
    EXPECT_EQ(result.run.exitCode, 1);
    EXPECT_EQ(result.run.err, "download of f failed: Read timed out.\n") << "names the file";
    EXPECT_LT(result.seconds, 3.0 + 1.5 + 0.5) << "was twice the time-out";
    EXPECT_EQ(readFile(local.file("f")), "the good old copy");
}

}  // namespace
}  // namespace harbrook::testing
