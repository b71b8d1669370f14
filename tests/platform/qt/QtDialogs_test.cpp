#include "platform/qt/QtDialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>

namespace {

using harbrook::QtDialogs;

TEST(QtDialogs, BoxesHaveTheirTitlesButtonsAndTexts) {
    auto error = QtDialogs::MakeErrorBox(nullptr, "550 No such file.");
    EXPECT_EQ(error->windowTitle(), "Error");
    EXPECT_EQ(error->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
    EXPECT_EQ(error->text(), "550 No such file.");

    auto confirm = QtDialogs::MakeConfirmBox(nullptr, "Delete 2 files(s)?");
    EXPECT_EQ(confirm->windowTitle(), "Confirm");
    EXPECT_EQ(confirm->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(confirm->button(QMessageBox::Yes)->text().remove('&'), "Yes");
    EXPECT_EQ(confirm->button(QMessageBox::No)->text().remove('&'), "No");
    EXPECT_EQ(confirm->defaultButton(), confirm->button(QMessageBox::No));
    EXPECT_EQ(confirm->escapeButton(), confirm->button(QMessageBox::No));

    auto application = QtDialogs::MakeApplicationErrorBox(nullptr, "boom.");
    EXPECT_EQ(application->windowTitle(), "Harbrook");
}

// The overwrite question: Resume only where offered; Escape skips; the answer carries
// the check box; a click on a button answers with it.
TEST(QtDialogs, TheOverwriteQuestion) {
    for (const bool canResume : {false, true}) {
        SCOPED_TRACE(canResume);
        auto box = QtDialogs::MakeOverwriteBox(nullptr, {"The local file \"/a\" already exists.", canResume});
        EXPECT_EQ(box->windowTitle(), "File exists");
        QStringList buttons;
        for (const QAbstractButton* button : box->buttons()) {
            buttons << button->objectName();
        }
        buttons.sort();
        EXPECT_EQ(buttons, canResume ? QStringList({"overwrite", "rename", "resume", "skip"})
                                     : QStringList({"overwrite", "rename", "skip"}));
        EXPECT_EQ(box->defaultButton()->objectName(), "skip");
        EXPECT_EQ(box->escapeButton()->objectName(), "skip");
        ASSERT_NE(box->checkBox(), nullptr);
        EXPECT_EQ(box->checkBox()->text(), "Do the same for the rest of the queue");
        EXPECT_EQ(QtDialogs::OverwriteAnswerOf(*box).Choice, harbrook::OverwriteChoice::Skip) << "closed unanswered";
        box->checkBox()->setChecked(true);
        box->show();
        box->findChild<QPushButton*>(canResume ? "resume" : "rename")->click();
        const harbrook::OverwriteAnswer answer = QtDialogs::OverwriteAnswerOf(*box);
        EXPECT_EQ(answer.Choice, canResume ? harbrook::OverwriteChoice::Resume : harbrook::OverwriteChoice::Rename);
        EXPECT_TRUE(answer.ForTheRest);
    }
}

TEST(QtDialogs, FileAndFolderDialogs) {
    // The description as written, then the patterns Qt matches ("*.*" is every file).
    EXPECT_EQ(QtDialogs::QtFilters("All files (*.*)|*.*"), QStringList{"All files (*.*) (*)"});
    EXPECT_EQ(QtDialogs::QtFilters("Text (*.txt)|*.txt;*.log|All (*)|*"),
              (QStringList{"Text (*.txt) (*.txt *.log)", "All (*) (*)"}));
    harbrook::OpenFilesRequest request;
    request.Title = "Upload File(s)";
    request.InitialFolder = "/tmp";
    request.Filter = "All files (*.*)|*.*";
    auto open = QtDialogs::MakeOpenFilesDialog(nullptr, request);
    EXPECT_EQ(open->windowTitle(), "Upload File(s)");
    EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(open->directory().path(), "/tmp");
    EXPECT_TRUE(open->testOption(QFileDialog::HideNameFilterDetails)) << "shown as \"All files (*.*)\"";

    TLumoFolderRequest folder;
    folder.Caption = "Donwload to Folder";
    folder.InitialFolder = "/tmp";
    folder.Flags = 0x0051;
    auto chooser = QtDialogs::MakeFolderDialog(nullptr, folder);
    EXPECT_EQ(chooser->windowTitle(), "Donwload to Folder");
    EXPECT_EQ(chooser->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(chooser->testOption(QFileDialog::ShowDirsOnly));
}

TEST(QtDialogs, WireTextIsShownAsUtf8OrLatin1) {
    EXPECT_EQ(harbrook::DisplayText("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(harbrook::DisplayText("caf\xe9"), QString::fromLatin1("caf\xe9"));
    EXPECT_EQ(harbrook::LocalBytes(harbrook::DisplayText("/tmp/\xe6\x97\xa5")), "/tmp/\xe6\x97\xa5");
}

}  // namespace
