#include "engine/TransferList.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "engine/FileSizeText.h"

namespace {

struct Tftptransferlist {
    std::mutex lock;
    bool disabled = false;
    std::vector<Tftptransferdata> items;
    std::vector<std::int32_t> cancelled;
};

Tftptransferlist TransferList;

// The file name without its folders.
std::string bareName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void InitTransferList() {
    std::lock_guard guard(TransferList.lock);
    TransferList.disabled = false;
    TransferList.items.clear();
    TransferList.cancelled.clear();
}

void DoneTransferList() {
    ClearTransferList();
}

void ClearTransferList() {
    std::lock_guard guard(TransferList.lock);
    TransferList.items.clear();
}

void SetTransfersDisabled(bool disabled) {
    std::lock_guard guard(TransferList.lock);
    TransferList.disabled = disabled;
}

bool TransfersDisabled() {
    std::lock_guard guard(TransferList.lock);
    return TransferList.disabled;
}

void UpdateTransfer(const std::string& fileName, std::uint32_t elapsed, std::int32_t id,
                    std::int64_t size, std::int64_t position, bool upload) {
    std::lock_guard guard(TransferList.lock);
    for (Tftptransferdata& record : TransferList.items) {
        if (record.Id == id) {
            record.Size = size;
            record.Position = position;
            record.Elapsed = elapsed;
            return;
        }
    }
    TransferList.items.push_back({id, fileName, size, position, elapsed, upload});
}

void EndTransfer(const std::string&, std::uint32_t, std::int32_t id, std::int64_t, std::int64_t,
                 std::int64_t, std::int64_t) {
    std::lock_guard guard(TransferList.lock);
    auto& items = TransferList.items;
    const auto found = std::find_if(items.begin(), items.end(),
                                    [id](const Tftptransferdata& record) { return record.Id == id; });
    if (found != items.end()) {
        items.erase(found);
    }
    auto& cancelled = TransferList.cancelled;
    cancelled.erase(std::remove(cancelled.begin(), cancelled.end(), id), cancelled.end());
}

void CancelTransfer(std::int32_t id) {
    std::lock_guard guard(TransferList.lock);
    const auto& items = TransferList.items;
    const bool running = std::any_of(items.begin(), items.end(),
                                     [id](const Tftptransferdata& record) { return record.Id == id; });
    if (running && std::find(TransferList.cancelled.begin(), TransferList.cancelled.end(), id) ==
                       TransferList.cancelled.end()) {
        TransferList.cancelled.push_back(id);
    }
}

bool TransferCancelled(std::int32_t id) {
    std::lock_guard guard(TransferList.lock);
    const auto& cancelled = TransferList.cancelled;
    return std::find(cancelled.begin(), cancelled.end(), id) != cancelled.end();
}

void FillTransferLines(std::vector<std::string>& lines, std::vector<std::int32_t>* ids) {
    std::lock_guard guard(TransferList.lock);
    lines.clear();
    if (ids != nullptr) {
        ids->clear();
    }
    for (const Tftptransferdata& record : TransferList.items) {
        if (ids != nullptr) {
            ids->push_back(record.Id);
        }
        const double speed =
            record.Elapsed == 0 ? 0.0 : static_cast<double>(record.Position) / (record.Elapsed / 1000.0);
        const auto wholeSpeed = static_cast<std::int64_t>(speed);
        lines.push_back(bareName(record.FileName) + "||" + harbrook::FormatFileSize(record.Position) +
                        "||" + harbrook::FormatFileSize(record.Size) + "||" +
                        harbrook::FormatFileSize(wholeSpeed) + "/s" + "||" +
                        harbrook::FormatRemaining(record.Position, record.Size, wholeSpeed) + "||");
    }
}

std::vector<Tftptransferdata> TransferRecords() {
    std::lock_guard guard(TransferList.lock);
    return TransferList.items;
}

bool TransferIdInUse(std::int32_t id) {
    std::lock_guard guard(TransferList.lock);
    return std::any_of(TransferList.items.begin(), TransferList.items.end(),
                       [id](const Tftptransferdata& record) { return record.Id == id; });
}

namespace harbrook {

std::string FormatDuration(std::int64_t seconds) {
    char text[64];
    if (seconds > 3600) {
        std::snprintf(text, sizeof text, "%.1f h", static_cast<double>(seconds) / 3600.0);
    } else if (seconds > 120) {
        std::snprintf(text, sizeof text, "%.1f min", static_cast<double>(seconds) / 60.0);
    } else {
        return std::to_string(seconds) + " s";
    }
    return text;
}

std::string FormatRemaining(std::int64_t position, std::int64_t size, std::int64_t speed) {
    if (size - position > 0 && speed > 0) {
        return FormatDuration(static_cast<std::int32_t>((size - position) / speed));
    }
    return "-";
}

}  // namespace harbrook
