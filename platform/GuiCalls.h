#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/Dispatcher.h"

namespace harbrook {

// Runs calls from other threads on the GUI thread and waits for them: the one way the
// transfer workers, the worker component and the remote session reach the window (an
// error box, a question, the snapshot of a setting). A call that has begun is waited
// for, since it uses the caller's frame; Close lets no queued call run any more and
// wakes every caller still waiting for one, so a window that waits for its threads
// while one of them waits for the window never deadlocks.
class TGuiCalls {
public:
    explicit TGuiCalls(IGuiDispatcher& dispatcher);
    // Closes, and waits for a call that is running (unless on the GUI thread itself).
    ~TGuiCalls();
    TGuiCalls(const TGuiCalls&) = delete;
    TGuiCalls& operator=(const TGuiCalls&) = delete;

    // True when the call ran to its end (its exception, if any, rethrown here); false
    // when the calls were closed before it began. On the GUI thread it runs at once.
    bool Run(const std::function<void()>& call);
    // No further call runs; callers waiting for a queued one return false.
    void Close();
    bool Closed() const;
    // Waits until no call is running on the GUI thread (a no-op on the GUI thread).
    void WaitForRunningCalls();
    IGuiDispatcher& Dispatcher() const { return m_dispatcher; }

private:
    struct State;
    IGuiDispatcher& m_dispatcher;
    std::shared_ptr<State> m_state;
};

}  // namespace harbrook
