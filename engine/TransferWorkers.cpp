#include "engine/TransferWorkers.h"

#include <filesystem>
#include <functional>

#include "engine/FtpFileStream.h"
#include "engine/LumoThread.h"
#include "engine/QueueEntries.h"
#include "platform/Interrupt.h"

namespace {

// One failed entry: the queue is emptied, unless the failure was the user's disconnect,
// after which the queue waits for the next connect.
bool keepsQueue(const std::exception& failure) {
    // The window closing interrupts too; its queue is not the user's to lose either.
    return dynamic_cast<const harbrook::ETransfersDisabled*>(&failure) != nullptr ||
           dynamic_cast<const harbrook::EInterrupted*>(&failure) != nullptr;
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

namespace {

// What differs between the two directions; the loop is the same.
struct Direction {
    // The box when the clone cannot be made.
    const char* noClient;
    // Carries one queue entry over the clone.
    std::function<void(TIdFTP& client, const QueueEntry& entry)> carry;
    // Whether the box comes before the queue is emptied (as each direction always did).
    bool boxFirst;
};

// One clone connection carries every entry of the queue, those added meanwhile
// included, in queue order, until the queue is empty or an entry fails.
void runQueue(ITransferHost& host, TSStringlist& queue, const Direction& direction) {
    if (queue.Count() == 0 || !host.MainConnected()) {
        return;
    }
    TIdFTP client;
    ConnectClone(host.SnapshotMain(), client);
    if (!client.Connected()) {
        if (direction.boxFirst) {
            host.ShowError(direction.noClient);
            queue.Clear();
        } else {
            queue.Clear();
            host.ShowError(direction.noClient);
        }
        return;
    }
    for (;;) {
        const auto line = queue.Get(0);
        if (!line) {
            break;
        }
        try {
            direction.carry(client, SplitQueueEntry(*line));
            queue.Delete(0);
        } catch (const std::exception& failure) {
            const bool keep = keepsQueue(failure);
            if (direction.boxFirst) {
                host.ShowError(failure.what());
            }
            if (!keep) {
                queue.Clear();
            }
            if (!direction.boxFirst) {
                host.ShowError(failure.what());
            }
            break;
        }
    }
}

}  // namespace

void UploadThreadBody(ITransferHost& host, TSStringlist& uploadQueue) {
    const Direction up{"Failed to connect upload client.",
                       [&host](TIdFTP& client, const QueueEntry& entry) {
                           client.ChangeDirectory(entry.value);
                           std::error_code error;
                           if (std::filesystem::is_directory(entry.name, error)) {
                               UploadLocalFolder(client, entry.name, lastPart(entry.name));
                           } else {
                               UploadLocalFile(client, entry.name, ExtractRemoteName(entry.name));
                           }
                           host.DropListing(client.CurrentDirectory());
                       },
                       true};
    runQueue(host, uploadQueue, up);
}

void DownloadThreadBody(ITransferHost& host, TSStringlist& downloadQueue) {
    const Direction down{"Failed to create client for downloading.",
                         [](TIdFTP& client, const QueueEntry& entry) {
                             if (!entry.name.empty() && entry.name.back() == '/') {
                                 DownloadRemoteFolder(client, entry.value, entry.name);
                             } else {
                                 DownloadRemoteFile(client, entry.value, entry.name);
                             }
                         },
                         false};
    runQueue(host, downloadQueue, down);
}
