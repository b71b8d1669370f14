#include "engine/LumoThread.h"

#include <chrono>
#include <random>
#include <stdexcept>

// What a component and its workers share, so that neither outlives what it touches.
struct TLumosimplethread::Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool alive = true;
    bool running = false;
};

bool TLumosimplethread::Terminated() const {
    std::lock_guard guard(m_shared->lock);
    return m_terminated;
}

void TLumosimplethread::Terminate() {
    std::lock_guard guard(m_shared->lock);
    m_terminated = true;
    m_shared->changed.notify_all();
}

TLumo_thread::TLumo_thread(harbrook::IGuiDispatcher* dispatcher)
    : m_dispatcher(dispatcher != nullptr ? *dispatcher : harbrook::GuiDispatcher()),
      m_id(static_cast<int>(std::random_device{}() % 1000000)),
      m_shared(std::make_shared<TLumosimplethread::Shared>()),
      m_calls(m_dispatcher) {}

TLumo_thread::~TLumo_thread() {
    Stop();
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->alive = false;
        m_shared->changed.notify_all();
    }
    // A call already running on the GUI thread finishes before we go, unless we are
    // that thread ourselves; one still queued never runs.
    m_calls.Close();
    m_calls.WaitForRunningCalls();
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

bool TLumo_thread::Running() const {
    std::lock_guard guard(m_shared->lock);
    return m_shared->running;
}

void TLumo_thread::Stop() {
    std::shared_ptr<TLumosimplethread> current;
    {
        std::lock_guard guard(m_shared->lock);
        if (!m_shared->running) {
            return;
        }
        current = m_current;
    }
    if (current) {
        current->Terminate();
    }
}

bool TLumo_thread::Start(bool runOnce, void* Data) {
    {
        std::lock_guard guard(m_shared->lock);
        if (m_shared->running) {
            return false;
        }
        m_shared->running = true;
    }
    // The previous worker has ended its loop; collect it.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    auto thread = std::make_shared<TLumosimplethread>();
    thread->m_shared = m_shared;
    thread->Id = m_id;
    thread->Data = Data;
    thread->Synchronized = Synchronized;
    thread->RunLimit = runOnce ? 1 : 0;
    thread->Interval = Interval;
    thread->OnExecute = OnExecute;
    thread->OnStop = OnStop;
    thread->OnException = OnException;
    // FIXME: Priority is kept but not applied: raising a thread's priority needs
    // privileges on Linux, and lowering it is not worth a platform call here.
    m_current = thread;
    m_worker = std::thread([this, thread] { loop(thread); });
    if (OnStart) {
        void* startData = Data;
        OnStart(*this, *thread, startData, m_id);
    }
    return true;
}

void TLumo_thread::loop(std::shared_ptr<TLumosimplethread> thread) {
    auto shared = m_shared;
    std::int64_t pass = 1;
    bool escaped = false;
    for (;;) {
        std::exception_ptr failure;
        auto runPass = [&] {
            try {
                if (thread->OnExecute) {
                    thread->OnExecute(*this, *thread, thread->Data, thread->Id);
                }
            } catch (...) {
                failure = std::current_exception();
            }
        };
        if (thread->Synchronized && thread->OnExecute) {
            if (!m_calls.Run(runPass)) {
                break;
            }
        } else {
            runPass();
        }
        if (failure) {
            bool handled = false;
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                if (thread->OnException) {
                    thread->OnException(*this, *thread, error, thread->Id);
                    handled = true;
                }
            } catch (...) {
                // Not an error object: nothing to hand to a handler.
            }
            if (!handled) {
                // An error nobody handles ends this worker; the component goes back to
                // idle below so it can be started again.
                thread->Terminate();
                escaped = true;
                break;
            }
        }
        ++pass;
        {
            std::unique_lock guard(shared->lock);
            if (!thread->m_terminated) {
                const int pause = thread->Interval > 0 ? thread->Interval : 1;
                shared->changed.wait_for(guard, std::chrono::milliseconds(pause),
                                         [&] { return thread->m_terminated || !shared->alive; });
            }
            if (thread->m_terminated || !shared->alive) {
                break;
            }
        }
        if (thread->RunLimit > 0 && pass > thread->RunLimit) {
            break;
        }
    }
    if (!escaped && thread->OnStop) {
        try {
            m_calls.Run([&] { thread->OnStop(*this, *thread, thread->Data, thread->Id); });
        } catch (...) {
            // The stop handler's error belongs to the GUI thread's error handling.
            m_dispatcher.Post([failure = std::current_exception()] { std::rethrow_exception(failure); });
        }
    }
    // The end of the loop is seen on the GUI thread, where the component returns to idle.
    m_dispatcher.Post([shared] {
        std::lock_guard guard(shared->lock);
        shared->running = false;
        shared->changed.notify_all();
    });
}

void TSStringlist::Clear() {
    std::lock_guard guard(m_lock);
    m_lines.clear();
}

void TSStringlist::Add(const std::string& text) {
    std::lock_guard guard(m_lock);
    m_lines.push_back(text);
}

int TSStringlist::Count() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_lines.size());
}

std::vector<std::string> TSStringlist::List() const {
    std::lock_guard guard(m_lock);
    return m_lines;
}

std::optional<std::string> TSStringlist::Get(int index) const {
    std::lock_guard guard(m_lock);
    if (index < 0 || static_cast<std::size_t>(index) >= m_lines.size()) {
        return std::nullopt;
    }
    return m_lines[static_cast<std::size_t>(index)];
}

void TSStringlist::Delete(int index) {
    std::lock_guard guard(m_lock);
    if (index < 0 || static_cast<std::size_t>(index) >= m_lines.size()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    m_lines.erase(m_lines.begin() + index);
}
