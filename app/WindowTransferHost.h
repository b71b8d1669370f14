#pragma once

#include "app/GuiThreadCalls.h"
#include "engine/TransferWorkers.h"

class TFHarbrook;

// The window as the transfer workers see it: every question about the main client,
// every error box and every cache change is answered on the GUI thread.
class WindowTransferHost : public ITransferHost {
public:
    WindowTransferHost(TFHarbrook& window, GuiThreadCalls& calls) : m_window(window), m_calls(calls) {}

    bool MainConnected() override;
    CloneSnapshot SnapshotMain() override;
    void ShowError(const std::string& message) override;
    void DropListing(const std::string& path) override;

private:
    TFHarbrook& m_window;
    GuiThreadCalls& m_calls;
};
