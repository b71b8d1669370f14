#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One running file transfer as the transfer list shows it.
struct Tftptransferdata {
    std::int32_t Id = 0;
    std::string FileName;
    std::int64_t Size = 0;
    std::int64_t Position = 0;
    std::uint32_t Elapsed = 0;
    // Which of the two queues the transfer serves (its stream reads a local file).
    bool Upload = false;
};

// Every running transfer of the process, and the switch that stops them all. Each
// operation holds the list's lock for its whole body.
void InitTransferList();
void DoneTransferList();
void ClearTransferList();
void SetTransfersDisabled(bool disabled);
bool TransfersDisabled();
// Updates the record of `id`, or appends one.
void UpdateTransfer(const std::string& fileName, std::uint32_t elapsed, std::int32_t id,
                    std::int64_t size, std::int64_t position, bool upload = false);
// Removes the record of `id`, if there is one; the others keep their order.
void EndTransfer(const std::string& fileName, std::uint32_t elapsed, std::int32_t id,
                 std::int64_t position, std::int64_t size, std::int64_t bytesRead,
                 std::int64_t bytesWritten);
// One line per record: name||pos||size||speed/s||remaining||; `ids` (when given) gets
// the records' ids in the same order.
void FillTransferLines(std::vector<std::string>& lines, std::vector<std::int32_t>* ids = nullptr);
// A copy of the records, oldest first.
std::vector<Tftptransferdata> TransferRecords();
// Whether `id` has a record (ids must not be shared by two running transfers).
bool TransferIdInUse(std::int32_t id);
// The user stops one running transfer: it ends at its next block (ETransferCancelled).
void CancelTransfer(std::int32_t id);
bool TransferCancelled(std::int32_t id);

namespace harbrook {

// "1.0 h", "2.5 min", "120 s"
std::string FormatDuration(std::int64_t seconds);
// The time left at `speed` bytes per second, or "-".
std::string FormatRemaining(std::int64_t position, std::int64_t size, std::int64_t speed);

}  // namespace harbrook
