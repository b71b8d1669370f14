#include "engine/LumoFilestream.h"

#include <chrono>
#include <thread>

#include "platform/Ticks.h"

TLumo_filestream::TLumo_filestream(const std::string& fileName, harbrook::FileOpenMode mode, int,
                                   std::uint32_t maxRate)
    : harbrook::TFileStream(fileName, mode),
      MaxRate(maxRate),
      m_fileName(fileName),
      m_startTicks(harbrook::CurrentTicks()),
      m_sizeAtOpen(Size()) {}

TLumo_filestream::~TLumo_filestream() {
    if (OnDone) {
        try {
            OnDone(*this, m_fileName, Position(), Size(), BytesRead, BytesWritten,
                   static_cast<double>(harbrook::TickDifference(m_startTicks, harbrook::CurrentTicks())));
        } catch (const std::exception&) {
            // A destructor must not throw; the file is closed all the same.
        }
    }
}

std::int64_t TLumo_filestream::Read(void* buffer, std::int64_t count) {
    const std::uint32_t start = harbrook::CurrentTicks();
    const std::int64_t got = harbrook::TFileStream::Read(buffer, count);
    BytesRead += got;
    afterBlock(got, BytesRead, start);
    return got;
}

void TLumo_filestream::Write(const void* buffer, std::int64_t count) {
    const std::uint32_t start = harbrook::CurrentTicks();
    harbrook::TFileStream::Write(buffer, count);
    BytesWritten += count;
    afterBlock(count, BytesWritten, start);
}

void TLumo_filestream::afterBlock(std::int64_t moved, std::int64_t counter, std::uint32_t startOfBlock) {
    if (moved > 0 && MaxRate > 0) {
        const std::int64_t wait = moved * 1000 / MaxRate -
                                  harbrook::TickDifference(startOfBlock, harbrook::CurrentTicks());
        if (wait > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        }
    }
    if (OnProgress) {
        OnProgress(*this, m_fileName, counter, m_sizeAtOpen);
    }
}
