// harbrook-cli and the server's certificate: verified by default, an untrusted one
// ends the session before the login with its reason, its fingerprint and how to trust
// it; --cacert, --pin-sha256 and --insecure; a man in the middle gets no password.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/PyFtpdServer.h"
#include "tests/support/TlsCertificate.h"
#include "tests/support/TlsInterceptor.h"
#include "tests/support/VsftpdServer.h"
#include "tests/tools/CliRunner.h"

namespace harbrook::testing {
namespace {

// The test process trusts the test authority once a TLS server started; the command
// line run without that sees only the system's store.
constexpr const char* kSystemStoreOnly = "env -u SSL_CERT_FILE";

class CliTls : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
    static std::vector<std::string> session(std::uint16_t port, const PyFtpdServer& server,
                                            std::vector<std::string> options) {
        std::vector<std::string> args = {"--port", std::to_string(port), "--user", server.user(), "--pass",
                                         server.password(), "--timeout", "5"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"127.0.0.1", "pwd"});
        return args;
    }
    static PyFtpdOptions tlsWith(TestCertificate certificate) { return PyFtpdOptions::RequiringTls(certificate); }
};

TEST_F(CliTls, AnAuthorityFileMakesTheCertificateTrusted) {
    PyFtpdServer server(tlsWith(TestCertificate::Trusted));
    const CliRun unknown = runCli(session(server.port(), server, {"--require-tls"}), kSystemStoreOnly);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("it is issued by an unknown authority"), std::string::npos) << unknown.err;
    EXPECT_EQ(server.loginsAccepted(), 0);

    const CliRun known =
        runCli(session(server.port(), server, {"--require-tls", "--cacert", testAuthorityFile()}), kSystemStoreOnly);
    EXPECT_EQ(known.exitCode, 0) << known.err;
    EXPECT_EQ(known.out, "/\n");
    EXPECT_EQ(known.err, "");

    const CliRun missing = runCli(session(server.port(), server, {"--tls", "--cacert", "/nonexistent.pem"}));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(server.loginsAccepted(), 1);
}

// Each untrusted kind: exit 1 before the login, the reason and the fingerprint named,
// and the way to trust it.
TEST_F(CliTls, AnUntrustedCertificateEndsTheSessionWithItsReasonAndFingerprint) {
    struct Row {
        TestCertificate certificate;
        const char* reason;
    };
    for (const Row& row : {Row{TestCertificate::SelfSigned, "it is self-signed"},
                           Row{TestCertificate::Expired, "it expired on "},
                           Row{TestCertificate::WrongHost, "it is not issued for 127.0.0.1"}}) {
        SCOPED_TRACE(row.reason);
        PyFtpdServer server(tlsWith(row.certificate));
        const std::string fingerprint = testCertificateFingerprint(row.certificate);
        const CliRun run = runCli(session(server.port(), server, {"--tls"}));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(row.reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("trust it with --pin-sha256 " + fingerprint), std::string::npos) << run.err;
        EXPECT_EQ(server.loginsAccepted(), 0);
    }
}

TEST_F(CliTls, PinsAndInsecure) {
    PyFtpdServer server(tlsWith(TestCertificate::SelfSigned));
    const std::string fingerprint = testCertificateFingerprint(TestCertificate::SelfSigned);
    std::string plainHex;
    for (char c : fingerprint) {
        if (c != ':') {
            plainHex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    for (const std::string& pin : {fingerprint, plainHex}) {
        const CliRun pinned = runCli(session(server.port(), server, {"--require-tls", "--pin-sha256", "00" + plainHex.substr(2),
                                                                     "--pin-sha256", pin}));
        EXPECT_EQ(pinned.exitCode, 0) << pinned.err;
        EXPECT_EQ(pinned.err, "");
    }

    const CliRun insecure = runCli(session(server.port(), server, {"--tls", "--insecure"}));
    EXPECT_EQ(insecure.exitCode, 0) << insecure.err;
    EXPECT_EQ(insecure.err.rfind("harbrook-cli: warning: --insecure: the server's certificate is not checked", 0), 0u)
        << insecure.err;

    // A pin is a promise about the certificate: an authority's word does not replace it.
    PyFtpdServer trusted(tlsWith(TestCertificate::Trusted));
    const CliRun other = runCli(session(trusted.port(), trusted, {"--tls", "--pin-sha256", fingerprint}));
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.err.find("another certificate than the one expected"), std::string::npos) << other.err;

    for (const std::string& bad : {std::string("AB:CD"), std::string("zz") + plainHex.substr(2), std::string()}) {
        const CliRun refused = runCli(session(trusted.port(), trusted, {"--pin-sha256", bad}));
        EXPECT_EQ(refused.exitCode, 2) << bad;
        EXPECT_EQ(refused.err.rfind("harbrook-cli: --pin-sha256 needs a SHA-256 fingerprint", 0), 0u) << refused.err;
    }
    EXPECT_EQ(trusted.loginsAccepted(), 0);
}

// A TLS-terminating proxy with its own certificate between the command line and the
// server: refused before the login, so it reads no password.
TEST_F(CliTls, AManInTheMiddleReadsNoPassword) {
    PyFtpdOptions options;
    options.tls = true;
    options.keepLog = true;
    PyFtpdServer server(options);
    TlsInterceptor proxy(server.port());
    for (const char* mode : {"--tls", "--require-tls"}) {
        SCOPED_TRACE(mode);
        const CliRun run = runCli(session(proxy.port(), server, {mode}));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("it is self-signed"), std::string::npos) << run.err;
    }
    const std::string seen = proxy.seen();
    EXPECT_NE(seen.find("AUTH TLS"), std::string::npos) << "the proxy was in the way";
    EXPECT_EQ(seen.find("PASS"), std::string::npos) << seen;
    EXPECT_EQ(seen.find(server.password()), std::string::npos) << seen;
    EXPECT_EQ(server.loginsAccepted(), 0);
}

// vsftpd with the test authority's certificate: verified through --cacert alone, files
// byte-exact over PROT P; with a self-signed one refused before the login.
TEST(CliTlsVsftpd, VerifiedTransfersAndARefusedSelfSignedServer) {
    if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    TempDir local;
    writeRandomFile(local.file("up.bin"), 300000, 8);
    {
        VsftpdServer server;
        const std::string password = "HARBROOK_PASSWORD=" + shellQuote(server.password());
        const CliRun run = runCli({"--port", std::to_string(server.port()), "--user", server.user(), "--require-tls",
                                   "--cacert", testAuthorityFile(), "127.0.0.1", "put " + local.file("up.bin") + " up.bin",
                                   "get up.bin " + local.file("back.bin")},
                                  std::string(kSystemStoreOnly) + " " + password);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(sha256OfFile(local.file("back.bin")), sha256OfFile(local.file("up.bin")));
    }
    VsftpdServer selfSigned(TestCertificate::SelfSigned);
    const CliRun refused = runCli({"--port", std::to_string(selfSigned.port()), "--user", selfSigned.user(),
                                   "--require-tls", "127.0.0.1", "pwd"},
                                  "HARBROOK_PASSWORD=" + shellQuote(selfSigned.password()));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("it is self-signed"), std::string::npos) << refused.err;
}

// Implicit TLS against pyftpdlib too: an ftps:// address, files both ways byte-exact
// over private data connections.
TEST(CliTlsPyftpd, ImplicitTlsThroughAnAddress) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdOptions options = PyFtpdOptions::RequiringTls(TestCertificate::Trusted, true);
    options.implicitTls = true;
    PyFtpdServer server(options);
    TempDir local;
    writeRandomFile(local.file("up.bin"), 250000, 5);
    const CliRun run = runCli({"--cacert", testAuthorityFile(), "--timeout", "5",
                               "ftps://" + server.user() + ":" + server.password() + "@127.0.0.1:" +
                                   std::to_string(server.port()) + "/",
                               "put " + local.file("up.bin") + " up.bin", "get up.bin " + local.file("back.bin")},
                              kSystemStoreOnly);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sha256OfFile(local.file("back.bin")), sha256OfFile(local.file("up.bin")));
    EXPECT_EQ(sha256OfFile(server.root() + "/up.bin"), sha256OfFile(local.file("up.bin")));
}

// Implicit TLS end to end: vsftpd with implicit_ssl on its port, reached through an
// ftps:// address (account in the address, password from the environment) and through
// --implicit-tls; files byte-exact; the address's path is where the commands run. An
// explicit-TLS client on that port gets nowhere, within its time-out.
TEST(CliTlsVsftpd, ImplicitTlsThroughAnAddressAndTheOption) {
    if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    VsftpdServer server(TestCertificate::Trusted, "implicit_ssl=YES\n");
    std::filesystem::create_directories(server.root() + "/in here");
    writeRandomFile(server.root() + "/in here/down.bin", 200000, 9);
    TempDir local;
    const std::string password = "HARBROOK_PASSWORD=" + shellQuote(server.password());
    const std::string address = "ftps://" + server.user() + "@127.0.0.1:" + std::to_string(server.port()) +
                                "/%2F" + server.root().substr(1) + "/in%20here";
    const CliRun byAddress = runCli({"--cacert", testAuthorityFile(), "--timeout", "5", address, "pwd",
                                     "get down.bin " + local.file("down.bin")},
                                    std::string(kSystemStoreOnly) + " " + password);
    ASSERT_EQ(byAddress.exitCode, 0) << byAddress.err;
    EXPECT_EQ(byAddress.out, server.root() + "/in here\n");
    EXPECT_EQ(sha256OfFile(local.file("down.bin")), sha256OfFile(server.root() + "/in here/down.bin"));

    const CliRun byOption = runCli({"--implicit-tls", "--port", std::to_string(server.port()), "--user", server.user(),
                                    "--cacert", testAuthorityFile(), "--timeout", "5", "127.0.0.1",
                                    "put " + local.file("down.bin") + " up.bin"},
                                   std::string(kSystemStoreOnly) + " " + password);
    ASSERT_EQ(byOption.exitCode, 0) << byOption.err;
    EXPECT_EQ(sha256OfFile(server.root() + "/up.bin"), sha256OfFile(local.file("down.bin")));

    const CliRun explicitOnIt = runCli({"--require-tls", "--port", std::to_string(server.port()), "--user",
                                        server.user(), "--timeout", "2", "127.0.0.1", "pwd"},
                                       password);
    EXPECT_EQ(explicitOnIt.exitCode, 1) << explicitOnIt.err;
}

}  // namespace
}  // namespace harbrook::testing
