#include "app/WindowTransferHost.h"

#include "engine/DirListings.h"
#include "platform/Dialogs.h"

bool WindowTransferHost::MainConnected() {
    return m_session.Connected();
}

TransferSite WindowTransferHost::MainSite() {
    return m_session.Site();
}

CloneSnapshot WindowTransferHost::SnapshotMain() {
    // Without a session (it ended meanwhile) the snapshot's folder is unknown, and the
    // clone does not connect.
    return m_session.Snapshot().value_or(CloneSnapshot{});
}

void WindowTransferHost::ShowError(const std::string& message) {
    m_calls.Run([&] { harbrook::Dialogs().ShowError(message); });
}

harbrook::OverwriteAnswer WindowTransferHost::AskOverwrite(const harbrook::OverwriteQuestion& question) {
    harbrook::OverwriteAnswer answer;
    m_calls.Run([&] { answer = harbrook::Dialogs().AskOverwrite(question); });
    return answer;
}

void WindowTransferHost::DropListing(const std::string& path) {
    // The pane's timer sees the missing entry and shows the folder anew.
    RemoveDirListing(path);
}
