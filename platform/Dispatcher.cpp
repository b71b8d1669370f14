#include "platform/Dispatcher.h"

#include <atomic>

namespace harbrook {

namespace {

class ImmediateDispatcher : public IGuiDispatcher {
public:
    void Post(std::function<void()> call) override { call(); }
    bool OnGuiThread() const override { return true; }
};

ImmediateDispatcher g_immediate;
std::atomic<IGuiDispatcher*> g_dispatcher{nullptr};

}  // namespace

IGuiDispatcher& GuiDispatcher() {
    IGuiDispatcher* dispatcher = g_dispatcher.load();
    return dispatcher != nullptr ? *dispatcher : g_immediate;
}

void SetGuiDispatcher(IGuiDispatcher* dispatcher) {
    g_dispatcher.store(dispatcher);
}

}  // namespace harbrook
