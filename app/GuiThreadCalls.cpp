#include "app/GuiThreadCalls.h"

GuiThreadCalls::GuiThreadCalls(harbrook::IGuiDispatcher& dispatcher) : m_dispatcher(dispatcher) {}

GuiThreadCalls::~GuiThreadCalls() {
    Close();
}

void GuiThreadCalls::Close() {
    std::lock_guard guard(m_state->lock);
    m_state->closed = true;
    m_state->changed.notify_all();
}

bool GuiThreadCalls::Closed() const {
    std::lock_guard guard(m_state->lock);
    return m_state->closed;
}

bool GuiThreadCalls::Run(const std::function<void()>& call) {
    if (m_dispatcher.OnGuiThread()) {
        if (Closed()) {
            return false;
        }
        call();
        return true;
    }
    // Everything the posted call touches lives in this block: the worker may stop
    // waiting (closing) while the call is still queued.
    struct Pending {
        std::function<void()> call;
        bool done = false;
        std::exception_ptr failure;
    };
    auto pending = std::make_shared<Pending>();
    pending->call = call;
    auto state = m_state;
    m_dispatcher.Post([state, pending] {
        {
            std::lock_guard guard(state->lock);
            if (state->closed) {
                return;
            }
        }
        try {
            pending->call();
        } catch (...) {
            pending->failure = std::current_exception();
        }
        std::lock_guard guard(state->lock);
        pending->done = true;
        state->changed.notify_all();
    });
    std::unique_lock guard(state->lock);
    state->changed.wait(guard, [&] { return pending->done || state->closed; });
    if (!pending->done) {
        return false;
    }
    if (pending->failure) {
        std::rethrow_exception(pending->failure);
    }
    return true;
}
