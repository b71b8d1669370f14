// Renders Harbrook's application icon as PNG files of the hicolor sizes, for the
// install: harbrook-icon OUTPUT_FOLDER writes OUTPUT_FOLDER/SIZExSIZE/harbrook.png.

#include <QGuiApplication>

#include <QDir>

#include <cstdlib>

#include "app/ToolPictures.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        return 2;
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString::fromLocal8Bit(argv[1]) + QString("/%1x%1").arg(size);
        QDir().mkpath(folder);
        if (!ApplicationIcon(size).save(folder + "/harbrook.png")) {
            return 1;
        }
    }
    return 0;
}
