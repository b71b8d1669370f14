// The window and the server's certificate: a certificate that verifies asks nothing;
// any other is shown to the user before the login ("Trust always", "Trust this time",
// "Cancel"), a changed one warns, and the workers hold to the certificate the user
// accepted without asking again. Against pyftpdlib with the fixtures' certificates and
// a TLS-terminating man in the middle.

#include "app/TFHarbrook.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTest>

#include <filesystem>

#include "tests/support/PyFtpdServer.h"
#include "engine/QueueEntries.h"
#include "tests/support/RunUntil.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/TlsCertificate.h"
#include "tests/support/TlsInterceptor.h"
#include "tests/support/VsftpdServer.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;
using Answer = IDialogs::TrustAnswer;

class WindowTls : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
    static PyFtpdOptions tlsWith(TestCertificate certificate) { return PyFtpdOptions::RequiringTls(certificate, true); }
    // A window as the program starts it (its settings and trust file in `config`).
    std::unique_ptr<TFHarbrook> start() { return openWindowIn(config.path()); }
    void connect(TFHarbrook& window, std::uint16_t port, const PyFtpdServer& server) {
        window.host->setText("127.0.0.1");
        window.Lumo_edit2->setText(QString::number(port));
        window.user->setText(QString::fromStdString(server.user()));
        window.pass->setText(QString::fromStdString(server.password()));
        window.CheckBox1->setChecked(true);
        QTest::mouseClick(window.bitmap1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        settle(window);
    }
    // How many trust questions were shown so far, and the last one.
    std::size_t questions(std::string* last = nullptr) const {
        std::size_t count = 0;
        for (const std::string& line : scope.dialogs.Shown()) {
            if (line.rfind("trust: ", 0) == 0) {
                ++count;
                if (last != nullptr) {
                    *last = line;
                }
            }
        }
        return count;
    }

    TempDir config;
    TempDir local;
    DialogsScope scope;
};

TEST_F(WindowTls, TheAnswersToAnUntrustedCertificate) {
    PyFtpdServer server(tlsWith(TestCertificate::SelfSigned));
    const std::string fingerprint = testCertificateFingerprint(TestCertificate::SelfSigned);
    {
        auto window = start();
        // Cancel (the default): no login, no error box after the user's own answer.
        connect(*window, server.port(), server);
        EXPECT_FALSE(window->Session().Connected());
        std::string question;
        ASSERT_EQ(questions(&question), 1u);
        EXPECT_EQ(scope.dialogs.Shown().size(), 1u) << "nothing but the question";
        EXPECT_EQ(question.rfind("trust: Untrusted certificate: The certificate of 127.0.0.1:" +
                                     std::to_string(server.port()) + " is not trusted.",
                                 0),
                  0u)
            << question;
        EXPECT_NE(question.find("- It is self-signed"), std::string::npos);
        EXPECT_NE(question.find("SHA-256 fingerprint: " + fingerprint), std::string::npos);
        EXPECT_EQ(server.sessionsOpened(), 1) << "not tried again in active mode";
        EXPECT_EQ(server.loginsAccepted(), 0);

        // Trust this time: connected, and not asked again while the program runs.
        scope.dialogs.trustAnswers.push_back(Answer::ThisTime);
        connect(*window, server.port(), server);
        ASSERT_TRUE(window->Session().Connected());
        EXPECT_EQ(window->Label8->text(), "Passive Connection, Explicit TLS (TLSv1.3)");
        window->bitmap1Click();
        settle(*window);
        connect(*window, server.port(), server);
        ASSERT_TRUE(window->Session().Connected());
        EXPECT_EQ(questions(), 2u);
        EXPECT_FALSE(fs::exists(config.file("trusted-certificates")));
        window->close();
    }
    {
        // After a restart: asked again; Trust always keeps it, privately.
        auto window = start();
        scope.dialogs.trustAnswers.push_back(Answer::Always);
        connect(*window, server.port(), server);
        ASSERT_TRUE(window->Session().Connected());
        EXPECT_EQ(questions(), 3u);
        window->close();
    }
    struct stat info {};
    ASSERT_EQ(::stat(config.file("trusted-certificates").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_NE(readFile(config.file("trusted-certificates"))
                  .find("127.0.0.1:" + std::to_string(server.port()) + " " + fingerprint),
              std::string::npos);
    {
        auto window = start();
        connect(*window, server.port(), server);
        ASSERT_TRUE(window->Session().Connected());
        EXPECT_EQ(questions(), 3u) << "trusted always: no question after a restart";
        window->close();
    }
}

// A server whose certificate is not the one the user trusted always: a warning naming
// both, and Cancel its default.
// The program's argument as a browser hands it over, ftps:// to pyftpdlib's implicit
// TLS: connected encrypted, without a question, and the workers too.
TEST_F(WindowTls, AnFtpsAddressToPyftpdlib) {
    PyFtpdOptions options = tlsWith(TestCertificate::Trusted);
    options.implicitTls = true;
    PyFtpdServer server(options);
    writeRandomFile(server.root() + "/down.bin", 80000, 2);
    auto window = start();
    window->OpenAddress("ftps://" + server.user() + ":" + server.password() + "@127.0.0.1:" +
                        std::to_string(server.port()) + "/");
    settle(*window);
    ASSERT_TRUE(window->Session().Connected()) << (scope.dialogs.Shown().empty() ? "" : scope.dialogs.Shown()[0]);
    EXPECT_TRUE(window->Label8->text().startsWith("Passive Connection, Implicit TLS (TLSv1.")) << window->Label8->text().toStdString();
    window->DownloadQueue->Add(DownloadQueueEntry("/", "down.bin", false, config.path()), window->Session().Site());
    ASSERT_TRUE(runUntil([&] { return window->DownloadQueue->Count() == 0; }));
    EXPECT_EQ(sha256OfFile(config.file("down.bin")), sha256OfFile(server.root() + "/down.bin"));
    EXPECT_TRUE(scope.dialogs.Shown().empty()) << scope.dialogs.Shown().front();
    window->CloseWithoutAsking();
}

TEST_F(WindowTls, AChangedCertificateWarnsWithBothFingerprints) {
    PyFtpdServer server(tlsWith(TestCertificate::UnknownAuthority));
    const std::string old = testCertificateFingerprint(TestCertificate::SelfSigned);
    writeFile(config.file("trusted-certificates"), "127.0.0.1:" + std::to_string(server.port()) + " " + old + "\n");
    auto window = start();
    connect(*window, server.port(), server);
    EXPECT_FALSE(window->Session().Connected());
    std::string warning;
    ASSERT_EQ(questions(&warning), 1u);
    EXPECT_EQ(warning.rfind("trust: Certificate changed: WARNING: the certificate of 127.0.0.1:", 0), 0u) << warning;
    EXPECT_NE(warning.find(old), std::string::npos);
    EXPECT_NE(warning.find(testCertificateFingerprint(TestCertificate::UnknownAuthority)), std::string::npos);
    EXPECT_NE(warning.find("- It is issued by an unknown authority"), std::string::npos) << warning;
    EXPECT_EQ(server.loginsAccepted(), 0);
}

// The workers' connections and every data connection hold to the certificate the user
// accepted once: files move over PROT P with a single question per session.
TEST_F(WindowTls, WorkersUseTheAcceptedCertificateWithoutAskingAgain) {
    PyFtpdServer server(tlsWith(TestCertificate::SelfSigned));
    writeRandomFile(server.root() + "/down.bin", 200000, 4);
    writeRandomFile(local.file("up.bin"), 150000, 5);
    auto window = start();
    scope.dialogs.trustAnswers.push_back(Answer::ThisTime);
    connect(*window, server.port(), server);
    ASSERT_TRUE(window->Session().Connected());
    for (int row = 0; row < window->Lumo_listbox3->count(); ++row) {
        window->Lumo_listbox3->item(row)->setSelected(TFHarbrook::RowName(*window->Lumo_listbox3, row) == "down.bin");
    }
    scope.dialogs.folderAnswers.push_back(local.path());
    window->bitmap8Click();
    settle(*window);
    scope.dialogs.openFilesAnswers.push_back({local.file("up.bin")});
    window->bitmap7Click();
    settle(*window);
    ASSERT_TRUE(runUntil([&] {
        return window->UploadQueue->Count() == 0 && window->DownloadQueue->Count() == 0 &&
               fs::exists(local.file("down.bin")) && fs::file_size(local.file("down.bin")) == 200000 &&
               fs::exists(server.root() + "/up.bin") && fs::file_size(server.root() + "/up.bin") == 150000;
    }));
    EXPECT_EQ(sha256OfFile(local.file("down.bin")), sha256OfFile(server.root() + "/down.bin"));
    EXPECT_EQ(sha256OfFile(server.root() + "/up.bin"), sha256OfFile(local.file("up.bin")));
    EXPECT_EQ(questions(), 1u) << "asked once per session, never from a worker";
    for (const std::string& line : scope.dialogs.Shown()) {
        EXPECT_EQ(line.rfind("error: ", 0), std::string::npos) << line;
    }
    EXPECT_EQ(server.loginsAccepted(), 3) << "the window and one connection per worker";
}

// vsftpd with the test authority's certificate (SSL_CERT_FILE names the authority, as
// it would any other): no question, and the workers move files over PROT P.
TEST(WindowTlsVsftpd, AVerifiedServerAsksNothing) {
    if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    VsftpdServer server;
    TempDir config;
    DialogsScope scope;
    writeRandomFile(server.root() + "/down.bin", 250000, 6);
    TFHarbrookSetup setup;
    setup.iniPath = config.file("Harbrook.ini");
    setup.programPath = config.file("Harbrook.ini");
    TFHarbrook window(setup);
    window.show();
    window.host->setText("localhost");
    window.Lumo_edit2->setText(QString::number(server.port()));
    window.user->setText(QString::fromStdString(server.user()));
    window.pass->setText(QString::fromStdString(server.password()));
    window.CheckBox1->setChecked(true);
    QTest::mouseClick(window.bitmap1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    settle(window);
    ASSERT_TRUE(window.Session().Connected()) << (scope.dialogs.Shown().empty() ? "" : scope.dialogs.Shown()[0]);
    EXPECT_TRUE(onClient(window, [](TIdFTP& client) { return client.PeerCertificate().Trusted; }));
    EXPECT_EQ(window.Label8->text(), "Passive Connection, Explicit TLS (TLSv1.3)");
    for (int row = 0; row < window.Lumo_listbox3->count(); ++row) {
        window.Lumo_listbox3->item(row)->setSelected(TFHarbrook::RowName(*window.Lumo_listbox3, row) == "down.bin");
    }
    scope.dialogs.folderAnswers.push_back(config.path());
    window.bitmap8Click();
    ASSERT_TRUE(runUntil([&] {
        return window.DownloadQueue->Count() == 0 && fs::exists(config.file("down.bin")) &&
               fs::file_size(config.file("down.bin")) == 250000;
    }));
    EXPECT_EQ(sha256OfFile(config.file("down.bin")), sha256OfFile(server.root() + "/down.bin"));
    EXPECT_EQ(scope.dialogs.Shown().size(), 1u) << "only the folder dialog";
}

// A TLS-terminating proxy with its own certificate: the window asks, Cancel, and the
// proxy never sees the password.
TEST_F(WindowTls, AManInTheMiddleIsShownAndReadsNoPassword) {
    PyFtpdOptions options;
    options.tls = true;
    options.keepLog = true;
    PyFtpdServer server(options);
    TlsInterceptor proxy(server.port());
    auto window = start();
    connect(*window, proxy.port(), server);
    EXPECT_FALSE(window->Session().Connected());
    std::string question;
    ASSERT_EQ(questions(&question), 1u);
    EXPECT_NE(question.find("- It is self-signed"), std::string::npos) << question;
    EXPECT_EQ(proxy.seen().find("PASS"), std::string::npos) << proxy.seen();
    EXPECT_EQ(proxy.seen().find(server.password()), std::string::npos);
    EXPECT_EQ(server.loginsAccepted(), 0);
}

// An ftps:// address typed into the host field: implicit TLS to vsftpd on its implicit
// port, the bar filled, the address's folder entered, and the workers' connections
// encrypted the same way. Editing the host by hand ends the implicit choice; a bad
// address says why and sends nothing.
TEST(WindowTlsVsftpd, AnFtpsAddressConnectsWithImplicitTls) {
    if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    VsftpdServer server(TestCertificate::Trusted, "implicit_ssl=YES\n");
    fs::create_directories(server.root() + "/in here");
    writeRandomFile(server.root() + "/in here/down.bin", 150000, 4);
    TempDir config;
    DialogsScope scope;
    TFHarbrookSetup setup;
    setup.iniPath = config.file("Harbrook.ini");
    setup.programPath = config.file("Harbrook.ini");
    TFHarbrook window(setup);
    window.show();
    window.host->setText(QString::fromStdString("ftps://" + server.user() + "@localhost:" +
                                                std::to_string(server.port()) + "/%2F" + server.root().substr(1) +
                                                "/in%20here"));
    window.pass->setText(QString::fromStdString(server.password()));
    QTest::mouseClick(window.bitmap1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    settle(window);
    ASSERT_TRUE(window.Session().Connected()) << (scope.dialogs.Shown().empty() ? "" : scope.dialogs.Shown()[0]);
    EXPECT_EQ(window.host->text(), "localhost");
    EXPECT_EQ(window.Lumo_edit2->text(), QString::number(server.port()));
    EXPECT_EQ(window.user->text().toStdString(), server.user());
    EXPECT_TRUE(window.Label8->text().startsWith("Passive Connection, Implicit TLS (TLSv1.")) << window.Label8->text().toStdString();
    EXPECT_EQ(window.CurrentFolder(), server.root() + "/in here");
    window.DownloadQueue->Add(DownloadQueueEntry(window.CurrentFolder(), "down.bin", false, config.path()),
                              window.Session().Site());
    ASSERT_TRUE(runUntil([&] { return window.DownloadQueue->Count() == 0; }));
    EXPECT_EQ(sha256OfFile(config.file("down.bin")), sha256OfFile(server.root() + "/in here/down.bin"));
    EXPECT_TRUE(scope.dialogs.Shown().empty()) << scope.dialogs.Shown().front();

    window.Disconnect();
    settle(window);
    window.host->setText("ftp://localhost:0/");
    window.bitmap1Click();
    settle(window);
    ASSERT_EQ(scope.dialogs.Shown().size(), 1u);
    EXPECT_EQ(scope.dialogs.Shown()[0],
              "error: Cannot open the address: the port \"0\" is not a number from 1 to 65535.");
    EXPECT_FALSE(window.Session().Connected());
    window.CloseWithoutAsking();
}

}  // namespace
}  // namespace harbrook::testing
