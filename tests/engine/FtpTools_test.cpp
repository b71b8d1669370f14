// The FTP tool operations: folder walks both ways, deletion, clones, and the rules for
// files that already exist locally.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "engine/DirListings.h"
#include "engine/FtpTools.h"
#include "engine/RemoteFolder.h"
#include "engine/SessionSetup.h"
#include "engine/TransferList.h"
#include "ftp/client/IdFTP.h"
#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPasv = "227 Entering Passive Mode (127,0,0,1,{p1},{p2})";

FtpScript& retrieve(FtpScript& script, const std::string& name, const std::string& bytes) {
    return script.on("SIZE " + name, "213 " + std::to_string(bytes.size()))
        .passive("PASV", kPasv)
        .acceptData()
        .on("RETR " + name, "150 ok")
        .sendData(bytes)
        .closeData()
        .reply("226 ok");
}

class FtpToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitDirListings();
        InitTransferList();
    }
    void TearDown() override {
        DoneDirListings();
        InitTransferList();
    }
    TempDir local;
};

TEST(FtpToolPaths, Helpers) {
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(AddTrailingBackslash("/tmp"), "/tmp/");
    EXPECT_EQ(AddTrailingBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(AddTrailingSlash("pub"), "pub/");
    EXPECT_EQ(AddTrailingSlash(""), "");
    EXPECT_EQ(ExtractRemoteDir("a/b/c"), "a/b/");
    EXPECT_EQ(ExtractRemoteDir("a/b/"), "a/b/");
    EXPECT_EQ(ExtractRemoteDir("c"), "");
    EXPECT_EQ(ExtractRemoteName("a/b/c"), "c");
    EXPECT_EQ(ExtractRemoteName("a/b/"), "");
    EXPECT_EQ(ExtractRemoteName("c"), "c");
    EXPECT_EQ(GetTempFolder().back(), '/');
    for (const std::string& bad : std::vector<std::string>{"", ".", "..", "a/b", "../x", std::string("a\0b", 3)}) {
        EXPECT_FALSE(IsSafeRemoteName(bad)) << bad;
    }
    EXPECT_TRUE(IsSafeRemoteName(".hidden"));
    EXPECT_TRUE(IsSafeRemoteName("a b"));
}

TEST_F(FtpToolsTest, FolderDownloadWireOrder) {
    FtpScript script = loggedIn();
    script.on("CWD /pub/a/", "250 ok").on("PWD", "257 \"/pub/a\"");
    listing(script, "-rw-r--r-- 1 u g 3 Jan  1  2020 f\r\ndrwxr-xr-x 2 u g 4096 Jan  1  2020 s\r\n");
    retrieve(script, "f", "eff");
    script.on("CWD s/", "250 ok").on("PWD", "257 \"/pub/a/s\"");
    listing(script, "-rw-r--r-- 1 u g 2 Jan  1  2020 g\r\n");
    retrieve(script, "g", "gg");
    script.on("CDUP", "250 ok").on("CDUP", "250 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    DownloadRemoteFolder(s.ftp, local.path(), "/pub/a/");
    EXPECT_EQ(readFile(local.file("a/f")), "eff");
    EXPECT_EQ(readFile(local.file("a/s/g")), "gg");
    const Lines sent = s.transcript();
    EXPECT_EQ(Lines(sent.begin() + 5, sent.end()),
              (Lines{"CWD /pub/a/", "PWD", "TYPE A", "PASV", "LIST", "TYPE I", "SIZE f", "PASV",
                     "RETR f", "CWD s/", "PWD", "TYPE A", "PASV", "LIST", "TYPE I", "SIZE g", "PASV",
                     "RETR g", "CDUP", "CDUP", "QUIT"}));
    EXPECT_TRUE(s.server.failures().empty());
}

TEST_F(FtpToolsTest, HostileNamesNeverLeaveTheTargetFolder) {
    FtpScript script = loggedIn();
    script.on("CWD /evil/", "250 ok").on("PWD", "257 \"/evil\"");
    listing(script,
            "drwxr-xr-x 2 u g 4096 Jan  1  2020 .\r\n"
            "drwxr-xr-x 2 u g 4096 Jan  1  2020 ..\r\n"
            "-rw-r--r-- 1 u g 3 Jan  1  2020 ../x\r\n"
            "-rw-r--r-- 1 u g 3 Jan  1  2020 a/b\r\n"
            "-rw-r--r-- 1 u g 3 Jan  1  2020 ..\r\n"
            "-rw-r--r-- 1 u g 2 Jan  1  2020 ok\r\n");
    retrieve(script, "ok", "ok");
    script.on("CDUP", "250 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    DownloadRemoteFolder(s.ftp, local.file("target"), "/evil/");
    const auto tree = treeOf(local.path());
    EXPECT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree.count("target/evil/ok"), 1u);
    EXPECT_EQ(readFile(local.file("target/evil/ok")), "ok");
    EXPECT_TRUE(s.server.failures().empty());
}

TEST_F(FtpToolsTest, UnknownSizeIsFetchedWhole) {
    FtpScript script = loggedIn();
    script.on("SIZE f", "550 Not a plain file")
        .passive("PASV", kPasv)
        .acceptData()
        .on("RETR f", "150 ok")
        .sendData("whole file")
        .closeData()
        .reply("226 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    writeFile(local.file("f"), "old and much longer contents");
    DownloadRemoteFile(s.ftp, local.path(), "f");
    EXPECT_EQ(readFile(local.file("f")), "whole file");
    EXPECT_TRUE(s.server.failures().empty()) << "no REST probe without a size";
}

TEST_F(FtpToolsTest, UploadIntoAFolderThatExistsInAnotherCaseSendsNoMkd) {
    fs::create_directories(local.file("docs"));
    writeFile(local.file("docs/a.txt"), "a");
    FtpScript script = loggedIn();
    script.on("PWD", "257 \"/\"");
    listing(script, "drwxr-xr-x 2 u g 4096 Jan  1  2020 DOCS\r\n");
    script.on("CWD docs", "250 ok")
        .passive("PASV", kPasv)
        .on("STOR a.txt", "150 ok")
        .acceptData()
        .receiveData()
        .reply("226 ok")
        .on("SIZE a.txt", "213 1")
        .on("PWD", "257 \"/DOCS\"")
        .on("CDUP", "250 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    UploadLocalFolder(s.ftp, local.file("docs"), "docs");
    EXPECT_EQ(s.server.receivedData(), "a");
    EXPECT_TRUE(s.server.failures().empty()) << "an MKD would have gone against the script";
}

TEST_F(FtpToolsTest, ConnectionLostMidWalkKeepsWhatWasCopied) {
    FtpScript script = loggedIn();
    script.on("CWD /pub/", "250 ok").on("PWD", "257 \"/pub\"");
    listing(script, "-rw-r--r-- 1 u g 3 Jan  1  2020 one\r\n-rw-r--r-- 1 u g 3 Jan  1  2020 two\r\n");
    retrieve(script, "one", "111");
    script.expect("SIZE two").close();
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    EXPECT_EQ(errorOf([&] { DownloadRemoteFolder(s.ftp, local.path(), "/pub/"); }),
              "Connection Closed Gracefully.");
    EXPECT_EQ(readFile(local.file("pub/one")), "111");
    EXPECT_FALSE(fs::exists(local.file("pub/two")));
}

TEST_F(FtpToolsTest, TargetFolderThatCannotBeMade) {
    writeFile(local.file("plainfile"), "x");
    FtpScript script = loggedIn();
    script.on("CWD /sub/", "250 ok");
    ScriptedFtp s(script);
    s.ftp.Connect();
    const std::string target = local.file("plainfile") + "/sub";
    EXPECT_EQ(errorOf([&] { DownloadRemoteFolder(s.ftp, local.file("plainfile"), "/sub/"); }),
              "Failed to create directory\r" + target);
}

TEST_F(FtpToolsTest, MissingLocalFileIsAFileError) {
    TIdFTP ftp;
    const std::string message = errorOf([&] { UploadLocalFile(ftp, local.file("gone.txt"), "gone.txt"); });
    EXPECT_NE(message.find("gone.txt"), std::string::npos) << message;
}

class FtpToolsRealServer : public FtpToolsTest {
protected:
    void SetUp() override {
        FtpToolsTest::SetUp();
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
    void connect(TIdFTP& ftp, const PyFtpdServer& server) {
        ftp.SetHost(server.host());
        ftp.SetPort(server.port());
        ftp.SetUsername(server.user());
        ftp.SetPassword(server.password());
        ftp.SetReadTimeout(10000);
        ftp.SetPassive(true);
        ftp.Connect();
    }
    // The main window's way: explicit TLS with private data.
    void connectWithTls(TIdFTP& ftp, TIdSSLIOHandlerSocketOpenSSL& tls, const PyFtpdServer& server) {
        ftp.SetIOHandler(&tls);
        ftp.SetUseTLS(utUseExplicitTLS);
        ftp.SetDataPortProtection(ftpdpsPrivate);
        connect(ftp, server);
    }
};

TEST_F(FtpToolsRealServer, TreesTravelBothWaysAndAreDeleted) {
    PyFtpdServer server;
    const std::string source = local.file("tree");
    fs::create_directories(source + "/nested/deeper");
    fs::create_directories(source + "/empty folder");
    writeFile(source + "/zero.bin", "");
    writeFile(source + "/name with spaces.txt", "spaces");
    // pyftpdlib keeps names as UTF-8 text; any valid UTF-8 name travels unchanged.
    writeFile(source + "/caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.txt", "bytes");
    writeRandomFile(source + "/nested/deeper/data.bin", 300000, 9);
    writeFile(source + "/.hidden", "stays home");
    fs::create_directories(source + "/.hidden folder");
    writeFile(source + "/.hidden folder/inside", "stays home too");

    TIdFTP ftp;
    connect(ftp, server);
    UploadLocalFolder(ftp, source, "tree");
    EXPECT_EQ(ftp.CurrentDirectory(), "/");
    auto expected = treeOf(source);
    for (auto it = expected.begin(); it != expected.end();) {
        it = it->first.find(".hidden") != std::string::npos ? expected.erase(it) : std::next(it);
    }
    EXPECT_EQ(treeOf(server.root() + "/tree"), expected) << "hidden entries are not uploaded";

    const std::string back = local.file("back");
    DownloadRemoteFolder(ftp, back, "/tree/");
    EXPECT_EQ(treeOf(back + "/tree"), expected);

    DeleteRemoteFolder(ftp, "tree");
    EXPECT_FALSE(fs::exists(server.root() + "/tree"));
    EXPECT_EQ(ftp.CurrentDirectory(), "/");
}

TEST_F(FtpToolsRealServer, ExistingLocalFilesAndFailedDownloads) {
    PyFtpdServer server;
    writeRandomFile(server.root() + "/file.bin", 200000, 4);
    TIdFTP ftp;
    connect(ftp, server);
    const std::string remote = sha256OfFile(server.root() + "/file.bin");

    writeFile(local.file("file.bin"), "short");
    DownloadRemoteFile(ftp, local.path(), "file.bin");
    EXPECT_EQ(sha256OfFile(local.file("file.bin")), remote) << "a shorter file is written over";
    EXPECT_TRUE(ftp.ResumeSupported());

    writeRandomFile(local.file("file.bin"), 400000, 5);
    DownloadRemoteFile(ftp, local.path(), "file.bin");
    EXPECT_EQ(sha256OfFile(local.file("file.bin")), remote) << "a longer one is fetched again";

    // A failure half-way leaves the old file exactly as it was, and nothing beside it.
    writeRandomFile(server.root() + "/big.bin", 8 << 20, 6);
    writeFile(local.file("big.bin"), "the precious old version");
    ftp.OnWork = [](TWorkMode, std::int64_t count) {
        if (count > (1 << 20)) {
            SetTransfersDisabled(true);
        }
    };
    EXPECT_EQ(errorOf([&] { DownloadRemoteFile(ftp, local.path(), "big.bin"); }), "Transfers are disabled");
    SetTransfersDisabled(false);
    ftp.OnWork = nullptr;
    EXPECT_EQ(readFile(local.file("big.bin")), "the precious old version");
    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(local.path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2u) << "no temporary file is left behind";
}

TEST_F(FtpToolsRealServer, FailedOperationsLeaveNothingBehind) {
    PyFtpdServer server;
    writeFile(server.root() + "/there.txt", "remote");
    fs::create_directories(local.file("folder"));
    writeFile(local.file("kept.txt"), "the old local copy");
    TIdFTP ftp;
    connect(ftp, server);

    // A file the server does not have: no new local file, an old one untouched.
    EXPECT_NE(errorOf([&] { DownloadRemoteFileAs(ftp, "missing.txt", local.file("new.txt")); }), "");
    EXPECT_FALSE(fs::exists(local.file("new.txt")));
    EXPECT_NE(errorOf([&] { DownloadRemoteFileAs(ftp, "missing.txt", local.file("kept.txt")); }), "");
    EXPECT_EQ(readFile(local.file("kept.txt")), "the old local copy");
    // An empty local file is a file all the same: it stays, and nothing beside it.
    writeFile(local.file("empty.txt"), "");
    EXPECT_NE(errorOf([&] { DownloadRemoteFileAs(ftp, "missing.txt", local.file("empty.txt")); }), "");
    EXPECT_TRUE(fs::is_regular_file(local.file("empty.txt")));
    EXPECT_EQ(fs::file_size(local.file("empty.txt")), 0u);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(local.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"empty.txt", "folder", "kept.txt"})) << "no temporary file";
    // A local name that is a folder is refused without touching it.
    EXPECT_NE(errorOf([&] { DownloadRemoteFileAs(ftp, "there.txt", local.file("folder")); }), "");
    EXPECT_TRUE(fs::is_directory(local.file("folder")));

    // A folder given as a file to upload: refused before the server makes a file.
    EXPECT_EQ(errorOf([&] { UploadLocalFile(ftp, local.file("folder"), "folder"); }),
              "Cannot open file \"" + local.file("folder") + "\". Is a directory");
    EXPECT_FALSE(fs::exists(server.root() + "/folder"));

    // A missing local folder: no remote folder is made.
    EXPECT_EQ(errorOf([&] { UploadLocalFolder(ftp, local.file("gone"), "gone"); }),
              "Cannot open folder \"" + local.file("gone") + "\". No such file or directory");
    EXPECT_FALSE(fs::exists(server.root() + "/gone"));

    // A missing remote folder: no local folder, not even the missing parents.
    EXPECT_NE(errorOf([&] { DownloadRemoteFolder(ftp, local.file("a/b"), "/nothere/"); }), "");
    EXPECT_FALSE(fs::exists(local.file("a")));

    // A walk that fails before its first byte takes back the folders it made, and
    // keeps what it did copy. The listings come from the cache, so the files they name
    // can be gone from the server by the time the walk asks for them.
    fs::create_directories(server.root() + "/tree/sub");
    writeFile(server.root() + "/tree/a.txt", "a");
    writeFile(server.root() + "/tree/sub/f.txt", "f");
    for (const char* folder : {"/tree", "/tree/sub"}) {
        ftp.ChangeDirectory(folder);
        TLines folders;
        TLines files;
        ListRemoteNames(ftp, folders, files, false);
    }
    ftp.ChangeDirectory("/");
    fs::remove(server.root() + "/tree/sub/f.txt");
    EXPECT_NE(errorOf([&] { DownloadRemoteFolder(ftp, local.file("c/d"), "/tree/sub/"); }), "");
    EXPECT_FALSE(fs::exists(local.file("c")));
    EXPECT_NE(errorOf([&] { DownloadRemoteFolder(ftp, local.file("c/d"), "/tree/"); }), "");
    EXPECT_EQ(readFile(local.file("c/d/tree/a.txt")), "a");
    EXPECT_FALSE(fs::exists(local.file("c/d/tree/sub")));
    EXPECT_EQ(ftp.CurrentDirectory(), "/tree/sub") << "the walk stopped where it failed";
}

TEST_F(FtpToolsRealServer, AbortedDownloadsAndUploadsAreFailures) {
    PyFtpdServer server;
    writeRandomFile(server.root() + "/big.bin", 16 << 20, 7);
    writeFile(local.file("big.bin"), "the precious old version");
    TIdFTP ftp;
    connect(ftp, server);
    ftp.OnWork = [&](TWorkMode, std::int64_t count) {
        if (count > (1 << 20)) {
            ftp.InterruptTransfer();
        }
    };
    TransferCount count;
    EXPECT_EQ(errorOf([&] { DownloadRemoteFileAs(ftp, "big.bin", local.file("big.bin"), &count); }),
              "Transfer aborted");
    EXPECT_EQ(readFile(local.file("big.bin")), "the precious old version");
    EXPECT_GT(count.moved, 1 << 20);
    EXPECT_LT(count.moved, 16 << 20);
    EXPECT_EQ(count.expected, 16 << 20);

    // A new name keeps what arrived, and says the copy is not whole.
    EXPECT_EQ(errorOf([&] { DownloadRemoteFileAs(ftp, "big.bin", local.file("new.bin"), &count); }),
              "Transfer aborted");
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(local.file("new.bin"))), count.moved);

    EXPECT_EQ(errorOf([&] { UploadLocalFile(ftp, local.file("new.bin"), "up.bin", &count); }),
              "Transfer aborted");
    ftp.OnWork = nullptr;
    EXPECT_EQ(ftp.FileSize("big.bin"), 16 << 20) << "the session goes on";
}

TEST_F(FtpToolsRealServer, CloneOfATlsSessionMovesFilesWherePlainDataIsRefused) {
    PyFtpdOptions options;
    options.tls = true;
    options.tlsControlRequired = true;
    options.tlsDataRequired = true;
    PyFtpdServer server(options);
    writeRandomFile(server.root() + "/secret.bin", 100000, 8);
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdFTP main;
    connectWithTls(main, tls, server);

    TIdFTP clone;
    CloneConnection(main, clone);
    ASSERT_TRUE(clone.Connected());
    EXPECT_EQ(clone.DataPortProtection(), ftpdpsPrivate);
    DownloadRemoteFile(clone, local.path(), "secret.bin");
    EXPECT_EQ(sha256OfFile(local.file("secret.bin")), sha256OfFile(server.root() + "/secret.bin"));
    UploadLocalFile(clone, local.file("secret.bin"), "copy.bin");
    EXPECT_EQ(sha256OfFile(server.root() + "/copy.bin"), sha256OfFile(server.root() + "/secret.bin"));
}

TEST_F(FtpToolsRealServer, CloneFollowsPortTlsAndFolder) {
    PyFtpdOptions options;
    options.tls = true;
    options.tlsControlRequired = true;
    PyFtpdServer server(options);
    fs::create_directories(server.root() + "/work");
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdFTP main;
    connectWithTls(main, tls, server);
    main.ChangeDirectory("/work");
    ASSERT_NE(server.port(), 21);
    main.SetUseMLIS(true);
    main.SetAskForUtf8(true);

    TIdFTP clone;
    CloneConnection(main, clone);
    ASSERT_TRUE(clone.Connected());
    EXPECT_TRUE(clone.UsingMLIS()) << "the clone lists as the main session does";
    EXPECT_TRUE(clone.AskForUtf8());
    EXPECT_EQ(clone.Port(), server.port());
    EXPECT_TRUE(clone.IsTLSInUse());
    EXPECT_EQ(clone.CurrentDirectory(), "/work");
    EXPECT_EQ(clone.IOHandler()->RecvBufferSize(), kTransferReadBlockSize) << "the command line's blocks";
    EXPECT_EQ(clone.IOHandler()->SendBufferSize(), kTransferWriteBlockSize);

    TIdFTP broken;
    main.SetPassword("wrong");
    CloneConnection(main, broken);
    EXPECT_FALSE(broken.Connected()) << "the clone's failure is swallowed";
}

}  // namespace
}  // namespace harbrook::testing
