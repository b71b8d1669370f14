// The file commands of the main window (rename, create folder, delete, view, dropped
// files) and the about window, against pyftpdlib.

#include "app/TFHarbrook.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <filesystem>

#include "app/Tf_about.h"
#include "engine/FtpTools.h"
#include "engine/QueueEntries.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/app/WindowTestSupport.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        server = std::make_unique<PyFtpdServer>();
    }
    std::unique_ptr<TFHarbrook> open() {
        TFHarbrookSetup setup;
        setup.iniPath = local.file("Harbrook.ini");
        setup.programPath = local.file("Harbrook.ini");
        auto window = std::make_unique<TFHarbrook>(setup);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->host->setText("127.0.0.1");
        window->Lumo_edit2->setText(QString::number(server->port()));
        window->user->setText(QString::fromStdString(server->user()));
        window->pass->setText(QString::fromStdString(server->password()));
        window->bitmap1Click();
        settle(*window);
        window->UploadThread->Stop();
        window->DownloadThread->Stop();
        return window;
    }
    int rowOf(const TLumo_listbox& list, const std::string& name) {
        for (int row = 0; row < list.count(); ++row) {
            if (TFHarbrook::RowName(list, row) == name) {
                return row;
            }
        }
        return -1;
    }
    void typeName(TFHarbrook& window, const QString& text) {
        window.Lumo_edit1->setText(text);
        QTest::keyClick(window.Lumo_edit1, Qt::Key_Return);
        settle(window);
    }

    std::unique_ptr<PyFtpdServer> server;
    TempDir local;
    DialogsScope scope;
};

TEST_F(FileCommands, CreateAndRenameThroughTheNameField) {
    fs::create_directories(server->root() + "/existing");
    writeFile(server->root() + "/file.txt", "f");
    auto window = open();
    QTest::mouseClick(window->bitmap5, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    settle(*window);
    EXPECT_TRUE(window->Lumo_edit1->isVisible());
    EXPECT_EQ(window->PendingNameAction, "MKDIR");
    typeName(*window, "new folder");
    EXPECT_TRUE(fs::is_directory(server->root() + "/new folder"));
    EXPECT_TRUE(window->Lumo_listbox1->item(rowOf(*window->Lumo_listbox1, "new folder"))->isSelected());
    EXPECT_FALSE(window->Lumo_edit1->isVisible()) << "the list took the focus; the field closed";

    // An empty name goes to the server as typed; its refusal is shown, the field stays.
    window->bitmap5Click();
    settle(*window);
    typeName(*window, "");
    ASSERT_FALSE(scope.dialogs.Shown().empty());
    EXPECT_EQ(scope.dialogs.Shown().back().rfind("error: ", 0), 0u);
    EXPECT_TRUE(window->Lumo_edit1->isVisible());

    // A folder marked, then a file clicked: the file is renamed.
    window->Lumo_listbox1->setCurrentRow(rowOf(*window->Lumo_listbox1, "existing"));
    window->Lumo_listbox3->setCurrentRow(rowOf(*window->Lumo_listbox3, "file.txt"));
    window->Lumo_listbox3Click();
    window->bitmap4Click();
    settle(*window);
    EXPECT_EQ(window->Lumo_edit1->text(), "file.txt");
    typeName(*window, "renamed.txt");
    EXPECT_TRUE(fs::exists(server->root() + "/renamed.txt"));
    EXPECT_TRUE(fs::is_directory(server->root() + "/existing"));

    // A folder renamed onto a file's name: the refusal is shown, the field stays open.
    window->Lumo_listbox1->setCurrentRow(rowOf(*window->Lumo_listbox1, "existing"));
    window->bitmap4Click();
    settle(*window);
    const std::size_t before = scope.dialogs.Shown().size();
    typeName(*window, "renamed.txt");
    EXPECT_EQ(scope.dialogs.Shown().size(), before + 1);
    EXPECT_TRUE(window->Lumo_edit1->isVisible());
}

// Escape in the name field cancels what it was opened for: nothing reaches the server,
// the field closes and the first row is marked.
TEST_F(FileCommands, EscapeInTheNameFieldCancels) {
    fs::create_directories(server->root() + "/first");
    writeFile(server->root() + "/file.txt", "f");
    auto window = open();
    for (const bool rename : {false, true}) {
        SCOPED_TRACE(rename ? "rename" : "new folder");
        if (rename) {
            window->Lumo_listbox3->setCurrentRow(rowOf(*window->Lumo_listbox3, "file.txt"));
            window->Lumo_listbox3Click();
            window->bitmap4Click();
        } else {
            window->bitmap5Click();
        }
        settle(*window);
        ASSERT_TRUE(window->Lumo_edit1->isVisible());
        window->Lumo_edit1->setText("typed");
        QTest::keyClick(window->Lumo_edit1, Qt::Key_Escape);
        settle(*window);
        EXPECT_FALSE(window->Lumo_edit1->isVisible());
        EXPECT_FALSE(fs::exists(server->root() + "/typed")) << "no MKD, no RNFR";
        EXPECT_TRUE(fs::exists(server->root() + "/file.txt"));
        EXPECT_EQ(window->Lumo_listbox1->ItemIndex(), 0) << "the first row is marked";
        EXPECT_TRUE(window->Lumo_listbox1->IsSelected(0));
    }
}

// F5 in a list lists anew and then puts its row back, with the focus in the list.
TEST_F(FileCommands, F5KeepsTheRowAndTheFocus) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
        writeFile(server->root() + "/" + name, name);
    }
    auto window = open();
    TLumo_listbox& files = *window->Lumo_listbox3;
    files.setFocus();
    files.setCurrentRow(2, QItemSelectionModel::ClearAndSelect);
    writeFile(server->root() + "/e.txt", "new since");
    QTest::keyClick(&files, Qt::Key_F5);
    settle(*window);
    EXPECT_EQ(rowOf(files, "e.txt"), 4) << "listed anew";
    EXPECT_EQ(files.ItemIndex(), 2);
    EXPECT_EQ(TFHarbrook::RowName(files, files.ItemIndex()), "c.txt");
    EXPECT_EQ(QApplication::focusWidget(), &files);
}

// Names holding "|" and "||" (the rows' own separator) go to the server whole.
TEST_F(FileCommands, NamesWithBarsTravelWhole) {
    writeFile(server->root() + "/a|b.txt", "one bar");
    writeFile(server->root() + "/p||q.txt", "two bars");
    auto window = open();
    ASSERT_GE(rowOf(*window->Lumo_listbox3, "a|b.txt"), 0);
    ASSERT_GE(rowOf(*window->Lumo_listbox3, "p||q.txt"), 0);
    window->Lumo_listbox3->setCurrentRow(rowOf(*window->Lumo_listbox3, "a|b.txt"));
    window->Lumo_listbox3Click();
    window->bitmap4Click();
    settle(*window);
    EXPECT_EQ(window->Lumo_edit1->text(), "a|b.txt");
    typeName(*window, "renamed.txt");
    EXPECT_EQ(readFile(server->root() + "/renamed.txt"), "one bar") << "RNFR took the whole name";
    scope.dialogs.confirmAnswers.push_back(true);
    window->Lumo_listbox3->item(rowOf(*window->Lumo_listbox3, "p||q.txt"))->setSelected(true);
    window->bitmap6Click();
    settle(*window);
    EXPECT_EQ(scope.dialogs.Shown().back(), "confirm: Are you sure to remove files(s)\r\rp||q.txt\n");
    EXPECT_FALSE(fs::exists(server->root() + "/p||q.txt")) << "DELE took the whole name";
}

// Every command from the keyboard: the buttons take the focus in the tab order and
// Enter runs the focused one; every button has its tool tip.
TEST_F(FileCommands, ToolButtonsWorkFromTheKeyboard) {
    auto window = open();
    for (TLumo_statebmp* button : {window->bitmap1, window->Lumo_statebmp1, window->bitmap7, window->bitmap8,
                                   window->Lumo_statebmp3, window->bitmap2, window->bitmap3, window->bitmap5,
                                   window->Lumo_statebmp2, window->bitmap4, window->bitmap6}) {
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_EQ(button->focusPolicy(), Qt::TabFocus) << "reached by Tab; a click leaves the focus";
    }
    window->bitmap5->setFocus();
    settle(*window);
    QTest::keyClick(window->bitmap5, Qt::Key_Return);
    settle(*window);
    EXPECT_EQ(window->PendingNameAction, "MKDIR");
    EXPECT_TRUE(window->Lumo_edit1->isVisible());
    window->host->setFocus();
    QTest::keyClick(window->host, Qt::Key_Tab);
    settle(*window);
    EXPECT_EQ(QApplication::focusWidget(), window->Lumo_edit2) << "host, then port";
}

TEST_F(FileCommands, DeleteAsksFirstAndTakesFoldersBeforeFiles) {
    fs::create_directories(server->root() + "/tree/inner");
    writeFile(server->root() + "/tree/inner/x", "x");
    fs::create_directories(server->root() + "/other");
    writeFile(server->root() + "/a.txt", "a");
    auto window = open();
    window->Lumo_listbox1->item(rowOf(*window->Lumo_listbox1, "tree"))->setSelected(true);
    window->Lumo_listbox1->item(rowOf(*window->Lumo_listbox1, "other"))->setSelected(true);
    window->Lumo_listbox3->item(rowOf(*window->Lumo_listbox3, "a.txt"))->setSelected(true);
    window->bitmap6Click();
    settle(*window);
    EXPECT_EQ(scope.dialogs.Shown().back(),
              "confirm: Are you sure to remove folder(s)\r\rother\ntree\n"
              "\rEverything inside these folders is removed as well.\n");
    EXPECT_TRUE(fs::exists(server->root() + "/tree")) << "No removes nothing";
    scope.dialogs.confirmAnswers.push_back(true);
    window->Lumo_listbox1->item(rowOf(*window->Lumo_listbox1, "tree"))->setSelected(true);
    window->Lumo_listbox1->item(rowOf(*window->Lumo_listbox1, "other"))->setSelected(true);
    window->Lumo_listbox3->item(rowOf(*window->Lumo_listbox3, "a.txt"))->setSelected(true);
    window->bitmap6Click();
    settle(*window);
    EXPECT_FALSE(fs::exists(server->root() + "/tree"));
    EXPECT_FALSE(fs::exists(server->root() + "/other"));
    EXPECT_TRUE(fs::exists(server->root() + "/a.txt")) << "files are left when folders are selected";
    scope.dialogs.confirmAnswers.push_back(true);
    window->Lumo_listbox3->item(rowOf(*window->Lumo_listbox3, "a.txt"))->setSelected(true);
    QTest::keyClick(window->Lumo_listbox3, Qt::Key_Delete);
    settle(*window);
    EXPECT_EQ(scope.dialogs.Shown().back(), "confirm: Are you sure to remove files(s)\r\ra.txt\n");
    EXPECT_FALSE(fs::exists(server->root() + "/a.txt"));
}

TEST_F(FileCommands, ViewSmallTextFiles) {
    for (const char* name : {"readme.txt", "README.TXT", "run.bat", "notes.log"}) {
        writeFile(server->root() + "/" + name, name);
    }
    writeFile(server->root() + "/ok.html", std::string(64000, 'h'));
    writeFile(server->root() + "/big.html", std::string(64001, 'h'));
    RecordingShell shell;
    SetShell(&shell);
    auto window = open();
    window->Lumo_listbox3->SetItemIndex(-1);
    window->Lumo_statebmp2Click();
    settle(*window);
    ASSERT_FALSE(scope.dialogs.Shown().empty());
    EXPECT_EQ(scope.dialogs.Shown().back(), "error: No file selected.");
    const struct {
        const char* name;
        const char* error;
    } rows[] = {{"readme.txt", nullptr},
                {"README.TXT", nullptr},
                {"run.bat", nullptr},
                {"ok.html", nullptr},
                {"notes.log", "error: Only text files can be viewed"},
                {"big.html", "error: Can only view files smaller than 64k"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window->Lumo_listbox3->setCurrentRow(rowOf(*window->Lumo_listbox3, row.name));
        const std::size_t opened = shell.opened.size();
        window->Lumo_statebmp2Click();
        settle(*window);
        if (row.error != nullptr) {
            EXPECT_EQ(scope.dialogs.Shown().back(), row.error);
            EXPECT_EQ(shell.opened.size(), opened);
        } else {
            ASSERT_EQ(shell.opened.size(), opened + 1);
            const fs::path file = shell.opened.back();
            EXPECT_EQ(file.filename(), row.name);
            EXPECT_EQ(file.parent_path().filename().string().rfind("harbrook-view-", 0), 0u) << file;
            EXPECT_EQ(readFile(file), readFile(server->root() + "/" + row.name));
            EXPECT_EQ(fs::status(file.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
            EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write);
        }
    }
    const fs::path viewFolder = fs::path(shell.opened.back()).parent_path();
    window.reset();
    EXPECT_FALSE(fs::exists(viewFolder)) << "the view folder goes with the window";
    SetShell(nullptr);
}

// Another user plants the name View once used in the shared temporary folder as a
// link to a file of ours: the view never goes near it.
TEST_F(FileCommands, ViewIgnoresNamesPlantedInTheSharedTemporaryFolder) {
    writeFile(server->root() + "/readme.txt", "remote text");
    writeFile(local.file("victim"), "mine");
    const std::string planted = AddTrailingBackslash(GetTempFolder()) + "readme.txt";
    std::error_code ignored;
    fs::remove(planted, ignored);
    fs::create_symlink(local.file("victim"), planted);
    RecordingShell shell;
    shell.opens = false;
    SetShell(&shell);
    auto window = open();
    window->Lumo_listbox3->setCurrentRow(rowOf(*window->Lumo_listbox3, "readme.txt"));
    window->Lumo_statebmp2Click();
    settle(*window);
    EXPECT_EQ(readFile(local.file("victim")), "mine");
    EXPECT_TRUE(fs::is_symlink(planted));
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_NE(shell.opened.back(), planted);
    EXPECT_EQ(readFile(shell.opened.back()), "remote text");
    EXPECT_EQ(scope.dialogs.Shown().back(), "information: Harbrook: No program is set up to open readme.txt; it was saved as " +
                                                shell.opened.back() + ".");
    fs::remove(planted, ignored);
    SetShell(nullptr);
}

TEST_F(FileCommands, DeletingManyItemsAsksABoxThatFitsTheScreen) {
    for (int i = 0; i < 20; ++i) {
        writeFile(server->root() + "/f" + std::to_string(100 + i), "x");
    }
    auto window = open();
    for (int row = 0; row < window->Lumo_listbox3->count(); ++row) {
        window->Lumo_listbox3->item(row)->setSelected(true);
    }
    QTest::keyClick(window->Lumo_listbox3, Qt::Key_Delete);
    settle(*window);
    const std::string asked = scope.dialogs.Shown().back();
    EXPECT_NE(asked.find("f114\n"), std::string::npos);
    EXPECT_EQ(asked.find("f115"), std::string::npos);
    EXPECT_NE(asked.find("\xE2\x80\xA6 and 5 more\n"), std::string::npos) << asked;
    EXPECT_EQ(std::distance(fs::directory_iterator(server->root()), fs::directory_iterator()), 20)
        << "No (the answer without a queued Yes) removes nothing";
}

TEST_F(FileCommands, ClosingWithTransfersWaitingAsksFirst) {
    auto window = open();
    window->DownloadQueue->Add(DownloadQueueEntry("/", "a.bin", false, local.path()));
    window->DownloadQueue->Add(DownloadQueueEntry("/", "b.bin", false, local.path()));
    EXPECT_FALSE(window->close()) << "No keeps the window";
    EXPECT_EQ(scope.dialogs.Shown().back(), "confirm: 2 transfers are running or waiting. Quit anyway?");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->DownloadQueue->Count(), 2);
    scope.dialogs.confirmAnswers.push_back(true);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
}

// The place for viewed files cannot be made (a temporary folder at the path length
// limit): the command ends with the error and opens nothing.
TEST_F(FileCommands, ViewEndsWhenItsFolderCannotBeMade) {
    writeFile(server->root() + "/readme.txt", "remote text");
    std::string deep = local.path();
    while (deep.size() < 4080) {
        deep += "/" + std::string(std::min<std::size_t>(200, 4084 - deep.size()), 'd');
    }
    fs::create_directories(deep);
    const char* oldRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = oldRuntime != nullptr ? oldRuntime : "";
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", deep.c_str(), 1);
    RecordingShell shell;
    SetShell(&shell);
    auto window = open();
    window->Lumo_listbox3->setCurrentRow(rowOf(*window->Lumo_listbox3, "readme.txt"));
    window->Lumo_statebmp2Click();
    settle(*window);
    oldRuntime != nullptr ? ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    oldTmp != nullptr ? ::setenv("TMPDIR", savedTmp.c_str(), 1) : ::unsetenv("TMPDIR");
    SetShell(nullptr);
    EXPECT_TRUE(shell.opened.empty());
    ASSERT_FALSE(scope.dialogs.Shown().empty());
    EXPECT_EQ(scope.dialogs.Shown().back().rfind("error: Cannot make a folder for viewing files in ", 0), 0u)
        << scope.dialogs.Shown().back();
}

TEST_F(FileCommands, ListsAreSortedWithoutRegardToCase) {
    for (const char* name : {"README", "Zeta", "apple", "banana"}) {
        writeFile(server->root() + "/" + name, name);
        fs::create_directories(server->root() + "/dir-" + std::string(name));
    }
    auto window = open();
    auto names = [](const TLumo_listbox& list) {
        std::vector<std::string> shown;
        for (int row = 0; row < list.count(); ++row) {
            shown.push_back(TFHarbrook::RowName(list, row));
        }
        return shown;
    };
    EXPECT_EQ(names(*window->Lumo_listbox3), (std::vector<std::string>{"apple", "banana", "README", "Zeta"}));
    EXPECT_EQ(names(*window->Lumo_listbox1),
              (std::vector<std::string>{"dir-apple", "dir-banana", "dir-README", "dir-Zeta"}));
}

// The window's keys work wherever the focus is, but where a text field gives a key
// its own meaning.
TEST_F(FileCommands, WindowKeysWorkWhereverTheFocusIs) {
    fs::create_directories(server->root() + "/sub");
    auto window = open();
    window->ChangeFolder("/sub");
    settle(*window);
    window->RefreshListing(true);
    settle(*window);
    ASSERT_EQ(window->CurrentFolder(), "/sub");
    ASSERT_EQ(window->Lumo_listbox3->count(), 0) << "an empty folder";
    writeFile(server->root() + "/sub/new.txt", "n");
    window->host->setFocus();
    QTest::keyClick(window->host, Qt::Key_F5);
    settle(*window);
    EXPECT_EQ(window->Lumo_listbox3->count(), 1) << "F5 in the host field reloads";
    window->Lumo_edit2->setFocus();
    QTest::keyClick(window->Lumo_edit2, Qt::Key_Escape);
    settle(*window);
    EXPECT_EQ(window->CurrentFolder(), "/") << "Escape in the port field goes back";

    window->Lumo_edit2->setText("2121");
    window->Lumo_edit2->setFocus();
    QTest::keyClick(window->Lumo_edit2, Qt::Key_A, Qt::ControlModifier);
    settle(*window);
    EXPECT_EQ(window->Lumo_edit2->selectedText(), "2121") << "Ctrl+A selects the port";
    QTest::keyClick(window->Lumo_edit2, Qt::Key_V, Qt::ControlModifier);
    settle(*window);
    EXPECT_EQ(window->Lumo_edit2->text(), "2121") << "pasting into a number field stays refused";

    window->bitmap1Click();
    settle(*window);
    ASSERT_FALSE(window->Session().Connected());
    window->Lumo_edit2->setText(QString::number(server->port()));
    window->pass->setFocus();
    QTest::keyClick(window->pass, Qt::Key_Return);
    settle(*window);
    EXPECT_TRUE(window->Session().Connected()) << "Enter in the password field connects";
    window->pass->setFocus();
    QTest::keyClick(window->pass, Qt::Key_Return);
    settle(*window);
    EXPECT_TRUE(window->Session().Connected()) << "and never disconnects";

    // Escape in the name field closes the field and goes nowhere.
    window->ChangeFolder("/sub");
    settle(*window);
    window->RefreshListing(true);
    settle(*window);
    window->bitmap5Click();
    settle(*window);
    QTest::keyClick(window->Lumo_edit1, Qt::Key_Escape);
    settle(*window);
    EXPECT_EQ(window->CurrentFolder(), "/sub");
}

TEST_F(FileCommands, TheListWithTheFocusShowsItsCurrentRow) {
    writeFile(server->root() + "/a.txt", "a");
    writeFile(server->root() + "/b.txt", "b");
    auto window = open();
    TLumo_listbox& list = *window->Lumo_listbox3;
    list.setFocus();
    list.setCurrentRow(1);
    ASSERT_TRUE(list.hasFocus());
    const QRect row = list.visualItemRect(list.item(1));
    const QImage image = list.viewport()->grab().toImage();
    int dotted = 0;
    for (int x = row.left(); x < row.right(); ++x) {
        dotted += image.pixelColor(x, row.top()) == QColor(0x80, 0x80, 0x80) ? 1 : 0;
    }
    EXPECT_GT(dotted, row.width() / 4) << "a dotted frame along the current row";
}

// After entering a folder or going back, the marked row is the current row: Enter acts
// on the row the user sees highlighted.
TEST_F(FileCommands, TheMarkedRowIsTheCurrentRow) {
    for (const char* folder : {"a", "b", "pub", "pub/inner"}) {
        fs::create_directories(server->root() + "/" + folder);
    }
    auto window = open();
    TLumo_listbox& folders = *window->Lumo_listbox1;
    ASSERT_EQ(TFHarbrook::RowName(folders, folders.currentRow()), "a") << "the first folder, marked and current";
    folders.setCurrentRow(rowOf(folders, "pub"));
    QTest::keyClick(&folders, Qt::Key_Return);
    settle(*window);
    ASSERT_EQ(window->CurrentFolder(), "/pub");
    EXPECT_EQ(TFHarbrook::RowName(folders, folders.currentRow()), "inner");
    QTest::keyClick(&folders, Qt::Key_Escape);
    settle(*window);
    ASSERT_EQ(window->CurrentFolder(), "/");
    ASSERT_GE(folders.currentRow(), 0);
    EXPECT_EQ(TFHarbrook::RowName(folders, folders.currentRow()), "pub") << "back marks where we came from";
    EXPECT_TRUE(folders.item(folders.currentRow())->isSelected());
    EXPECT_EQ(folders.SelectedRows().size(), 1u);
    QTest::keyClick(&folders, Qt::Key_Return);
    settle(*window);
    EXPECT_EQ(window->CurrentFolder(), "/pub") << "Enter entered the marked folder";
}

// A file chosen by the arrow keys is chosen as by a click: the folder list lets go, so
// Rename acts on the file.
TEST_F(FileCommands, ChoosingAFileByKeysClearsTheFolderList) {
    fs::create_directories(server->root() + "/folder");
    writeFile(server->root() + "/one.txt", "1");
    writeFile(server->root() + "/two.txt", "2");
    auto window = open();
    TLumo_listbox& folders = *window->Lumo_listbox1;
    TLumo_listbox& files = *window->Lumo_listbox3;
    QTest::mouseClick(folders.viewport(), Qt::LeftButton, Qt::NoModifier,
                      folders.visualItemRect(folders.item(0)).center());
    settle(*window);
    ASSERT_EQ(folders.currentRow(), 0);
    files.setFocus();
    files.setCurrentRow(0, QItemSelectionModel::NoUpdate);
    QTest::keyClick(&files, Qt::Key_Down);
    settle(*window);
    EXPECT_EQ(TFHarbrook::RowName(files, files.currentRow()), "two.txt");
    EXPECT_EQ(folders.currentRow(), -1);
    EXPECT_TRUE(folders.SelectedRows().empty());
    window->bitmap4Click();
    settle(*window);
    typeName(*window, "renamed.txt");
    EXPECT_TRUE(fs::exists(server->root() + "/renamed.txt"));
    EXPECT_TRUE(fs::exists(server->root() + "/folder")) << "the folder was left alone";
}

// A server that goes away is shown: "Disconnected: <reason>" and empty panes.
TEST_F(FileCommands, ALostConnectionIsShown) {
    fs::create_directories(server->root() + "/folder");
    writeFile(server->root() + "/file.txt", "f");
    auto window = open();
    ASSERT_EQ(window->Label8->text(), "Passive Connection");
    ASSERT_GT(window->Lumo_listbox3->count(), 0);
    server->stop();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Label8->text().startsWith("Disconnected: "); }, 5000))
        << window->Label8->text().toStdString();
    EXPECT_EQ(window->Lumo_listbox1->count(), 0);
    EXPECT_EQ(window->Lumo_listbox3->count(), 0);
    EXPECT_FALSE(window->Session().Connected());
    EXPECT_EQ(window->bitmap7->State(), sbDown) << "tool buttons down";
}

TEST_F(FileCommands, DroppedPathsAreQueuedWhole) {
    fs::create_directories(server->root() + "/in");
    auto window = open();
    window->ChangeFolder("/in");
    settle(*window);
    const std::string longName = local.file(std::string(300, 'n'));
    window->WMDropFiles({local.file("folder"), local.file("a=b.txt"), longName});
    settle(*window);
    EXPECT_EQ(window->UploadQueue->List(),
              (std::vector<std::string>{UploadQueueEntry(local.file("folder"), "/in"),
                                        UploadQueueEntry(local.file("a=b.txt"), "/in"),
                                        UploadQueueEntry(longName, "/in")}))
        << "paths longer than 254 characters are taken whole";
    window->bitmap1Click();
    settle(*window);
    EXPECT_THROW(window->WMDropFiles({local.file("x")}), std::exception) << "the application's box shows it";
    EXPECT_EQ(window->UploadQueue->Count(), 3);
}

// With the Tahoma the windows are designed in, their texts fit at the design sizes:
// the about text at 16 pixels, a date with its seconds in the Date column's 100.
TEST(AboutWindow, TextsFitInTahomaAtTheirDesignSizes) {
    if (!fs::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        GTEST_SKIP() << "no Tahoma with Tahoma's metrics here (Debian's fonts-wine)";
    }
    TempDir dir;
    TFHarbrookSetup setup;
    setup.iniPath = dir.file("Harbrook.ini");
    setup.programPath = dir.file("Harbrook.ini");
    TFHarbrook window(setup);
    const QFont rows = window.Lumo_listbox3->Font().Font;
    EXPECT_EQ(QFontInfo(rows).family(), "Tahoma");
    EXPECT_EQ(rows.pixelSize(), 11);
    EXPECT_LT(QFontMetrics(rows).horizontalAdvance(QStringLiteral("12/09/26 14:26:52")) + 4, 100);
    Tf_about about;
    EXPECT_EQ(about.Label2->font().pixelSize(), 16) << "the text did not have to shrink";
}

TEST(AboutWindow, LooksAndButtons) {
    DialogsScope scope;
    RecordingShell shell;
    SetShell(&shell);
    Tf_about about;
    EXPECT_EQ(about.windowTitle(), "About Harbrook");
    EXPECT_EQ(about.size(), QSize(543, 266));
    EXPECT_EQ(about.Lumo_gradient1->GradientStyle(), gsBottomToTop);
    EXPECT_EQ(about.Lumo_label1->GotoUrl, "www.harbrook.example");
    EXPECT_EQ(about.Lumo_statebmp1->toolTip(), "Check for Update");
    int updates = 0;
    about.ShowUpdate = [&] { ++updates; };
    about.Lumo_statebmp1->OnClick(*about.Lumo_statebmp1);
    EXPECT_EQ(updates, 1);
    about.Lumo_label1->Click();
    EXPECT_EQ(shell.commandLines, std::vector<std::string>{"www.harbrook.example"});
    SetShell(nullptr);
    // The picture in docs/ (scripts/render-docs sets HARBROOK_DOCS_DIR).
    if (const char* docs = std::getenv("HARBROOK_DOCS_DIR")) {
        about.show();
        QApplication::processEvents();
        EXPECT_TRUE(about.grab().save(QString::fromLocal8Bit(docs) + "/about-window.png"));
    }
}

}  // namespace
}  // namespace harbrook::testing
