#include "engine/FtpFileStream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "engine/RateLimit.h"
#include "engine/TransferList.h"
#include "platform/Ticks.h"

namespace harbrook {

std::int32_t NewTransferId() {
    // Counting from a random start keeps ids unique while many streams run: two streams
    // drawing the same random id would share one line of the transfer list.
    static std::atomic<std::int32_t> next{static_cast<std::int32_t>(std::random_device{}() % 9999999)};
    return next.fetch_add(1) % 9999999;
}

}  // namespace harbrook

tftp_filestream::tftp_filestream(const std::string& fileName, harbrook::FileOpenMode mode, int rights,
                                 std::int64_t maxRate, std::int64_t expectedSize,
                                 const std::string& displayName)
    : harbrook::TFileStream(fileName, mode, rights > 0 ? static_cast<unsigned>(rights) : 0666u),
      MaxRate(maxRate),
      FileName(displayName.empty() ? fileName : displayName),
      StartTicks(harbrook::CurrentTicks()),
      TransferId(harbrook::NewTransferId()),
      ExpectedSize(expectedSize > 0 ? expectedSize : 0),
      m_sizeSeen(ExpectedSize > 0 ? 0 : Size()) {}

tftp_filestream::tftp_filestream(const std::string& fileName, harbrook::FileOpenMode mode, int rights,
                                 std::int64_t maxRate)
    : tftp_filestream(fileName, mode, rights, maxRate, 0) {}

tftp_filestream::~tftp_filestream() {
    endTransfer();
}

void tftp_filestream::endTransfer() {
    std::int64_t size = 0;
    try {
        size = Size();
    } catch (const std::exception&) {
        // Only the list's record matters here, and it is found by id.
    }
    EndTransfer(FileName, harbrook::TickDifference(StartTicks, harbrook::CurrentTicks()), TransferId,
                Position(), size, BytesRead, BytesWritten);
}

std::int64_t tftp_filestream::Read(void* buffer, std::int64_t count) {
    const std::uint32_t start = harbrook::CurrentTicks();
    // Under a low limit an upload sends small blocks, so the data goes out evenly and a
    // block's wait never outlasts a disconnect.
    const std::int64_t got = harbrook::TFileStream::Read(buffer, UploadRateLimit().BlockFor(count));
    BytesRead += got;
    afterBlock(got, start);
    // The shared limit waits after the block is shown, so a slow transfer is on the list
    // from its first block, and a disconnect during the wait ends it at once.
    UploadRateLimit().Pay(got, [this] { return stopWanted(); });
    checkStop();
    return got;
}

void tftp_filestream::Write(const void* buffer, std::int64_t count) {
    const std::uint32_t start = harbrook::CurrentTicks();
    harbrook::TFileStream::Write(buffer, count);
    BytesWritten += count;
    afterBlock(count, start);
    DownloadRateLimit().Pay(count, [this] { return stopWanted(); });
    checkStop();
}

bool tftp_filestream::stopWanted() const {
    return TransfersDisabled() || TransferCancelled(TransferId);
}

void tftp_filestream::afterBlock(std::int64_t moved, std::uint32_t startOfBlock) {
    if (MaxRate > 0 && moved > 0) {
        const std::int64_t spent = harbrook::TickDifference(startOfBlock, harbrook::CurrentTicks());
        const std::int64_t wait = moved * 1000 / MaxRate - spent;
        if (wait > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        }
    }
    m_sizeSeen = std::max(m_sizeSeen, Position());
    const std::int64_t size = ExpectedSize > 0 ? ExpectedSize : m_sizeSeen;
    UpdateTransfer(FileName, harbrook::TickDifference(StartTicks, harbrook::CurrentTicks()), TransferId,
                   size, Position(), BytesRead > BytesWritten);
    checkStop();
}

void tftp_filestream::checkStop() {
    if (TransfersDisabled()) {
        endTransfer();
        throw harbrook::ETransfersDisabled();
    }
    if (TransferCancelled(TransferId)) {
        endTransfer();
        throw harbrook::ETransferCancelled();
    }
}
