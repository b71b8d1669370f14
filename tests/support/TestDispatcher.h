#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/Dispatcher.h"

namespace harbrook::testing {

// A stand-in GUI thread: posted calls run in order on a thread of its own.
class TestDispatcher : public IGuiDispatcher {
public:
    TestDispatcher();
    ~TestDispatcher() override;

    void Post(std::function<void()> call) override;
    bool OnGuiThread() const override { return std::this_thread::get_id() == m_thread.get_id(); }
    std::thread::id ThreadId() const { return m_thread.get_id(); }
    // Runs `call` on the GUI thread and waits for it.
    void RunAndWait(const std::function<void()>& call);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_calls;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace harbrook::testing
