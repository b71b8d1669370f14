// The main window on a real X display with a window manager, real message boxes and
// keys and clicks sent through the X server, against pyftpdlib: what offscreen
// stand-ins cannot show (which button a box takes Enter for, whether it fits on the
// screen, the window manager's close button).

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>

#include <filesystem>

#include "app/TFHarbrook.h"
#include "app/Tf_about.h"
#include "engine/FtpTools.h"
#include "engine/QueueEntries.h"
#include "engine/RateLimit.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "tests/app/DisplayTest.h"
#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/ScriptedFtpServer.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

class RealDisplayWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = RealDisplayMissing(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        SetDialogs(&dialogs);
    }
    void TearDown() override {
        if (window) {
            window->CloseWithoutAsking();
            window.reset();
        }
        SetDialogs(nullptr);
    }
    // The window, shown and active, its connection bar filled in.
    void show(std::uint16_t port, const std::string& user, const std::string& password) {
        TFHarbrookSetup setup;
        setup.iniPath = local.file("Harbrook.ini");
        setup.programPath = local.file("Harbrook.ini");
        window = std::make_unique<TFHarbrook>(setup);
        dialogs.SetParent(window.get());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        RunWhileSpinning("xdotool windowactivate --sync " + WindowIdOf(*window));
        ASSERT_TRUE(SpinUntil([&] { return QApplication::activeWindow() == window.get(); }));
        window->host->setText("127.0.0.1");
        window->Lumo_edit2->setText(QString::number(port));
        window->user->setText(QString::fromStdString(user));
        window->pass->setText(QString::fromStdString(password));
    }
    void open(const PyFtpdServer& server, bool connect = true) {
        show(server.port(), server.user(), server.password());
        if (connect) {
            window->bitmap1Click();
            settle(*window);
            ASSERT_TRUE(window->Session().Connected());
        }
    }
    // A click through the X server at the middle of a widget's first row.
    void clickFirstRow(TLumo_listbox& list, bool twice = false) {
        ClickThroughX(*list.viewport(), list.visualItemRect(list.item(0)).center(), twice);
    }

    QtDialogs dialogs;
    TempDir local;
    std::unique_ptr<TFHarbrook> window;
};

// 20,000 files selected with Ctrl+A, Delete pressed, Enter pressed on the box that
// comes: nothing is removed, and the box was on the screen whole.
TEST_F(RealDisplayWindow, EnterOnTheDeleteQuestionForTwentyThousandFilesRemovesNothing) {
    PyFtpdServer server;
    constexpr int kFiles = 20000;
    for (int i = 0; i < kFiles; ++i) {
        writeFile(server.root() + "/file-" + std::to_string(100000 + i) + ".txt", "");
    }
    open(server);
    ASSERT_EQ(window->Lumo_listbox3->count(), kFiles);
    clickFirstRow(*window->Lumo_listbox3);
    ASSERT_TRUE(SpinUntil([&] { return window->Lumo_listbox3->hasFocus(); })) << "the click took the focus";
    RunWhileSpinning("xdotool key --clearmodifiers ctrl+a");
    ASSERT_TRUE(SpinUntil([&] { return window->Lumo_listbox3->SelectedRows().size() == kFiles; }));

    BoxWatcher watcher;
    BoxAnswerer answer("Confirm", "Return", &watcher.seen);
    RunWhileSpinning("xdotool key --clearmodifiers Delete");
    ASSERT_TRUE(answer.finish()) << "no Confirm box took the focus";
    SpinUntil([&] { return QApplication::activeModalWidget() == nullptr; });

    ASSERT_FALSE(watcher.boxes.empty());
    const SeenBox& box = watcher.boxes.back();
    EXPECT_EQ(box.title, "Confirm");
    EXPECT_TRUE(box.text.startsWith("Are you sure to remove files(s)"));
    EXPECT_TRUE(box.text.contains(QString::fromUtf8("\xE2\x80\xA6 and 19985 more")));
    EXPECT_EQ(box.defaultButton, "No");
    const QRect screen(0, 0, RealDisplay::kWidth, RealDisplay::kHeight);
    EXPECT_TRUE(screen.contains(box.frame)) << box.frame.x() << "," << box.frame.y() << " " << box.frame.width()
                                            << "x" << box.frame.height();
    EXPECT_GE(answer.x, 0);
    EXPECT_GE(answer.y, 0);
    EXPECT_LE(answer.x + answer.width, RealDisplay::kWidth);
    EXPECT_LE(answer.y + answer.height, RealDisplay::kHeight);

    EXPECT_EQ(std::distance(fs::directory_iterator(server.root()), fs::directory_iterator()), kFiles)
        << "Enter answered No";
}

// The real question about a self-signed certificate: it takes the focus, fits on the
// screen, and Enter or Escape answer Cancel: no login, no error box after it.
TEST_F(RealDisplayWindow, EnterOrEscapeOnTheCertificateQuestionCancels) {
    PyFtpdOptions options;
    options.tls = true;
    options.certificate = TestCertificate::SelfSigned;
    options.keepLog = true;
    PyFtpdServer server(options);
    open(server, false);
    window->CheckBox1->setChecked(true);
    for (const char* key : {"Return", "Escape"}) {
        SCOPED_TRACE(key);
        BoxWatcher watcher;
        BoxAnswerer answer("Untrusted certificate", key, &watcher.seen);
        window->bitmap1Click();
        ASSERT_TRUE(answer.finish()) << "the question never had the focus";
        settle(*window);
        EXPECT_FALSE(window->Session().Connected());
        ASSERT_EQ(watcher.boxes.size(), 1u) << "nothing after the user's Cancel";
        EXPECT_EQ(watcher.boxes[0].defaultButton, "Cancel");
        EXPECT_TRUE(watcher.boxes[0].text.contains(
            QString::fromStdString(testCertificateFingerprint(TestCertificate::SelfSigned))));
        EXPECT_LE(answer.x + answer.width, RealDisplay::kWidth);
        EXPECT_LE(answer.y + answer.height, RealDisplay::kHeight);
    }
    EXPECT_EQ(server.loginsAccepted(), 0);
}

// The window manager's close with a download running asks; Enter keeps the window
// and the download goes on.
TEST_F(RealDisplayWindow, ClosingWithADownloadRunningAsksAndEnterKeepsIt) {
    PyFtpdOptions options;
    options.throttle = 256 << 10;
    PyFtpdServer server(options);
    writeRandomFile(server.root() + "/big.bin", 4 << 20, 3);
    open(server);
    window->DownloadQueue->Add(DownloadQueueEntry("/", "big.bin", false, local.path()));
    ASSERT_TRUE(SpinUntil([&] { return fs::exists(local.file("big.bin")) && fs::file_size(local.file("big.bin")) > 0; },
                          20000))
        << "the download started";

    BoxWatcher watcher;
    BoxAnswerer answer("Confirm", "Return", &watcher.seen);
    RunWhileSpinning("wmctrl -i -c " + WindowIdOf(*window));
    ASSERT_TRUE(answer.finish()) << "no Confirm box took the focus";
    SpinUntil([&] { return QApplication::activeModalWidget() == nullptr; });

    ASSERT_FALSE(watcher.boxes.empty());
    EXPECT_EQ(watcher.boxes.back().text, "1 transfer is running or waiting. Quit anyway?");
    EXPECT_EQ(watcher.boxes.back().defaultButton, "No");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->DownloadQueue->Count(), 1) << "the download is still there";
    const auto before = fs::file_size(local.file("big.bin"));
    EXPECT_TRUE(SpinUntil([&] { return fs::file_size(local.file("big.bin")) > before; })) << "and still running";
}

// A download onto an existing file asks with the real box from the worker: it takes
// the focus and Enter skips (the file stays as it was); a mouse click on the check box
// and on "Overwrite" answers every later file of the queue with one box.
TEST_F(RealDisplayWindow, TheOverwriteQuestionTakesTheFocusAndEnterSkips) {
    PyFtpdServer server;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
        writeFile(server.root() + "/" + name, std::string("new ") + name);
        writeFile(local.file(name), std::string("old ") + name);
    }
    open(server);
    {
        BoxWatcher watcher;
        BoxAnswerer answer("File exists", "Return", &watcher.seen);
        window->DownloadQueue->Add(DownloadQueueEntry("/", "a.txt", false, local.path()));
        ASSERT_TRUE(answer.finish()) << "the question never had the focus";
        ASSERT_TRUE(SpinUntil([&] { return window->DownloadQueue->Count() == 0; }));
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(watcher.boxes[0].defaultButton, "Skip");
        EXPECT_TRUE(watcher.boxes[0].text.startsWith("The local file \"" + QString::fromStdString(local.file("a.txt"))))
            << watcher.boxes[0].text.toStdString();
        EXPECT_LE(answer.x + answer.width, RealDisplay::kWidth);
        EXPECT_LE(answer.y + answer.height, RealDisplay::kHeight);
        EXPECT_EQ(readFile(local.file("a.txt")), "old a.txt");
    }
    BoxWatcher watcher;
    BoxClicker click("File exists", {"forTheRest", "overwrite"});
    for (const char* name : {"b.txt", "c.txt", "d.txt"}) {
        window->DownloadQueue->Add(DownloadQueueEntry("/", name, false, local.path()));
    }
    ASSERT_TRUE(click.finish()) << "the box or its buttons never came";
    ASSERT_TRUE(SpinUntil([&] { return window->DownloadQueue->Count() == 0; }));
    EXPECT_EQ(watcher.boxes.size(), 1u) << "one answer for the rest";
    for (const char* name : {"b.txt", "c.txt", "d.txt"}) {
        EXPECT_EQ(readFile(local.file(name)), std::string("new ") + name);
    }
}

// View with a link planted under the name View once used in the shared temporary
// folder: the link and what it points at stay as they were, and the real box tells
// where the file went when no program opens it.
TEST_F(RealDisplayWindow, ViewNeverFollowsALinkPlantedInTheTemporaryFolder) {
    PyFtpdServer server;
    writeFile(server.root() + "/readme.txt", "remote text");
    writeFile(local.file("victim"), "mine");
    const std::string planted = GetTempFolder() + "readme.txt";
    std::error_code ignored;
    fs::remove(planted, ignored);
    fs::create_symlink(local.file("victim"), planted);
    RecordingShell shell;
    shell.opens = false;
    SetShell(&shell);
    open(server);
    window->Lumo_listbox3->setCurrentRow(0);

    BoxWatcher watcher;
    BoxAnswerer answer("Harbrook", "Return", &watcher.seen);
    window->Lumo_statebmp2Click();
    settle(*window);
    ASSERT_TRUE(answer.finish());
    SetShell(nullptr);

    EXPECT_EQ(readFile(local.file("victim")), "mine");
    EXPECT_TRUE(fs::is_symlink(planted));
    fs::remove(planted, ignored);
    ASSERT_EQ(shell.opened.size(), 1u);
    ASSERT_FALSE(watcher.boxes.empty());
    EXPECT_EQ(watcher.boxes.back().text.toStdString(),
              "No program is set up to open readme.txt; it was saved as " + shell.opened.back() + ".");
    EXPECT_EQ(readFile(shell.opened.back()), "remote text");
}


// The real upload dialog lists every file, those without a dot too, under the filter
// text "All files (*.*)".
TEST_F(RealDisplayWindow, TheUploadDialogListsFilesWithoutADot) {
    PyFtpdServer server;
    fs::create_directories(local.file("pick"));
    for (const char* name : {"Makefile", "README", "a.txt"}) {
        writeFile(local.file(std::string("pick/") + name), name);
    }
    open(server);
    window->LastUploadFolder = local.file("pick");
    QStringList listed;
    QString filterShown;
    std::atomic<bool> seen{false};
    QTimer look;
    look.setInterval(50);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* model = dialog != nullptr ? dialog->findChild<QFileSystemModel*>() : nullptr;
        if (model == nullptr) {
            return;
        }
        const QModelIndex folder = model->index(QString::fromStdString(local.file("pick")));
        QStringList names;
        for (int row = 0; row < model->rowCount(folder); ++row) {
            names << model->index(row, 0, folder).data().toString();
        }
        names.sort();
        listed = names;
        seen = names.size() >= 3;
        if (auto* filters = dialog->findChild<QComboBox*>("fileTypeCombo")) {
            filterShown = filters->currentText();
        }
    });
    look.start();
    BoxAnswerer cancel("Upload File(s)", "Escape", &seen);
    // The answerer waits for the dialog to hold the focus; the listing is read meanwhile.
    window->bitmap7Click();
    settle(*window);
    ASSERT_TRUE(cancel.finish()) << "the upload dialog never took the focus";
    EXPECT_EQ(listed, (QStringList{"Makefile", "README", "a.txt"}));
    EXPECT_EQ(filterShown, "All files (*.*)");
}

// The caption the window manager shows is the program's own, with nothing appended.
TEST_F(RealDisplayWindow, TheCaptionIsExactlyTheProgramsOwn) {
    PyFtpdServer server;
    open(server);
    const std::string expected = window->CaptionFor(local.file("Harbrook.ini"));
    EXPECT_EQ(window->windowTitle().toStdString(), expected);
    EXPECT_EQ(RunWhileSpinning("xdotool getwindowname " + WindowIdOf(*window)), expected + "\n");
}

// A click on the about window's address reaches the desktop's URL handler (xdg-open;
// here a stand-in first in PATH that notes what it was given).
TEST_F(RealDisplayWindow, TheAboutWindowsAddressGoesToXdgOpen) {
    const std::string bin = local.file("bin");
    fs::create_directories(bin);
    writeFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + local.file("opened") + "'\n");
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    QtShell shell;
    SetShell(&shell);
    Tf_about about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    RunWhileSpinning("xdotool windowactivate --sync " + WindowIdOf(about));
    ClickThroughX(*about.Lumo_label1, QPoint(20, about.Lumo_label1->height() / 2));
    const bool opened = SpinUntil([&] { return fs::exists(local.file("opened")) && fs::file_size(local.file("opened")) > 0; });
    ::setenv("PATH", oldPath.c_str(), 1);
    SetShell(nullptr);
    ASSERT_TRUE(opened) << "xdg-open was never started";
    EXPECT_EQ(readFile(local.file("opened")), "http://www.harbrook.example");
}

// The name field with a refused name: the real error box takes the focus, and once it
// is answered the field is still open with its text; a click on a tool button leaves
// it open too.
TEST_F(RealDisplayWindow, TheNameFieldStaysOpenThroughARefusalAndAToolClick) {
    PyFtpdServer server;
    fs::create_directories(server.root() + "/taken");
    open(server);
    auto clickOn = [&](QWidget& widget) { ClickThroughX(widget, widget.rect().center()); };
    clickOn(*window->bitmap5);
    ASSERT_TRUE(SpinUntil([&] { return window->Lumo_edit1->isVisible() && window->Lumo_edit1->hasFocus(); }));
    clickOn(*window->Lumo_statebmp1);  // about: nothing here, as ShowAbout is not set
    QTest::qWait(200);
    EXPECT_TRUE(window->Lumo_edit1->isVisible()) << "a tool button's click closed the field";
    RunWhileSpinning("xdotool type --delay 10 taken");
    ASSERT_TRUE(SpinUntil([&] { return window->Lumo_edit1->text() == "taken"; }));
    BoxWatcher watcher;
    BoxAnswerer answer("Error", "Return", &watcher.seen);
    RunWhileSpinning("xdotool key --clearmodifiers Return");
    ASSERT_TRUE(answer.finish()) << "no error box took the focus";
    SpinUntil([&] { return QApplication::activeModalWidget() == nullptr; });
    ASSERT_FALSE(watcher.boxes.empty());
    EXPECT_EQ(watcher.boxes.back().title, "Error");
    EXPECT_TRUE(watcher.boxes.back().text.startsWith("File exists")) << watcher.boxes.back().text.toStdString();
    EXPECT_TRUE(window->Lumo_edit1->isVisible());
    EXPECT_EQ(window->Lumo_edit1->text(), "taken");
    EXPECT_TRUE(SpinUntil([&] { return window->Lumo_edit1->hasFocus(); }, 3000)) << "the field has the focus back";
}

// The speed limit boxes of the status row, as a user sets them: a click into the box,
// the old text selected and replaced, Tab to the next box; the limit holds at once.
TEST_F(RealDisplayWindow, ASpeedLimitIsTypedIntoItsBoxAndTabMovesOn) {
    PyFtpdServer server;
    open(server, false);
    ClickThroughX(*window->DownloadLimit, window->DownloadLimit->rect().center());
    ASSERT_TRUE(SpinUntil([&] { return window->DownloadLimit->hasFocus(); })) << "the click gave the box the focus";
    RunWhileSpinning("xdotool key --clearmodifiers ctrl+a");
    RunWhileSpinning("xdotool type --delay 10 500");
    RunWhileSpinning("xdotool key --clearmodifiers Tab");
    ASSERT_TRUE(SpinUntil([&] { return window->UploadLimit->hasFocus(); })) << "Tab goes to the upload limit";
    EXPECT_EQ(window->DownloadLimit->value(), 500);
    EXPECT_EQ(window->DownloadLimit->text(), "500 KiB/s");
    EXPECT_EQ(DownloadRateLimit().Rate(), 500 * 1024);
    EXPECT_EQ(window->UploadLimit->text(), "no limit");
    window->DownloadLimit->setValue(0);
    EXPECT_EQ(DownloadRateLimit().Rate(), 0);
}

// A real double click (press, release, press, release) on a folder without sub-folders:
// the folder is entered and its first file is marked, with the focus in the file list.
TEST_F(RealDisplayWindow, ADoubleClickIntoAFolderOfFilesMarksItsFirstFile) {
    PyFtpdServer server;
    fs::create_directories(server.root() + "/flat");
    writeFile(server.root() + "/flat/first.txt", "1");
    writeFile(server.root() + "/flat/second.txt", "2");
    open(server);
    ASSERT_EQ(window->Lumo_listbox1->count(), 1);
    clickFirstRow(*window->Lumo_listbox1, true);
    ASSERT_TRUE(SpinUntil([&] { return window->CurrentFolder() == "/flat"; })) << window->CurrentFolder();
    QTest::qWait(300);  // the last release has come and gone
    ASSERT_EQ(window->Lumo_listbox3->count(), 2);
    EXPECT_TRUE(window->Lumo_listbox3->item(0)->isSelected());
    EXPECT_TRUE(window->Lumo_listbox3->hasFocus());
}

// A listing that never comes: the window takes real clicks meanwhile, and Escape sent
// through the X server cancels it wherever the focus went (the folder list a click
// chose, then the connection bar).
TEST_F(RealDisplayWindow, EscapeCancelsAStalledListingWhereverTheFocusIs) {
    ScriptedFtpServer server(std::vector<FtpScript>{stalledListing("/pub"), stalledListing("/pub")});
    show(server.port(), "u", "p");
    for (const bool inTheList : {true, false}) {
        SCOPED_TRACE(inTheList ? "focus in the folder list" : "focus in the host field");
        ClickThroughX(*window->bitmap1, window->bitmap1->rect().center());
        ASSERT_TRUE(SpinUntil([&] { return window->Label8->text().startsWith("Listing /pub"); }))
            << window->Label8->text().toStdString();
        if (inTheList) {
            ClickThroughX(*window->Lumo_listbox1->viewport(), QPoint(20, 20));
            ASSERT_TRUE(SpinUntil([&] { return window->Lumo_listbox1->hasFocus(); })) << "the click was taken";
        } else {
            ClickThroughX(*window->host, QPoint(10, 5));
            ASSERT_TRUE(SpinUntil([&] { return window->host->hasFocus(); }));
        }
        ASSERT_TRUE(window->Session().Busy());
        RunWhileSpinning("xdotool key --clearmodifiers Escape");
        EXPECT_TRUE(SpinUntil([&] { return !window->Session().Busy(); }, 2000)) << "Escape cancelled it";
        EXPECT_EQ(window->Label8->text(), "Cancelled");
        EXPECT_EQ(window->CurrentFolder(), "/pub") << "Escape did not go back a folder as well";
        // The cancelled session would reconnect on the next command; start afresh.
        window->Disconnect();
        settle(*window);
    }
}

}  // namespace
}  // namespace harbrook::testing
