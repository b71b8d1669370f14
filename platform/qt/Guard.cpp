#include "platform/qt/Guard.h"

#include <exception>

#include "platform/Dialogs.h"

namespace harbrook {

namespace {

void showEscaped(const std::string& message) {
    try {
        Dialogs().ShowApplicationError(ApplicationErrorText(message));
    } catch (...) {
        // Nothing is left to show the error with; going on is all that remains.
    }
}

}  // namespace

void GuardedCall(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        showEscaped(error.what());
    } catch (...) {
        showEscaped("Unknown error");
    }
}

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    GuardedCall([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace harbrook
