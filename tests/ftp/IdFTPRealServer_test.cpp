// The FTP client against a real server: pyftpdlib on a loopback port, plain and with
// explicit TLS.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "ftp/client/IdFTP.h"
#include "ftp/IdFTPExceptions.h"
#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

class RealServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }

    static void prepare(TIdFTP& ftp, const PyFtpdServer& server) {
        ftp.SetHost(server.host());
        ftp.SetPort(server.port());
        ftp.SetUsername(server.user());
        ftp.SetPassword(server.password());
        ftp.SetReadTimeout(5000);
    }
};

TEST_F(RealServer, PlainLoginAndWrongPassword) {
    PyFtpdServer server;
    TIdFTP ftp;
    prepare(ftp, server);
    ftp.Connect();
    EXPECT_TRUE(ftp.Connected());
    EXPECT_FALSE(ftp.IsTLSInUse());
    EXPECT_EQ(ftp.SystemDesc(), "UNIX Type: L8");
    EXPECT_TRUE(ftp.SupportsFeature("SIZE"));
    ftp.Disconnect();
    EXPECT_FALSE(ftp.Connected());

    ftp.SetPassword("wrong");
    try {
        ftp.Connect();
        FAIL() << "logged in with a wrong password";
    } catch (const EIdReplyRFCError& error) {
        EXPECT_EQ(error.ErrorCode(), 530);
        EXPECT_STREQ(error.what(), "Authentication failed.\r\n");
    }
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(RealServer, ExplicitTlsIsNegotiated) {
    PyFtpdOptions options;
    options.tls = true;
    options.tlsControlRequired = true;
    PyFtpdServer server(options);
    TIdSSLIOHandlerSocketOpenSSL tls;
    std::string statusInfo;
    tls.OnStatusInfo = [&](const std::string& text) { statusInfo = text; };
    TIdFTP ftp;
    prepare(ftp, server);
    ftp.SetIOHandler(&tls);
    ftp.SetUseTLS(utUseExplicitTLS);
    ftp.Connect();
    EXPECT_TRUE(ftp.IsTLSInUse());
    EXPECT_FALSE(tls.PassThrough());
    EXPECT_EQ(statusInfo, tls.CipherStatusText());
    EXPECT_EQ(statusInfo.rfind("Cipher: name = ", 0), 0u) << statusInfo;
    EXPECT_NE(statusInfo.find("; description = "), std::string::npos);
    EXPECT_NE(statusInfo.find("; bits = "), std::string::npos);
    EXPECT_TRUE(statusInfo.find("version = TLSv1.3; ") != std::string::npos ||
                statusInfo.find("version = TLSv1.2; ") != std::string::npos)
        << statusInfo;
    EXPECT_EQ(ftp.CurrentDirectory(), "/");
    ftp.Disconnect();
    EXPECT_FALSE(ftp.Connected());
    EXPECT_TRUE(tls.PassThrough()) << "the TLS session ends with the connection";

    // The same handler serves a second session.
    ftp.Connect();
    EXPECT_TRUE(ftp.IsTLSInUse());
    ftp.Disconnect();
}

TEST_F(RealServer, PlainServerWithTlsAskedForGoesOnInPlainText) {
    PyFtpdServer server;
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdFTP ftp;
    prepare(ftp, server);
    ftp.SetIOHandler(&tls);
    ftp.SetUseTLS(utUseExplicitTLS);
    bool asked = false;
    ftp.OnTLSNotAvailable = [&](bool& goOn) {
        asked = true;
        goOn = true;
    };
    ftp.Connect();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(ftp.IsTLSInUse());
    EXPECT_EQ(ftp.CurrentDirectory(), "/");
}

TEST_F(RealServer, FileCommandsOnARealTree) {
    PyFtpdServer server;
    fs::create_directories(fs::path(server.root()) / "pub" / "docs");
    writeFile(server.root() + "/pub/readme.txt", std::string(1234, 'r'));
    writeFile(server.root() + "/pub/empty.bin", "");

    TIdFTP ftp;
    prepare(ftp, server);
    ftp.Connect();
    ftp.ChangeDirectory("/pub");
    EXPECT_EQ(ftp.CurrentDirectory(), "/pub");
    EXPECT_EQ(ftp.FileSize("readme.txt"), 1234);
    EXPECT_EQ(ftp.FileSize("empty.bin"), 0);
    EXPECT_EQ(ftp.FileSize("missing.txt"), -1);
    EXPECT_EQ(ftp.FileSize("docs"), -1);

    ftp.MakeDirectory("new folder");
    EXPECT_TRUE(fs::is_directory(fs::path(server.root()) / "pub" / "new folder"));
    ftp.ChangeDirectory("new folder");
    EXPECT_EQ(ftp.CurrentDirectory(), "/pub/new folder");
    ftp.ChangeToParent();
    EXPECT_EQ(ftp.CurrentDirectory(), "/pub");

    ftp.RenameFile("readme.txt", "read me.txt");
    EXPECT_TRUE(fs::exists(fs::path(server.root()) / "pub" / "read me.txt"));
    ftp.RemoveFile("read me.txt");
    EXPECT_FALSE(fs::exists(fs::path(server.root()) / "pub" / "read me.txt"));
    ftp.RemoveDirectory("new folder");
    EXPECT_FALSE(fs::exists(fs::path(server.root()) / "pub" / "new folder"));

    EXPECT_THROW(ftp.RemoveDirectory("docs-missing"), EIdReplyRFCError);
    EXPECT_THROW(ftp.ChangeDirectory("/nowhere"), EIdReplyRFCError);
    EXPECT_EQ(ftp.CurrentDirectory(), "/pub") << "the session stays usable after refusals";
    EXPECT_TRUE(ftp.ResumeSupported());
    ftp.Disconnect();
}

TEST_F(RealServer, DirectoryItemsFromListAndMachineListings) {
    PyFtpdServer server;
    fs::create_directories(fs::path(server.root()) / "sub folder");
    writeFile(server.root() + "/data.bin", std::string(4321, 'd'));
    writeFile(server.root() + "/caf\xc3\xa9 menu.txt", "x");

    for (const bool machine : {false, true}) {
        SCOPED_TRACE(machine ? "MLSD" : "LIST");
        TIdFTP ftp;
        prepare(ftp, server);
        ftp.SetPassive(true);
        ftp.SetUseMLIS(machine);
        ftp.Connect();
        EXPECT_EQ(ftp.UsingMLIS(), machine);
        int parses = 0;
        ftp.OnDirParseStart = [&] { ++parses; };
        ftp.OnDirParseEnd = [&] { ++parses; };
        ftp.ListDirectory();
        const TIdFTPListItems& items = ftp.DirectoryItems();
        ftp.DirectoryItems();
        EXPECT_EQ(parses, 2) << "parsed once, on first use";
        EXPECT_EQ(ftp.ListParserIdentifier(), machine ? "MLST" : "Unix");
        std::map<std::string, const TIdFTPListItem*> byName;
        for (const auto& item : items) {
            byName[std::string(item->FileName())] = item;
        }
        ASSERT_EQ(byName.size(), 3u);
        EXPECT_EQ(byName["sub folder"]->ItemType, ditDirectory);
        EXPECT_EQ(byName["data.bin"]->ItemType, ditFile);
        EXPECT_EQ(byName["data.bin"]->Size, 4321);
        EXPECT_TRUE(byName["data.bin"]->ModifiedAvail);
        EXPECT_EQ(byName.count("caf\xc3\xa9 menu.txt"), 1u) << "names stay byte-exact";
    }
}

}  // namespace
}  // namespace harbrook::testing
