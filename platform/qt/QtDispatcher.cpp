#include "platform/qt/QtDispatcher.h"

#include <QCoreApplication>
#include <QThread>

#include "platform/qt/Guard.h"

namespace harbrook {

void QtDispatcher::Post(std::function<void()> call) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        // The application is gone (shutting down): nothing runs any more.
        return;
    }
    QMetaObject::invokeMethod(
        application, [call = std::move(call)] { GuardedCall(call); }, Qt::QueuedConnection);
}

bool QtDispatcher::OnGuiThread() const {
    const QCoreApplication* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

}  // namespace harbrook
