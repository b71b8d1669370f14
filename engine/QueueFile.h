#pragma once

#include <string>
#include <vector>

#include "engine/TransferQueue.h"

// The two transfer queues as kept across a restart ("transfer-queues" beside the INI):
//   harbrook transfer queues 1
//   up|down <TAB> waiting|failed <TAB> host <TAB> port <TAB> account <TAB> entry <TAB> error
//     <TAB> resume (what an interrupted transfer left to continue) <TAB> size (-1: unknown;
//     files without it, from before it was kept, are read too)
// one line per entry in queue order; "%", TAB, CR and LF inside a field are written
// "%25", "%09", "%0D", "%0A". A running entry is kept as waiting (it runs again after
// the next connect to its site); finished entries are not kept.
struct SavedQueues {
    std::vector<QueueItem> uploads;
    std::vector<QueueItem> downloads;
};

std::string QueueFileText(const std::vector<QueueItem>& uploads, const std::vector<QueueItem>& downloads);
// The queues of a file's text; false with `problem` ("line 3 is not an entry") when it
// is not such a file. Nothing is taken from a file that is wrong anywhere.
bool ParseQueueFile(const std::string& text, SavedQueues& queues, std::string& problem);

// Keeps both queues in `path`: Load once at start (a file that cannot be read or parsed
// is set aside as PATH.bad, its problem told once by TakeLoadProblem), Save whenever the
// queues changed (owner-only, written whole and renamed).
class TQueueFile {
public:
    explicit TQueueFile(std::string path) : m_path(std::move(path)) {}
    SavedQueues Load();
    // False when the file could not be written (the old one then stays whole).
    bool Save(const TTransferQueue& uploads, const TTransferQueue& downloads);
    std::string TakeLoadProblem();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_loadProblem;
};
