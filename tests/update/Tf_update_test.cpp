// The update window, shown offscreen against the reference update server; its dialogs
// answered by the scripted dialogs, the installer started for real.

#include "update/Tf_update.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

#include "platform/qt/QtShell.h"
#include "tests/support/RunUntil.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/ScriptedFtpServer.h"
#include "tests/support/TempDir.h"
#include "tests/update/ReferenceServer.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

class UpdateWindow : public ::testing::Test {
protected:
    std::unique_ptr<Tf_update> window(const ReferenceServer& server) {
        writeFile(program.file("harbrook"), "a program without a version stamp");
        auto result = std::make_unique<Tf_update>(program.file("harbrook"));
        result->UpdateHost = "127.0.0.1";
        result->UpdatePort = server.port();
        result->ReadTimeoutMs = 3000;
        result->OnTerminate = [this] { ++terminations; };
        return result;
    }
    // Signs the served installer as a publisher does, with the test key the build trusts.
    void signServed() {
        const std::string sign = std::string(HARBROOK_UPDATE_SERVER_PATH) + " sign " + HARBROOK_UPDATE_TEST_KEY + " " +
                                 served.file("HarbrookInstall.exe") + " >/dev/null";
        ASSERT_EQ(std::system(sign.c_str()), 0);
    }
    std::string log(const Tf_update& window, int row) {
        const QString line = window.Lumo_listbox1->item(row)->text();
        return line.mid(line.indexOf("> ") + 2).toStdString();
    }

    TempDir served;
    TempDir program;
    DialogsScope scope;
    int terminations = 0;
};

TEST_F(UpdateWindow, EachShowingChecksOnce) {
    writeFile(served.file("build.txt"), "0");
    ReferenceServer server(served.path());
    auto update = window(server);
    EXPECT_EQ(update->OwnBuild, 0);
    EXPECT_EQ(update->ProgramFolder, program.path());
    update->show();
    ASSERT_TRUE(runUntil([&] { return update->Checks() == 1 && update->Lumo_progressbar1->Position() == 100; }));
    EXPECT_EQ(update->windowTitle(), "Harbrook Update");
    EXPECT_EQ(log(*update, 0), "No update available") << "the newest line is at the top";
    EXPECT_EQ(log(*update, 1), "Checking updates on 127.0.0.1:4995..");
    EXPECT_EQ(update->Lumo_progressbar1->Caption(), "No Update Available");
    update->FormActivate();
    EXPECT_EQ(update->Checks(), 1) << "activating again does not check again";
    update->hide();
    update->show();
    ASSERT_TRUE(runUntil([&] { return update->Checks() == 2; }));
}

TEST_F(UpdateWindow, DownloadsStartsTheInstallerAndEnds) {
    writeFile(served.file("build.txt"), "5");
    writeFile(served.file("message.txt"), "New!\n");
    const std::string marker = program.file("installer-ran");
    writeFile(served.file("HarbrookInstall.exe"), "#!/bin/sh\ntouch '" + marker + "'\n");
    signServed();
    ReferenceServer server(served.path());
    RecordingShell recorded;
    QtShell real;
    SetShell(&real);
    auto update = window(server);
    scope.dialogs.saveAnswers.push_back(program.file("HarbrookInstall.exe"));
    scope.dialogs.confirmAnswers.push_back(true);
    update->show();
    ASSERT_TRUE(runUntil([&] { return terminations == 1; }));
    EXPECT_EQ(readFile(program.file("HarbrookInstall.exe")), readFile(served.file("HarbrookInstall.exe")));
    EXPECT_TRUE(runUntil([&] { return fs::exists(marker); })) << "the installer was made executable and started";
    const auto shown = scope.dialogs.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "information: Harbrook Update: New!\r");
    EXPECT_EQ(shown[2], "confirm: Do you want to launch downloaded file now?");
    EXPECT_EQ(scope.dialogs.lastSave.FileName, program.path() + "/HarbrookInstall.exe");
    SetShell(nullptr);
}

TEST_F(UpdateWindow, DecliningTheLaunchKeepsTheProgramRunning) {
    writeFile(served.file("build.txt"), "5");
    writeRandomFile(served.file("HarbrookInstall.exe"), 1000, 3);
    signServed();
    ReferenceServer server(served.path());
    auto update = window(server);
    scope.dialogs.saveAnswers.push_back(program.file("HarbrookInstall.exe"));
    scope.dialogs.confirmAnswers.push_back(false);
    update->show();
    ASSERT_TRUE(runUntil([&] { return update->Lumo_progressbar1->Position() == 100; }));
    EXPECT_EQ(terminations, 0);
    EXPECT_EQ(update->Lumo_progressbar1->Max(), 1000);
    // The picture in docs/ (scripts/render-docs sets HARBROOK_DOCS_DIR).
    if (const char* docs = std::getenv("HARBROOK_DOCS_DIR")) {
        QApplication::processEvents();
        EXPECT_TRUE(update->grab().save(QString::fromLocal8Bit(docs) + "/update-window.png"));
    }
    EXPECT_EQ(update->Lumo_progressbar1->Caption(), "Update Downloaded");
}

// A server that trickles the installer: the window takes events as bytes arrive, stays
// closable, and closing it ends the download as a failed one.
TEST_F(UpdateWindow, ATricklingDownloadCanBeClosed) {
    auto exchange = [](const std::string& command, const std::string& argument) {
        return FtpScript().expect("HarbrookUpdate").expect(command).expect(argument);
    };
    ScriptedFtpServer server({exchange("GETMESSAGE", "harbrook").reply("NO"),
                              exchange("GETBUILD", "harbrook").reply("YES").reply("9"),
                              exchange("GETFILE", "HarbrookInstall.exe").reply("YES").reply("100000")
                                  .sendByteByByte(std::string(200, 'x'), 20)});
    writeFile(program.file("harbrook"), "a program without a version stamp");
    Tf_update update(program.file("harbrook"));
    update.UpdateHost = "127.0.0.1";
    update.UpdatePort = server.port();
    update.ReadTimeoutMs = 3000;
    scope.dialogs.saveAnswers.push_back(program.file("HarbrookInstall.exe"));
    // The check runs on the GUI thread; the user's close arrives through its event loop.
    QTimer::singleShot(800, &update, [&update] { update.close(); });
    QElapsedTimer timer;
    timer.start();
    update.show();
    ASSERT_TRUE(runUntil([&] {
        return update.Lumo_listbox1->count() > 0 && log(update, 0) == "Exception while downloading update";
    }));
    EXPECT_LT(timer.elapsed(), 2500) << "closed before the trickle ended or timed out";
    EXPECT_FALSE(fs::exists(program.file("HarbrookInstall.exe"))) << "half an installer is not kept";
}

// Whoever answers on the update port cannot run code here: an installer without the
// built-in key's signature (none, or one for another file) is removed, not started,
// and the user is told; there is no launch question.
TEST_F(UpdateWindow, AnUnsignedInstallerIsNeverStarted) {
    writeFile(served.file("build.txt"), "5");
    const std::string marker = program.file("installer-ran");
    for (const bool otherFilesSignature : {false, true}) {
        SCOPED_TRACE(otherFilesSignature ? "another file's signature" : "no signature");
        if (otherFilesSignature) {
            writeFile(served.file("HarbrookInstall.exe"), "#!/bin/sh\necho harmless\n");
            signServed();
        }
        writeFile(served.file("HarbrookInstall.exe"), "#!/bin/sh\ntouch '" + marker + "'\n");
        ReferenceServer server(served.path());
        QtShell real;
        SetShell(&real);
        auto update = window(server);
        DialogsScope answers;
        answers.dialogs.saveAnswers.push_back(program.file("HarbrookInstall.exe"));
        answers.dialogs.confirmAnswers.push_back(true);
        update->show();
        ASSERT_TRUE(runUntil([&] { return update->Lumo_progressbar1->Caption() == "Update Rejected"; }, 5000));
        EXPECT_EQ(answers.dialogs.Shown().back(),
                  "error: The downloaded update is not signed with Harbrook's key. It was not started.");
        EXPECT_FALSE(fs::exists(program.file("HarbrookInstall.exe")));
        EXPECT_EQ(terminations, 0);
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300) {
            QApplication::processEvents();
        }
        EXPECT_FALSE(fs::exists(marker));
        SetShell(nullptr);
    }
}

}  // namespace
}  // namespace harbrook::testing
