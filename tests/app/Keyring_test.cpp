// Passwords at rest in a real Secret Service: gnome-keyring-daemon on the test's own
// session bus, reached through QtKeychain as the program reaches the user's keyring;
// and a keyring that is missing, locked or hangs.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <filesystem>

#include "app/TFHarbrook.h"
#include "platform/qt/KeychainPasswords.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestKeyring.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

// Every file in `folder` (and below) that holds `text`.
std::vector<std::string> filesHolding(const std::string& folder, const std::string& text) {
    std::vector<std::string> holding;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && readFile(entry.path().string()).find(text) != std::string::npos) {
            holding.push_back(entry.path().string());
        }
    }
    return holding;
}

class Keyring : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = TestKeyring::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
    std::unique_ptr<TestKeyring> start(TestKeyring::State state) {
        auto keyring = std::make_unique<TestKeyring>(state);
        EXPECT_TRUE(keyring->ready()) << "gnome-keyring-daemon did not take the bus name";
        return keyring;
    }
    std::string iniPass() {
        ProfileFile ini(config.file("Harbrook.ini"));
        return ini.ReadString("main", "pass", "<none>");
    }
    TempDir config;
    DialogsScope scope;
};

TEST_F(Keyring, StoresReadsAndRemovesThroughTheSecretService) {
    auto keyring = start(TestKeyring::State::Unlocked);
    TKeychainPasswords store("Harbrook tests");
    std::string read;
    EXPECT_EQ(store.Read("connection bar", read), PasswordAnswer::NotFound);
    struct Case {
        const char* name;
        std::string password;
    };
    for (const Case& c : {Case{"text", "p@ss:wörd %="}, Case{"bytes that are not UTF-8", std::string("l\xe4tin\x01", 6)}}) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(store.Write("connection bar", c.password), PasswordAnswer::Done) << store.Problem();
        read.clear();
        ASSERT_EQ(store.Read("connection bar", read), PasswordAnswer::Done) << store.Problem();
        EXPECT_EQ(read, c.password);
    }
    EXPECT_EQ(store.Remove("connection bar"), PasswordAnswer::Done);
    EXPECT_EQ(store.Read("connection bar", read), PasswordAnswer::NotFound);
    EXPECT_EQ(store.Remove("connection bar"), PasswordAnswer::Done) << "nothing to remove is removed";
}

TEST_F(Keyring, TheWindowsPasswordsLiveInTheKeyringAndInNoFile) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    auto keyring = start(TestKeyring::State::Unlocked);
    PyFtpdOptions options;
    options.password = "bar-Secret-71";
    PyFtpdServer server(options);
    TKeychainPasswords store("Harbrook tests");
    {
        auto window = openWindowIn(config.path(), &store);
        window->host->setText("127.0.0.1");
        window->Lumo_edit2->setText(QString::number(server.port()));
        window->user->setText(QString::fromStdString(server.user()));
        window->pass->setText(QString::fromStdString(server.password()));
        window->Connect();
        settle(*window);
        ASSERT_TRUE(window->Session().Connected()) << scope.dialogs.Shown().back();
        // A site with a password of its own, typed in the site manager.
        window->OpenSiteManager();
        TSiteManager* sites = window->SiteManagerDialog();
        ASSERT_NE(sites, nullptr);
        QTest::mouseClick(sites->NewButton, Qt::LeftButton);
        sites->Host->setText("127.0.0.1");
        sites->Port->setValue(server.port());
        sites->Account->setText(QString::fromStdString(server.user()));
        sites->Password->setText("site-Secret-93");
        emit sites->Password->editingFinished();
        sites->close();
        window->CloseWithoutAsking();
    }
    EXPECT_EQ(iniPass(), "") << "the INI's pass is written empty";
    for (const char* secret : {"bar-Secret-71", "site-Secret-93"}) {
        EXPECT_EQ(filesHolding(config.path(), secret), std::vector<std::string>{}) << secret;
        EXPECT_EQ(filesHolding(keyring->folder(), secret), std::vector<std::string>{}) << "the keyring's file is sealed";
    }
    for (const std::string& line : scope.dialogs.Shown()) {
        EXPECT_EQ(line.find("information: Passwords"), std::string::npos) << "a keyring answered: nothing to tell";
    }

    // The next start reads both back from the keyring and logs in with the bar's.
    TKeychainPasswords nextRun("Harbrook tests");
    auto window = openWindowIn(config.path(), &nextRun);
    EXPECT_EQ(window->pass->text(), "bar-Secret-71");
    window->Connect();
    settle(*window);
    EXPECT_TRUE(window->Session().Connected()) << scope.dialogs.Shown().back();
    window->OpenSiteManager();
    ASSERT_NE(window->SiteManagerDialog(), nullptr);
    EXPECT_EQ(window->SiteManagerDialog()->Password->text(), "site-Secret-93");
    window->SiteManagerDialog()->close();
    window->CloseWithoutAsking();
}

TEST_F(Keyring, AnOlderIniWithItsPasswordMovesItToTheKeyring) {
    auto keyring = start(TestKeyring::State::Unlocked);
    {
        ProfileFile ini(config.file("Harbrook.ini"));
        ini.WriteString("main", "host", "ftp.example");
        ini.WriteString("main", "pass", "old-Secret-55");
        ASSERT_TRUE(ini.Save());
    }
    TKeychainPasswords store("Harbrook tests");
    {
        auto window = openWindowIn(config.path(), &store);
        EXPECT_EQ(window->pass->text(), "old-Secret-55") << "read as before";
        window->CloseWithoutAsking();
    }
    EXPECT_EQ(iniPass(), "");
    EXPECT_EQ(filesHolding(config.path(), "old-Secret-55"), std::vector<std::string>{});
    std::string kept;
    ASSERT_EQ(store.Read(BarPasswordKey(), kept), PasswordAnswer::Done);
    EXPECT_EQ(kept, "old-Secret-55");
}

// The three ways no keyring answers. Each falls back to the INI (owner-only) and says so
// once, when a login has a password to keep: in a box the first time, never again at the
// next start.
TEST_F(Keyring, NoLockedOrHangingKeyringFallsBackAndSaysSoOnce) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdOptions options;
    options.password = "kept-Secret-12";
    PyFtpdServer server(options);
    struct Case {
        const char* name;
        bool daemon;
        TestKeyring::State state;
        bool frozen;
        const char* why;
    };
    for (const Case& c : {Case{"no Secret Service on the bus", false, TestKeyring::State::Locked, false, "secrets"},
                          Case{"a locked keyring nobody can unlock", true, TestKeyring::State::Locked, false, ""},
                          Case{"a keyring that never answers", true, TestKeyring::State::Unlocked, true,
                               "did not answer within 0.5 s"}}) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        std::unique_ptr<TestKeyring> keyring;
        if (c.daemon) {
            keyring = start(c.state);
            if (c.frozen) {
                keyring->freeze();
            }
        }
        for (int run = 0; run < 2; ++run) {
            SCOPED_TRACE(run == 0 ? "first run" : "next run");
            const std::size_t shownBefore = scope.dialogs.Shown().size();
            TKeychainPasswords store("Harbrook tests", 500);
            QElapsedTimer clock;
            clock.start();
            auto window = openWindowIn(folder.path(), &store);
            window->host->setText("127.0.0.1");
            window->Lumo_edit2->setText(QString::number(server.port()));
            window->user->setText(QString::fromStdString(server.user()));
            if (run == 0) {
                window->pass->setText("kept-Secret-12");
            }
            window->Connect();
            settle(*window);
            EXPECT_TRUE(window->Session().Connected());
            window->CloseWithoutAsking();
            EXPECT_LT(clock.elapsed(), 3000) << "one bounded wait at most, not one per request";
            ProfileFile ini(folder.file("Harbrook.ini"));
            EXPECT_EQ(ini.ReadString("main", "pass", ""), "kept-Secret-12") << "kept in the INI as before";
            struct stat info {};
            ASSERT_EQ(::stat(folder.file("Harbrook.ini").c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u);
            const std::vector<std::string> all = scope.dialogs.Shown();
            const std::vector<std::string> shown(all.begin() + static_cast<long>(shownBefore), all.end());
            if (run == 0) {
                ASSERT_EQ(shown.size(), 1u);
                EXPECT_EQ(shown[0].rfind("information: Passwords: No keyring answered", 0), 0u) << shown[0];
                EXPECT_NE(shown[0].find(c.why), std::string::npos) << shown[0];
                EXPECT_NE(shown[0].find("readable only by you"), std::string::npos) << shown[0];
            } else {
                EXPECT_EQ(shown, std::vector<std::string>{}) << "said once, not at every start";
            }
        }
    }
}

}  // namespace
}  // namespace harbrook::testing
