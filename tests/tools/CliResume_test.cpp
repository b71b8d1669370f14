// harbrook-cli's get -c, put -c and -n against pyftpdlib (byte-exact, only the rest
// moved) and against scripted servers that ignore or refuse REST.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"
#include "tests/tools/CliRunner.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> against(const PyFtpdServer& server, const std::vector<std::string>& commands) {
    std::vector<std::string> args = {"--port", std::to_string(server.port()), "--user", server.user(), "--pass",
                                     server.password(), "--timeout", "5", server.host()};
    args.insert(args.end(), commands.begin(), commands.end());
    return args;
}

std::vector<std::string> against(const ScriptedFtpServer& server, const std::vector<std::string>& commands) {
    std::vector<std::string> args = {"--port", std::to_string(server.port()), "--user", "u", "--pass", "p",
                                     "--timeout", "3", server.host()};
    args.insert(args.end(), commands.begin(), commands.end());
    return args;
}

// Whether the server's log gets `text` after `from` (it writes a transfer's line once
// the transfer is over, which may come a moment after the client is done).
bool logShows(const PyFtpdServer& server, const std::string& text, std::size_t from) {
    for (int waited = 0; waited < 3000; waited += 10) {
        if (server.log().find(text, from) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The first `size` bytes of a file, written as another file.
void writePrefix(const std::string& from, const std::string& to, std::size_t size) {
    writeFile(to, readFile(from).substr(0, size));
}

class CliResume : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        PyFtpdOptions options;
        options.keepLog = true;
        server = std::make_unique<PyFtpdServer>(options);
        writeRandomFile(server->root() + "/big.bin", 300000, 7);
    }
    std::unique_ptr<PyFtpdServer> server;
    TempDir local;
};

TEST_F(CliResume, GetContinuesAPartialFileWithOnlyTheRestMoved) {
    for (const std::size_t have : {std::size_t{1}, std::size_t{100000}, std::size_t{299999}}) {
        SCOPED_TRACE(have);
        const std::string target = local.file("big-" + std::to_string(have));
        writePrefix(server->root() + "/big.bin", target, have);
        const std::size_t logBefore = server->log().size();
        const CliRun run = runCli(against(*server, {"get -c big.bin " + target}));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(sha256OfFile(target), sha256OfFile(server->root() + "/big.bin"));
        // The rest, and the overlap checked before the end (4096 bytes or what there is).
        const std::size_t overlap = std::min<std::size_t>(have, 4096);
        EXPECT_TRUE(logShows(*server, "bytes=" + std::to_string(300000 - have + overlap), logBefore))
            << server->log().substr(logBefore);
    }
}

TEST_F(CliResume, GetDashCRefusesWhatIsNotThePartOfTheFile) {
    struct Row {
        const char* label;
        std::string localBytes;
        const char* message;
    };
    const std::string remote = readFile(server->root() + "/big.bin");
    std::string changed = remote.substr(0, 50000);
    changed[49000] ^= 0x55;
    const Row rows[] = {
        {"larger than the remote file", remote + "more", "is larger than the remote one"},
        {"other bytes before its end", changed, "did not send the file from byte 45904"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string target = local.file("target");
        writeFile(target, row.localBytes);
        const CliRun run = runCli(against(*server, {"get -c big.bin " + target}));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_EQ(readFile(target), row.localBytes) << "the local file stays as it was";
    }
    // A complete file needs nothing; a missing one is fetched whole.
    writeFile(local.file("whole"), remote);
    EXPECT_EQ(runCli(against(*server, {"get -c big.bin " + local.file("whole")})).exitCode, 0);
    EXPECT_EQ(runCli(against(*server, {"get -c big.bin " + local.file("new")})).exitCode, 0);
    EXPECT_EQ(readFile(local.file("new")), remote);
}

TEST_F(CliResume, PutContinuesAPartialRemoteFile) {
    const std::string whole = server->root() + "/big.bin";
    writePrefix(whole, server->root() + "/part.bin", 120000);
    fs::copy_file(whole, local.file("big.bin"));
    const std::size_t logBefore = server->log().size();
    const CliRun run = runCli(against(*server, {"put -c " + local.file("big.bin") + " part.bin"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sha256OfFile(server->root() + "/part.bin"), sha256OfFile(whole));
    EXPECT_TRUE(logShows(*server, "bytes=180000", logBefore)) << server->log().substr(logBefore);

    writeFile(local.file("small.bin"), "small");
    const CliRun larger = runCli(against(*server, {"put -c " + local.file("small.bin") + " part.bin"}));
    EXPECT_EQ(larger.exitCode, 1);
    EXPECT_NE(larger.err.find("is larger than the local one"), std::string::npos) << larger.err;
    EXPECT_EQ(sha256OfFile(server->root() + "/part.bin"), sha256OfFile(whole));
}

TEST_F(CliResume, DashNNeverOverwrites) {
    writeFile(local.file("mine"), "mine");
    const CliRun get = runCli(against(*server, {"get -n big.bin " + local.file("mine")}));
    EXPECT_EQ(get.exitCode, 0);
    EXPECT_NE(get.err.find("exists; not overwritten (-n)"), std::string::npos) << get.err;
    EXPECT_EQ(readFile(local.file("mine")), "mine");
    const CliRun put = runCli(against(*server, {"put -n " + local.file("mine") + " big.bin"}));
    EXPECT_EQ(put.exitCode, 0);
    EXPECT_EQ(fs::file_size(server->root() + "/big.bin"), 300000u) << "the remote file stays";
    EXPECT_EQ(runCli(against(*server, {"get -n big.bin " + local.file("fresh")})).exitCode, 0);
    EXPECT_EQ(fs::file_size(local.file("fresh")), 300000u);
    EXPECT_EQ(runCli(against(*server, {"get -r -c /x " + local.path()})).exitCode, 2) << "one flag at a time";
}

// Servers that cannot continue: one refuses REST, one accepts it and sends from byte 0.
TEST(CliResumeScripted, AServerThatCannotContinueChangesNothing) {
    std::string file;
    for (int i = 0; i < 1000; ++i) {
        file += "line " + std::to_string(100000 + i) + "\n";  // 13 bytes a line
    }
    const std::string have = file.substr(0, 6000);
    const std::string size = std::to_string(file.size());
    struct Row {
        const char* label;
        FtpScript script;
        const char* message;
    };
    FtpScript refuses = loggedIn();
    refuses.on("SIZE f", "213 " + size).on("REST 1", "502 REST not implemented").on("REST 0", "502 no");
    FtpScript ignores = loggedIn();
    ignores.on("SIZE f", "213 " + size)
        .on("REST 1", "350 ok")
        .on("REST 0", "350 ok")
        .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
        .acceptData()
        .on("REST 1904", "350 Restarting at 1904")
        .on("RETR f", "150 ok")
        .sendData(file)
        .closeData()
        .reply("226 ok");
    Row rows[] = {
        {"REST refused", refuses, "does not restart transfers (REST)"},
        {"REST ignored", ignores, "did not send the file from byte 1904"},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedFtpServer server(row.script);
        TempDir local;
        writeFile(local.file("f"), have);
        const CliRun run = runCli(against(server, {"get -c f " + local.file("f")}));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_EQ(readFile(local.file("f")), have) << "nothing was appended";
    }
}

}  // namespace
}  // namespace harbrook::testing
