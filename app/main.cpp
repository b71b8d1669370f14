// Harbrook: the desktop FTP client. Program entry: the application, its main window,
// the message loop.

#include <filesystem>

#include "app/TFHarbrook.h"
#include "app/Tf_about.h"
#include "update/Tf_update.h"
#include "platform/ProfileFile.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/qt/QtShell.h"

int main(int argc, char** argv) {
    // 1. The application object, titled "Harbrook" (the title of uncaught-error boxes),
    // with the guard around every event so no error ends the program.
    harbrook::GuardedApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Harbrook"));
    QApplication::setApplicationDisplayName(QStringLiteral("Harbrook"));
    harbrook::QtDispatcher dispatcher;
    harbrook::SetGuiDispatcher(&dispatcher);
    harbrook::QtDialogs dialogs;
    harbrook::SetDialogs(&dialogs);
    harbrook::QtShell shell;
    harbrook::SetShell(&shell);

    // 2. The main window.
    TFHarbrookSetup setup;
    setup.programPath = TLumo_files::ProgramPath();
    const std::string programFolder = std::filesystem::path(setup.programPath).parent_path().string();
    setup.iniPath = harbrook::SettingsFilePath(programFolder, "Harbrook.ini");
    int result = 0;
    {
        TFHarbrook FHarbrook(setup);
        dialogs.SetParent(&FHarbrook);
        // 3. The about window and the update window, hidden until shown modally.
        Tf_about f_about(&FHarbrook);
        Tf_update f_update(setup.programPath);
        f_update.setWindowModality(Qt::ApplicationModal);
        FHarbrook.ShowAbout = [&f_about] { f_about.exec(); };
        f_about.ShowUpdate = [&f_update] {
            f_update.show();
            while (f_update.isVisible()) {
                QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            }
        };
        FHarbrook.show();
        // 4. The message loop until the main window closes.
        result = QApplication::exec();
        dialogs.SetParent(nullptr);
    }
    harbrook::SetDialogs(nullptr);
    harbrook::SetShell(nullptr);
    harbrook::SetGuiDispatcher(nullptr);
    return result;
}
