#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The server a queue entry was queued for: entries run only against it.
struct TransferSite {
    std::string host;
    std::uint16_t port = 0;
    std::string user;

    bool Empty() const { return host.empty(); }
    bool operator==(const TransferSite& other) const {
        return host == other.host && port == other.port && user == other.user;
    }
    // "user@host:port"
    std::string Text() const;
};

// Where an entry stands. A failed entry keeps its error until it is retried or removed;
// a finished one (and one the user chose to skip) stays until the finished are cleared.
enum class QueueState { Waiting, Running, Failed, Finished, Skipped };

struct QueueItem {
    std::uint64_t id = 0;
    // The entry as the queue's lines have always read (name=value).
    std::string line;
    // Empty: any site (an entry from before sites were recorded).
    TransferSite site;
    QueueState state = QueueState::Waiting;
    std::string error;
    // What an interrupted transfer left to continue (PartialDownloadText or
    // PartialUploadText); empty: none.
    std::string resume;
    // The bytes the entry moves, as far as known (a folder's: -1): the local size of an
    // upload and the listed size of a download when queued, the server's once it runs.
    std::int64_t size = -1;
};

// One direction's transfer queue, shared by the window and its worker; every operation
// holds the queue's lock for its whole body, and readers get copies. The list-like part
// (Add, Count, List, Get, Delete, Clear) sees the entries still to run - waiting or
// running - in queue order, as the worker and the window have always used it.
class TTransferQueue {
public:
    void Add(const std::string& line, const TransferSite& site = {}, std::int64_t size = -1);
    // Entries waiting or running.
    int Count() const;
    std::vector<std::string> List() const;
    std::optional<std::string> Get(int index) const;
    // Throws std::out_of_range for a bad index (of the entries still to run).
    void Delete(int index);
    // Drops every entry, in every state.
    void Clear();

    // For the worker: whether an entry waits for `site`, and the first such, now running.
    bool HasWaitingFor(const TransferSite& site) const;
    // How many entries wait for `site`.
    int WaitingFor(const TransferSite& site) const;
    std::optional<QueueItem> Take(const TransferSite& site);
    void Finish(std::uint64_t id);
    // The user chose to leave the entry's existing target as it is.
    void Skip(std::uint64_t id);
    void SetSize(std::uint64_t id, std::int64_t size);
    void SetResume(std::uint64_t id, const std::string& resume);
    void Fail(std::uint64_t id, const std::string& error);
    // Back to waiting where it stood (the user disconnected: it runs after the next
    // connect).
    void Return(std::uint64_t id);
    // Every waiting entry of `site` fails with `error` (no connection could be made).
    void FailWaiting(const TransferSite& site, const std::string& error);

    // For the user: a copy of every entry in queue order; a failed entry waits again;
    // a waiting, failed or finished entry goes (a running one is cancelled elsewhere).
    std::vector<QueueItem> Items() const;
    bool Retry(std::uint64_t id);
    bool Remove(std::uint64_t id);
    void ClearFinished();

    // Entries kept from an earlier run (new ids; a running one waits again).
    void Restore(const std::vector<QueueItem>& items);
    // Grows with every change, so a keeper can tell whether to write the queue again.
    std::uint64_t Generation() const;

private:
    QueueItem* find(std::uint64_t id);
    std::vector<const QueueItem*> toRun() const;

    mutable std::mutex m_lock;
    std::vector<QueueItem> m_items;
    std::uint64_t m_nextId = 1;
    std::uint64_t m_generation = 0;
};

// The transfer list's rows for the entries that are not running (a running entry shows
// as its transfer): "NAME||||||Waiting||||", "…||Waiting for user@host:port||||" for
// another site's entry, "…||Failed||<the error's first line>||", "…||Done||||". NAME is
// the last part of the file or folder the entry moves.
// `ids` (when given) gets the entries' ids in the rows' order. At most `limit` rows are
// made (a queue of 100,000 entries must not cost the window 100,000 rows twice a second).
std::vector<std::string> QueueRowLines(const std::vector<QueueItem>& items, const TransferSite& connectedSite,
                                       std::vector<std::uint64_t>* ids = nullptr, std::size_t limit = SIZE_MAX);

// What the running transfers of a queue have moved so far, and how fast.
struct QueueProgress {
    std::int64_t moved = 0;
    std::int64_t speed = 0;
};

// One line for a queue after its rows: "Downloads: 3 of 10 files, 1.20 GB of 5.00 GB,
// 2.0 min left; 1 running, 1 failed, 5 waiting" (`what` names the queue; the bytes are
// those of the entries whose size is known, the time left is at the running speed),
// with "; 250 more not shown" when rows were left out; empty for an empty queue. It has
// no column separators: the list draws it across the whole row, unclipped.
std::string QueueSummaryLine(const std::string& what, const std::vector<QueueItem>& items, std::size_t shownRows,
                             const QueueProgress& running = {});
