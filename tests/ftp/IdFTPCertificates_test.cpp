// The server's certificate: verified against the trusted authorities and the name the
// user gave, judged by the caller before anything of the login is sent, and held to
// for every further connection of the session. Against the scripted server (exact
// exchanges, hostile certificates) and pyftpdlib.

#include <gtest/gtest.h>

#include <cstdlib>

#include "ftp/IdFTPExceptions.h"
#include "ftp/client/IdFTP.h"
#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {
namespace {

constexpr const char* kPasv = "227 Entering Passive Mode (127,0,0,1,{p1},{p2})";

FtpScript tlsGreeting(TestCertificate certificate) {
    return FtpScript().reply("220 ready").on("AUTH TLS", "234 Go ahead").startTls(certificate);
}

// The greeting over TLS and a login that goes through.
FtpScript tlsLogin(TestCertificate certificate) {
    FtpScript script = tlsGreeting(certificate);
    script.on("USER u", "230 In").on("FEAT", "211 none").on("SYST", "215 UNIX").on("TYPE I", "200 ok");
    return script;
}

struct CertificateRow {
    const char* label;
    TestCertificate certificate;
    unsigned problems;
};

class CertificateProblems : public ::testing::TestWithParam<CertificateRow> {};

// Each kind of untrusted certificate gives its reason, its fingerprint and the
// certificate's details to the caller, and a refusal sends no USER.
TEST_P(CertificateProblems, AreReportedBeforeTheLoginAndARefusalSendsNothing) {
    const CertificateRow& row = GetParam();
    ScriptedFtp s(tlsGreeting(row.certificate));
    s.useTLS(utUseExplicitTLS);
    int asked = 0;
    TIdPeerCertificate seen;
    s.ftp.OnVerifyPeer = [&](const TIdPeerCertificate& certificate, bool& accept) {
        ++asked;
        seen = certificate;
        EXPECT_FALSE(accept) << "refusing is the default";
    };
    const std::string error = errorOf([&] { s.ftp.Connect(); });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(seen.Problems, row.problems);
    EXPECT_FALSE(seen.Trusted);
    EXPECT_EQ(seen.Sha256, testCertificateFingerprint(row.certificate));
    EXPECT_EQ(seen.CheckedName, "127.0.0.1");
    EXPECT_NE(seen.Subject.find("CN="), std::string::npos) << seen.Subject;
    EXPECT_NE(seen.Issuer.find("O=Harbrook tests"), std::string::npos) << seen.Issuer;
    EXPECT_EQ(seen.NotAfter.size(), std::string("2026-12-09 22:31:41 UTC").size()) << seen.NotAfter;
    EXPECT_EQ(error.rfind("The server's certificate is not trusted: ", 0), 0u) << error;
    EXPECT_NE(error.find(seen.Sha256), std::string::npos) << error;
    EXPECT_FALSE(s.ftp.Connected());
    s.server.waitUntilFinished();
    for (const std::string& line : s.server.received()) {
        EXPECT_EQ(line.rfind("USER", 0), std::string::npos) << "nothing of the login goes out";
        EXPECT_EQ(line.rfind("PASS", 0), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CertificateProblems,
    ::testing::Values(CertificateRow{"SelfSigned", TestCertificate::SelfSigned, TIdPeerCertificate::SelfSigned},
                      CertificateRow{"Expired", TestCertificate::Expired, TIdPeerCertificate::Expired},
                      CertificateRow{"WrongHost", TestCertificate::WrongHost, TIdPeerCertificate::NameMismatch},
                      CertificateRow{"UnknownAuthority", TestCertificate::UnknownAuthority,
                                     TIdPeerCertificate::UnknownIssuer}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PeerCertificate, ATrustedCertificateAsksNothingAndAnAcceptedOneLogsIn) {
    for (const bool trusted : {true, false}) {
        SCOPED_TRACE(trusted ? "trusted" : "accepted by the caller");
        ScriptedFtp s(tlsLogin(trusted ? TestCertificate::Trusted : TestCertificate::SelfSigned));
        s.useTLS(utUseExplicitTLS);
        int asked = 0;
        s.ftp.OnVerifyPeer = [&](const TIdPeerCertificate&, bool& accept) {
            ++asked;
            accept = true;
        };
        s.ftp.Connect();
        EXPECT_TRUE(s.ftp.IsTLSInUse());
        EXPECT_EQ(s.ftp.TLSVersion(), "TLSv1.3");
        EXPECT_EQ(asked, trusted ? 0 : 1);
        EXPECT_EQ(s.ftp.PeerCertificate().Trusted, trusted);
        EXPECT_TRUE(s.server.failures().empty());
    }
}

// A second connection of a session (a worker's) must meet the certificate the first
// accepted, whoever issued it; the question is never asked again.
TEST(PeerCertificate, ARequiredFingerprintIsHeldToWithoutAQuestion) {
    ScriptedFtp s(tlsGreeting(TestCertificate::OtherTrusted));
    s.useTLS(utUseRequireTLS);
    s.ftp.SetRequiredPeerFingerprints({testCertificateFingerprint(TestCertificate::Trusted)});
    bool asked = false;
    s.ftp.OnVerifyPeer = [&](const TIdPeerCertificate&, bool& accept) { asked = accept = true; };
    const std::string error = errorOf([&] { s.ftp.Connect(); });
    EXPECT_EQ(error.rfind("The server presented another certificate than the one expected", 0), 0u) << error;
    EXPECT_FALSE(asked) << "an authority's word does not replace the session's certificate";

    ScriptedFtp pinned(tlsLogin(TestCertificate::SelfSigned));
    pinned.useTLS(utUseRequireTLS);
    pinned.ftp.SetRequiredPeerFingerprints({"00:11", testCertificateFingerprint(TestCertificate::SelfSigned)});
    pinned.ftp.Connect();
    EXPECT_TRUE(pinned.ftp.IsTLSInUse()) << "one of the pinned ones, no authority needed";
}

// A data connection that reaches someone else than the control connection did: refused
// before a byte is read.
TEST(PeerCertificate, ADataConnectionWithAnotherCertificateIsRefused) {
    FtpScript script = tlsLogin(TestCertificate::Trusted);
    script.on("PBSZ 0", "200 PBSZ=0")
        .on("PROT P", "200 Private")
        .passive("PASV", kPasv)
        .acceptData()
        .on("RETR f", "150 ok")
        .startDataTls(TestCertificate::OtherTrusted)
        .sendData("not from the server")
        .closeData()
        .reply("226 ok");
    ScriptedFtp s(script);
    s.useTLS(utUseExplicitTLS);
    s.ftp.SetDataPortProtection(ftpdpsPrivate);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    TMemoryStream received;
    EXPECT_THROW(s.ftp.Download("f", received), EIdOSSLPeerCertificateChanged);
    EXPECT_EQ(received.Bytes(), "") << "nothing of it was taken";
}

TEST(PeerCertificate, AnAuthorityFileGivenByTheCallerReplacesTheSystemStore) {
    ::unsetenv("SSL_CERT_FILE");
    ScriptedFtp unknown(tlsGreeting(TestCertificate::Trusted));
    ::unsetenv("SSL_CERT_FILE");  // The server's start set it.
    unknown.useTLS(utUseExplicitTLS);
    unsigned problems = 0;
    unknown.ftp.OnVerifyPeer = [&](const TIdPeerCertificate& certificate, bool&) { problems = certificate.Problems; };
    EXPECT_THROW(unknown.ftp.Connect(), EIdTLSClientCertificateRejected);
    EXPECT_EQ(problems, TIdPeerCertificate::UnknownIssuer) << "the test authority is in no system store";

    ScriptedFtp known(tlsLogin(TestCertificate::Trusted));
    ::unsetenv("SSL_CERT_FILE");
    known.tls.SSLOptions().RootCertFile = testAuthorityFile();
    known.useTLS(utUseExplicitTLS);
    known.ftp.Connect();
    EXPECT_TRUE(known.ftp.PeerCertificate().Trusted);

    TIdSSLIOHandlerSocketOpenSSL missing;
    missing.SSLOptions().RootCertFile = "/nonexistent/authorities.pem";
    ScriptedFtp s(tlsGreeting(TestCertificate::Trusted));
    s.ftp.SetIOHandler(&missing);
    s.ftp.SetUseTLS(utUseExplicitTLS);
    EXPECT_THROW(s.ftp.Connect(), EIdTLSClientTLSHandShakeFailed) << "a missing file trusts nothing";
}

// Hostile peers during the handshake: each a clear error within the read time-out,
// nothing trusted by accident.
TEST(PeerCertificate, HostileHandshakesEndWithAClearError) {
    struct Row {
        const char* label;
        FtpScript script;
        bool connects;
    };
    std::vector<Row> rows;
    rows.push_back({"garbage instead of a ServerHello",
                    FtpScript().reply("220 ready").on("AUTH TLS", "234 Go ahead").send(std::string(300, 'G')),
                    false});
    rows.push_back({"closed during the handshake",
                    FtpScript().reply("220 ready").on("AUTH TLS", "234 Go ahead").pause(50).close(), false});
    rows.push_back({"a 1 MiB certificate", tlsGreeting(TestCertificate::Huge), false});
    rows.push_back({"a chain of 100 certificates", tlsLogin(TestCertificate::LongChain), true});
    for (Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedFtp s(row.script);
        s.useTLS(utUseRequireTLS);
        bool asked = false;
        s.ftp.OnVerifyPeer = [&](const TIdPeerCertificate&, bool&) { asked = true; };
        if (row.connects) {
            s.ftp.Connect();
            EXPECT_TRUE(s.ftp.PeerCertificate().Trusted);
            EXPECT_FALSE(asked);
        } else {
            EXPECT_THROW(s.ftp.Connect(), EIdTLSClientTLSHandShakeFailed);
            EXPECT_FALSE(s.ftp.Connected());
        }
    }
}

TEST(PeerCertificate, FingerprintsAreReadInTheFormsOpensslPrints) {
    const std::string hex(64, 'a');
    std::string colons;
    for (int i = 0; i < 32; ++i) {
        colons += (i > 0 ? ":" : "") + std::string("AA");
    }
    EXPECT_EQ(NormalizedFingerprint(hex), colons);
    EXPECT_EQ(NormalizedFingerprint(colons), colons);
    for (const std::string& bad : {std::string(), std::string(62, 'a'), std::string(66, 'a'), hex.substr(0, 63) + "g",
                                   ":" + colons, colons + ":", "A:A" + colons.substr(3), colons.substr(0, 5) + ":" +
                                                                                             colons.substr(5)}) {
        EXPECT_FALSE(NormalizedFingerprint(bad)) << bad;
    }
}

// Against a real server: the test authority's certificate for "localhost" is verified
// by name, and a wrong name is caught although the address is right.
TEST(PeerCertificate, RealServerIsCheckedByTheNameTheUserGave) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdOptions options;
    options.tls = true;
    options.keepLog = true;
    PyFtpdServer server(options);
    for (const char* host : {"localhost", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        TIdSSLIOHandlerSocketOpenSSL tls;
        TIdFTP ftp;
        ftp.SetIOHandler(&tls);
        ftp.SetUseTLS(utUseRequireTLS);
        ftp.SetHost(host);
        ftp.SetPort(server.port());
        ftp.SetUsername(server.user());
        ftp.SetPassword(server.password());
        ftp.Connect();
        EXPECT_TRUE(ftp.PeerCertificate().Trusted) << CertificateProblemSummary(ftp.PeerCertificate());
        ftp.Disconnect();
    }
    PyFtpdOptions wrong = options;
    wrong.certificate = TestCertificate::WrongHost;
    PyFtpdServer elsewhere(wrong);
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdFTP ftp;
    ftp.SetIOHandler(&tls);
    ftp.SetUseTLS(utUseRequireTLS);
    ftp.SetHost("localhost");
    ftp.SetPort(elsewhere.port());
    ftp.SetUsername(elsewhere.user());
    ftp.SetPassword(elsewhere.password());
    const std::string error = errorOf([&] { ftp.Connect(); });
    EXPECT_NE(error.find("it is not issued for localhost"), std::string::npos) << error;
    EXPECT_EQ(elsewhere.loginsAccepted(), 0);
    EXPECT_EQ(server.loginsAccepted(), 2);
}

}  // namespace
}  // namespace harbrook::testing
