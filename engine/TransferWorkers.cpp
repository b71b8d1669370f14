#include "engine/TransferWorkers.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>

#include "engine/FileSpread.h"
#include "engine/FolderWalks.h"
#include "engine/FtpFileStream.h"
#include "engine/MessageLog.h"
#include "engine/OverwriteDecisions.h"
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

// Whether an entry moved its file, or the user chose to leave the target as it was.
enum class Carried { Moved, Skipped };

// What one run of a worker keeps from entry to entry.
struct QueueRun {
    ITransferHost& host;
    TTransferQueue& queue;
    // The answers about existing targets, "the same for the rest" included.
    TOverwriteDecider decider;
    // The run's connections; a folder entry spreads its files over them.
    TSpreadPool* pool;
};

// What differs between the two directions; the loop is the same.
struct Direction {
    // The box when the clone cannot be made.
    const char* noClient;
    // The clone's name in the message log.
    const char* logName;
    // Carries one queue entry over the clone.
    std::function<Carried(TIdFTP& client, const QueueEntry& entry, const QueueItem& item, QueueRun& run)> carry;
};

// The box for a failed entry: the server's or the system's words alone ("None; transfer
// aborted.") do not say which file of a queue failed, so they are put after its name
// unless they name it already.
std::string namingTheFile(const std::string& reason, const QueueEntry& entry, const char* logName) {
    const std::string leaf = std::filesystem::path(entry.name).filename().string();
    if (!leaf.empty() && reason.find(leaf) != std::string::npos) {
        return reason;
    }
    std::string what = logName;
    if (!what.empty()) {
        what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
    }
    return what + " of " + entry.name + " failed: " + reason;
}

// One entry carried over `client`: finished, skipped, failed (with its box) or, after
// the user's disconnect, back to waiting (the run stops; one box for the whole run).
void carryOne(TIdFTP& client, const QueueItem& item, QueueRun& run, const Direction& direction) {
    const QueueEntry entry = SplitQueueEntry(item.line);
    try {
        if (direction.carry(client, entry, item, run) == Carried::Moved) {
            run.queue.Finish(item.id);
        } else {
            run.queue.Skip(item.id);
        }
    } catch (const std::exception& failure) {
        if (keepsQueue(failure)) {
            run.queue.Return(item.id);
            if (run.pool->Stop(std::current_exception())) {
                run.host.ShowError(failure.what());
            }
            return;
        }
        run.queue.Fail(item.id, failure.what());
        // The user's own Cancel needs no box; the entry waits for a Retry.
        if (dynamic_cast<const harbrook::ETransferCancelled*>(&failure) == nullptr) {
            run.host.ShowError(namingTheFile(failure.what(), entry, direction.logName));
        }
    }
}

// A connection the last entry left owing a reply is brought back in step before the
// next entry; one whose server never sent it was closed for it and logs in anew (the
// server is alive, it answered that far), so that the entry is not failed for it.
void readyForNext(TIdFTP& connection, const CloneSnapshot& snapshot, const Direction& direction) {
    if (connection.OwedReplies() == 0 || !connection.Connected()) {
        return;
    }
    try {
        connection.SettleOwedReplies();
        return;
    } catch (const std::exception& failure) {
        MessageLog().Append(direction.logName, LogLine::Kind::Error,
                            std::string(failure.what()) + " Connecting anew.");
    }
    ConnectClone(snapshot, connection);
}

// Clone connections carry every waiting entry of the main session's site, those added
// meanwhile included, starting them in queue order: the first connection always, up to
// `connections` together while entries or the files of folder entries wait. A
// connection the server refuses beyond the first leaves the rest to fewer (said once in
// the log).
void runQueue(ITransferHost& host, TTransferQueue& queue, const Direction& direction, int connections) {
    if (queue.Count() == 0 || !host.MainConnected()) {
        return;
    }
    const TransferSite site = host.MainSite();
    if (!queue.HasWaitingFor(site)) {
        return;
    }
    const CloneSnapshot snapshot = host.SnapshotMain();
    TIdFTP client;
    AttachMessageLog(client, direction.logName);
    ConnectClone(snapshot, client);
    if (!client.Connected()) {
        // Shown once, and kept in the entries for the user's Retry; not tried again and
        // again meanwhile.
        queue.FailWaiting(site, direction.noClient);
        host.ShowError(direction.noClient);
        return;
    }
    QueueRun run{host, queue, TOverwriteDecider([&host](const harbrook::OverwriteQuestion& question) {
                     return host.AskOverwrite(question);
                 }),
                 nullptr};
    const int extra = std::clamp(connections, 1, kMaxParallelFiles) - 1;
    TSpreadPool pool(
        extra,
        [&](int number) -> std::unique_ptr<TIdFTP> {
            auto helper = std::make_unique<TIdFTP>();
            AttachMessageLog(*helper, std::string(direction.logName) + " " + std::to_string(number));
            ConnectClone(snapshot, *helper);
            return helper->Connected() ? std::move(helper) : nullptr;
        },
        [&](TIdFTP& connection) {
            if (run.pool->Stopped()) {
                return false;
            }
            const auto item = queue.Take(site);
            if (!item) {
                return false;
            }
            readyForNext(connection, snapshot, direction);
            carryOne(connection, *item, run, direction);
            return true;
        });
    run.pool = &pool;
    pool.AddHelpers(std::min(extra, queue.WaitingFor(site) - 1));
    pool.Serve(client);
    pool.Join();
    if (pool.Refused() > 0) {
        MessageLog().Append(direction.logName, LogLine::Kind::Error,
                            "The server refused " + std::to_string(pool.Refused()) + " of " +
                                std::to_string(pool.Tried() + 1) + " connections; the queue went on over fewer.");
    }
}

// Runs one resumable transfer with its record kept in the entry: told before data
// moves (so a killed program can continue), what is left to continue after a failure,
// nothing after success.
template <typename Partial>
void keepingTheRecord(QueueRun& run, const QueueItem& item, const Partial& partial,
                      std::string (*text)(const Partial&),
                      const std::function<void(const std::function<void(const Partial&)>& onPart)>& transfer) {
    try {
        transfer([&](const Partial& part) { run.queue.SetResume(item.id, text(part)); });
    } catch (...) {
        run.queue.SetResume(item.id, text(partial));
        throw;
    }
    run.queue.SetResume(item.id, {});
}

// One file upload, asking first when the remote name exists and no attempt of ours left
// a part of it there.
Carried uploadFile(TIdFTP& client, const QueueEntry& entry, const QueueItem& item, QueueRun& run) {
    PartialUpload partial;
    if (!ParsePartialUpload(item.resume, partial)) {
        partial = {};
    }
    // An earlier attempt (renamed, perhaps) goes on under the name it chose.
    std::string remoteName = !partial.Empty() && IsSafeRemoteName(partial.remoteName)
                                 ? partial.remoteName
                                 : ExtractRemoteName(entry.name);
    if (partial.Empty()) {
        switch (PlanUploadTarget(client, entry.name, remoteName, run.decider)) {
            case TargetPlan::Skip: return Carried::Skipped;
            case TargetPlan::Done: return Carried::Moved;
            case TargetPlan::Transfer: break;
        }
    }
    keepingTheRecord<PartialUpload>(run, item, partial, PartialUploadText, [&](const auto& onPart) {
        UploadResumable(client, entry.name, remoteName, partial, onPart);
    });
    return Carried::Moved;
}

// One file download, asking first when the local target exists and no attempt of ours
// left a part of it.
Carried downloadFile(TIdFTP& client, const QueueEntry& entry, const QueueItem& item, QueueRun& run) {
    PartialDownload partial;
    if (!ParsePartialDownload(item.resume, partial)) {
        partial = {};
    }
    namespace fs = std::filesystem;
    std::string target = AddTrailingBackslash(entry.value) + ExtractRemoteName(entry.name);
    const fs::path part(partial.file);
    // An earlier attempt under a new name goes on under it (a hidden part is the copy
    // beside the target itself).
    if (!partial.Empty() && part.parent_path() == fs::path(target).parent_path() &&
        part.filename().string().rfind('.', 0) != 0) {
        target = partial.file;
    }
    const std::int64_t remoteSize = client.FileSize(entry.name);
    if (remoteSize >= 0) {
        run.queue.SetSize(item.id, remoteSize);
    }
    if (partial.Empty()) {
        switch (PlanDownloadTarget(client, entry.name, remoteSize, target, run.decider)) {
            case TargetPlan::Skip: return Carried::Skipped;
            case TargetPlan::Done: return Carried::Moved;
            case TargetPlan::Transfer: break;
        }
    }
    keepingTheRecord<PartialDownload>(run, item, partial, PartialDownloadText, [&](const auto& onPart) {
        DownloadResumable(client, entry.name, target, partial, nullptr, onPart);
    });
    return Carried::Moved;
}

}  // namespace

void UploadThreadBody(ITransferHost& host, TTransferQueue& uploadQueue, int connections) {
    const Direction up{"Failed to connect upload client.", "upload",
                       [](TIdFTP& client, const QueueEntry& entry, const QueueItem& item, QueueRun& run) {
                           client.ChangeDirectory(entry.value);
                           std::error_code error;
                           Carried carried = Carried::Moved;
                           if (std::filesystem::is_directory(entry.name, error)) {
                               TSpreadPool::Group files(*run.pool);
                               UploadLocalFolder(client, entry.name, lastPart(entry.name), &run.decider, &files);
                               files.Finish(client);
                           } else {
                               carried = uploadFile(client, entry, item, run);
                           }
                           if (carried == Carried::Moved) {
                               run.host.DropListing(client.CurrentDirectory());
                           }
                           return carried;
                       }};
    runQueue(host, uploadQueue, up, connections);
}

void DownloadThreadBody(ITransferHost& host, TTransferQueue& downloadQueue, int connections) {
    const Direction down{"Failed to create client for downloading.", "download",
                         [](TIdFTP& client, const QueueEntry& entry, const QueueItem& item, QueueRun& run) {
                             if (!entry.name.empty() && entry.name.back() == '/') {
                                 TSpreadPool::Group files(*run.pool);
                                 DownloadRemoteFolder(client, entry.value, entry.name, &run.decider, &files);
                                 files.Finish(client);
                                 return Carried::Moved;
                             }
                             return downloadFile(client, entry, item, run);
                         }};
    runQueue(host, downloadQueue, down, connections);
}
