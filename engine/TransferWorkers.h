#pragma once

#include <string>

#include "engine/FtpTools.h"
#include "engine/TransferQueue.h"
#include "platform/Dialogs.h"

// What a transfer worker needs from the window, each call answered on the GUI thread
// (the window's implementation hops there; the worker itself runs on its own thread).
class ITransferHost {
public:
    virtual ~ITransferHost() = default;
    // Whether the main client is connected, and to which site.
    virtual bool MainConnected() = 0;
    virtual TransferSite MainSite() = 0;
    // The main client's settings and current folder (one PWD on the main connection).
    virtual CloneSnapshot SnapshotMain() = 0;
    // Shows the message in an error box and returns once the user has closed it.
    virtual void ShowError(const std::string& message) = 0;
    // Asks what to do with an existing target; returns the user's answer.
    virtual harbrook::OverwriteAnswer AskOverwrite(const harbrook::OverwriteQuestion& question) = 0;
    // The cached listing of the folder is stale; the pane reloads it when it shows it.
    virtual void DropListing(const std::string& path) = 0;
};

// The most files one direction moves at once.
inline constexpr int kMaxParallelFiles = 10;

// The upload worker's body: when the main client is connected and entries of its site
// wait in the queue, clone connections carry them, those added meanwhile included,
// started in queue order: up to `connections` (1 to kMaxParallelFiles) at once, each
// file on one of them, while enough entries wait. A failing entry stays in the queue as failed with its error, the
// error box is shown, and the next entry goes on; one that failed because the user
// disconnected ("Transfers are disabled") or the window closed waits again, with the
// rest, for the next connect. Entries of other sites wait for theirs.
void UploadThreadBody(ITransferHost& host, TTransferQueue& uploadQueue, int connections = 1);
// The download worker's body, by the same rules.
void DownloadThreadBody(ITransferHost& host, TTransferQueue& downloadQueue, int connections = 1);
