// The worker component against a stand-in GUI thread, and the locked string list.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <thread>

#include "engine/LumoThread.h"
#include "tests/support/TestDispatcher.h"

namespace harbrook::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Waits (bounded) until the condition holds.
template <typename Condition>
bool eventually(Condition condition, int ms = 3000) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

TEST(LumoThread, RunOnceThenStopAndIdle) {
    TestDispatcher gui;
    TLumo_thread worker(&gui);
    EXPECT_EQ(worker.Version(), "r1.06");
    EXPECT_GE(worker.Id(), 0);
    EXPECT_LT(worker.Id(), 1000000);
    std::atomic<int> passes{0};
    std::atomic<bool> stopped{false};
    std::thread::id stopThread;
    int seenId = -1;
    void* seenData = nullptr;
    worker.OnExecute = [&](TLumo_thread&, TLumosimplethread&, void*& data, int id) {
        ++passes;
        seenId = id;
        seenData = data;
    };
    worker.OnStop = [&](TLumo_thread&, TLumosimplethread&, void*&, int) {
        stopThread = std::this_thread::get_id();
        stopped = true;
    };
    int payload = 42;
    ASSERT_TRUE(worker.Start(true, &payload));
    EXPECT_TRUE(worker.Running());
    ASSERT_TRUE(eventually([&] { return !worker.Running(); }));
    EXPECT_EQ(passes, 1);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(stopThread, gui.ThreadId()) << "OnStop runs on the GUI thread";
    EXPECT_EQ(seenId, worker.Id());
    EXPECT_EQ(seenData, &payload);
}

TEST(LumoThread, SynchronizedPassesRunOnTheGuiThread) {
    TestDispatcher gui;
    TLumo_thread worker(&gui);
    worker.Synchronized = true;
    worker.Interval = 5;
    std::atomic<int> passes{0};
    std::atomic<bool> offGui{false};
    worker.OnExecute = [&](TLumo_thread&, TLumosimplethread&, void*&, int) {
        if (std::this_thread::get_id() != gui.ThreadId()) {
            offGui = true;
        }
        ++passes;
    };
    ASSERT_TRUE(worker.Start(false, nullptr));
    EXPECT_FALSE(worker.Start(false, nullptr)) << "already running";
    ASSERT_TRUE(eventually([&] { return passes >= 5; }));
    worker.Stop();
    ASSERT_TRUE(eventually([&] { return !worker.Running(); }));
    EXPECT_FALSE(offGui);
}

TEST(LumoThread, StartRightAfterStopWaitsForTheGuiToSeeTheEnd) {
    TestDispatcher gui;
    TLumo_thread worker(&gui);
    worker.Interval = 1;
    worker.OnExecute = [](TLumo_thread&, TLumosimplethread&, void*&, int) {};
    std::latch release(1);
    gui.Post([&] { release.wait(); });  // the GUI thread is busy
    ASSERT_TRUE(worker.Start(false, nullptr));
    worker.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(worker.Running()) << "the end is not seen yet";
    EXPECT_FALSE(worker.Start(false, nullptr)) << "launches nothing";
    worker.Stop();
    release.count_down();
    ASSERT_TRUE(eventually([&] { return !worker.Running(); }));
    EXPECT_TRUE(worker.Start(true, nullptr));
    ASSERT_TRUE(eventually([&] { return !worker.Running(); }));
}

TEST(LumoThread, IntervalZeroStillPauses) {
    TestDispatcher gui;
    TLumo_thread worker(&gui);
    worker.Interval = 0;
    std::atomic<int> passes{0};
    worker.OnExecute = [&](TLumo_thread&, TLumosimplethread&, void*&, int) { ++passes; };
    ASSERT_TRUE(worker.Start(false, nullptr));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    worker.Stop();
    ASSERT_TRUE(eventually([&] { return !worker.Running(); }));
    // About one pass a millisecond: many passes, but not a busy spin.
    EXPECT_GT(passes, 10);
    EXPECT_LT(passes, 1000);
}

TEST(LumoThread, ErrorsInAPass) {
    TestDispatcher gui;
    {
        TLumo_thread handled(&gui);
        std::atomic<int> errors{0};
        std::atomic<int> passes{0};
        handled.OnExecute = [&](TLumo_thread&, TLumosimplethread&, void*&, int) {
            if (++passes <= 2) {
                throw std::runtime_error("pass failed");
            }
        };
        handled.OnException = [&](TLumo_thread&, TLumosimplethread&, const std::exception& e, int) {
            EXPECT_STREQ(e.what(), "pass failed");
            ++errors;
        };
        handled.Interval = 1;
        ASSERT_TRUE(handled.Start(false, nullptr));
        ASSERT_TRUE(eventually([&] { return passes >= 4; }));
        handled.Stop();
        ASSERT_TRUE(eventually([&] { return !handled.Running(); }));
        EXPECT_EQ(errors, 2) << "the loop went on after each";
    }
    {
        TLumo_thread unhandled(&gui);
        std::atomic<bool> stopCalled{false};
        unhandled.OnExecute = [](TLumo_thread&, TLumosimplethread&, void*&, int) {
            throw std::runtime_error("nobody catches this");
        };
        unhandled.OnStop = [&](TLumo_thread&, TLumosimplethread&, void*&, int) { stopCalled = true; };
        ASSERT_TRUE(unhandled.Start(false, nullptr));
        ASSERT_TRUE(eventually([&] { return !unhandled.Running(); }))
            << "an unhandled error returns the component to idle";
        EXPECT_FALSE(stopCalled) << "no OnStop after an error ended the loop";
        EXPECT_TRUE(unhandled.Start(true, nullptr)) << "and it can start again";
        ASSERT_TRUE(eventually([&] { return !unhandled.Running(); }));
    }
}

TEST(LumoThread, DestroyedWhileRunning) {
    TestDispatcher gui;
    for (const bool synchronized : {false, true}) {
        SCOPED_TRACE(synchronized);
        std::atomic<int> passes{0};
        {
            TLumo_thread worker(&gui);
            worker.Synchronized = synchronized;
            worker.Interval = 1;
            worker.OnExecute = [&](TLumo_thread&, TLumosimplethread&, void*&, int) {
                ++passes;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            };
            worker.OnStop = [](TLumo_thread&, TLumosimplethread&, void*&, int) {};
            ASSERT_TRUE(worker.Start(false, nullptr));
            ASSERT_TRUE(eventually([&] { return passes >= 3; }));
        }
        const int after = passes;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(passes, after) << "nothing runs after destruction";
    }
    // Destroyed on the GUI thread itself while its worker waits for a synchronized pass.
    gui.RunAndWait([&] {
        auto worker = std::make_unique<TLumo_thread>(&gui);
        worker->Synchronized = true;
        worker->OnExecute = [](TLumo_thread&, TLumosimplethread&, void*&, int) {};
        ASSERT_TRUE(worker->Start(false, nullptr));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        worker.reset();
    });
}

TEST(SStringlist, Operations) {
    TSStringlist list;
    list.Add("a=1");
    list.Add("b=2");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(0), "a=1");
    EXPECT_EQ(list.Get(1), "b=2");
    // The first index past the end, and the one before the start, are absent too.
    EXPECT_EQ(list.Get(list.Count()), std::nullopt);
    EXPECT_EQ(list.Get(-1), std::nullopt);
    EXPECT_EQ(list.Get(5), std::nullopt);
    list.Delete(0);
    EXPECT_EQ(list.List(), std::vector<std::string>{"b=2"});
    EXPECT_THROW(list.Delete(3), std::out_of_range);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(SStringlist, ManyThreadsAtOnce) {
    TSStringlist list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&list, t] {
            for (int i = 0; i < 5000; ++i) {
                list.Add(std::to_string(t) + "=" + std::to_string(i));
                if (list.Get(0)) {
                    try {
                        list.Delete(0);
                    } catch (const std::out_of_range&) {
                        // Another thread took it first.
                    }
                }
                list.List();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_GE(list.Count(), 0);
}

}  // namespace
}  // namespace harbrook::testing
