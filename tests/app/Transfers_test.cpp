// The window's transfer queues and workers, driven as a user drives them, against
// pyftpdlib: uploads and downloads through the workers' own connections while the
// window stays usable.

#include "app/TFHarbrook.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "engine/DirListings.h"
#include "engine/MessageLog.h"
#include "engine/QueueEntries.h"
#include "engine/TransferList.h"
#include "tests/support/BackgroundProgram.h"
#include "tests/support/BlackHoleNetwork.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/RunUntil.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsCertificate.h"
#include "tests/support/VsftpdServer.h"
#include "tests/app/WindowTestSupport.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

class WindowTransfers : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
    std::unique_ptr<TFHarbrook> openConnected(const PyFtpdServer& server, bool tls = false) {
        return openConnected("127.0.0.1", server.port(), server.user(), server.password(), tls);
    }
    std::unique_ptr<TFHarbrook> openConnected(const std::string& host, std::uint16_t port, const std::string& user,
                                              const std::string& password, bool tls) {
        TFHarbrookSetup setup;
        setup.iniPath = local.file("Harbrook.ini");
        setup.programPath = local.file("Harbrook.ini");
        auto window = std::make_unique<TFHarbrook>(setup);
        window->ReadTimeoutMs = readTimeoutMs;
        window->TransferTimeoutMs = readTimeoutMs;
        window->show();
        window->host->setText(QString::fromStdString(host));
        window->Lumo_edit2->setText(QString::number(port));
        window->user->setText(QString::fromStdString(user));
        window->pass->setText(QString::fromStdString(password));
        window->CheckBox1->setChecked(tls);
        QTest::mouseClick(window->bitmap1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        settle(*window);
        return window;
    }
    bool queuesEmpty(const TFHarbrook& window) {
        return window.UploadQueue->Count() == 0 && window.DownloadQueue->Count() == 0;
    }
    void select(TLumo_listbox& list, const std::string& name) {
        for (int row = 0; row < list.count(); ++row) {
            if (TFHarbrook::RowName(list, row) == name) {
                list.item(row)->setSelected(true);
            }
        }
    }

    // What a failed wait leaves to go on: the transfer list, the end of the message log
    // and the boxes shown.
    std::string story(const TFHarbrook& window) {
        std::string text = "transfer list:\n";
        for (int row = 0; row < window.Lumo_listbox2->count(); ++row) {
            text += "  " + window.Lumo_listbox2->item(row)->text().toStdString() + "\n";
        }
        text += "message log (end):\n";
        const int lines = window.MessageLogList->count();
        for (int row = std::max(0, lines - 80); row < lines; ++row) {
            text += "  " + window.MessageLogList->item(row)->text().toStdString() + "\n";
        }
        text += "boxes:\n";
        for (const std::string& box : scope.dialogs.Shown()) {
            text += "  " + box + "\n";
        }
        return text;
    }

    TempDir local;
    DialogsScope scope;
    // The next connect's read time-outs, control and data (0: the standing ones).
    int readTimeoutMs = 0;
};

TEST_F(WindowTransfers, UploadsAndDownloadsThroughOneConnectionPerRun) {
    PyFtpdOptions options;
    options.keepLog = true;
    PyFtpdServer server(options);
    fs::create_directories(server.root() + "/in");
    std::vector<std::string> chosen;
    for (const char* name : {"b=1.txt", "a 100%.txt", "caf\xc3\xa9.bin"}) {
        chosen.push_back(local.file(name));
        writeRandomFile(chosen.back(), 50000, static_cast<unsigned>(chosen.size()));
    }
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    // One file at a time, as the user can choose (several at once are shown below).
    window->ParallelFiles->setValue(1);
    const int sessionsBefore = server.sessionsOpened();
    window->ChangeFolder("/in");
    settle(*window);
    scope.dialogs.openFilesAnswers.push_back(chosen);
    QTest::mouseClick(window->bitmap7, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    settle(*window);
    EXPECT_EQ(scope.dialogs.lastOpenFiles.Title, "Upload File(s)");
    EXPECT_EQ(scope.dialogs.lastOpenFiles.Filter, "All files (*.*)|*.*");
    EXPECT_EQ(window->LastUploadFolder, local.path());
    ASSERT_TRUE(runUntil([&] { return queuesEmpty(*window) && !fs::exists(server.root() + "/in/.x") &&
                                      fs::exists(server.root() + "/in/caf\xc3\xa9.bin") &&
                                      fs::file_size(server.root() + "/in/caf\xc3\xa9.bin") == 50000; }));
    for (const std::string& file : chosen) {
        const std::string name = fs::path(file).filename().string();
        EXPECT_EQ(sha256OfFile(server.root() + "/in/" + name), sha256OfFile(file)) << name;
    }
    EXPECT_EQ(server.sessionsOpened() - sessionsBefore, 1) << "one worker connection for the three files";
    EXPECT_TRUE(scope.dialogs.Shown().empty() || scope.dialogs.Shown().back().rfind("open files", 0) == 0);
    // The folder on screen got new files: the timer shows them.
    ASSERT_TRUE(runUntil([&] { return window->Lumo_listbox3->count() == 3; }, 3000));
    settle(*window);

    // Two folders and a file queued in that order, downloaded byte-exact.
    fs::create_directories(server.root() + "/in/sub one/deeper");
    writeRandomFile(server.root() + "/in/sub one/deeper/x.bin", 70000, 9);
    fs::create_directories(server.root() + "/in/sub=two");
    writeFile(server.root() + "/in/sub=two/y.txt", "y");
    window->RefreshListing(true);
    settle(*window);
    select(*window->Lumo_listbox1, "sub one");
    select(*window->Lumo_listbox1, "sub=two");
    select(*window->Lumo_listbox3, "b=1.txt");
    fs::create_directories(local.file("into"));
    scope.dialogs.folderAnswers.push_back(local.file("into"));
    const int listRows = window->Lumo_listbox3->count();
    window->bitmap8Click();
    settle(*window);
    EXPECT_EQ(scope.dialogs.lastFolder.Caption, "Donwload to Folder");
    EXPECT_EQ(scope.dialogs.lastFolder.Flags, 0x0051u);
    EXPECT_EQ(window->LastDownloadFolder, local.file("into"));
    ASSERT_TRUE(runUntil([&] {
        return queuesEmpty(*window) && fs::exists(local.file("into/b=1.txt")) &&
               fs::file_size(local.file("into/b=1.txt")) == 50000;
    }));
    EXPECT_EQ(treeOf(local.file("into/sub one")), treeOf(server.root() + "/in/sub one"));
    EXPECT_EQ(readFile(local.file("into/sub=two/y.txt")), "y");
    EXPECT_EQ(window->Lumo_listbox3->count(), listRows) << "a download changes nothing in the pane";

    // A cancelled folder dialog queues nothing and keeps the last folder.
    window->bitmap8Click();
    settle(*window);
    EXPECT_EQ(window->DownloadQueue->Count(), 0);
    EXPECT_EQ(window->LastDownloadFolder, local.file("into"));
}

TEST_F(WindowTransfers, EnterInTheFileListQueuesOnlyFiles) {
    PyFtpdServer server;
    fs::create_directories(server.root() + "/folder");
    writeFile(server.root() + "/file.txt", "f");
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    window->UploadThread->Stop();
    window->DownloadThread->Stop();
    runUntil([&] { return !window->DownloadThread->Running(); }, 3000);
    select(*window->Lumo_listbox1, "folder");
    window->Lumo_listbox3->setCurrentRow(0);
    select(*window->Lumo_listbox3, "file.txt");
    scope.dialogs.folderAnswers.push_back(local.path());
    QTest::keyClick(window->Lumo_listbox3, Qt::Key_Return);
    settle(*window);
    EXPECT_EQ(window->DownloadQueue->List(), std::vector<std::string>{"/file.txt=" + local.path()});
}

// The first of five uploads missing: one box, the four others uploaded, the failed one
// shown in the transfer list with its error.
TEST_F(WindowTransfers, TheFirstOfFiveFailingLeavesTheOthersToRun) {
    PyFtpdServer server;
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    std::vector<std::string> chosen = {local.file("missing.txt")};
    for (int i = 0; i < 4; ++i) {
        chosen.push_back(local.file("ok" + std::to_string(i)));
        writeFile(chosen.back(), "x");
    }
    scope.dialogs.openFilesAnswers.push_back(chosen);
    window->bitmap7Click();
    settle(*window);
    ASSERT_TRUE(runUntil([&] { return scope.dialogs.Shown().size() >= 2 && queuesEmpty(*window); }));
    const auto shown = scope.dialogs.Shown();
    ASSERT_EQ(shown.size(), 2u) << "one error box";
    EXPECT_NE(shown[1].find("missing.txt"), std::string::npos) << shown[1];
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(fs::exists(server.root() + "/ok" + std::to_string(i))) << i;
    }
    window->Timer2Timer();
    QStringList rows;
    for (int row = 0; row < window->Lumo_listbox2->count(); ++row) {
        rows << window->Lumo_listbox2->item(row)->text();
    }
    ASSERT_EQ(rows.size(), 6) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows[0].startsWith("missing.txt||||||Failed||Cannot open")) << rows[0].toStdString();
    EXPECT_EQ(rows[1], "ok0||||||Done||||");
    EXPECT_EQ(rows[5], "Uploads: 4 of 5 files, 4 Byte(s) of 4 Byte(s); 1 failed");
}

// Deviation 2: a disconnect interrupts a transfer; the entry and the rest wait for the
// next connect, and the old local file is never lost.
TEST_F(WindowTransfers, DisconnectKeepsTheQueueForTheNextConnect) {
    PyFtpdOptions options;
    options.throttle = 1 << 20;
    options.keepLog = true;
    PyFtpdServer server(options);
    writeRandomFile(server.root() + "/big.bin", 4 << 20, 4);
    writeFile(server.root() + "/small.txt", "small");
    writeFile(local.file("big.bin"), "the old local copy");
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    // One file at a time: the second entry waits behind the first.
    window->ParallelFiles->setValue(1);
    select(*window->Lumo_listbox3, "big.bin");
    select(*window->Lumo_listbox3, "small.txt");
    scope.dialogs.folderAnswers.push_back(local.path());
    window->bitmap8Click();
    settle(*window);
    // The transfer list shows the running download and the waiting one, and the window
    // answers input.
    ASSERT_TRUE(runUntil([&] {
        window->Timer2Timer();
        // A running row has its numbers; a queue row is "NAME||||||STATE||…".
        return window->Lumo_listbox2->count() == 3 && window->Lumo_listbox2->item(0)->text().startsWith("big.bin||") &&
               !window->Lumo_listbox2->item(0)->text().contains("||||||");
    })) << (window->Lumo_listbox2->count() > 0 ? window->Lumo_listbox2->item(0)->text().toStdString() : "none")
        << " | " << (scope.dialogs.Shown().empty() ? "" : scope.dialogs.Shown().back());
    EXPECT_NE(window->Lumo_listbox2->item(0)->text().indexOf("big.bin||"), -1);
    EXPECT_EQ(window->Lumo_listbox2->item(1)->text(), "small.txt||||||Waiting||||");
    QTest::mouseClick(window->Lumo_listbox2->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    settle(*window);
    window->repaint();
    QTest::mouseClick(window->bitmap1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    settle(*window);
    EXPECT_FALSE(window->Session().Connected());
    ASSERT_TRUE(runUntil([&] { return scope.dialogs.Shown().back().rfind("error: ", 0) == 0; }));
    EXPECT_EQ(scope.dialogs.Shown().back(), "error: Transfers are disabled");
    EXPECT_EQ(window->DownloadQueue->Count(), 2) << "the interrupted entry and the rest stay";
    EXPECT_EQ(readFile(local.file("big.bin")), "the old local copy");
    window->Timer2Timer();
    ASSERT_EQ(window->Lumo_listbox2->count(), 3) << "no transfer: both entries wait, and their summary";
    EXPECT_EQ(window->Lumo_listbox2->item(0)->text(), "big.bin||||||Waiting||||");

    // Reconnect at once: the workers still ending their run are started by the timer.
    // (The log is read from before the click: the rest of the file can be done by the
    // time the click's events have run.)
    const std::size_t logBefore = server.log().size();
    QTest::mouseClick(window->bitmap1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    settle(*window);
    ASSERT_TRUE(window->Session().Connected());
    ASSERT_TRUE(runUntil([&] { return window->DownloadQueue->Count() == 0; }, 30000));
    EXPECT_EQ(sha256OfFile(local.file("big.bin")), sha256OfFile(server.root() + "/big.bin"));
    EXPECT_EQ(readFile(local.file("small.txt")), "small");
    // The interrupted download went on from where it stopped: less than the whole file
    // moved the second time.
    // The server's log line of the big file's RETR can come after the client saw its
    // end (another process writes it): waited for, not just any RETR line.
    const auto bigFilesLine = [&] {
        const std::string log = server.log().substr(logBefore);
        const std::size_t big = log.find("RETR " + server.root() + "/big.bin completed=1");
        return big == std::string::npos ? std::string::npos : log.find("bytes=", big);
    };
    ASSERT_TRUE(runUntil([&] { return bigFilesLine() != std::string::npos; }, 3000)) << server.log().substr(logBefore);
    const std::string log = server.log().substr(logBefore);
    const std::size_t at = bigFilesLine();
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_LT(std::stoll(log.substr(at + 6)), 4 << 20) << log;
    for (const auto& entry : fs::directory_iterator(local.path())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << "no part left: " << entry.path();
    }
}

// Queued entries survive a restart and run after the next connect to their own site;
// connected to another site, they wait and say for which.
TEST_F(WindowTransfers, TheQueueSurvivesARestartAndWaitsForItsSite) {
    PyFtpdServer siteA;
    PyFtpdServer siteB;
    writeFile(siteA.root() + "/from-a.txt", "from A");
    fs::create_directories(local.file("into"));
    {
        auto window = openConnected(siteA);
        ASSERT_TRUE(window->Session().Connected());
        // The user quits before the download could start.
        window->DownloadThread->Stop();
        ASSERT_TRUE(runUntil([&] { return !window->DownloadThread->Running(); }));
        select(*window->Lumo_listbox3, "from-a.txt");
        scope.dialogs.folderAnswers.push_back(local.file("into"));
        window->bitmap8Click();
        ASSERT_EQ(window->DownloadQueue->Count(), 1);
        window->CloseWithoutAsking();
    }
    ASSERT_TRUE(fs::exists(local.file("transfer-queues")));
    EXPECT_FALSE(fs::exists(local.file("into/from-a.txt")));

    auto window = openConnected(siteB);
    ASSERT_TRUE(window->Session().Connected());
    ASSERT_EQ(window->DownloadQueue->Count(), 1) << "restored";
    QTest::qWait(500);
    window->Timer2Timer();
    ASSERT_EQ(window->Lumo_listbox2->count(), 1);
    EXPECT_EQ(window->Lumo_listbox2->item(0)->text().toStdString(),
              "from-a.txt||||||Waiting for " + siteA.user() + "@127.0.0.1:" + std::to_string(siteA.port()) + "||||");
    EXPECT_FALSE(fs::exists(local.file("into/from-a.txt"))) << "nothing of A's runs on B";

    window->bitmap1Click();
    settle(*window);
    window->Lumo_edit2->setText(QString::number(siteA.port()));
    window->bitmap1Click();
    settle(*window);
    ASSERT_TRUE(runUntil([&] { return queuesEmpty(*window) && fs::exists(local.file("into/from-a.txt")); }));
    EXPECT_EQ(readFile(local.file("into/from-a.txt")), "from A");
}

// A queue file that cannot be read: one box once the window is up, empty queues, the
// file set aside.
TEST_F(WindowTransfers, ADamagedQueueFileIsSetAside) {
    writeFile(local.file("transfer-queues"), "harbrook transfer queues 1\nnot an entry\n");
    TFHarbrookSetup setup;
    setup.iniPath = local.file("Harbrook.ini");
    setup.programPath = local.file("Harbrook.ini");
    TFHarbrook window(setup);
    window.show();
    ASSERT_TRUE(runUntil([&] { return !scope.dialogs.Shown().empty(); }, 3000));
    EXPECT_NE(scope.dialogs.Shown()[0].find("could not be read (line 2 is not an entry)"), std::string::npos)
        << scope.dialogs.Shown()[0];
    EXPECT_EQ(window.DownloadQueue->Count() + window.UploadQueue->Count(), 0);
    EXPECT_TRUE(fs::exists(local.file("transfer-queues.bad")));
}

// The whole queue in the transfer list, and each entry under the user's control: a
// running one cancelled (kept as failed for a Retry, no box), a waiting one removed
// (never fetched), the cancelled one retried, the finished cleared.
TEST_F(WindowTransfers, EveryEntryShowsAndObeys) {
    PyFtpdOptions options;
    options.throttle = 200 << 10;
    PyFtpdServer server(options);
    constexpr int kFiles = 8;
    // The first one long enough to be caught running.
    for (int i = 0; i < kFiles; ++i) {
        writeRandomFile(server.root() + "/f" + std::to_string(i) + ".bin", i == 0 ? 1000000 : 20000,
                        static_cast<unsigned>(i + 1));
    }
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    // One file at a time: one runs, the others wait behind it.
    window->ParallelFiles->setValue(1);
    for (int i = 0; i < kFiles; ++i) {
        select(*window->Lumo_listbox3, "f" + std::to_string(i) + ".bin");
    }
    scope.dialogs.folderAnswers.push_back(local.path());
    window->bitmap8Click();
    auto rowText = [&](int row) { return window->Lumo_listbox2->item(row)->text().toStdString(); };
    auto rowOf = [&](const std::string& start) {
        for (int row = 0; row < window->Lumo_listbox2->count(); ++row) {
            if (rowText(row).rfind(start, 0) == 0) {
                return row;
            }
        }
        return -1;
    };
    auto choose = [&](int row) {
        window->Lumo_listbox2->clearSelection();
        window->Lumo_listbox2->item(row)->setSelected(true);
    };
    // f0 runs, the seven others wait.
    ASSERT_TRUE(runUntil([&] {
        window->Timer2Timer();
        return window->Lumo_listbox2->count() == kFiles + 1 && rowOf("f0.bin||") == 0 && rowText(0).find("||||||") == std::string::npos;
    }));
    EXPECT_EQ(rowText(1), "f1.bin||||||Waiting||||");
    EXPECT_EQ(rowText(7), "f7.bin||||||Waiting||||");
    // The sizes the rows showed, until the worker asks the server.
    const std::string summary = rowText(kFiles);
    EXPECT_EQ(summary.rfind("Downloads: 0 of 8 files, ", 0), 0u) << summary;
    EXPECT_NE(summary.find(" of 1.09 MB"), std::string::npos) << summary;
    EXPECT_EQ(summary.substr(summary.size() - 22), "; 1 running, 7 waiting") << summary;

    // Remove f7 while it waits, Cancel f0 while it runs.
    choose(7);
    window->TransferListCommand(TFHarbrook::TransferCommand::Remove);
    choose(0);
    window->TransferListCommand(TFHarbrook::TransferCommand::Cancel);
    ASSERT_TRUE(runUntil([&] {
        window->Timer2Timer();
        return rowOf("f0.bin||||||Failed||Cancelled by the user||") >= 0;
    })) << rowText(0) << " / " << rowText(1);
    ASSERT_TRUE(runUntil([&] { return queuesEmpty(*window); }, 30000));
    window->Timer2Timer();
    EXPECT_EQ(rowOf("f7.bin"), -1);
    EXPECT_FALSE(fs::exists(local.file("f7.bin"))) << "a removed entry is never fetched";
    for (int i = 1; i < kFiles - 1; ++i) {
        EXPECT_EQ(sha256OfFile(local.file("f" + std::to_string(i) + ".bin")),
                  sha256OfFile(server.root() + "/f" + std::to_string(i) + ".bin"));
        EXPECT_GE(rowOf("f" + std::to_string(i) + ".bin||||||Done"), 0) << i;
    }
    EXPECT_TRUE(scope.dialogs.Shown().empty() || scope.dialogs.Shown().back().rfind("error: ", 0) != 0)
        << "the user's own Cancel needs no box";

    // Retry the cancelled one; then clear what is finished.
    choose(rowOf("f0.bin"));
    window->TransferListCommand(TFHarbrook::TransferCommand::Retry);
    ASSERT_TRUE(runUntil([&] { return queuesEmpty(*window) && fs::exists(local.file("f0.bin")) &&
                                      fs::file_size(local.file("f0.bin")) == 1000000; }, 30000));
    EXPECT_EQ(sha256OfFile(local.file("f0.bin")), sha256OfFile(server.root() + "/f0.bin"));
    window->Timer2Timer();
    EXPECT_EQ(rowText(window->Lumo_listbox2->count() - 1), "Downloads: 7 of 7 files, 1.07 MB of 1.07 MB")
        << "the server's sizes";
    window->TransferListCommand(TFHarbrook::TransferCommand::ClearFinished);
    EXPECT_EQ(window->Lumo_listbox2->count(), 0);
}

// A download onto an existing local file asks first; Skip leaves it and shows the
// entry as skipped, Rename puts the new file beside it.
TEST_F(WindowTransfers, AnExistingTargetIsAskedAbout) {
    PyFtpdServer server;
    writeFile(server.root() + "/a.txt", "new");
    writeFile(local.file("a.txt"), "old");
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    scope.dialogs.overwriteAnswers = {{OverwriteChoice::Skip, false}, {OverwriteChoice::Rename, false}};
    for (int attempt = 0; attempt < 2; ++attempt) {
        select(*window->Lumo_listbox3, "a.txt");
        scope.dialogs.folderAnswers.push_back(local.path());
        window->bitmap8Click();
        ASSERT_TRUE(runUntil([&] { return queuesEmpty(*window); }));
    }
    const auto shown = scope.dialogs.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[1], "overwrite: The local file \"" + local.file("a.txt") +
                            "\" already exists (3 Byte(s)).\nThe remote file has 3 Byte(s).");
    EXPECT_EQ(readFile(local.file("a.txt")), "old");
    EXPECT_EQ(readFile(local.file("a (1).txt")), "new");
    window->Timer2Timer();
    EXPECT_EQ(window->Lumo_listbox2->item(0)->text(), "a.txt||||||Skipped||||");
    EXPECT_EQ(window->Lumo_listbox2->item(1)->text(), "a.txt||||||Done||||");
}

// A worker's transfer cut at five points, by the user's Disconnect or by the server
// dying (and coming back): after the next connect (and, for an entry the lost server
// failed, the user's Retry) the file is byte-exact and only the rest moved again. On
// pyftpdlib, plain and over TLS, and on vsftpd over TLS (Disconnect: it is not restarted on
// its port).
enum class WindowCut { Disconnect, ServerKilled };
struct WindowCutCase {
    WindowCut cut;
    bool upload;
    bool vsftpd = false;
    // pyftpdlib requiring TLS (it is restarted on its port after a kill).
    bool tls = false;
};

class WindowCuts : public WindowTransfers, public ::testing::WithParamInterface<WindowCutCase> {};

TEST_P(WindowCuts, FiveCutsThenTheRestByteExact) {
    const WindowCutCase c = GetParam();
    constexpr std::int64_t kSize = 1 << 20;
    constexpr int kRate = 2 << 20;
    std::unique_ptr<PyFtpdServer> pyftpd;
    std::unique_ptr<VsftpdServer> vsftpd;
    std::unique_ptr<TFHarbrook> window;
    std::string root;
    TempDir vsftpdLog;
    // What the server logged it sent or received since `from`.
    auto serverLog = [&] {
        return pyftpd ? pyftpd->log() : readFile(vsftpdLog.file("vsftpd.log"));
    };
    if (c.vsftpd) {
        if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        vsftpd = std::make_unique<VsftpdServer>(TestCertificate::Trusted,
                                                "local_max_rate=" + std::to_string(kRate) + "\nxferlog_enable=YES\nvsftpd_log_file=" +
                                                    vsftpdLog.file("vsftpd.log") + "\n");
        root = vsftpd->root();
        window = openConnected("localhost", vsftpd->port(), vsftpd->user(), vsftpd->password(), true);
    } else {
        PyFtpdOptions options = c.tls ? PyFtpdOptions::RequiringTls(TestCertificate::Trusted, true) : PyFtpdOptions{};
        options.smoothRate = kRate;
        options.keepLog = true;
        pyftpd = std::make_unique<PyFtpdServer>(options);
        root = pyftpd->root();
        window = openConnected(*pyftpd, c.tls);
    }
    ASSERT_TRUE(window->Session().Connected()) << (scope.dialogs.Shown().empty() ? "" : scope.dialogs.Shown().back());
    TTransferQueue& queue = c.upload ? *window->UploadQueue : *window->DownloadQueue;
    auto sizeOf = [](const std::string& path) {
        std::error_code error;
        const auto size = fs::file_size(path, error);
        return error ? std::int64_t{-1} : static_cast<std::int64_t>(size);
    };
    for (const int percent : {10, 30, 50, 70, 90}) {
        SCOPED_TRACE(percent);
        const std::string name = "cut-" + std::to_string(percent) + ".bin";
        const std::string source = c.upload ? local.file(name) : root + "/" + name;
        const std::string target = c.upload ? root + "/" + name : local.file(name);
        writeRandomFile(source, kSize, static_cast<unsigned>(percent));
        if (c.upload) {
            queue.Add(UploadQueueEntry(source, window->CurrentFolder()), window->Session().Site(), kSize);
        } else {
            queue.Add(DownloadQueueEntry(window->CurrentFolder(), name, false, local.path()), window->Session().Site(),
                      kSize);
        }
        ASSERT_TRUE(runUntil([&] { return sizeOf(target) >= kSize * percent / 100; }, 10000))
            << "never got there: " << (scope.dialogs.Shown().empty() ? "" : scope.dialogs.Shown().back()) << " / "
            << queue.Items().back().error;
        if (c.cut == WindowCut::Disconnect) {
            window->bitmap1Click();
        } else {
            pyftpd->kill();
        }
        ASSERT_TRUE(runUntil([&] { return !window->Session().Connected() && queue.Items().back().state != QueueState::Running; }, 10000));
        if (c.cut == WindowCut::ServerKilled) {
            pyftpd->restart();
            // The entry failed with the box; its row names the file and keeps the error
            // for the Retry.
            ASSERT_TRUE(runUntil([&] { return !scope.dialogs.Shown().empty(); }, 5000));
            // The box names the file the server's words leave out.
            const std::string box = scope.dialogs.Shown().back();
            EXPECT_EQ(box.rfind(std::string("error: ") + (c.upload ? "Upload of " : "Download of "), 0), 0u) << box;
            EXPECT_NE(box.find("cut-"), std::string::npos) << box;
            EXPECT_NE(box.find("failed: Connection Closed Gracefully."), std::string::npos) << box;
            EXPECT_EQ(queue.Items().back().state, QueueState::Failed);
            window->Timer2Timer();
            EXPECT_EQ(window->Lumo_listbox2->item(0)->text().toStdString(),
                      name + "||||||Failed||Connection Closed Gracefully.||");
        }
        std::int64_t have = sizeOf(target);
        runUntil([&] { return false; }, 300);
        have = sizeOf(target);
        ASSERT_GT(have, 0);
        EXPECT_EQ(readFile(source).compare(0, static_cast<std::size_t>(have), readFile(target)), 0)
            << "what was kept is the file's beginning";

        const std::size_t from = serverLog().size();
        settle(*window);
        if (c.cut == WindowCut::Disconnect) {
            window->bitmap1Click();
        } else {
            // A lost session comes back with the next folder command (F5).
            window->RefreshListing(true);
        }
        settle(*window);
        ASSERT_TRUE(window->Session().Connected()) << [&] {
            std::string all;
            for (const std::string& box : scope.dialogs.Shown()) {
                all += box + "\n";
            }
            return all;
        }();
        for (const QueueItem& item : queue.Items()) {
            queue.Retry(item.id);
        }
        ASSERT_TRUE(runUntil([&] { return queue.Count() == 0; }, 20000));
        EXPECT_EQ(queue.Items().back().state, QueueState::Finished) << queue.Items().back().error;
        EXPECT_EQ(sha256OfFile(target), sha256OfFile(source));
        if (have < kSize) {
            const std::string rest = std::to_string(kSize - have + (c.upload ? 0 : 4096));
            const std::string line = pyftpd ? std::string(c.upload ? "APPE " : "RETR ") + root + "/" + name +
                                                  " completed=1 bytes=" + rest
                                            : std::string(c.upload ? "OK UPLOAD" : "OK DOWNLOAD") +
                                                  ": Client \"127.0.0.1\", \"" + root + "/" + name + "\", " + rest +
                                                  " bytes";
            EXPECT_TRUE(runUntil([&] { return serverLog().find(line, from) != std::string::npos; }, 3000))
                << line << "\n" << serverLog().substr(from);
        }
        for (const auto& entry : fs::directory_iterator(fs::path(target).parent_path())) {
            EXPECT_NE(entry.path().filename().string().front(), '.') << "no part left: " << entry.path();
        }
        // Each round starts with an empty list: what shows is the next round's.
        queue.ClearFinished();
        scope.dialogs.folderAnswers.clear();
    }
}

INSTANTIATE_TEST_SUITE_P(Cuts, WindowCuts,
                         ::testing::Values(WindowCutCase{WindowCut::Disconnect, false},
                                           WindowCutCase{WindowCut::Disconnect, true},
                                           WindowCutCase{WindowCut::ServerKilled, false},
                                           WindowCutCase{WindowCut::ServerKilled, true},
                                           WindowCutCase{WindowCut::Disconnect, false, true},
                                           WindowCutCase{WindowCut::Disconnect, true, true},
                                           WindowCutCase{WindowCut::ServerKilled, false, false, true},
                                           WindowCutCase{WindowCut::ServerKilled, true, false, true}),
                         [](const ::testing::TestParamInfo<WindowCutCase>& info) {
                             return std::string(info.param.cut == WindowCut::Disconnect ? "Disconnect"
                                                                                        : "ServerKilled") +
                                    (info.param.upload ? "Upload" : "Download") + (info.param.vsftpd ? "Vsftpd" : "") +
                                    (info.param.tls ? "Tls" : "");
                         });

// Faults under a worker's transfer of a 2 MiB file: the disk filling (a 1 MiB tmpfs: the
// local disk under a download, the server's under an upload), the server freezing in
// the middle (SIGSTOP; 2 s time-outs) and the link to it pulled (the server in a network
// namespace of the test's own behind a 2 MB/s link that starts dropping every packet). An error box names the file, a download's
// old copy is kept with at most its part file beside it (an upload's server writes in
// place); once the fault is gone the user's Retry is byte-exact.
enum class WorkerFault { DiskFull, ServerFrozen, LinkDropped };
struct WorkerFaultCase {
    WorkerFault fault;
    bool upload;
    bool tls = false;
};

class WindowFaults : public WindowTransfers, public ::testing::WithParamInterface<WorkerFaultCase> {};

TEST_P(WindowFaults, TheFileNamedTheOldCopyKeptThenByteExact) {
    const bool upload = GetParam().upload;
    const WorkerFault fault = GetParam().fault;
    // Frozen server or pulled link: the transfer stops in the middle without a word.
    const bool frozen = fault != WorkerFault::DiskFull;
    const bool tls = GetParam().tls;
    if (fault == WorkerFault::DiskFull && ::geteuid() != 0) {
        GTEST_SKIP() << "a small disk (tmpfs) needs root";
    }
    std::unique_ptr<DroppableLink> link;
    if (fault == WorkerFault::LinkDropped) {
        link = std::make_unique<DroppableLink>(16000);
        if (!link->unavailableReason().empty()) {
            GTEST_SKIP() << link->unavailableReason();
        }
    }
    PyFtpdOptions options = tls ? PyFtpdOptions::RequiringTls(TestCertificate::Trusted, true) : PyFtpdOptions{};
    // Slow and even, so that the freeze comes in the middle (the link is slow itself).
    options.smoothRate = fault == WorkerFault::ServerFrozen ? 1 << 20 : 0;
    if (link) {
        options.host = link->address();
        options.launcher = link->launcher();
    }
    PyFtpdServer server(options);
    auto stall = [&] { link ? link->drop() : server.freeze(); };
    auto recover = [&] { link ? link->restore() : server.thaw(); };
    // (Only the folder that fills: a download would take another folder with the file.)
    const std::string remoteFolder = server.root() + "/in";
    const std::string localFolder = local.file("in");
    fs::create_directories(upload ? remoteFolder : localFolder);
    std::optional<SmallDisk> disk;
    if (!frozen) {
        disk.emplace(upload ? remoteFolder : localFolder, 1024);
    }
    if (disk && !disk->mounted()) {
        GTEST_SKIP() << "no tmpfs could be mounted here";
    }
    writeRandomFile(server.root() + "/big.bin", 2 << 20, 7);
    writeRandomFile(local.file("big.bin"), 2 << 20, 7);
    const std::string target = (upload ? remoteFolder : localFolder) + "/big.bin";
    writeFile(target, "the old copy");
    readTimeoutMs = 2000;
    if (link && tls) {
        // The test certificate names the loopback, not the namespace's address: the
        // user trusts it for the session when asked, as for any name it does not match.
        scope.dialogs.trustAnswers.push_back(IDialogs::TrustAnswer::ThisTime);
    }
    auto window = link ? openConnected(link->address(), server.port(), server.user(), server.password(), tls)
                       : openConnected(server, tls);
    ASSERT_TRUE(window->Session().Connected());
    window->ParallelFiles->setValue(1);
    auto endedRows = [&] {
        window->Timer2Timer();
        int ended = 0;
        for (int row = 0; row < window->Lumo_listbox2->count(); ++row) {
            const QString text = window->Lumo_listbox2->item(row)->text();
            ended += text.contains("||Done||") || text.contains("||Failed||") ? 1 : 0;
        }
        return ended;
    };
    auto transfer = [&] {
        window->ChangeFolder(upload ? "/in" : "/");
        settle(*window);
        if (upload) {
            scope.dialogs.openFilesAnswers.push_back({local.file("big.bin")});
            window->bitmap7Click();
        } else {
            select(*window->Lumo_listbox3, "big.bin");
            scope.dialogs.folderAnswers.push_back(localFolder);
            window->bitmap8Click();
        }
        settle(*window);
        if (frozen) {
            // Under way (half a second at 1 or 2 MiB/s), then the host hangs or the link
            // goes.
            QTest::qWait(500);
            stall();
        }
        // Until the transfer list says how the file ended (the queue empties at its start).
        const int ended = endedRows();
        return runUntil([&] { return queuesEmpty(*window) && endedRows() > ended; }, 15000);
    };
    QElapsedTimer took;
    took.start();
    ASSERT_TRUE(transfer()) << story(*window);
    std::printf("[ figures  ] ended after %.2f s\n", took.elapsed() / 1000.0);
    // (Over TLS a frozen server costs up to three time-outs: the read, the close_notify
    // and ABOR's reply.)
    EXPECT_LT(took.elapsed(), tls ? 10000 : 8000) << "bounded by the 2 s time-outs";
    // The box follows the failed row through the window's thread.
    auto hasBox = [&] {
        const auto all = scope.dialogs.Shown();
        return std::any_of(all.begin(), all.end(), [](const std::string& box) { return box.rfind("error", 0) == 0; });
    };
    runUntil(hasBox, 3000);
    const auto shown = scope.dialogs.Shown();
    const bool named = std::any_of(shown.begin(), shown.end(), [](const std::string& box) {
        return box.rfind("error", 0) == 0 && box.find("big.bin") != std::string::npos;
    });
    std::string boxes;
    for (const std::string& box : shown) {
        boxes += box + "\n";
    }
    EXPECT_TRUE(named) << boxes;
    // Beside the target at most its own part file, which a later try continues.
    auto namesBeside = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(upload ? remoteFolder : localFolder)) {
            const std::string name = entry.path().filename().string();
            if (name != "big.bin") {
                names.push_back(name);
            }
        }
        return names;
    };
    const std::vector<std::string> beside = namesBeside();
    EXPECT_TRUE(beside.empty() || (beside.size() == 1 && beside[0].rfind(".big.bin.harbrook-", 0) == 0 &&
                                   beside[0].size() > 5 && beside[0].substr(beside[0].size() - 5) == ".part"))
        << beside.size() << " beside, first: " << (beside.empty() ? "" : beside[0]);
    if (!upload) {
        EXPECT_EQ(readFile(target), "the old copy");
    }
    // The fault gone, and the user's Retry of the failed row.
    if (disk) {
        disk->grow(8192);
    }
    recover();
    window->Timer2Timer();
    window->Lumo_listbox2->clearSelection();
    window->Lumo_listbox2->item(0)->setSelected(true);
    window->TransferListCommand(TFHarbrook::TransferCommand::Retry);
    ASSERT_TRUE(runUntil([&] {
        window->Timer2Timer();
        return queuesEmpty(*window) && window->Lumo_listbox2->item(0)->text().contains("||Done||");
    }, 20000)) << story(*window);
    EXPECT_EQ(sha256OfFile(target), sha256OfFile(local.file("big.bin")));
    EXPECT_TRUE(namesBeside().empty()) << "the part file goes with the finished copy";
}

INSTANTIATE_TEST_SUITE_P(Faults, WindowFaults,
                         ::testing::Values(WorkerFaultCase{WorkerFault::DiskFull, false},
                                           WorkerFaultCase{WorkerFault::DiskFull, true},
                                           WorkerFaultCase{WorkerFault::ServerFrozen, false},
                                           WorkerFaultCase{WorkerFault::ServerFrozen, true},
                                           WorkerFaultCase{WorkerFault::DiskFull, false, true},
                                           WorkerFaultCase{WorkerFault::DiskFull, true, true},
                                           WorkerFaultCase{WorkerFault::ServerFrozen, false, true},
                                           WorkerFaultCase{WorkerFault::ServerFrozen, true, true},
                                           WorkerFaultCase{WorkerFault::LinkDropped, false},
                                           WorkerFaultCase{WorkerFault::LinkDropped, true},
                                           WorkerFaultCase{WorkerFault::LinkDropped, false, true},
                                           WorkerFaultCase{WorkerFault::LinkDropped, true, true}),
                         [](const ::testing::TestParamInfo<WorkerFaultCase>& info) {
                             return std::string(info.param.fault == WorkerFault::DiskFull       ? "DiskFull"
                                                : info.param.fault == WorkerFault::ServerFrozen ? "ServerFrozen"
                                                                                                : "LinkDropped") +
                                    (info.param.upload ? "Upload" : "Download") + (info.param.tls ? "Tls" : "");
                         });

// A queue of 100 downloads, the window killed (SIGKILL) while the 51st, a large file,
// is half in: started again, it connects and finishes the queue, all 100 byte-exact,
// the interrupted file continued from its part and none of the finished fetched again.
TEST_F(WindowTransfers, AQueueKilledInTheMiddleFinishesAfterARestart) {
    PyFtpdOptions options;
    options.smoothRate = 4 << 20;
    options.keepLog = true;
    PyFtpdServer server(options);
    constexpr std::int64_t kBig = 6 << 20;
    std::vector<std::string> names;
    for (int i = 0; i < 100; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%03d.bin", i);
        names.push_back(name);
        writeRandomFile(server.root() + "/" + name, i == 50 ? kBig : 8192, static_cast<unsigned>(i + 1));
    }
    TempDir config;
    const std::vector<std::string> login = {config.path(), std::to_string(server.port()), server.user(),
                                            server.password()};
    std::vector<std::string> first = login;
    first.push_back("/");
    first.push_back(local.path());
    first.insert(first.end(), names.begin(), names.end());
    BackgroundProgram killed(HARBROOK_WINDOW_RUNNER_PATH, first);
    const std::string big = local.file("f050.bin");
    auto sizeOf = [](const std::string& path) {
        std::error_code error;
        const auto size = fs::file_size(path, error);
        return error ? std::int64_t{-1} : static_cast<std::int64_t>(size);
    };
    const bool halfway = runUntil([&] { return sizeOf(big) >= kBig / 2; }, 30000);
    killed.signal(SIGKILL);
    const ProgramRun cut = killed.finish();
    ASSERT_TRUE(halfway) << cut.err;
    const std::int64_t have = sizeOf(big);
    ASSERT_LT(have, kBig);
    ASSERT_TRUE(fs::exists(config.file("transfer-queues")));

    const std::size_t from = server.log().size();
    BackgroundProgram again(HARBROOK_WINDOW_RUNNER_PATH, login);
    ASSERT_TRUE(runUntil([&] { return again.ended(); }, 90000));
    const ProgramRun rerun = again.finish();
    ASSERT_EQ(rerun.exitCode, 0) << rerun.err;
    for (const std::string& name : names) {
        EXPECT_EQ(sha256OfFile(local.file(name)), sha256OfFile(server.root() + "/" + name)) << name;
    }
    const std::string log = server.log().substr(from);
    EXPECT_NE(log.find("RETR " + server.root() + "/f050.bin completed=1 bytes=" +
                       std::to_string(kBig - have + 4096)),
              std::string::npos)
        << "only the rest of the big file: " << log;
    EXPECT_EQ(log.find("/f049.bin"), std::string::npos) << "a finished entry is not fetched again";
    EXPECT_EQ(rerun.err.find("error: "), std::string::npos) << rerun.err;
}

// The message log pane (F9): the main connection's login and listing and the download
// worker's transfer, in order, the password masked on both; a flood of 50,000 lines
// leaves the pane its last 10,000.
TEST_F(WindowTransfers, TheMessageLogShowsEveryConnection) {
    PyFtpdServer server;
    writeFile(server.root() + "/a.txt", "a");
    MessageLog().Clear();
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    EXPECT_TRUE(window->MessageLogList->isHidden());
    window->DownloadQueue->Add(DownloadQueueEntry("/", "a.txt", false, local.path()), window->Session().Site());
    ASSERT_TRUE(runUntil([&] { return window->DownloadQueue->Count() == 0 && fs::exists(local.file("a.txt")); }));
    QTest::keyClick(window.get(), Qt::Key_F9);
    ASSERT_FALSE(window->MessageLogList->isHidden());
    EXPECT_TRUE(window->LogButton->isChecked());
    window->Timer2Timer();
    QStringList lines;
    for (int row = 0; row < window->MessageLogList->count(); ++row) {
        lines << window->MessageLogList->item(row)->text().mid(9);
    }
    const std::string all = lines.join('\n').toStdString();
    int at = -1;
    for (const QString& part : {QString("[main] > USER harbrook"), QString("[main] > PASS ****"), QString("[main] > MLSD"),
                                QString("[download] > USER harbrook"), QString("[download] > PASS ****"),
                                QString("[download] > RETR ")}) {
        const int found = lines.indexOf(QRegularExpression("^" + QRegularExpression::escape(part) + ".*"), at + 1);
        ASSERT_GE(found, 0) << part.toStdString() << "\n" << all;
        if (!part.startsWith("[download] > USER")) {
            at = found;
        }
    }
    EXPECT_EQ(all.find(server.password()), std::string::npos) << all;
    for (int i = 0; i < 50000; ++i) {
        MessageLog().Append("main", LogLine::Kind::Reply, "flood " + std::to_string(i));
    }
    window->Timer2Timer();
    EXPECT_EQ(window->MessageLogList->count(), static_cast<int>(TMessageLog::kMaxLines));
    EXPECT_TRUE(window->MessageLogList->item(window->MessageLogList->count() - 1)->text().endsWith("flood 49999"));
    QTest::keyClick(window.get(), Qt::Key_F9);
    EXPECT_TRUE(window->MessageLogList->isHidden());
}

// 100,000 queued entries: the transfer list shows the first of them and a line for the
// rest, so its twice-a-second refresh stays small.
TEST_F(WindowTransfers, AHugeQueueShowsItsHeadAndASummary) {
    TFHarbrookSetup setup;
    setup.iniPath = local.file("Harbrook.ini");
    setup.programPath = local.file("Harbrook.ini");
    TFHarbrook window(setup);
    for (int i = 0; i < 100000; ++i) {
        window.DownloadQueue->Add(DownloadQueueEntry("/pub", "f" + std::to_string(i), false, local.path()),
                                  TransferSite{"elsewhere", 21, "u"});
    }
    window.Timer2Timer();
    ASSERT_EQ(window.Lumo_listbox2->count(), 201);
    EXPECT_EQ(window.Lumo_listbox2->item(200)->text(),
              "Downloads: 0 of 100000 files; 100000 waiting; 99800 more not shown");
    window.CloseWithoutAsking();
}

TEST_F(WindowTransfers, WorkersUseTlsOnTheMainConnectionsPort) {
    PyFtpdOptions options;
    options.tls = true;
    options.tlsControlRequired = true;
    options.tlsDataRequired = true;
    PyFtpdServer server(options);
    ASSERT_NE(server.port(), 21);
    writeRandomFile(local.file("up.bin"), 100000, 5);
    auto window = openConnected(server, true);
    ASSERT_TRUE(onClient(*window, [](TIdFTP& client) { return client.IsTLSInUse(); }));
    scope.dialogs.openFilesAnswers.push_back({local.file("up.bin")});
    window->bitmap7Click();
    settle(*window);
    ASSERT_TRUE(runUntil([&] {
        return queuesEmpty(*window) && fs::exists(server.root() + "/up.bin") &&
               fs::file_size(server.root() + "/up.bin") == 100000;
    }));
    EXPECT_EQ(sha256OfFile(server.root() + "/up.bin"), sha256OfFile(local.file("up.bin")));
    EXPECT_TRUE(scope.dialogs.Shown().size() == 1) << "no error box";
}

TEST_F(WindowTransfers, ClosingDuringTransfersEndsCleanly) {
    PyFtpdOptions options;
    options.throttle = 1 << 20;
    PyFtpdServer server(options);
    writeRandomFile(server.root() + "/down.bin", 16 << 20, 6);
    writeRandomFile(local.file("up.bin"), 16 << 20, 7);
    auto window = openConnected(server);
    ASSERT_TRUE(window->Session().Connected());
    select(*window->Lumo_listbox3, "down.bin");
    scope.dialogs.folderAnswers.push_back(local.file("into"));
    fs::create_directories(local.file("into"));
    window->bitmap8Click();
    settle(*window);
    scope.dialogs.openFilesAnswers.push_back({local.file("up.bin")});
    window->bitmap7Click();
    settle(*window);
    ASSERT_TRUE(runUntil([&] { return TransferRecords().size() == 2; }));
    QElapsedTimer timer;
    timer.start();
    window->close();
    window.reset();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(fs::exists(local.file("Harbrook.ini"))) << "the settings are still written";
}

}  // namespace
}  // namespace harbrook::testing
