// The built harbrook-cli run as a program against a real server.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <thread>

#include <fcntl.h>

#include "tests/support/PyFtpdServer.h"
#include "tests/tools/CliRunner.h"
#include "tests/support/TempDir.h"
#include "tests/support/VsftpdServer.h"

namespace harbrook::testing {
namespace {

// Waits (at most 10 s) until a file in `folder` other than `besides` has some bytes;
// returns its path.
std::string waitForGrowingFile(const std::string& folder, const std::string& besides) {
    for (int waited = 0; waited < 10000; waited += 10) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename() != besides && entry.is_regular_file() && entry.file_size() > 0) {
                return entry.path().string();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

// Four files of random bytes, f0 to f3, in `folder` (made): `size` bytes, and `step` more
// for each next one.
void writeFourFiles(const std::string& folder, std::size_t size, std::size_t step, unsigned seed) {
    std::filesystem::create_directories(folder);
    for (unsigned i = 0; i < 4; ++i) {
        writeRandomFile(folder + "/f" + std::to_string(i), size + i * step, seed + i);
    }
}

std::size_t entriesIn(const std::string& folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++count;
    }
    return count;
}

class HarbrookCli : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
    static std::vector<std::string> login(const PyFtpdServer& server,
                                          std::vector<std::string> rest) {
        std::vector<std::string> args = {"--port", std::to_string(server.port()), "--user",
                                         server.user(), "--pass", server.password(), "--timeout",
                                         "5"};
        args.insert(args.end(), rest.begin(), rest.end());
        return args;
    }
};

TEST_F(HarbrookCli, MakesEntersAndPrintsAFolderOverTls) {
    PyFtpdOptions options;
    options.tls = true;
    options.tlsControlRequired = true;
    PyFtpdServer server(options);
    const CliRun run = runCli(login(server, {"--tls", "127.0.0.1", "mkdir x", "cd x", "pwd"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "/x\n");
    EXPECT_TRUE(std::filesystem::is_directory(server.root() + "/x"));
}

TEST_F(HarbrookCli, TlsFallsBackToPlainButRequireTlsDoesNot) {
    PyFtpdServer server;
    const CliRun plain = runCli(login(server, {"--tls", "127.0.0.1", "pwd"}));
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, "/\n");
    EXPECT_EQ(plain.err,
              "harbrook-cli: warning: 127.0.0.1 does not offer TLS; the session, password included, goes in plain "
              "text\n");
    const CliRun required = runCli(login(server, {"--require-tls", "127.0.0.1", "pwd"}));
    EXPECT_EQ(required.exitCode, 1);
    EXPECT_EQ(required.err, "Start SSL negotiation command failed.\n");
}

TEST_F(HarbrookCli, SizesRenamesAndErrors) {
    PyFtpdServer server;
    writeFile(server.root() + "/a.txt", "12345");
    const CliRun run = runCli(login(server, {"127.0.0.1", "size a.txt", "size missing", "mv a.txt \"b c.txt\"",
                                          "size \"b c.txt\"", "feat"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 7), "5\n-1\n5\n");
    EXPECT_NE(run.out.find("SIZE\n"), std::string::npos) << "feat lists the capabilities";

    const CliRun failed = runCli(login(server, {"127.0.0.1", "rm missing.txt"}));
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err, "No such file or directory.\n");

    const CliRun wrongCommand = runCli(login(server, {"127.0.0.1", "frobnicate"}));
    EXPECT_EQ(wrongCommand.exitCode, 2);
}

TEST_F(HarbrookCli, TransfersFilesPassiveAndActiveWithPrivateData) {
    PyFtpdOptions options;
    options.tls = true;
    options.tlsDataRequired = true;
    PyFtpdServer server(options);
    TempDir local;
    writeRandomFile(server.root() + "/remote.bin", 300000, 3);
    writeFile(local.file("tail.txt"), "tail");
    for (const char* mode : {"--passive-default", "--active"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> args = {"--tls"};
        if (std::string(mode) == "--active") {
            args.push_back("--active");
        }
        args.insert(args.end(), {"127.0.0.1", "get remote.bin " + local.file("got.bin"),
                                 "put " + local.file("got.bin") + " \"copy of.bin\"",
                                 "append " + local.file("tail.txt") + " \"copy of.bin\"", "ls"});
        const CliRun run = runCli(login(server, args));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(sha256OfFile(local.file("got.bin")), sha256OfFile(server.root() + "/remote.bin"));
        const std::string copy = readFile(server.root() + "/copy of.bin");
        EXPECT_EQ(copy, readFile(local.file("got.bin")) + "tail");
        EXPECT_NE(run.out.find("remote.bin"), std::string::npos) << "ls prints the listing";
    }
}

TEST_F(HarbrookCli, MissingLocalFileIsAClearError) {
    PyFtpdServer server;
    TempDir local;
    const CliRun run = runCli(login(server, {"127.0.0.1", "put " + local.file("none.bin") + " x"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("none.bin"), std::string::npos) << run.err;
}

TEST(HarbrookCliParseListing, PrintsLayoutAndEntries) {
    TempDir dir;
    writeFile(dir.file("nt.txt"), "12-31-07  11:59PM       <DIR>          My Folder\r\n"
                                  "01-02-08  09:05AM                1,234 report.txt\r\n");
    const CliRun nt = runCli({"parse-listing", dir.file("nt.txt")});
    EXPECT_EQ(nt.exitCode, 0) << nt.err;
    EXPECT_EQ(nt.out, "layout: Windows NT\n"
                      "dir\t-\t2007-12-31 23:59:00\tMy Folder\n"
                      "file\t1234\t2008-01-02 09:05:00\treport.txt\n");

    writeFile(dir.file("names.txt"), "a\nb c\n");
    EXPECT_EQ(runCli({"parse-listing", "--nlst", dir.file("names.txt")}).out,
              "layout: NLST\nfile\t-\t-\ta\nfile\t-\t-\tb c\n");

    writeFile(dir.file("mlsd.txt"), "type=dir;modify=20240131120000; docs\n");
    const CliRun mlsd = runCli({"parse-listing", "--mlsd", dir.file("mlsd.txt")});
    EXPECT_EQ(mlsd.out.substr(0, 21), "layout: MLST\ndir\t-\t20");

    writeFile(dir.file("unknown.txt"), "nothing anybody would send\n");
    EXPECT_EQ(runCli({"parse-listing", dir.file("unknown.txt")}).out, "layout: \n");
    EXPECT_EQ(runCli({"parse-listing", dir.file("missing.txt")}).exitCode, 1);
}

TEST_F(HarbrookCli, ListsParsedAndRawEntries) {
    PyFtpdServer server;
    writeFile(server.root() + "/five.txt", "12345");
    const CliRun parsed = runCli(login(server, {"127.0.0.1", "ls"}));
    EXPECT_EQ(parsed.exitCode, 0) << parsed.err;
    // pyftpdlib offers MLSD: the machine listing, not a guessed layout.
    EXPECT_EQ(parsed.out.substr(0, 19), "layout: MLST\nfile\t5");
    EXPECT_NE(parsed.out.find("\tfive.txt\n"), std::string::npos);
    const CliRun raw = runCli(login(server, {"127.0.0.1", "ls --raw"}));
    EXPECT_NE(raw.out.find("size=5;"), std::string::npos) << raw.out;
    EXPECT_NE(raw.out.find("type=file;unique="), std::string::npos) << raw.out;
    EXPECT_NE(raw.out.find("; five.txt\n"), std::string::npos) << raw.out;
}

// -v: the session's exchange on stderr as the window's log shows it, the password
// masked, the output of the commands unchanged on stdout.
TEST_F(HarbrookCli, VerboseShowsTheExchangeWithoutThePassword) {
    PyFtpdServer server;
    writeFile(server.root() + "/five.txt", "12345");
    const CliRun run = runCli(login(server, {"-v", "127.0.0.1", "pwd", "size five.txt"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "/\n5\n");
    std::vector<std::string> order = {"[main] < 220 ", "[main] > USER harbrook", "[main] > PASS ****",
                                      "[main] < 230 ", "[main] > PWD", "[main] < 257 ", "[main] > SIZE five.txt",
                                      "[main] < 213 5"};
    std::size_t at = 0;
    for (const std::string& part : order) {
        const std::size_t found = run.err.find(part, at);
        ASSERT_NE(found, std::string::npos) << part << " after " << at << ":\n" << run.err;
        at = found;
    }
    EXPECT_EQ(run.err.find(server.password()), std::string::npos) << run.err;
}

// How the data connections are asked for: PASV/PORT unless --epsv, on the main
// connection and, passive, on the helpers of -P too (active, one connection: pyftpdlib
// now and then stalls one of two active transfers that run at once, curl's as well).
TEST_F(HarbrookCli, DataConnectionCommandsAsAsked) {
    // Sent slowly enough that the helpers are logged in before the main connection has
    // taken every file.
    PyFtpdOptions slow;
    slow.smoothRate = 1 << 20;
    PyFtpdServer server(slow);
    TempDir local;
    writeFourFiles(server.root() + "/tree", 150000, 1, 40);
    struct Case {
        std::vector<std::string> options;
        const char* used;
    };
    const std::vector<Case> cases = {
        {{}, "PASV"}, {{"--epsv"}, "EPSV"}, {{"--active"}, "PORT"}, {{"--epsv", "--active"}, "EPRT"}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.used);
        const bool active = std::find(c.options.begin(), c.options.end(), "--active") != c.options.end();
        const std::string into = local.file(std::to_string(++round));
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"-v", "-P", active ? "1" : "2", "127.0.0.1", "ls", "get -r tree " + into});
        const CliRun run = runCli(login(server, args));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (int i = 0; i < 4; ++i) {
            const std::string name = "/tree/f" + std::to_string(i);
            EXPECT_EQ(sha256OfFile(into + name), sha256OfFile(server.root() + name));
        }
        EXPECT_NE(run.err.find("[main] > " + std::string(c.used)), std::string::npos) << run.err;
        if (!active) {
            const std::regex byHelper(std::string("\\[helper [0-9]+\\] > ") + c.used);
            EXPECT_TRUE(std::regex_search(run.err, byHelper)) << run.err;
        }
        for (const char* other : {"PASV", "EPSV", "PORT", "EPRT"}) {
            if (std::string(other) != c.used) {
                EXPECT_EQ(run.err.find(std::string("] > ") + other), std::string::npos) << other;
            }
        }
    }
}

TEST_F(HarbrookCli, RecursiveTransfersAndProgress) {
    PyFtpdServer server;
    TempDir local;
    std::filesystem::create_directories(local.file("src/inner"));
    writeRandomFile(local.file("src/inner/big.bin"), 3 << 20, 8);
    writeFile(local.file("src/small.txt"), "small");
    const CliRun put = runCli(login(server, {"--progress", "127.0.0.1", "put -r " + local.file("src")}));
    EXPECT_EQ(put.exitCode, 0) << put.err;
    EXPECT_EQ(readFile(server.root() + "/src/small.txt"), "small");
    const CliRun get = runCli(login(server, {"127.0.0.1", "get -r /src " + local.file("copy")}));
    EXPECT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(sha256OfFile(local.file("copy/src/inner/big.bin")), sha256OfFile(local.file("src/inner/big.bin")));
    const CliRun remove = runCli(login(server, {"127.0.0.1", "rm -r src", "pwd"}));
    EXPECT_EQ(remove.exitCode, 0) << remove.err;
    EXPECT_EQ(remove.out, "/\n");
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/src"));
}

// -P N: a tree's files over N connections, both ways, byte-exact; a server that takes
// fewer logins gets fewer, with a warning, and the tree still arrives; Ctrl-C in the
// middle ends every connection's transfer.
TEST_F(HarbrookCli, ParallelTreesOverSeveralConnections) {
    for (const int maxLogins : {0, 2}) {
        SCOPED_TRACE(maxLogins == 0 ? "any logins" : "two logins");
        PyFtpdOptions options;
        options.keepLog = true;
        options.maxLogins = maxLogins;
        PyFtpdServer server(options);
        TempDir local;
        std::vector<std::string> files;
        for (const char* folder : {"src", "src/a", "src/a/b"}) {
            std::filesystem::create_directories(local.file(folder));
            for (int i = 0; i < 5; ++i) {
                files.push_back(std::string(folder) + "/f" + std::to_string(i) + " x");
                writeRandomFile(local.file(files.back()), 20000 + i, static_cast<unsigned>(files.size()));
            }
        }
        const CliRun put = runCli(login(server, {"-P", "4", "127.0.0.1", "put -r " + local.file("src")}));
        EXPECT_EQ(put.exitCode, 0) << put.err;
        const CliRun get = runCli(login(server, {"--parallel", "4", "127.0.0.1", "get -r /src " + local.file("copy")}));
        EXPECT_EQ(get.exitCode, 0) << get.err;
        for (const std::string& file : files) {
            EXPECT_EQ(sha256OfFile(server.root() + "/" + file), sha256OfFile(local.file(file))) << file;
            EXPECT_EQ(sha256OfFile(local.file("copy/" + file)), sha256OfFile(local.file(file))) << file;
        }
        EXPECT_EQ(server.sessionsOpened(), 8) << "4 connections each time, refused ones included";
        const bool warned = get.err.find("harbrook-cli: warning: the server refused 2 of 4 connections") != std::string::npos;
        EXPECT_EQ(warned, maxLogins == 2) << get.err;
    }
    PyFtpdOptions slow;
    slow.smoothRate = 256 << 10;
    PyFtpdServer server(slow);
    TempDir local;
    writeFourFiles(server.root() + "/big", 4 << 20, 0, 20);
    BackgroundCli cli(login(server, {"-P", "3", "127.0.0.1", "get -r /big " + local.path(), "mkdir after"}));
    // Until the walk has made the folder and files are arriving.
    for (int waited = 0; waited < 10000 && !std::filesystem::exists(local.path() + "/big"); waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(waitForGrowingFile(local.path() + "/big", "").empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto signalled = std::chrono::steady_clock::now();
    cli.signal(SIGINT);
    const CliRun run = cli.finish();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(5));
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/after")) << "nothing runs after Ctrl-C";
}

TEST_F(HarbrookCli, GetNeverDamagesALocalFileAndLeavesNoStrays) {
    PyFtpdServer server;
    TempDir local;
    writeFile(local.file("kept.txt"), "the old local copy");
    std::filesystem::create_directories(local.file("folder"));
    writeFile(local.file("folder/inside.txt"), "x");

    const CliRun missing = runCli(login(server, {"127.0.0.1", "get missing.txt " + local.file("kept.txt")}));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(readFile(local.file("kept.txt")), "the old local copy");
    const CliRun fresh = runCli(login(server, {"127.0.0.1", "get missing.txt " + local.file("new.txt")}));
    EXPECT_EQ(fresh.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(local.file("new.txt")));

    const CliRun folderUp = runCli(login(server, {"127.0.0.1", "put " + local.file("folder") + " folder"}));
    EXPECT_EQ(folderUp.exitCode, 1);
    EXPECT_EQ(folderUp.err, "Cannot open file \"" + local.file("folder") + "\". Is a directory\n");
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/folder"));

    const CliRun treeUp = runCli(login(server, {"127.0.0.1", "put -r " + local.file("gone")}));
    EXPECT_EQ(treeUp.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/gone"));

    const CliRun treeDown = runCli(login(server, {"127.0.0.1", "get -r /nothere " + local.file("into")}));
    EXPECT_EQ(treeDown.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(local.file("into")));
    EXPECT_EQ(entriesIn(local.path()), 2u);
}

// A throttled server with an 8 MiB big.bin, an old local copy of it, and harbrook-cli
// fetching it over that copy (then running `after`); ready once the new copy has bytes.
struct SlowDownload {
    explicit SlowDownload(std::vector<std::string> after = {}) : server(throttled()) {
        writeRandomFile(server.root() + "/big.bin", 8 << 20, 5);
        writeFile(local.file("big.bin"), "the old local copy");
        std::vector<std::string> args = {"--port", std::to_string(server.port()), "--user", server.user(),
                                         "--pass", server.password(), "127.0.0.1",
                                         "get big.bin " + local.file("big.bin")};
        args.insert(args.end(), after.begin(), after.end());
        cli = std::make_unique<BackgroundCli>(args);
        started = !waitForGrowingFile(local.path(), "big.bin").empty();
    }
    static PyFtpdOptions throttled() {
        PyFtpdOptions options;
        options.throttle = 512 << 10;
        return options;
    }
    // The old copy is there as it was, and nothing beside it.
    void expectOldCopyAlone() const {
        EXPECT_EQ(readFile(local.file("big.bin")), "the old local copy");
        EXPECT_EQ(entriesIn(local.path()), 1u) << "the partial copy is gone";
    }

    PyFtpdServer server;
    TempDir local;
    std::unique_ptr<BackgroundCli> cli;
    bool started = false;
};

// A server that goes away half-way: the message names the file and how far it got, and
// the old local copy stays as it was.
TEST_F(HarbrookCli, InterruptedDownloadSaysSoAndKeepsTheOldFile) {
    SlowDownload download;
    ASSERT_TRUE(download.started);
    download.server.stop();
    const CliRun run = download.cli->finish();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("download of big.bin interrupted after ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(" of 8388608 bytes: "), std::string::npos) << run.err;
    download.expectOldCopyAlone();
}

TEST_F(HarbrookCli, CtrlCAbortsTheTransferAndKeepsTheOldFile) {
    SlowDownload download({"mkdir after"});
    ASSERT_TRUE(download.started);
    download.cli->signal(SIGINT);
    const CliRun run = download.cli->finish();
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(run.err.rfind("download of big.bin interrupted after ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("bytes: interrupted"), std::string::npos) << run.err;
    download.expectOldCopyAlone();
    EXPECT_FALSE(std::filesystem::exists(download.server.root() + "/after")) << "nothing runs after Ctrl-C";
}

TEST_F(HarbrookCli, CtrlCAbortsAnUpload) {
    PyFtpdOptions options;
    options.throttle = 512 << 10;
    PyFtpdServer server(options);
    TempDir local;
    writeRandomFile(local.file("big.bin"), 8 << 20, 7);
    BackgroundCli cli(login(server, {"127.0.0.1", "put " + local.file("big.bin") + " up.bin"}));
    ASSERT_NE(waitForGrowingFile(server.root(), ""), "");
    cli.signal(SIGINT);
    const CliRun run = cli.finish();
    EXPECT_EQ(run.exitCode, 130) << run.err;
    EXPECT_EQ(run.err.rfind("upload of " + local.file("big.bin") + " interrupted after ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(" of 8388608 bytes: interrupted"), std::string::npos) << run.err;
}

TEST_F(HarbrookCli, CommandsAreCheckedBeforeConnecting) {
    PyFtpdServer server;
    const CliRun typo = runCli(login(server, {"127.0.0.1", "mkdir a", "cd a", "mkdri b"}));
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_EQ(typo.err.rfind("harbrook-cli: unknown command 'mkdri'\n", 0), 0u) << typo.err;
    EXPECT_FALSE(std::filesystem::exists(server.root() + "/a"));

    const CliRun late = runCli(login(server, {"127.0.0.1", "pwd", "--tls"}));
    EXPECT_EQ(late.exitCode, 2);
    EXPECT_EQ(late.out, "");
    const CliRun none = runCli(login(server, {"127.0.0.1"}));
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("Usage: harbrook-cli"), std::string::npos);
}

TEST_F(HarbrookCli, QuotedNamesAndListingsOfOtherFolders) {
    PyFtpdServer server;
    std::filesystem::create_directories(server.root() + "/q dir");
    writeFile(server.root() + "/q dir/in-q.txt", "q");
    std::filesystem::create_directories(server.root() + "/-dashdir");
    writeFile(server.root() + "/-dashdir/in-dash.txt", "d");
    const CliRun run = runCli(login(server, {"127.0.0.1", "mkdir \"made dir\"", "cd 'made dir'", "cdup",
                                             "ls 'q dir'", "ls -- -dashdir", "ls --raw q\\ dir", "pwd"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(server.root() + "/made dir"));
    EXPECT_NE(run.out.find("\tin-q.txt\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\tin-dash.txt\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("made dir"), std::string::npos) << "only the named folders are listed";
    EXPECT_EQ(run.out.substr(run.out.size() - 2), "/\n") << "ls comes back to where it was";
}

// vsftpd reads LIST's argument as options ("-dashdir" lists the current folder).
TEST(HarbrookCliVsftpd, ListsOtherFoldersWhateverTheirNames) {
    if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    VsftpdServer server;
    std::filesystem::create_directories(server.root() + "/q dir");
    writeFile(server.root() + "/q dir/in-q.txt", "q");
    std::filesystem::create_directories(server.root() + "/-dashdir");
    writeFile(server.root() + "/-dashdir/in-dash.txt", "d");
    const CliRun run = runCli({"--port", std::to_string(server.port()), "--user", server.user(), "--tls",
                               "127.0.0.1", "ls 'q dir'", "ls -- -dashdir", "pwd"},
                              "HARBROOK_PASSWORD=" + shellQuote(server.password()));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\tin-q.txt\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\tin-dash.txt\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\tq dir\n"), std::string::npos) << "not the current folder";
}

TEST_F(HarbrookCli, PasswordFromTheEnvironmentOrNetrc) {
    PyFtpdServer server;
    const std::string port = std::to_string(server.port());
    const CliRun fromEnvironment = runCli({"--port", port, "--user", server.user(), "127.0.0.1", "pwd"},
                                          "HARBROOK_PASSWORD=" + shellQuote(server.password()));
    EXPECT_EQ(fromEnvironment.exitCode, 0) << fromEnvironment.err;
    TempDir home;
    writeFile(home.file(".netrc"), "machine 127.0.0.1 login " + server.user() + " password " +
                                       server.password() + "\n");
    const CliRun fromNetrc = runCli({"--port", port, "127.0.0.1", "pwd"}, "HOME=" + shellQuote(home.path()));
    EXPECT_EQ(fromNetrc.exitCode, 0) << fromNetrc.err;
    EXPECT_EQ(fromNetrc.out, "/\n");
}

TEST_F(HarbrookCli, ServerTextIsEscapedForTheTerminal) {
    PyFtpdServer server;
    std::filesystem::create_directories(server.root() + "/evil\x1b[2J");
    const CliRun run = runCli(login(server, {"127.0.0.1", "cd evil\x1b[2J", "pwd", "cd \x07nothere"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "/evil\\x1B[2J\n");
    EXPECT_EQ(run.err.find('\x07'), std::string::npos) << run.err;
}

TEST_F(HarbrookCli, ReachesIPv6Addresses) {
    PyFtpdOptions options;
    options.host = "::1";
    PyFtpdServer server(options);
    writeFile(server.root() + "/six.txt", "123456");
    for (const char* host : {"::1", "[::1]"}) {
        SCOPED_TRACE(host);
        const CliRun run = runCli(login(server, {host, "size six.txt", "ls"}));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, 2), "6\n");
        EXPECT_NE(run.out.find("\tsix.txt"), std::string::npos) << run.out;
    }
}

TEST(HarbrookCliUsage, PrintsUsageWithoutArguments) {
    const CliRun run = runCli({});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Usage: harbrook-cli"), std::string::npos);
}

}  // namespace
}  // namespace harbrook::testing
