// Transfers against real servers: pyftpdlib passive and active, plain, explicit TLS
// with clear data and with private data; byte-exact files of several sizes.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "ftp/IdFTP.h"
#include "ftp/IdFTPExceptions.h"
#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

enum class Security { Plain, TlsClearData, TlsPrivateData };

struct Mode {
    bool passive;
    Security security;
    bool withHugeFile;
};

std::string modeName(const ::testing::TestParamInfo<Mode>& info) {
    const Mode& mode = info.param;
    std::string name = mode.passive ? "Passive" : "Active";
    switch (mode.security) {
        case Security::Plain: name += "Plain"; break;
        case Security::TlsClearData: name += "TlsClearData"; break;
        case Security::TlsPrivateData: name += "TlsPrivateData"; break;
    }
    return name;
}

class RealTransfers : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        PyFtpdOptions options;
        options.tls = GetParam().security != Security::Plain;
        options.tlsDataRequired = GetParam().security == Security::TlsPrivateData;
        m_server = std::make_unique<PyFtpdServer>(options);
        m_ftp.SetHost(m_server->host());
        m_ftp.SetPort(m_server->port());
        m_ftp.SetUsername(m_server->user());
        m_ftp.SetPassword(m_server->password());
        m_ftp.SetReadTimeout(10000);
        m_ftp.SetTransferTimeout(10000);
        m_ftp.SetListenTimeout(10000);
        m_ftp.SetPassive(GetParam().passive);
        if (GetParam().security != Security::Plain) {
            m_ftp.SetIOHandler(&m_tls);
            m_ftp.SetUseTLS(utUseExplicitTLS);
            if (GetParam().security == Security::TlsPrivateData) {
                m_ftp.SetDataPortProtection(ftpdpsPrivate);
            }
        }
        m_ftp.Connect();
    }

    std::string remote(const std::string& name) const { return m_server->root() + "/" + name; }

    void roundTrip(const std::string& name, std::int64_t size) {
        SCOPED_TRACE(name);
        writeRandomFile(remote(name), size, static_cast<unsigned>(size + 7));
        {
            harbrook::TFileStream file(m_local.file(name), harbrook::FileOpenMode::Create);
            m_ftp.Download(name, file);
        }
        EXPECT_EQ(fs::file_size(m_local.file(name)), static_cast<std::uintmax_t>(size));
        EXPECT_EQ(sha256OfFile(m_local.file(name)), sha256OfFile(remote(name)));
        {
            harbrook::TFileStream file(m_local.file(name), harbrook::FileOpenMode::OpenRead);
            m_ftp.Upload(file, "up-" + name);
        }
        EXPECT_EQ(sha256OfFile(remote("up-" + name)), sha256OfFile(m_local.file(name)));
    }

    TempDir m_local;
    std::unique_ptr<PyFtpdServer> m_server;
    TIdSSLIOHandlerSocketOpenSSL m_tls;
    TIdFTP m_ftp;
};

TEST_P(RealTransfers, ListsDownloadsUploadsAndAppends) {
    fs::create_directory(remote("sub dir"));
    roundTrip("zero.bin", 0);
    roundTrip("one.bin", 1);
    roundTrip("mebi.bin", 1 << 20);
    if (GetParam().withHugeFile) {
        roundTrip("hundred.bin", 100LL << 20);
    }

    Lines listing;
    m_ftp.ListDirectory(&listing);
    EXPECT_GE(listing.size(), 7u);
    EXPECT_TRUE(std::any_of(listing.begin(), listing.end(),
                            [](const std::string& line) { return line.find("sub dir") != std::string::npos; }));
    m_ftp.ListDirectory(&listing, "", false);
    EXPECT_TRUE(std::find(listing.begin(), listing.end(), "one.bin") != listing.end());

    writeFile(m_local.file("tail"), "0123456789");
    harbrook::TFileStream tail(m_local.file("tail"), harbrook::FileOpenMode::OpenRead);
    tail.SetPosition(6);
    m_ftp.Upload(tail, "one.bin", true);
    const std::string appended = readFile(remote("one.bin"));
    EXPECT_EQ(appended.size(), 5u);
    EXPECT_EQ(appended.substr(1), "6789");

    EXPECT_EQ(m_ftp.FileSize("mebi.bin"), 1 << 20);
    // With TLS data, pyftpdlib answers "226" on its own when the data connection of a
    // refused command goes away unused, and that reply would stand in for the next
    // command's; its refusals are checked without TLS data.
    if (GetParam().security != Security::TlsPrivateData) {
        TMemoryStream missing;
        EXPECT_THROW(m_ftp.Download("no such file", missing), EIdReplyRFCError);
        EXPECT_EQ(m_ftp.CurrentDirectory(), "/") << "the session goes on after a refusal";
    }
}

TEST_P(RealTransfers, AbortFromAnotherThreadThenCarryOn) {
    writeRandomFile(remote("large.bin"), 64LL << 20);
    std::atomic<bool> started{false};
    m_ftp.OnWork = [&](TWorkMode, std::int64_t count) {
        if (count > (1 << 20)) {
            started = true;
        }
    };
    std::thread aborter([&] {
        for (int waited = 0; !started && waited < 10000; waited += 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        m_ftp.Abort();
    });
    std::string error;
    {
        harbrook::TFileStream file(m_local.file("large.bin"), harbrook::FileOpenMode::Create);
        try {
            m_ftp.Download("large.bin", file);
        } catch (const std::exception& failure) {
            error = failure.what();
        }
    }
    aborter.join();
    m_ftp.OnWork = nullptr;
    EXPECT_EQ(error, "");
    EXPECT_LT(fs::file_size(m_local.file("large.bin")), static_cast<std::uintmax_t>(64LL << 20));

    // The same session serves the next transfer.
    writeFile(remote("after.txt"), "still working");
    TMemoryStream after;
    m_ftp.Download("after.txt", after);
    EXPECT_EQ(after.Bytes(), "still working");
}

INSTANTIATE_TEST_SUITE_P(Servers, RealTransfers,
                         ::testing::Values(Mode{true, Security::Plain, true},
                                           Mode{false, Security::Plain, false},
                                           Mode{true, Security::TlsClearData, false},
                                           Mode{false, Security::TlsClearData, false},
                                           Mode{true, Security::TlsPrivateData, true},
                                           Mode{false, Security::TlsPrivateData, false}),
                         modeName);

}  // namespace
}  // namespace harbrook::testing
