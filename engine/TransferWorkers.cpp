#include "engine/TransferWorkers.h"

#include <filesystem>
#include <functional>

#include "engine/FtpFileStream.h"
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
    std::function<void(TIdFTP& client, const QueueEntry& entry, const QueueItem& item, TTransferQueue& queue)> carry;
};

// One clone connection carries every waiting entry of the main session's site, those
// added meanwhile included, in queue order, until none is left.
void runQueue(ITransferHost& host, TTransferQueue& queue, const Direction& direction) {
    if (queue.Count() == 0 || !host.MainConnected()) {
        return;
    }
    const TransferSite site = host.MainSite();
    if (!queue.HasWaitingFor(site)) {
        return;
    }
    TIdFTP client;
    ConnectClone(host.SnapshotMain(), client);
    if (!client.Connected()) {
        // Shown once, and kept in the entries for the user's Retry; not tried again and
        // again meanwhile.
        queue.FailWaiting(site, direction.noClient);
        host.ShowError(direction.noClient);
        return;
    }
    while (const auto item = queue.Take(site)) {
        try {
            direction.carry(client, SplitQueueEntry(item->line), *item, queue);
            queue.Finish(item->id);
        } catch (const std::exception& failure) {
            if (keepsQueue(failure)) {
                queue.Return(item->id);
                host.ShowError(failure.what());
                break;
            }
            queue.Fail(item->id, failure.what());
            // The user's own Cancel needs no box; the entry waits for a Retry.
            if (dynamic_cast<const harbrook::ETransferCancelled*>(&failure) == nullptr) {
                host.ShowError(failure.what());
            }
        }
    }
}

}  // namespace

void UploadThreadBody(ITransferHost& host, TTransferQueue& uploadQueue) {
    const Direction up{"Failed to connect upload client.",
                       [&host](TIdFTP& client, const QueueEntry& entry, const QueueItem& item, TTransferQueue& queue) {
                           client.ChangeDirectory(entry.value);
                           std::error_code error;
                           if (std::filesystem::is_directory(entry.name, error)) {
                               UploadLocalFolder(client, entry.name, lastPart(entry.name));
                           } else {
                               // A file continues what an interrupted attempt stored of it.
                               PartialUpload partial;
                               if (!ParsePartialUpload(item.resume, partial)) {
                                   partial = {};
                               }
                               try {
                                   UploadResumable(client, entry.name, ExtractRemoteName(entry.name), partial,
                                                   [&](const PartialUpload& part) {
                                                       queue.SetResume(item.id, PartialUploadText(part));
                                                   });
                               } catch (...) {
                                   queue.SetResume(item.id, PartialUploadText(partial));
                                   throw;
                               }
                               queue.SetResume(item.id, {});
                           }
                           host.DropListing(client.CurrentDirectory());
                       }};
    runQueue(host, uploadQueue, up);
}

void DownloadThreadBody(ITransferHost& host, TTransferQueue& downloadQueue) {
    const Direction down{"Failed to create client for downloading.",
                         [](TIdFTP& client, const QueueEntry& entry, const QueueItem& item, TTransferQueue& queue) {
                             if (!entry.name.empty() && entry.name.back() == '/') {
                                 DownloadRemoteFolder(client, entry.value, entry.name);
                                 return;
                             }
                             // A file continues what an interrupted attempt left of it.
                             PartialDownload partial;
                             if (!ParsePartialDownload(item.resume, partial)) {
                                 partial = {};
                             }
                             const std::string target =
                                 AddTrailingBackslash(entry.value) + ExtractRemoteName(entry.name);
                             try {
                                 DownloadResumable(client, entry.name, target, partial, nullptr,
                                                   [&](const PartialDownload& part) {
                                                       queue.SetResume(item.id, PartialDownloadText(part));
                                                   });
                             } catch (...) {
                                 queue.SetResume(item.id, PartialDownloadText(partial));
                                 throw;
                             }
                             queue.SetResume(item.id, {});
                         }};
    runQueue(host, downloadQueue, down);
}
