// Another thread ends a thread's network waits: socket waits, a slow resolver, and the
// GUI calls a closing window lets go.

#include "platform/Interrupt.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/GuiCalls.h"
#include "platform/SocketAddress.h"
#include "platform/SocketErrors.h"
#include "tests/support/TestDispatcher.h"

namespace harbrook {
namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Raises `interrupter` from another thread after `ms`.
std::thread raiseLater(TInterrupter& interrupter, int ms) {
    return std::thread([&interrupter, ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        interrupter.Raise();
    });
}

TEST(Interrupt, RaisingEndsASocketWaitAtOnceAndResetEndsTheRaise) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    TInterrupter interrupter;
    const ScopedInterrupter scope(interrupter);
    std::thread raiser = raiseLater(interrupter, 100);
    const auto start = Clock::now();
    EXPECT_THROW(static_cast<void>(waitForSocket(pair[0], POLLIN, 20000)), EInterrupted);
    EXPECT_LT(msSince(start), 2000);
    raiser.join();
    EXPECT_TRUE(interrupter.Raised());
    EXPECT_THROW(CheckInterrupted(), EInterrupted) << "raised until reset";
    interrupter.Reset();
    EXPECT_FALSE(interrupter.Raised());
    EXPECT_FALSE(waitForSocket(pair[0], POLLIN, 20)) << "an ordinary time-out again";
    ASSERT_EQ(::write(pair[1], "x", 1), 1);
    EXPECT_TRUE(waitForSocket(pair[0], POLLIN, 1000));
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST(Interrupt, OnlyTheThreadWithTheInterrupterIsStopped) {
    TInterrupter interrupter;
    interrupter.Raise();
    EXPECT_NO_THROW(CheckInterrupted()) << "this thread has none";
    {
        const ScopedInterrupter scope(interrupter);
        EXPECT_THROW(CheckInterrupted(), EInterrupted);
        TInterrupter inner;
        {
            const ScopedInterrupter nested(inner);
            EXPECT_NO_THROW(CheckInterrupted());
        }
        EXPECT_EQ(ThreadInterrupter(), &interrupter) << "the outer one is back";
    }
    EXPECT_EQ(ThreadInterrupter(), nullptr);
}

int slowLookup(const std::string&, std::uint16_t, int, SocketAddress&) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    return kHostNotFoundError;
}

// A resolver that takes its time (30 s for a broken DNS): the caller is let go at once.
TEST(Interrupt, ASlowHostLookupIsLeftBehind) {
    SetHostLookup(&slowLookup);
    TInterrupter interrupter;
    const ScopedInterrupter scope(interrupter);
    std::thread raiser = raiseLater(interrupter, 100);
    const auto start = Clock::now();
    SocketAddress address;
    EXPECT_THROW(static_cast<void>(resolveAddress("slow.example", 21, AF_INET, address)), EInterrupted);
    EXPECT_LT(msSince(start), 1000);
    raiser.join();
    interrupter.Reset();
    EXPECT_EQ(resolveAddress("127.0.0.1", 21, AF_INET, address), 0) << "literals are never looked up";
    SetHostLookup(nullptr);
    // The abandoned lookup ends on its own thread; give it the time before the process
    // goes on with other tests.
    std::this_thread::sleep_for(std::chrono::seconds(3));
}

TEST(GuiCalls, RunWaitsForTheCallAndCarriesItsError) {
    testing::TestDispatcher gui;
    TGuiCalls calls(gui);
    bool onGui = false;
    EXPECT_TRUE(calls.Run([&] { onGui = gui.OnGuiThread(); }));
    EXPECT_TRUE(onGui);
    EXPECT_THROW(calls.Run([] { throw std::runtime_error("box failed"); }), std::runtime_error);
    // On the GUI thread itself a call runs at once.
    gui.RunAndWait([&] { EXPECT_TRUE(calls.Run([] {})); });
}

TEST(GuiCalls, CloseLetsAWaitingCallerGoAndRunsNothingQueued) {
    testing::TestDispatcher gui;
    TGuiCalls calls(gui);
    // The GUI thread is busy (a modal box, say) while a worker queues a call.
    std::atomic<bool> release{false};
    gui.Post([&] {
        while (!release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::atomic<bool> ran{false};
    bool answered = true;
    std::thread worker([&] { answered = calls.Run([&] { ran = true; }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    calls.Close();
    worker.join();
    EXPECT_FALSE(answered) << "the caller was let go";
    release = true;
    gui.RunAndWait([] {});
    EXPECT_FALSE(ran) << "a queued call never runs once closed";
    EXPECT_FALSE(calls.Run([] {}));
}

}  // namespace
}  // namespace harbrook
