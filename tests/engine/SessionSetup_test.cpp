// Session set-up as the window does it: the client's standing settings, the TLS choice
// and the connect rule "passive, then active after any failure".

#include "engine/SessionSetup.h"

#include <gtest/gtest.h>

#include "ftp/IdFTPExceptions.h"
#include "tests/support/NetworkHelpers.h"
#include "tests/support/PyFtpdServer.h"

namespace harbrook::testing {
namespace {

SessionSettings settingsFor(const PyFtpdServer& server, SessionSettings::Tls tls) {
    SessionSettings settings;
    settings.host = server.host();
    settings.port = server.port();
    settings.user = server.user();
    settings.password = server.password();
    settings.tls = tls;
    return settings;
}

class SessionSetup : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        PrepareSessionClient(client, SessionSettings{});
    }
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdFTP client;
};

TEST_F(SessionSetup, StandingSettings) {
    EXPECT_EQ(client.IPVersion(), Id_IPv4);
    EXPECT_TRUE(client.AutoLogin());
    EXPECT_EQ(client.ReadTimeout(), 10000);
    EXPECT_EQ(client.TransferTimeout(), 30000);
    EXPECT_EQ(client.ListenTimeout(), 30000);
    bool goOn = false;
    client.OnTLSNotAvailable(goOn);
    EXPECT_TRUE(goOn) << "a server without TLS is used in plain text";
}

TEST_F(SessionSetup, TlsChoicesAgainstServersWithAndWithoutTls) {
    PyFtpdServer plain;
    EXPECT_EQ(ConnectSession(client, tls, settingsFor(plain, SessionSettings::Tls::Explicit)),
              "Passive Connection, not encrypted");
    EXPECT_TRUE(client.Connected());
    EXPECT_FALSE(client.IsTLSInUse()) << "the label says what the session is";
    client.Disconnect();

    PyFtpdOptions options;
    options.tls = true;
    options.tlsDataRequired = true;
    PyFtpdServer secure(options);
    writeFile(secure.root() + "/a.txt", "private");
    EXPECT_EQ(ConnectSession(client, tls, settingsFor(secure, SessionSettings::Tls::Explicit)),
              "Passive Connection, Explicit TLS (TLSv1.3)");
    EXPECT_TRUE(client.IsTLSInUse());
    TMemoryStream file;
    client.Download("a.txt", file);
    EXPECT_EQ(file.Bytes(), "private") << "file data is protected too";
    client.Disconnect();

    // The same client, TLS unticked: plain again.
    EXPECT_EQ(ConnectSession(client, tls, settingsFor(plain, SessionSettings::Tls::None)), "Passive Connection");
    EXPECT_EQ(client.UseTLS(), utNoTLSSupport);
    EXPECT_EQ(client.DataPortProtection(), ftpdpsClear);
    EXPECT_EQ(client.CurrentDirectory(), "/");
}

TEST_F(SessionSetup, FailedConnectIsTriedOnceMoreInActiveMode) {
    SessionSettings settings;
    settings.host = "127.0.0.1";
    settings.port = unusedLoopbackPort();
    try {
        ConnectSession(client, tls, settings);
        FAIL() << "connected to a closed port";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.LastError(), 111);
    }
    EXPECT_FALSE(client.Passive()) << "the second attempt was the active one";

    settings.activeAfterFailure = false;
    EXPECT_THROW(ConnectSession(client, tls, settings), EIdSocketError);
    EXPECT_TRUE(client.Passive()) << "without the rule only the passive attempt runs";

    // A wrong password is sent once: the active mode would not make it right.
    PyFtpdOptions logged;
    logged.keepLog = true;
    PyFtpdServer server(logged);
    SessionSettings wrong = settingsFor(server, SessionSettings::Tls::None);
    wrong.password = "wrong";
    wrong.activeAfterFailure = true;
    EXPECT_THROW(ConnectSession(client, tls, wrong), EIdFTPLoginRefused);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(client.Passive()) << "no second attempt";
    EXPECT_EQ(server.sessionsOpened(), 1);
    EXPECT_EQ(ConnectSession(client, tls, settingsFor(server, SessionSettings::Tls::None)), "Passive Connection");
}

TEST(SessionStatus, Texts) {
    EXPECT_EQ(ConnectionStatusText(true, false, ""), "Passive Connection");
    EXPECT_EQ(ConnectionStatusText(false, false, ""), "Active Connection");
    EXPECT_EQ(ConnectionStatusText(false, true, "TLSv1.2"), "Active Connection, Explicit TLS (TLSv1.2)");
    EXPECT_EQ(ConnectionStatusText(true, true, ""), "Passive Connection, not encrypted");
}

// A refused certificate or a refused plain text is the same in active mode, and the
// user was asked already: no second attempt (which would ask again).
TEST_F(SessionSetup, RefusedCertificateIsNotTriedAgainInActiveMode) {
    PyFtpdOptions options;
    options.tls = true;
    options.certificate = TestCertificate::SelfSigned;
    options.keepLog = true;
    PyFtpdServer server(options);
    int asked = 0;
    client.OnVerifyPeer = [&](const TIdPeerCertificate& certificate, bool& accept) {
        ++asked;
        EXPECT_TRUE(certificate.Problems & TIdPeerCertificate::SelfSigned);
        accept = false;
    };
    EXPECT_THROW(ConnectSession(client, tls, settingsFor(server, SessionSettings::Tls::Explicit)),
                 EIdTLSClientCertificateRejected);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(server.sessionsOpened(), 1);
    EXPECT_TRUE(client.Passive());
}

}  // namespace
}  // namespace harbrook::testing

namespace harbrook::testing {
namespace {

TEST(SessionSettingsCheck, FieldsThatWouldBreakACommandAreRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* what;
        void (*change)(SessionSettings&);
        const char* problem;
    };
    const Case cases[] = {
        {"usable", [](SessionSettings&) {}, ""},
        {"a tab and a blank in the password are allowed", [](SessionSettings& s) { s.password = "a b\tc"; }, ""},
        {"no host", [](SessionSettings& s) { s.host.clear(); }, "No host is given."},
        {"a blank in the host is left to the lookup", [](SessionSettings& s) { s.host = "ftp example"; }, ""},
        {"escape in the host", [](SessionSettings& s) { s.host = "ftp\x1b.example"; },
         "The host name contains a control character."},
        {"line end in the account", [](SessionSettings& s) { s.user = "me\r\nDELE x"; },
         "The account contains a line end or a NUL character."},
        {"NUL in the password", [](SessionSettings& s) { s.password = std::string("pw\0x", 4); },
         "The password contains a line end or a NUL character."},
        {"line feed in the folder", [](SessionSettings& s) { s.startFolder = "/pub\nRMD /"; },
         "The folder contains a line end or a NUL character."},
    };
    for (const Case& c : cases) {
        SessionSettings settings;
        settings.host = "ftp.example";
        settings.user = "me";
        settings.password = "pw";
        c.change(settings);
        EXPECT_EQ(SessionSettingsProblem(settings), c.problem) << c.what;
    }
}

}  // namespace
}  // namespace harbrook::testing
