#include "app/ApplicationName.h"

#include <QGuiApplication>

void NameApplication() {
    QGuiApplication::setApplicationName(QStringLiteral("Harbrook"));
    QGuiApplication::setDesktopFileName(QStringLiteral("harbrook"));
}
