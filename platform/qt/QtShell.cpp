#include "platform/qt/QtShell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
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
    QString text = DisplayText(commandLine).trimmed();
    // The desktop shell opens a bare "www." address as a web address, as the about
    // window's link is written.
    if (text.startsWith(QStringLiteral("www."), Qt::CaseInsensitive) && !text.contains(QChar(' '))) {
        text.prepend(QStringLiteral("http://"));
    }
    const QUrl url(text, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty() && text.contains(QStringLiteral("://"))) {
        // The desktop's own handler first: Qt's lookup of a browser knows only some
        // desktops and gives up without a word elsewhere (a bare window manager).
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty() || !QProcess::startDetached(opener, {url.toString()})) {
            QDesktopServices::openUrl(url);
        }
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
