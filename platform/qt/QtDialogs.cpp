#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include <tuple>
#include <QStringConverter>

namespace harbrook {

QString DisplayText(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string LocalBytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

namespace {

std::unique_ptr<QMessageBox> makeBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                     const std::string& message, QMessageBox::StandardButtons buttons) {
    auto box = std::make_unique<QMessageBox>(icon, title, DisplayText(message), buttons, parent);
    return box;
}

}  // namespace

std::unique_ptr<QMessageBox> QtDialogs::MakeErrorBox(QWidget* parent, const std::string& message) {
    return makeBox(parent, QMessageBox::Critical, QStringLiteral("Error"), message, QMessageBox::Ok);
}

std::unique_ptr<QMessageBox> QtDialogs::MakeConfirmBox(QWidget* parent, const std::string& message) {
    auto box = makeBox(parent, QMessageBox::Question, QStringLiteral("Confirm"), message,
                       QMessageBox::Yes | QMessageBox::No);
    // Every question guards something that cannot be undone (a delete, quitting with
    // transfers running): Enter and Escape both answer No.
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

std::unique_ptr<QMessageBox> QtDialogs::MakeTrustBox(QWidget* parent, const std::string& title,
                                                     const std::string& message) {
    auto box = makeBox(parent, QMessageBox::Warning, DisplayText(title), message, QMessageBox::NoButton);
    for (auto [text, role, name] : {std::tuple{"Trust always", QMessageBox::AcceptRole, "trustAlways"},
                                    std::tuple{"Trust this time", QMessageBox::YesRole, "trustThisTime"}}) {
        QPushButton* trust = box->addButton(QString::fromUtf8(text), role);
        trust->setObjectName(QString::fromUtf8(name));
        // Enter never trusts, even when the focus landed on one of these (the window
        // manager decides when the box gets it): only a click or Space does.
        trust->setAutoDefault(false);
    }
    QPushButton* cancel = box->addButton(QMessageBox::Cancel);
    cancel->setText(QStringLiteral("Cancel"));
    // Trusting a stranger's certificate must be a deliberate click.
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

std::unique_ptr<QMessageBox> QtDialogs::MakeOverwriteBox(QWidget* parent, const OverwriteQuestion& question) {
    auto box = makeBox(parent, QMessageBox::Question, QStringLiteral("File exists"), question.Message,
                       QMessageBox::NoButton);
    struct Choice {
        const char* text;
        const char* name;
        bool shown;
    };
    for (const Choice& choice : {Choice{"Overwrite", "overwrite", true}, Choice{"Resume", "resume", question.CanResume},
                                 Choice{"Rename", "rename", true}}) {
        if (!choice.shown) {
            continue;
        }
        QPushButton* button = box->addButton(QString::fromUtf8(choice.text), QMessageBox::AcceptRole);
        button->setObjectName(QString::fromUtf8(choice.name));
        // Enter only ever skips: whatever changes a file must be a deliberate click.
        button->setAutoDefault(false);
    }
    QPushButton* skip = box->addButton(QStringLiteral("Skip"), QMessageBox::RejectRole);
    skip->setObjectName(QStringLiteral("skip"));
    box->setDefaultButton(skip);
    box->setEscapeButton(skip);
    auto* forTheRest = new QCheckBox(QStringLiteral("Do the same for the rest of the queue"));
    forTheRest->setObjectName(QStringLiteral("forTheRest"));
    box->setCheckBox(forTheRest);
    return box;
}

OverwriteAnswer QtDialogs::OverwriteAnswerOf(const QMessageBox& box) {
    OverwriteAnswer answer;
    answer.ForTheRest = box.checkBox() != nullptr && box.checkBox()->isChecked();
    const QAbstractButton* clicked = box.clickedButton();
    const QString name = clicked != nullptr ? clicked->objectName() : QString();
    if (name == QStringLiteral("overwrite")) {
        answer.Choice = OverwriteChoice::Overwrite;
    } else if (name == QStringLiteral("resume")) {
        answer.Choice = OverwriteChoice::Resume;
    } else if (name == QStringLiteral("rename")) {
        answer.Choice = OverwriteChoice::Rename;
    } else {
        answer.Choice = OverwriteChoice::Skip;
    }
    return answer;
}

std::unique_ptr<QMessageBox> QtDialogs::MakeApplicationErrorBox(QWidget* parent, const std::string& message) {
    const QString title = QApplication::applicationName().isEmpty() ? QStringLiteral("Harbrook")
                                                                     : QApplication::applicationName();
    return makeBox(parent, QMessageBox::Critical, title, message, QMessageBox::Ok);
}

QStringList QtDialogs::QtFilters(const std::string& filter) {
    QStringList filters;
    const QStringList parts = QString::fromStdString(filter).split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Qt takes a filter's patterns from its last parentheses and matches "*.*" only
        // against names with a dot, where the platform's "*.*" means every file
        // (Makefile, README). Each filter gets its own patterns appended, "*.*" as "*";
        // with the details hidden the dialog shows the description as it is written.
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            if (pattern.trimmed() == QStringLiteral("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(' ') + QStringLiteral(")");
    }
    return filters;
}

std::unique_ptr<QFileDialog> QtDialogs::MakeOpenFilesDialog(QWidget* parent, const OpenFilesRequest& request) {
    auto dialog = std::make_unique<QFileDialog>(parent, DisplayText(request.Title),
                                                DisplayText(request.InitialFolder));
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters(QtFilters(request.Filter));
    dialog->setSizeGripEnabled(true);
    return dialog;
}

std::unique_ptr<QFileDialog> QtDialogs::MakeFolderDialog(QWidget* parent, const TLumoFolderRequest& request) {
    auto dialog = std::make_unique<QFileDialog>(parent, DisplayText(request.Caption),
                                                DisplayText(request.InitialFolder));
    // Files shown too (0x4000) is a look only: the answer is always a folder.
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, (request.Flags & 0x4000) == 0);
    return dialog;
}

void QtDialogs::ShowError(const std::string& message) {
    MakeErrorBox(m_parent, message)->exec();
}

bool QtDialogs::Confirm(const std::string& message) {
    return MakeConfirmBox(m_parent, message)->exec() == QMessageBox::Yes;
}

IDialogs::TrustAnswer QtDialogs::AskTrust(const std::string& title, const std::string& message) {
    auto box = MakeTrustBox(m_parent, title, message);
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    if (clicked != nullptr && clicked->objectName() == QStringLiteral("trustAlways")) {
        return TrustAnswer::Always;
    }
    if (clicked != nullptr && clicked->objectName() == QStringLiteral("trustThisTime")) {
        return TrustAnswer::ThisTime;
    }
    return TrustAnswer::Cancel;
}

void QtDialogs::ShowInformation(const std::string& title, const std::string& message) {
    makeBox(m_parent, QMessageBox::Information, DisplayText(title), message, QMessageBox::Ok)->exec();
}

OverwriteAnswer QtDialogs::AskOverwrite(const OverwriteQuestion& question) {
    auto box = MakeOverwriteBox(m_parent, question);
    box->exec();
    return OverwriteAnswerOf(*box);
}

void QtDialogs::ShowApplicationError(const std::string& message) {
    MakeApplicationErrorBox(m_parent, message)->exec();
}

std::vector<std::string> QtDialogs::OpenFiles(const OpenFilesRequest& request) {
    auto dialog = MakeOpenFilesDialog(m_parent, request);
    std::vector<std::string> files;
    if (dialog->exec() == QDialog::Accepted) {
        for (const QString& file : dialog->selectedFiles()) {
            files.push_back(LocalBytes(QDir::toNativeSeparators(file)));
        }
    }
    return files;
}

std::string QtDialogs::ChooseFolder(const TLumoFolderRequest& request) {
    auto dialog = MakeFolderDialog(m_parent, request);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    return LocalBytes(dialog->selectedFiles().front());
}

std::string QtDialogs::SaveFile(const SaveFileRequest& request) {
    QFileDialog dialog(m_parent, DisplayText(request.Title), DisplayText(request.InitialFolder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtFilters(request.Filter));
    dialog.selectFile(DisplayText(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return LocalBytes(dialog.selectedFiles().front());
}

}  // namespace harbrook
