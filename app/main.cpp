// Harbrook: the desktop FTP client. Program entry: the application, its main window,
// the message loop.

#include <signal.h>
#include <unistd.h>

#include <QIcon>
#include <QPixmap>
#include <QSocketNotifier>
#include <QTimer>

#include <filesystem>

#include "app/ApplicationName.h"
#include "app/TFHarbrook.h"
#include "app/Tf_about.h"
#include "app/ToolPictures.h"
#include "engine/FtpUrl.h"
#include "update/Tf_update.h"
#include "platform/ProfileFile.h"
#include "platform/qt/Fonts.h"
#include "platform/qt/Guard.h"
#include "platform/qt/KeychainPasswords.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/qt/QtShell.h"

namespace {

int g_terminateWrite = -1;

// A request to end (SIGTERM at logout, SIGINT in a terminal) closes the window the
// normal way, so the settings are written; the handler only wakes the event loop.
void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_terminateWrite, &byte, 1);
}

// An installed program (PREFIX/bin beside PREFIX/share/applications/harbrook.desktop)
// keeps its settings in the user's configuration folder, never beside the program.
bool isInstalled(const std::filesystem::path& programFolder) {
    std::error_code error;
    return programFolder.filename() == "bin" &&
           std::filesystem::exists(programFolder.parent_path() / "share/applications/harbrook.desktop", error);
}

}  // namespace

int main(int argc, char** argv) {
    // 1. The application object, titled "Harbrook" (the title of uncaught-error boxes),
    // with the guard around every event so no error ends the program.
    harbrook::GuardedApplication application(argc, argv);
    NameApplication();
    harbrook::LoadTahoma();
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
    setup.iniPath = harbrook::SettingsFilePath(isInstalled(programFolder) ? std::string() : programFolder,
                                               "Harbrook.ini");
    // Passwords rest in the desktop's keyring where one answers.
    harbrook::TKeychainPasswords keyring;
    setup.passwords = &keyring;
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
        FHarbrook.setWindowIcon(QIcon(QPixmap::fromImage(ApplicationIcon(256))));
        int terminate[2];
        if (::pipe(terminate) == 0) {
            g_terminateWrite = terminate[1];
            ::signal(SIGTERM, onTerminate);
            ::signal(SIGINT, onTerminate);
        }
        QSocketNotifier terminateRequest(terminate[0], QSocketNotifier::Read);
        QObject::connect(&terminateRequest, &QSocketNotifier::activated, &FHarbrook, [&FHarbrook] {
            // The system or the user's terminal asked the program to end: no question.
            FHarbrook.CloseWithoutAsking();
        });
        FHarbrook.show();
        // An ftp:// or ftps:// address given by a browser or file manager opens at once.
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() > 1 && LooksLikeFtpUrl(harbrook::LocalBytes(arguments[1]))) {
            const std::string address = harbrook::LocalBytes(arguments[1]);
            QTimer::singleShot(0, &FHarbrook, [&FHarbrook, address] { FHarbrook.OpenAddress(address); });
        }
        // 4. The message loop until the main window closes.
        result = QApplication::exec();
        dialogs.SetParent(nullptr);
    }
    harbrook::SetDialogs(nullptr);
    harbrook::SetShell(nullptr);
    harbrook::SetGuiDispatcher(nullptr);
    return result;
}
