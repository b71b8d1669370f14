#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/Dispatcher.h"

// Runs calls from worker threads on the GUI thread and waits for them (the worker
// component's synchronise call, for the transfer bodies). Closing wakes every waiting
// worker and lets no further call run, so a window that waits for its workers while
// one of them waits for the window never deadlocks.
class GuiThreadCalls {
public:
    explicit GuiThreadCalls(harbrook::IGuiDispatcher& dispatcher);
    ~GuiThreadCalls();

    // True when the call ran to its end (its exception, if any, rethrown here); false
    // when the calls were closed first.
    bool Run(const std::function<void()>& call);
    void Close();
    bool Closed() const;

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        bool closed = false;
    };
    harbrook::IGuiDispatcher& m_dispatcher;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
