#pragma once

#include "platform/Dispatcher.h"

namespace harbrook {

// Reaches the GUI thread through Qt's event loop: a posted call is a queued call on the
// application object, run in order with the window's other events. Installed (with
// SetGuiDispatcher) once the application object exists, before any worker starts.
class QtDispatcher : public IGuiDispatcher {
public:
    void Post(std::function<void()> call) override;
    bool OnGuiThread() const override;
};

}  // namespace harbrook
