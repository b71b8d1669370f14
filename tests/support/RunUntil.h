#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace harbrook::testing {

// Lets the GUI thread's event loop run until `done` or `ms` passed; returns `done()`.
template <typename Done>
bool runUntil(Done done, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

}  // namespace harbrook::testing
