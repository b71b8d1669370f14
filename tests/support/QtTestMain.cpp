// The main of the Qt test programs: the offscreen platform, the guarded application
// titled "Harbrook", the Qt dispatcher installed, and a locale with a point as decimal
// separator.

#include <gtest/gtest.h>

#include "platform/qt/Fonts.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDispatcher.h"

#include <QLocale>

#include <cstdlib>

int main(int argc, char** argv) {
    // Tests never need a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    harbrook::GuardedApplication application(argc, argv);
    application.setApplicationName("Harbrook");
    // Laid out in the face the program uses.
    harbrook::LoadTahoma();
    harbrook::QtDispatcher dispatcher;
    harbrook::SetGuiDispatcher(&dispatcher);
    // Number texts in the tests use a point as decimal separator.
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
