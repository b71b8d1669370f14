// The site manager driven as a user drives it: made, edited, connected to and deleted
// through the dialog, against pyftpdlib and vsftpd with implicit TLS.

#include "app/SiteManager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <filesystem>

#include "app/TFHarbrook.h"
#include "engine/QueueEntries.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/RunUntil.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsCertificate.h"
#include "tests/support/VsftpdServer.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

class SiteManagerWindow : public ::testing::Test {
protected:
    std::unique_ptr<TFHarbrook> open() { return openWindowIn(config.path()); }
    // The dialog the window opened with Ctrl+S.
    TSiteManager* openSites(TFHarbrook& window) {
        // A shortcut needs its window active, as the user's window is.
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
        return window.SiteManagerDialog();
    }
    // A new site with these fields, through the dialog's widgets.
    void makeSite(TSiteManager& sites, const std::string& name, std::uint16_t port, const std::string& user,
                  const std::string& password, int encryption, const std::string& folder) {
        QTest::mouseClick(sites.NewButton, Qt::LeftButton);
        sites.Name->setText(QString::fromStdString(name));
        emit sites.Name->editingFinished();
        sites.Host->setText(encryption == 3 ? "localhost" : "127.0.0.1");
        sites.Encryption->setCurrentIndex(encryption);
        sites.Port->setValue(port);
        sites.Account->setText(QString::fromStdString(user));
        sites.Password->setText(QString::fromStdString(password));
        sites.RemoteFolder->setText(QString::fromStdString(folder));
    }
    TempDir config;
    DialogsScope scope;
};

TEST_F(SiteManagerWindow, MadeEditedConnectedAndDeleted) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdServer server;
    fs::create_directories(server.root() + "/pub");
    auto window = open();
    TSiteManager* sites = openSites(*window);
    ASSERT_NE(sites, nullptr);
    makeSite(*sites, "Test server", server.port(), server.user(), server.password(), 0, "/pub");
    makeSite(*sites, "Test server", 21, "x", "y", 0, "");
    ASSERT_EQ(sites->SiteNames->count(), 2);
    EXPECT_EQ(sites->SiteNames->item(1)->text(), "New site") << "a taken name is refused";
    EXPECT_EQ(scope.dialogs.Shown().back(), "error: There is a site named \"Test server\" already.");
    struct stat info {};
    ASSERT_EQ(::stat(config.file("sites.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_NE(readFile(config.file("sites.ini")).find("name=Test server\nhost=127.0.0.1\nport=" +
                                                      std::to_string(server.port())),
              std::string::npos);

    // A double click on the site connects with it and closes the dialog.
    QListWidget& names = *sites->SiteNames;
    const QPoint first = names.visualItemRect(names.item(0)).center();
    // A double click as the mouse makes one: press, release, press (double), release.
    QTest::mouseClick(names.viewport(), Qt::LeftButton, Qt::NoModifier, first);
    QTest::mouseDClick(names.viewport(), Qt::LeftButton, Qt::NoModifier, first);
    settle(*window);
    EXPECT_EQ(window->SiteManagerDialog(), nullptr);
    ASSERT_TRUE(window->Session().Connected()) << scope.dialogs.Shown().back();
    EXPECT_EQ(window->CurrentFolder(), "/pub") << "the site's folder";
    EXPECT_EQ(window->Lumo_edit2->text(), QString::number(server.port()));
    EXPECT_EQ(window->user->text().toStdString(), server.user());

    // Deleted after a Yes; the file has the other one only.
    sites = openSites(*window);
    ASSERT_NE(sites, nullptr);
    sites->SiteNames->setCurrentRow(0);
    scope.dialogs.confirmAnswers.push_back(true);
    QTest::mouseClick(sites->DeleteButton, Qt::LeftButton);
    EXPECT_EQ(sites->SiteNames->count(), 1);
    EXPECT_EQ(readFile(config.file("sites.ini")).find("Test server"), std::string::npos);
    sites->close();
    window->CloseWithoutAsking();
    EXPECT_EQ(readFile(config.file("Harbrook.ini")).find(server.password()), std::string::npos)
        << "a site's password stays with the site";
}

// A site with implicit TLS: vsftpd on its implicit port, the session and the workers
// encrypted so.
TEST_F(SiteManagerWindow, AnImplicitTlsSite) {
    if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    VsftpdServer server(TestCertificate::Trusted, "implicit_ssl=YES\n");
    writeRandomFile(server.root() + "/down.bin", 120000, 3);
    auto window = open();
    TSiteManager* sites = openSites(*window);
    ASSERT_NE(sites, nullptr);
    makeSite(*sites, "Implicit", server.port(), server.user(), server.password(), 3, "");
    EXPECT_EQ(sites->Port->value(), server.port());
    QTest::mouseClick(sites->ConnectButton, Qt::LeftButton);
    settle(*window);
    ASSERT_TRUE(window->Session().Connected()) << (scope.dialogs.Shown().empty() ? "" : scope.dialogs.Shown().back());
    EXPECT_TRUE(window->Label8->text().contains("Implicit TLS (TLSv1.")) << window->Label8->text().toStdString();
    window->DownloadQueue->Add(DownloadQueueEntry(window->CurrentFolder(), "down.bin", false, config.path()),
                               window->Session().Site());
    ASSERT_TRUE(runUntil([&] { return window->DownloadQueue->Count() == 0; }));
    EXPECT_EQ(sha256OfFile(config.file("down.bin")), sha256OfFile(server.root() + "/down.bin"));
    window->CloseWithoutAsking();
}

// A site whose fields would smuggle a command (pasted with a line end, or typed into a
// hand-edited sites.ini) is refused with a box before any connection is made.
TEST_F(SiteManagerWindow, ControlCharactersInASiteAreRefusedBeforeAnythingIsSent) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdOptions options;
    options.keepLog = true;
    PyFtpdServer server(options);
    auto window = open();
    struct Case {
        const char* field;
        std::string user;
        std::string folder;
        const char* box;
    };
    for (const Case& c : {Case{"account", server.user() + "\r\nDELE x", "", "error: The account contains a line end"},
                          Case{"folder", server.user(), "/pub\nRMD /", "error: The folder contains a line end"}}) {
        SCOPED_TRACE(c.field);
        Site site;
        site.host = "127.0.0.1";
        site.port = server.port();
        site.user = c.user;
        site.password = server.password();
        site.remoteFolder = c.folder;
        window->ConnectToSite(site);
        settle(*window);
        EXPECT_FALSE(window->Session().Connected());
        ASSERT_FALSE(scope.dialogs.Shown().empty());
        EXPECT_EQ(scope.dialogs.Shown().back().rfind(c.box, 0), 0u) << scope.dialogs.Shown().back();
    }
    EXPECT_EQ(server.sessionsOpened(), 0) << "nothing reached the server";
    window->CloseWithoutAsking();
}

}  // namespace
}  // namespace harbrook::testing
