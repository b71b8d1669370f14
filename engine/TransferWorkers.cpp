#include "engine/TransferWorkers.h"

#include <filesystem>

#include "engine/FtpFileStream.h"
#include "engine/LumoThread.h"
#include "engine/QueueEntries.h"

namespace {

// One failed entry: the queue is emptied, unless the failure was the user's disconnect,
// after which the queue waits for the next connect.
bool keepsQueue(const std::exception& failure) {
    return dynamic_cast<const harbrook::ETransfersDisabled*>(&failure) != nullptr;
}

// The last part of a local path ("/a/b/" and "/a/b" give "b").
std::string lastPart(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    return ExtractRemoteName(trimmed);
}

}  // namespace

void UploadThreadBody(ITransferHost& host, TSStringlist& uploadQueue) {
    if (uploadQueue.Count() == 0 || !host.MainConnected()) {
        return;
    }
    TIdFTP client;
    ConnectClone(host.SnapshotMain(), client);
    if (!client.Connected()) {
        host.ShowError("Failed to connect upload client.");
        uploadQueue.Clear();
        return;
    }
    for (;;) {
        const auto line = uploadQueue.Get(0);
        if (!line) {
            break;
        }
        try {
            const QueueEntry entry = SplitQueueEntry(*line);
            client.ChangeDirectory(entry.value);
            std::error_code error;
            if (std::filesystem::is_directory(entry.name, error)) {
                UploadLocalFolder(client, entry.name, lastPart(entry.name));
            } else {
                UploadLocalFile(client, entry.name, ExtractRemoteName(entry.name));
            }
            uploadQueue.Delete(0);
            host.DropListing(client.CurrentDirectory());
        } catch (const std::exception& failure) {
            host.ShowError(failure.what());
            if (!keepsQueue(failure)) {
                uploadQueue.Clear();
            }
            break;
        }
    }
}

void DownloadThreadBody(ITransferHost& host, TSStringlist& downloadQueue) {
    if (downloadQueue.Count() == 0 || !host.MainConnected()) {
        return;
    }
    TIdFTP client;
    ConnectClone(host.SnapshotMain(), client);
    if (!client.Connected()) {
        downloadQueue.Clear();
        host.ShowError("Failed to create client for downloading.");
        return;
    }
    for (;;) {
        const auto line = downloadQueue.Get(0);
        if (!line) {
            break;
        }
        try {
            const QueueEntry entry = SplitQueueEntry(*line);
            if (!entry.name.empty() && entry.name.back() == '/') {
                DownloadRemoteFolder(client, entry.value, entry.name);
            } else {
                DownloadRemoteFile(client, entry.value, entry.name);
            }
            downloadQueue.Delete(0);
        } catch (const std::exception& failure) {
            if (!keepsQueue(failure)) {
                downloadQueue.Clear();
            }
            host.ShowError(failure.what());
            break;
        }
    }
}
