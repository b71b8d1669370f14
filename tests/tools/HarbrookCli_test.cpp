// The built harbrook-cli run as a program against a real server.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

CliRun runCli(const std::vector<std::string>& args) {
    TempDir dir;
    std::string command = shellQuote(HARBROOK_CLI_PATH);
    for (const std::string& arg : args) {
        command += " " + shellQuote(arg);
    }
    command += " >" + dir.file("out") + " 2>" + dir.file("err");
    CliRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(dir.file("out"));
    run.err = readFile(dir.file("err"));
    return run;
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
    const CliRun required = runCli(login(server, {"--require-tls", "127.0.0.1", "pwd"}));
    EXPECT_EQ(required.exitCode, 1);
    EXPECT_EQ(required.err, "Start SSL negotiation command failed.\n");
}

TEST_F(HarbrookCli, SizesRenamesAndErrors) {
    PyFtpdServer server;
    writeFile(server.root() + "/a.txt", "12345");
    const CliRun run = runCli(login(server, {"127.0.0.1", "size a.txt", "size missing", "mv a.txt \"b c.txt\"",
                                          "size b c.txt", "feat"}));
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
    EXPECT_EQ(parsed.out.substr(0, 19), "layout: Unix\nfile\t5");
    EXPECT_NE(parsed.out.find("\tfive.txt\n"), std::string::npos);
    const CliRun raw = runCli(login(server, {"127.0.0.1", "ls --raw"}));
    EXPECT_EQ(raw.out.substr(0, 10), "-rw-r--r--");
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

TEST(HarbrookCliUsage, PrintsUsageWithoutArguments) {
    const CliRun run = runCli({});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Usage: harbrook-cli"), std::string::npos);
}

}  // namespace
}  // namespace harbrook::testing
