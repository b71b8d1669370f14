#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/Stream.h"

namespace harbrook {

// A running transfer met the disabled switch of the transfer list.
class ETransfersDisabled : public std::runtime_error {
public:
    ETransfersDisabled() : std::runtime_error("Transfers are disabled") {}
};

// The user cancelled this one transfer.
class ETransferCancelled : public std::runtime_error {
public:
    ETransferCancelled() : std::runtime_error("Cancelled by the user") {}
};

}  // namespace harbrook

// The file stream every FTP file transfer reads or writes: it counts the bytes, can hold
// the rate under its own limit and under the direction's shared one (RateLimit.h), and
// after every block writes its progress into the transfer
// list. Once transfers are disabled its next block fails with "Transfers are disabled".
class tftp_filestream : public harbrook::TFileStream {
public:
    // `rights`: the permission bits of a file the mode makes; 0 for the usual 0666
    // (less the umask).
    // For downloads: the remote size, when known (> 0), is the size the list shows. A
    // download written to a temporary file names its target in `displayName`.
    tftp_filestream(const std::string& fileName, harbrook::FileOpenMode mode, int rights,
                    std::int64_t maxRate, std::int64_t expectedSize,
                    const std::string& displayName = {});
    // For uploads.
    tftp_filestream(const std::string& fileName, harbrook::FileOpenMode mode, int rights,
                    std::int64_t maxRate);
    ~tftp_filestream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    void Write(const void* buffer, std::int64_t count) override;

    // Bytes per second; 0 or less: no limit.
    std::int64_t MaxRate = 0;
    const std::string FileName;
    const std::uint32_t StartTicks;
    std::int64_t BytesRead = 0;
    std::int64_t BytesWritten = 0;
    const std::int32_t TransferId;
    const std::int64_t ExpectedSize;

private:
    void afterBlock(std::int64_t moved, std::uint32_t startOfBlock);
    // The user disconnected or cancelled this transfer: a limit's wait ends.
    bool stopWanted() const;
    // Ends the transfer (its record leaves the list) when the user disconnected or
    // cancelled it.
    void checkStop();

    // The file's size as this stream has seen it: read once at open, then grown by its
    // own writes. The progress shown after every block needs it, and asking the file
    // system each time cost a system call per block.
    std::int64_t m_sizeSeen = 0;
    void endTransfer();
};

namespace harbrook {
// A transfer id no other stream of the process holds (0 up to 9999999).
std::int32_t NewTransferId();
}  // namespace harbrook
