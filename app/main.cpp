// Harbrook: the desktop FTP client. Program entry: the application, its main window,
// the message loop.

#include <filesystem>

#include "app/TFHarbrook.h"
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
        // 3. The update window, hidden until the about window shows it (FIXME: f_about
        // joins here with the file commands).
        Tf_update f_update(setup.programPath);
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
