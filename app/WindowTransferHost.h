#pragma once

#include "engine/RemoteSession.h"
#include "engine/TransferWorkers.h"
#include "platform/GuiCalls.h"

// The window as the transfer workers see it: the main connection's state and snapshot
// come from the remote session (on its thread), every error box and cache change is
// answered on the GUI thread.
class WindowTransferHost : public ITransferHost {
public:
    WindowTransferHost(TRemoteSession& session, harbrook::TGuiCalls& calls) : m_session(session), m_calls(calls) {}

    bool MainConnected() override;
    TransferSite MainSite() override;
    CloneSnapshot SnapshotMain() override;
    void ShowError(const std::string& message) override;
    harbrook::OverwriteAnswer AskOverwrite(const harbrook::OverwriteQuestion& question) override;
    void DropListing(const std::string& path) override;

private:
    TRemoteSession& m_session;
    harbrook::TGuiCalls& m_calls;
};
