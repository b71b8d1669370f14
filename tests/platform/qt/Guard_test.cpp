#include "platform/qt/Guard.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <stdexcept>

#include "tests/support/ScriptedDialogs.h"

namespace {

using harbrook::testing::DialogsScope;

class ThrowingObject : public QObject {
protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("Socket Error # 111\r\nConnection refused");
        }
        return QObject::event(event);
    }
};

TEST(Guard, EscapedErrorsReachTheApplicationsBoxAndTheProgramGoesOn) {
    DialogsScope scope;
    harbrook::GuardedCall([] { throw std::runtime_error("Not Connected"); });
    harbrook::GuardedCall([] { throw 42; });
    bool ran = false;
    harbrook::GuardedCall([&] { ran = true; });
    EXPECT_TRUE(ran);

    // An event handler and a timer that throw inside Qt's dispatch.
    ThrowingObject object;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&object, &event);
    bool fired = false;
    QTimer::singleShot(0, [&] {
        fired = true;
        throw std::runtime_error("Transfers are disabled");
    });
    for (int i = 0; i < 20 && !fired; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(scope.dialogs.Shown(),
              (std::vector<std::string>{"application error: Not Connected.",
                                        "application error: Unknown error.",
                                        "application error: Socket Error # 111\r\nConnection refused.",
                                        "application error: Transfers are disabled."}));
}

}  // namespace
