// The update window on a real display: drawn before its check holds the program, and a
// restore after minimising starts no second check.

#include <gtest/gtest.h>

#include <QTest>

#include "platform/qt/QtDialogs.h"
#include "tests/app/DisplayTest.h"
#include "tests/support/TempDir.h"
#include "tests/update/ReferenceServer.h"
#include "update/Tf_update.h"

namespace harbrook::testing {
namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

class RealDisplayUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = RealDisplayMissing(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        SetDialogs(&dialogs);
        writeFile(program.file("harbrook"), "a program without a version stamp");
    }
    void TearDown() override { SetDialogs(nullptr); }
    std::unique_ptr<Tf_update> window(const ReferenceServer& server) {
        auto result = std::make_unique<Tf_update>(program.file("harbrook"));
        result->UpdateHost = "127.0.0.1";
        result->UpdatePort = server.port();
        result->ReadTimeoutMs = 3000;
        dialogs.SetParent(result.get());
        return result;
    }
    QtDialogs dialogs;
    TempDir served;
    TempDir program;
};

TEST_F(RealDisplayUpdate, TheWindowIsDrawnBeforeTheMessageBoxComes) {
    writeFile(served.file("message.txt"), "Harbrook 2 is out.\n");
    writeFile(served.file("build.txt"), "0");
    ReferenceServer server(served.path());
    auto update = window(server);
    PaintCounter counter;
    update->installEventFilter(&counter);
    int paintsWhenTheBoxCame = -1;
    bool exposedWhenTheBoxCame = false;
    // The box is titled like the window: the keys wait until the box is really up.
    std::atomic<bool> boxUp{false};
    QTimer look;
    look.setInterval(20);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (paintsWhenTheBoxCame < 0 && qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr) {
            paintsWhenTheBoxCame = counter.paints;
            exposedWhenTheBoxCame = update->windowHandle() != nullptr && update->windowHandle()->isExposed();
        }
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            box != nullptr && box->isActiveWindow()) {
            boxUp = true;
        }
    });
    look.start();
    BoxAnswerer answer("Harbrook Update", "Return", &boxUp);
    update->show();
    ASSERT_TRUE(answer.finish()) << "the message box never took the focus";
    EXPECT_TRUE(exposedWhenTheBoxCame);
    EXPECT_GT(paintsWhenTheBoxCame, 0) << "the window was drawn before the box came";
    update->close();
}

TEST_F(RealDisplayUpdate, ARestoreAfterMinimisingStartsNoSecondCheck) {
    writeFile(served.file("build.txt"), "0");
    ReferenceServer server(served.path());
    auto update = window(server);
    update->show();
    ASSERT_TRUE(SpinUntil([&] { return update->Checks() == 1 && update->Lumo_progressbar1->Position() == 100; }))
        << update->Checks() << " checks, at " << static_cast<double>(update->Lumo_progressbar1->Position()) << ", "
        << (update->Lumo_listbox1->count() > 0 ? update->Lumo_listbox1->item(0)->text().toStdString() : "");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(update.get()));
    RunWhileSpinning("xdotool windowminimize --sync " + WindowIdOf(*update));
    ASSERT_TRUE(SpinUntil([&] { return update->isMinimized(); }, 5000));
    RunWhileSpinning("xdotool windowactivate --sync " + WindowIdOf(*update));
    ASSERT_TRUE(SpinUntil([&] { return !update->isMinimized() && update->isActiveWindow(); }, 5000));
    QTest::qWait(500);
    EXPECT_EQ(update->Checks(), 1) << "the restore checked again";
    update->close();
}

}  // namespace
}  // namespace harbrook::testing
