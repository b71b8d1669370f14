#include "engine/TransferQueue.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "engine/FileSizeText.h"
#include "engine/QueueEntries.h"
#include "engine/TransferList.h"

namespace {

bool toRunState(QueueState state) {
    return state == QueueState::Waiting || state == QueueState::Running;
}

// An entry without a site runs wherever the user connects.
bool runsOn(const QueueItem& item, const TransferSite& site) {
    return item.site.Empty() || item.site == site;
}

}  // namespace

std::string TransferSite::Text() const {
    return user + "@" + host + ":" + std::to_string(port);
}

void TTransferQueue::Add(const std::string& line, const TransferSite& site, std::int64_t size) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    QueueItem item;
    item.id = m_nextId++;
    item.line = line;
    item.site = site;
    item.size = size;
    m_items.push_back(std::move(item));
}

std::vector<const QueueItem*> TTransferQueue::toRun() const {
    std::vector<const QueueItem*> items;
    for (const QueueItem& item : m_items) {
        if (toRunState(item.state)) {
            items.push_back(&item);
        }
    }
    return items;
}

int TTransferQueue::Count() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(toRun().size());
}

std::vector<std::string> TTransferQueue::List() const {
    std::lock_guard guard(m_lock);
    std::vector<std::string> lines;
    for (const QueueItem* item : toRun()) {
        lines.push_back(item->line);
    }
    return lines;
}

std::optional<std::string> TTransferQueue::Get(int index) const {
    std::lock_guard guard(m_lock);
    const auto items = toRun();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        return std::nullopt;
    }
    return items[static_cast<std::size_t>(index)]->line;
}

void TTransferQueue::Delete(int index) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    const auto items = toRun();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    const std::uint64_t id = items[static_cast<std::size_t>(index)]->id;
    m_items.erase(std::find_if(m_items.begin(), m_items.end(), [&](const QueueItem& item) { return item.id == id; }));
}

void TTransferQueue::Clear() {
    std::lock_guard guard(m_lock);
    ++m_generation;
    m_items.clear();
}

QueueItem* TTransferQueue::find(std::uint64_t id) {
    const auto found = std::find_if(m_items.begin(), m_items.end(), [&](const QueueItem& item) { return item.id == id; });
    return found == m_items.end() ? nullptr : &*found;
}

bool TTransferQueue::HasWaitingFor(const TransferSite& site) const {
    std::lock_guard guard(m_lock);
    return std::any_of(m_items.begin(), m_items.end(), [&](const QueueItem& item) {
        return item.state == QueueState::Waiting && runsOn(item, site);
    });
}

int TTransferQueue::WaitingFor(const TransferSite& site) const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(), [&](const QueueItem& item) {
        return item.state == QueueState::Waiting && runsOn(item, site);
    }));
}

std::optional<QueueItem> TTransferQueue::Take(const TransferSite& site) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    for (QueueItem& item : m_items) {
        if (item.state == QueueState::Waiting && runsOn(item, site)) {
            item.state = QueueState::Running;
            item.error.clear();
            return item;
        }
    }
    return std::nullopt;
}

void TTransferQueue::Finish(std::uint64_t id) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    if (QueueItem* item = find(id)) {
        item->state = QueueState::Finished;
    }
}

void TTransferQueue::Skip(std::uint64_t id) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    if (QueueItem* item = find(id)) {
        item->state = QueueState::Skipped;
    }
}

void TTransferQueue::SetSize(std::uint64_t id, std::int64_t size) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    if (QueueItem* item = find(id)) {
        item->size = size;
    }
}

void TTransferQueue::SetResume(std::uint64_t id, const std::string& resume) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    if (QueueItem* item = find(id)) {
        item->resume = resume;
    }
}

void TTransferQueue::Fail(std::uint64_t id, const std::string& error) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    if (QueueItem* item = find(id)) {
        item->state = QueueState::Failed;
        item->error = error;
    }
}

void TTransferQueue::Return(std::uint64_t id) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    if (QueueItem* item = find(id)) {
        item->state = QueueState::Waiting;
    }
}

void TTransferQueue::FailWaiting(const TransferSite& site, const std::string& error) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    for (QueueItem& item : m_items) {
        if (item.state == QueueState::Waiting && runsOn(item, site)) {
            item.state = QueueState::Failed;
            item.error = error;
        }
    }
}

void TTransferQueue::Restore(const std::vector<QueueItem>& items) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    for (QueueItem item : items) {
        item.id = m_nextId++;
        if (item.state == QueueState::Running) {
            item.state = QueueState::Waiting;
        }
        m_items.push_back(std::move(item));
    }
}

std::uint64_t TTransferQueue::Generation() const {
    std::lock_guard guard(m_lock);
    return m_generation;
}

std::vector<QueueItem> TTransferQueue::Items() const {
    std::lock_guard guard(m_lock);
    return m_items;
}

bool TTransferQueue::Retry(std::uint64_t id) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    QueueItem* item = find(id);
    if (item == nullptr || item->state != QueueState::Failed) {
        return false;
    }
    item->state = QueueState::Waiting;
    item->error.clear();
    return true;
}

bool TTransferQueue::Remove(std::uint64_t id) {
    std::lock_guard guard(m_lock);
    ++m_generation;
    const auto found = std::find_if(m_items.begin(), m_items.end(), [&](const QueueItem& item) { return item.id == id; });
    if (found == m_items.end() || found->state == QueueState::Running) {
        return false;
    }
    m_items.erase(found);
    return true;
}

void TTransferQueue::ClearFinished() {
    std::lock_guard guard(m_lock);
    ++m_generation;
    m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                 [](const QueueItem& item) {
                                     return item.state == QueueState::Finished || item.state == QueueState::Skipped;
                                 }),
                  m_items.end());
}

namespace {

// The last part of the entry's own path: the local one of an upload, the remote one of
// a download (the name of an entry is the path that moves).
std::string shownName(const QueueItem& item) {
    std::string path = SplitQueueEntry(item.line).name;
    const bool folder = path.size() > 1 && path.back() == '/';
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder ? name + "/" : name;
}

}  // namespace

std::vector<std::string> QueueRowLines(const std::vector<QueueItem>& items, const TransferSite& connectedSite,
                                       std::vector<std::uint64_t>* ids, std::size_t limit) {
    std::vector<std::string> lines;
    for (const QueueItem& item : items) {
        if (lines.size() >= limit) {
            break;
        }
        std::string state;
        std::string detail;
        switch (item.state) {
            case QueueState::Running:
                continue;
            case QueueState::Waiting:
                state = runsOn(item, connectedSite) ? "Waiting" : "Waiting for " + item.site.Text();
                break;
            case QueueState::Failed:
                state = "Failed";
                detail = item.error.substr(0, item.error.find_first_of("\r\n"));
                break;
            case QueueState::Finished:
                state = "Done";
                break;
            case QueueState::Skipped:
                state = "Skipped";
                break;
        }
        lines.push_back(shownName(item) + "||||||" + state + "||" + detail + "||");
        if (ids != nullptr) {
            ids->push_back(item.id);
        }
    }
    return lines;
}

std::string QueueSummaryLine(const std::string& what, const std::vector<QueueItem>& items, std::size_t shownRows,
                             const QueueProgress& running) {
    if (items.empty()) {
        return {};
    }
    std::size_t counts[5] = {};
    std::int64_t total = 0;
    std::int64_t moved = running.moved;
    bool sized = false;
    for (const QueueItem& item : items) {
        ++counts[static_cast<int>(item.state)];
        // A skipped entry moves nothing; a failed one is counted again by its Retry.
        if (item.size < 0 || item.state == QueueState::Skipped || item.state == QueueState::Failed) {
            continue;
        }
        sized = true;
        total += item.size;
        if (item.state == QueueState::Finished) {
            moved += item.size;
        }
    }
    auto count = [&](QueueState state) { return counts[static_cast<int>(state)]; };
    std::string line = what + ": " + std::to_string(count(QueueState::Finished) + count(QueueState::Skipped)) +
                       " of " + std::to_string(items.size()) + " files";
    if (sized) {
        moved = std::min(moved, total);
        line += ", " + harbrook::FormatFileSize(moved) + " of " + harbrook::FormatFileSize(total);
        if (running.speed > 0 && total > moved) {
            line += ", " + harbrook::FormatDuration((total - moved) / running.speed) + " left";
        }
    }
    std::string states;
    for (auto [state, name] : {std::pair{QueueState::Running, "running"}, std::pair{QueueState::Failed, "failed"},
                               std::pair{QueueState::Skipped, "skipped"}, std::pair{QueueState::Waiting, "waiting"}}) {
        if (count(state) > 0) {
            states += (states.empty() ? "" : ", ") + std::to_string(count(state)) + " " + name;
        }
    }
    if (!states.empty()) {
        line += "; " + states;
    }
    const std::size_t rows = items.size() - count(QueueState::Running);
    if (shownRows < rows) {
        line += "; " + std::to_string(rows - shownRows) + " more not shown";
    }
    return line;
}
