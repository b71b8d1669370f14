#include "platform/GuiCalls.h"

#include <exception>

namespace harbrook {

struct TGuiCalls::State {
    std::mutex lock;
    std::condition_variable changed;
    bool closed = false;
    int running = 0;
};

TGuiCalls::TGuiCalls(IGuiDispatcher& dispatcher) : m_dispatcher(dispatcher), m_state(std::make_shared<State>()) {}

TGuiCalls::~TGuiCalls() {
    Close();
    WaitForRunningCalls();
}

void TGuiCalls::Close() {
    std::lock_guard guard(m_state->lock);
    m_state->closed = true;
    m_state->changed.notify_all();
}

bool TGuiCalls::Closed() const {
    std::lock_guard guard(m_state->lock);
    return m_state->closed;
}

void TGuiCalls::WaitForRunningCalls() {
    if (m_dispatcher.OnGuiThread()) {
        return;
    }
    std::unique_lock guard(m_state->lock);
    m_state->changed.wait(guard, [&] { return m_state->running == 0; });
}

bool TGuiCalls::Run(const std::function<void()>& call) {
    if (m_dispatcher.OnGuiThread()) {
        if (Closed()) {
            return false;
        }
        call();
        return true;
    }
    enum class Stage { Queued, Running, Done, Cancelled };
    struct Pending {
        Stage stage = Stage::Queued;
        std::exception_ptr failure;
    };
    auto pending = std::make_shared<Pending>();
    auto state = m_state;
    // `call` is only touched while this caller waits: a queued call that is cancelled
    // never looks at it.
    const std::function<void()>* body = &call;
    m_dispatcher.Post([state, pending, body] {
        {
            std::lock_guard guard(state->lock);
            if (state->closed || pending->stage == Stage::Cancelled) {
                return;
            }
            pending->stage = Stage::Running;
            ++state->running;
        }
        std::exception_ptr failure;
        try {
            (*body)();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard guard(state->lock);
        pending->failure = failure;
        pending->stage = Stage::Done;
        --state->running;
        state->changed.notify_all();
    });
    std::unique_lock guard(state->lock);
    state->changed.wait(guard, [&] {
        return pending->stage == Stage::Done || (state->closed && pending->stage == Stage::Queued);
    });
    if (pending->stage != Stage::Done) {
        pending->stage = Stage::Cancelled;
        return false;
    }
    if (pending->failure) {
        std::rethrow_exception(pending->failure);
    }
    return true;
}

}  // namespace harbrook
