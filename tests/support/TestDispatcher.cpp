#include "tests/support/TestDispatcher.h"

namespace harbrook::testing {

TestDispatcher::TestDispatcher() {
    m_thread = std::thread([this] {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || !m_calls.empty(); });
            if (m_calls.empty()) {
                return;
            }
            auto call = std::move(m_calls.front());
            m_calls.pop_front();
            lock.unlock();
            call();
            lock.lock();
        }
    });
}

TestDispatcher::~TestDispatcher() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void TestDispatcher::Post(std::function<void()> call) {
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    m_changed.notify_all();
}

void TestDispatcher::RunAndWait(const std::function<void()>& call) {
    std::mutex done;
    std::condition_variable finished;
    bool ran = false;
    Post([&] {
        call();
        std::lock_guard lock(done);
        ran = true;
        finished.notify_all();
    });
    std::unique_lock lock(done);
    finished.wait(lock, [&] { return ran; });
}

}  // namespace harbrook::testing
