#include "platform/qt/QtShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "platform/qt/QtDialogs.h"

namespace harbrook {

bool QtShell::OpenDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(DisplayText(path)));
}

void QtShell::StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
    QStringList list;
    for (const std::string& argument : arguments) {
        list << DisplayText(argument);
    }
    QProcess::startDetached(DisplayText(program), list);
}

void QtShell::StartCommandLine(const std::string& commandLine) {
    const QString text = DisplayText(commandLine).trimmed();
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty() && text.contains(QStringLiteral("://"))) {
        QDesktopServices::openUrl(url);
        return;
    }
    QStringList words = QProcess::splitCommand(text);
    if (words.isEmpty()) {
        return;
    }
    const QString program = words.takeFirst();
    QProcess::startDetached(program, words);
}

}  // namespace harbrook
