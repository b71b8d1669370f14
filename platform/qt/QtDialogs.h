#pragma once

#include <memory>

#include <QFileDialog>
#include <QMessageBox>

#include "platform/Dialogs.h"

class QWidget;

namespace harbrook {

// The real boxes and dialogs, modal over the parent window.
class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    void ShowError(const std::string& message) override;
    bool Confirm(const std::string& message) override;
    TrustAnswer AskTrust(const std::string& title, const std::string& message) override;
    void ShowInformation(const std::string& title, const std::string& message) override;
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override;
    void ShowApplicationError(const std::string& message) override;
    std::vector<std::string> OpenFiles(const OpenFilesRequest& request) override;
    std::string ChooseFolder(const TLumoFolderRequest& request) override;
    std::string SaveFile(const SaveFileRequest& request) override;

    // The boxes and dialogs as they are shown, for tests that look without showing.
    static std::unique_ptr<QMessageBox> MakeErrorBox(QWidget* parent, const std::string& message);
    static std::unique_ptr<QMessageBox> MakeConfirmBox(QWidget* parent, const std::string& message);
    // The buttons are named "Trust always", "Trust this time" and "Cancel".
    static std::unique_ptr<QMessageBox> MakeTrustBox(QWidget* parent, const std::string& title,
                                                     const std::string& message);
    // The buttons are named "overwrite", "resume" (when offered), "rename" and "skip",
    // the check box "forTheRest".
    static std::unique_ptr<QMessageBox> MakeOverwriteBox(QWidget* parent, const OverwriteQuestion& question);
    // What the closed box answers (Escape or closing it: Skip).
    static OverwriteAnswer OverwriteAnswerOf(const QMessageBox& box);
    static std::unique_ptr<QMessageBox> MakeApplicationErrorBox(QWidget* parent, const std::string& message);
    static std::unique_ptr<QFileDialog> MakeOpenFilesDialog(QWidget* parent, const OpenFilesRequest& request);
    static std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const TLumoFolderRequest& request);
    // "All files (*.*)|*.*" -> "All files (*.*)", as Qt writes filters.
    static QStringList QtFilters(const std::string& filter);

private:
    QWidget* m_parent;
};

// Wire text (bytes) shown in the GUI: UTF-8 when it is, Latin-1 otherwise.
QString DisplayText(const std::string& bytes);
// A path or text from the GUI as the bytes the file system and servers use.
std::string LocalBytes(const QString& text);

}  // namespace harbrook
