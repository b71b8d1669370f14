#pragma once

#include <QApplication>

#include <functional>

namespace harbrook {

// Runs a slot, timer or event handler body; an error that escapes it goes to the
// application's error box (titled "Harbrook") and the program goes on. An exception
// must never unwind through Qt.
void GuardedCall(const std::function<void()>& body);

// The application object with that guard around the dispatch of every event, so an
// error no handler caught never ends the program.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace harbrook
