// harbrook-cli against servers that misbehave on purpose and against odd local targets:
// the exit status, the message, and every local file byte for byte afterwards.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <csignal>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"
#include "tests/tools/CliRunner.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPasv = "227 Entering Passive Mode (127,0,0,1,{p1},{p2})";

std::vector<std::string> against(const ScriptedFtpServer& server, const std::vector<std::string>& commands) {
    std::vector<std::string> args = {"--port", std::to_string(server.port()), "--user", "u", "--pass", "p",
                                     "--timeout", "3", server.host()};
    args.insert(args.end(), commands.begin(), commands.end());
    return args;
}

FtpScript& retrieve(FtpScript& script, const std::string& name, const std::string& size,
                    const std::string& bytes, const std::string& end = "226 ok") {
    return script.on("SIZE " + name, "213 " + size)
        .passive("PASV", kPasv)
        .acceptData()
        .on("RETR " + name, "150 ok")
        .sendData(bytes)
        .closeData()
        .reply(end);
}

std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// The server announces one size and sends another, then says 226 all the same.
TEST(CliDataSafety, ADownloadOfAnotherSizeThanAnnouncedFails) {
    struct Row {
        const char* label;
        const char* announced;
        std::string sent;
        bool oldFile;
        int exitCode;
        std::string message;
        std::string localAfter;
    };
    const std::string nineteen = "nineteen bytes here";
    const Row rows[] = {
        {"short, over a good file", "1000000", nineteen, true, 1,
         "download of f incomplete: 19 of 1000000 bytes\n", "the good old copy"},
        {"long, over a good file", "5", "twelve bytes", true, 1, "download of f incomplete: 12 of 5 bytes\n",
         "the good old copy"},
        {"short, new name: what arrived stays", "1000000", nineteen, false, 1,
         "download of f incomplete: 19 of 1000000 bytes\n", nineteen},
        {"exact, over a good file", "19", nineteen, true, 0, "", nineteen},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        FtpScript script = loggedIn();
        retrieve(script, "f", row.announced, row.sent);
        // A shorter local file makes the client ask once whether the server can restart.
        if (row.oldFile && std::stoll(row.announced) > 17) {
            script = loggedIn();
            script.on("SIZE f", std::string("213 ") + row.announced).on("REST 1", "350 ok").on("REST 0", "350 ok");
            script.passive("PASV", kPasv).acceptData().on("RETR f", "150 ok").sendData(row.sent).closeData().reply("226 ok");
        }
        ScriptedFtpServer server(script);
        TempDir local;
        if (row.oldFile) {
            writeFile(local.file("f"), "the good old copy");
        }
        const CliRun run = runCli(against(server, {"get f " + local.file("f")}));
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.err, row.message);
        EXPECT_EQ(readFile(local.file("f")), row.localAfter);
        EXPECT_EQ(entriesIn(local.path()), 1u) << "no temporary copy stays behind";
        EXPECT_TRUE(server.failures().empty()) << server.failures().front();
    }
}

TEST(CliDataSafety, AnUploadTheServerStoredShortFails) {
    TempDir local;
    writeFile(local.file("ten.bin"), "0123456789");
    FtpScript script = loggedIn();
    script.passive("PASV", kPasv)
        .on("STOR ten.bin", "150 ok")
        .acceptData()
        .receiveData()
        .reply("226 ok")
        .on("SIZE ten.bin", "213 3");
    ScriptedFtpServer server(script);
    const CliRun run = runCli(against(server, {"put " + local.file("ten.bin") + " ten.bin"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "upload of " + local.file("ten.bin") + " incomplete: 3 of 10 bytes\n");
    EXPECT_EQ(server.receivedData(), "0123456789");
}

TEST(CliDataSafety, ASecondPreliminaryReplySaysWhatWasExpected) {
    FtpScript script = loggedIn();
    retrieve(script, "f", "5", "fresh", "150 preliminary 1");
    ScriptedFtpServer server(script);
    TempDir local;
    writeFile(local.file("f"), "the good old copy");
    const CliRun run = runCli(against(server, {"get f " + local.file("f")}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "download of f interrupted after 5 of 5 bytes: The server sent a second preliminary reply where "
              "the transfer's final reply (226) was expected: 150 preliminary 1\n");
    EXPECT_EQ(readFile(local.file("f")), "the good old copy");
    EXPECT_EQ(entriesIn(local.path()), 1u);
}

// 18 files, the tenth with a NUL in its name: the lines after it are listing too.
std::string listingWithANul() {
    std::string text;
    for (int i = 1; i <= 18; ++i) {
        std::string name = "file" + std::to_string(i);
        if (i == 10) {
            name = std::string("fi\0le10", 7);
        }
        text += "-rw-r--r-- 1 u g 2 Jan  1  2020 " + name + "\r\n";
    }
    return text;
}

TEST(CliDataSafety, ANulInAListingHidesNothingAndIsNeverAName) {
    {
        FtpScript script = loggedIn();
        listing(script, listingWithANul());
        ScriptedFtpServer server(script);
        const CliRun raw = runCli(against(server, {"ls --raw"}));
        EXPECT_EQ(raw.exitCode, 0) << raw.err;
        EXPECT_EQ(std::count(raw.out.begin(), raw.out.end(), '\n'), 18);
        EXPECT_NE(raw.out.find("file18"), std::string::npos);
        EXPECT_EQ(raw.out.find('\0'), std::string::npos) << "the terminal never sees the NUL itself";
    }
    {
        FtpScript script = loggedIn();
        listing(script, listingWithANul());
        ScriptedFtpServer server(script);
        const CliRun parsed = runCli(against(server, {"ls"}));
        EXPECT_EQ(parsed.exitCode, 0) << parsed.err;
        for (const char* name : {"file9", "file11", "file18"}) {
            EXPECT_NE(parsed.out.find(name), std::string::npos) << name;
        }
    }
    FtpScript script = loggedIn();
    script.on("CWD /pub/", "250 ok").on("PWD", "257 \"/pub\"");
    listing(script, listingWithANul());
    // A folder's files are taken in the order the lists show them: by the row's whole
    // text, so "file11||…" comes before "file1||…".
    for (const int i : {11, 12, 13, 14, 15, 16, 17, 18, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
        retrieve(script, "file" + std::to_string(i), "2", "ok");
    }
    script.on("CDUP", "250 ok");
    ScriptedFtpServer server(script);
    TempDir local;
    const CliRun walk = runCli(against(server, {"get -r /pub " + local.path()}));
    EXPECT_EQ(walk.exitCode, 0) << walk.err;
    EXPECT_EQ(entriesIn(local.file("pub")), 17u);
    EXPECT_FALSE(fs::exists(local.file("pub/fi")));
    for (const std::string& line : server.received()) {
        EXPECT_NE(line, "RETR fi");
        EXPECT_NE(line, "SIZE fi");
    }
    EXPECT_TRUE(server.failures().empty()) << server.failures().front();
}

TEST(CliDataSafety, AnOverLongLocalNameEndsTheWalkWithAReadableMessage) {
    const std::string longName(300, 'n');
    FtpScript script = loggedIn();
    script.on("CWD /pub/", "250 ok").on("PWD", "257 \"/pub\"");
    listing(script, "-rw-r--r-- 1 u g 2 Jan  1  2020 " + longName + "\r\n");
    script.on("SIZE " + longName, "213 2");
    ScriptedFtpServer server(script);
    TempDir local;
    const CliRun run = runCli(against(server, {"get -r /pub " + local.path()}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_LT(run.err.size(), 260u) << run.err;
    EXPECT_NE(run.err.find("Cannot create file"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\xE2\x80\xA6"), std::string::npos) << "the name is cut, start and end kept";
    EXPECT_NE(run.err.find("File name too long"), std::string::npos) << run.err;
}

// A server whose every folder holds one more folder: the walk ends where the local
// path gets too long, with a message that names the path readably.
TEST(CliDataSafety, AnEndlessFolderDepthEndsWithAReadableMessage) {
    const std::string name(250, 'd');
    FtpScript script = loggedIn();
    std::string remote = "/deep";
    script.on("CWD /deep/", "250 ok");
    for (int level = 0; level < 20; ++level) {
        script.on("PWD", "257 \"" + remote + "\"");
        listing(script, "drwxr-xr-x 2 u g 4096 Jan  1  2020 " + name + "\r\n");
        script.on("CWD " + name + "/", "250 ok");
        remote += "/" + name;
    }
    ScriptedFtpServer server(script);
    TempDir local;
    const CliRun run = runCli(against(server, {"get -r /deep " + local.path()}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("Failed to create directory: " + local.path() + "/deep/", 0), 0u) << run.err;
    EXPECT_LT(run.err.size(), 200u) << run.err;
    EXPECT_NE(run.err.find("\xE2\x80\xA6"), std::string::npos);
}

// Real links and devices against a real server.
class CliLocalTargets : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        writeFile(server.root() + "/a.txt", "remote a");
        fs::create_directories(server.root() + "/tree/sub");
        writeFile(server.root() + "/tree/a.txt", "remote tree a");
        writeFile(server.root() + "/tree/sub/b.txt", "remote tree b");
        fs::create_directories(outside.file("keep"));
        writeFile(outside.file("keep/b.txt"), "outside b");
        writeFile(outside.file("precious"), "outside precious");
    }
    std::vector<std::string> login(std::vector<std::string> commands) const {
        std::vector<std::string> args = {"--port", std::to_string(server.port()), "--user", server.user(),
                                         "--pass", server.password(), "--timeout", "5", "127.0.0.1"};
        args.insert(args.end(), commands.begin(), commands.end());
        return args;
    }

    PyFtpdServer server;
    TempDir local;
    TempDir outside;
};

TEST_F(CliLocalTargets, LinksAreReplacedOrRefusedNeverWrittenThrough) {
    const auto before = treeOf(outside.path());
    // A dangling link named like the remote file, one to a file outside, one to a
    // folder outside named like a remote sub-folder.
    fs::create_directories(local.file("one"));
    fs::create_symlink(outside.file("created-by-the-link"), local.file("one/a.txt"));
    const CliRun dangling = runCli(login({"get a.txt " + local.file("one/a.txt")}));
    EXPECT_EQ(dangling.exitCode, 0) << dangling.err;
    EXPECT_FALSE(fs::is_symlink(local.file("one/a.txt")));
    EXPECT_EQ(readFile(local.file("one/a.txt")), "remote a");

    fs::create_directories(local.file("two/tree"));
    fs::create_symlink(outside.file("precious"), local.file("two/tree/a.txt"));
    fs::create_symlink(outside.file("keep"), local.file("two/tree/sub"));
    const CliRun walk = runCli(login({"get -r /tree " + local.file("two")}));
    EXPECT_EQ(walk.exitCode, 1);
    EXPECT_EQ(walk.err, "Cannot download folder \"sub\": the local \"" + local.file("two/tree/sub") +
                            "\" is a symbolic link, which is not followed\n");
    EXPECT_EQ(readFile(local.file("two/tree/a.txt")), "remote tree a") << "the link was replaced";
    EXPECT_TRUE(fs::is_symlink(local.file("two/tree/sub")));

    fs::create_directories(local.file("three"));
    fs::create_symlink(outside.file("keep"), local.file("three/tree"));
    const CliRun top = runCli(login({"get -r /tree " + local.file("three")}));
    EXPECT_EQ(top.exitCode, 1);
    EXPECT_NE(top.err.find("is a symbolic link, which is not followed"), std::string::npos) << top.err;

    EXPECT_EQ(treeOf(outside.path()), before) << "nothing outside the targets changed";
}

TEST_F(CliLocalTargets, ADeviceStaysADevice) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a character device needs root";
    }
    const std::string device = local.file("null");
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    fs::create_symlink(device, local.file("link-to-null"));
    const CliRun run = runCli(login({"get a.txt " + device}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    struct stat info {};
    ASSERT_EQ(::lstat(device.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(info.st_rdev, makedev(1, 3));
    EXPECT_EQ(entriesIn(local.path()), 2u) << "no temporary file beside it";

    const CliRun viaLink = runCli(login({"get a.txt " + local.file("link-to-null")}));
    EXPECT_EQ(viaLink.exitCode, 1);
    EXPECT_EQ(viaLink.err, "Cannot write file \"" + local.file("link-to-null") +
                               "\": it is a link to a device or pipe\n");
    EXPECT_TRUE(fs::is_symlink(local.file("link-to-null")));
}

TEST_F(CliLocalTargets, APipeIsWrittenInto) {
    const std::string pipe = local.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string read;
    std::thread reader([&] { read = readFile(pipe); });
    const CliRun run = runCli(login({"get a.txt " + pipe}));
    reader.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(read, "remote a");
    struct stat info {};
    ASSERT_EQ(::lstat(pipe.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}


// A listing of another folder that the server refuses still goes back to where the
// session was, so the commands after it act where the user thinks.
TEST(CliScripted, AFailedListingOfAPathComesBack) {
    FtpScript script = loggedIn();
    script.on("PWD", "257 \"/home\"")
        .on("CWD sub", "250 ok")
        .on("TYPE A", "200 ok")
        .passive("PASV", kPasv)
        .acceptData()
        .on("LIST", "550 Permission denied")
        .on("TYPE I", "200 ok")
        .on("CWD /home", "250 back");
    ScriptedFtpServer server(script);
    const CliRun run = runCli(against(server, {"ls sub"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    const std::vector<std::string> sent = server.received();
    EXPECT_NE(std::find(sent.begin(), sent.end(), "CWD /home"), sent.end()) << "the CWD back was sent";
    EXPECT_TRUE(server.failures().empty()) << server.failures().front();
}

// Ctrl-C while a command (not a transfer) waits for a server that never answers ends
// the program at once, with the interrupted status.
TEST(CliScripted, CtrlCDuringAHangingCommandExits130) {
    FtpScript script = loggedIn();
    script.expect("MKD stuck").hang();
    ScriptedFtpServer server(script);
    std::vector<std::string> args = against(server, {"mkdir stuck"});
    // Far longer than the test waits: only Ctrl-C can end it in time.
    args[std::find(args.begin(), args.end(), "--timeout") - args.begin() + 1] = "30";
    BackgroundCli cli(args);
    for (int waited = 0; waited < 5000; waited += 10) {
        const std::vector<std::string> sent = server.received();
        if (std::find(sent.begin(), sent.end(), "MKD stuck") != sent.end()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto signalled = std::chrono::steady_clock::now();
    cli.signal(SIGINT);
    const CliRun run = cli.finish();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(2));
    EXPECT_EQ(run.exitCode, 130) << run.err;
}

}  // namespace
}  // namespace harbrook::testing
