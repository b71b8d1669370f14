// The main of the real-display tests: Xvfb with openbox started first, then the
// guarded application on the xcb platform (on offscreen when no display could be
// started, where every test skips with the reason).

#include <gtest/gtest.h>

#include <QLocale>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/ApplicationName.h"
#include "platform/qt/Fonts.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDispatcher.h"
#include "tests/app/DisplayTest.h"

namespace harbrook::testing {

namespace {
RealDisplay* g_display = nullptr;
}  // namespace

RealDisplay* TheRealDisplay() {
    return g_display;
}

}  // namespace harbrook::testing

int main(int argc, char** argv) {
    bool listingOnly = false;
    for (int i = 1; i < argc; ++i) {
        listingOnly = listingOnly || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    }
    // Listing the tests needs no display.
    std::unique_ptr<harbrook::testing::RealDisplay> display;
    if (!listingOnly) {
        display = std::make_unique<harbrook::testing::RealDisplay>();
    }
    const bool real = display != nullptr && display->unavailableReason().empty();
    setenv("QT_QPA_PLATFORM", real ? "xcb" : "offscreen", 1);
    harbrook::testing::g_display = display.get();
    int result = 0;
    {
        // The application goes before the display it is connected to.
        harbrook::GuardedApplication application(argc, argv);
        // Named as the program names itself: what a window manager shows depends on it.
        NameApplication();
        harbrook::LoadTahoma();
        harbrook::QtDispatcher dispatcher;
        harbrook::SetGuiDispatcher(&dispatcher);
        QLocale::setDefault(QLocale::c());
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
        harbrook::SetGuiDispatcher(nullptr);
    }
    display.reset();
    return result;
}
