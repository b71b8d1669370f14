#pragma once

#include <functional>

namespace harbrook {

// How code off the GUI thread reaches it: the Qt layer implements this with queued
// calls; tests use a thread of their own as the "GUI".
class IGuiDispatcher {
public:
    virtual ~IGuiDispatcher() = default;
    // Runs the call on the GUI thread soon; returns at once.
    virtual void Post(std::function<void()> call) = 0;
    // Whether the caller is on the GUI thread.
    virtual bool OnGuiThread() const = 0;
};

// The process's dispatcher; without one set, calls run at once on the caller's thread.
IGuiDispatcher& GuiDispatcher();
void SetGuiDispatcher(IGuiDispatcher* dispatcher);

}  // namespace harbrook
