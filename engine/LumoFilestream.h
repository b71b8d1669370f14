#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Stream.h"

// A file stream that counts what passes, can hold the rate down and reports progress
// (the update window saves the installer through it).
class TLumo_filestream : public harbrook::TFileStream {
public:
    using ProgressEvent = std::function<void(TLumo_filestream& sender, const std::string& fileName,
                                             std::int64_t transferred, std::int64_t sizeAtOpen)>;
    using DoneEvent = std::function<void(TLumo_filestream& sender, const std::string& fileName,
                                         std::int64_t position, std::int64_t size, std::int64_t bytesRead,
                                         std::int64_t bytesWritten, double elapsedMs)>;

    TLumo_filestream(const std::string& fileName, harbrook::FileOpenMode mode, int rights,
                     std::uint32_t maxRate);
    ~TLumo_filestream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    void Write(const void* buffer, std::int64_t count) override;

    std::uint32_t MaxRate = 0;
    std::int64_t BytesRead = 0;
    std::int64_t BytesWritten = 0;
    std::int64_t SizeAtOpen() const { return m_sizeAtOpen; }
    ProgressEvent OnProgress;
    DoneEvent OnDone;

private:
    void afterBlock(std::int64_t moved, std::int64_t counter, std::uint32_t startOfBlock);

    std::string m_fileName;
    std::uint32_t m_startTicks;
    std::int64_t m_sizeAtOpen = 0;
};
