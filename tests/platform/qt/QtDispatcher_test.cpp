#include "platform/qt/QtDispatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <thread>

#include "engine/LumoThread.h"
#include "tests/support/RunUntil.h"

namespace {

TEST(QtDispatcher, PostedCallsRunOnTheGuiThreadInOrder) {
    harbrook::QtDispatcher dispatcher;
    EXPECT_TRUE(dispatcher.OnGuiThread());
    std::vector<int> order;
    std::atomic<bool> offGui{true};
    std::thread poster([&] {
        offGui = !dispatcher.OnGuiThread();
        for (int i = 0; i < 3; ++i) {
            dispatcher.Post([&order, i] { order.push_back(i); });
        }
    });
    poster.join();
    EXPECT_TRUE(offGui);
    EXPECT_TRUE(harbrook::testing::runUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(QtDispatcher, SynchronisedPassRunsOnTheGuiThreadAndTheEndIsPosted) {
    harbrook::QtDispatcher dispatcher;
    TLumo_thread worker(&dispatcher);
    worker.Synchronized = true;
    worker.Interval = 5;
    const std::thread::id gui = std::this_thread::get_id();
    std::thread::id passThread;
    std::thread::id stopThread;
    std::atomic<bool> stopped{false};
    worker.OnExecute = [&](TLumo_thread&, TLumosimplethread&, void*&, int) {
        passThread = std::this_thread::get_id();
    };
    worker.OnStop = [&](TLumo_thread&, TLumosimplethread&, void*&, int) {
        stopThread = std::this_thread::get_id();
        stopped = true;
    };
    ASSERT_TRUE(worker.Start(true, nullptr));
    ASSERT_TRUE(harbrook::testing::runUntil([&] { return stopped.load() && !worker.Running(); }));
    EXPECT_EQ(passThread, gui) << "the pass ran on the GUI thread, not the worker's";
    EXPECT_EQ(stopThread, gui) << "the end was posted to the GUI thread";
}

}  // namespace
