// The main window as a program of its own, for tests that kill it (SIGKILL) in the
// middle of its transfers and start it again: it connects to the server it is given,
// optionally queues downloads, and ends (status 0) once both queues are done and saved.
//
//   window_runner CONFIG_FOLDER PORT USER PASSWORD [REMOTE_FOLDER LOCAL_FOLDER NAME...]
//
// Dialogs are answered by the scripted double (existing targets are overwritten) and
// written to stderr; status 3 when the queues did not finish within 60 s.

#include <QLocale>

#include <cstdlib>
#include <iostream>
#include <string>

#include "app/TFHarbrook.h"
#include "engine/QueueEntries.h"
#include "platform/qt/Fonts.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDispatcher.h"
#include "tests/support/RunUntil.h"
#include "tests/support/ScriptedDialogs.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    harbrook::GuardedApplication application(argc, argv);
    application.setApplicationName("Harbrook");
    harbrook::QtDispatcher dispatcher;
    harbrook::SetGuiDispatcher(&dispatcher);
    QLocale::setDefault(QLocale::c());
    if (argc < 5) {
        std::cerr << "usage: window_runner CONFIG_FOLDER PORT USER PASSWORD [REMOTE LOCAL NAME...]\n";
        return 2;
    }
    const std::string config = argv[1];
    harbrook::testing::ScriptedDialogs dialogs;
    harbrook::SetDialogs(&dialogs);
    int status = 3;
    {
        TFHarbrookSetup setup;
        setup.iniPath = config + "/Harbrook.ini";
        setup.programPath = setup.iniPath;
        TFHarbrook window(setup);
        window.show();
        window.host->setText("127.0.0.1");
        window.Lumo_edit2->setText(QString::fromUtf8(argv[2]));
        window.user->setText(QString::fromUtf8(argv[3]));
        window.pass->setText(QString::fromUtf8(argv[4]));
        window.bitmap1Click();
        using harbrook::testing::runUntil;
        if (runUntil([&] { return window.Session().Connected() && !window.Session().Busy(); })) {
            for (int i = 7; i < argc && argc >= 7; ++i) {
                window.DownloadQueue->Add(DownloadQueueEntry(argv[5], argv[i], false, argv[6]), window.Session().Site());
            }
            std::cout << "QUEUED" << std::endl;
            if (runUntil([&] { return window.UploadQueue->Count() == 0 && window.DownloadQueue->Count() == 0; },
                         60000)) {
                status = 0;
            }
        }
        window.Timer2Timer();
        window.CloseWithoutAsking();
    }
    for (const std::string& shown : dialogs.Shown()) {
        std::cerr << shown << "\n";
    }
    harbrook::SetDialogs(nullptr);
    return status;
}
