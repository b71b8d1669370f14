#include "app/WindowTransferHost.h"

#include "app/TFHarbrook.h"
#include "engine/DirListings.h"
#include "platform/Dialogs.h"

bool WindowTransferHost::MainConnected() {
    bool connected = false;
    m_calls.Run([&] { connected = m_window.IdFTP1.Connected(); });
    return connected;
}

CloneSnapshot WindowTransferHost::SnapshotMain() {
    CloneSnapshot snapshot;
    m_calls.Run([&] { snapshot = TakeCloneSnapshot(m_window.IdFTP1); });
    return snapshot;
}

void WindowTransferHost::ShowError(const std::string& message) {
    m_calls.Run([&] { harbrook::Dialogs().ShowError(message); });
}

void WindowTransferHost::DropListing(const std::string& path) {
    // The pane's timer sees the missing entry and shows the folder anew.
    m_calls.Run([&] { RemoveDirListing(path); });
}
