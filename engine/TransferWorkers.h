#pragma once

#include <string>

#include "engine/FtpTools.h"

class TSStringlist;

// What a transfer worker needs from the window, each call answered on the GUI thread
// (the window's implementation hops there; the worker itself runs on its own thread).
class ITransferHost {
public:
    virtual ~ITransferHost() = default;
    // Whether the main client is connected.
    virtual bool MainConnected() = 0;
    // The main client's settings and current folder (one PWD on the main connection).
    virtual CloneSnapshot SnapshotMain() = 0;
    // Shows the message in an error box and returns once the user has closed it.
    virtual void ShowError(const std::string& message) = 0;
    // The cached listing of the folder is stale; the pane reloads it when it shows it.
    virtual void DropListing(const std::string& path) = 0;
};

// The upload worker's body: when the main client is connected and UploadQueue has
// entries, one clone connection carries every entry, those added meanwhile included,
// in queue order. A failing entry shows its error and empties the queue; one that
// failed because the user disconnected ("Transfers are disabled") keeps itself and the
// rest for the next connect.
void UploadThreadBody(ITransferHost& host, TSStringlist& uploadQueue);
// The download worker's body, by the same rules.
void DownloadThreadBody(ITransferHost& host, TSStringlist& downloadQueue);
