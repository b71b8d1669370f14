#include "ftp/transport/IdIOHandler.h"

#include <endian.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "ftp/IdException.h"
#include "ftp/transport/IdReply.h"

using harbrook::TStream;
using Clock = std::chrono::steady_clock;

namespace {

int elapsedSince(Clock::time_point start) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    return static_cast<int>(std::min<long long>(elapsed.count(), INT_MAX));
}

// What is left of a wait of `total` ms (-1: without limit) begun at `start`.
int remainingOf(int total, Clock::time_point start) {
    return total < 0 ? -1 : std::max(0, total - elapsedSince(start));
}

constexpr std::int64_t kMaxSmallStream = 2147483647;

// Any negative time-out other than the default means "wait without limit".
constexpr int kNoTimeLimit = -2;

}  // namespace

void TIdIOHandler::Close() {}

void TIdIOHandler::ResetState() {
    m_input.clear();
    m_closedGracefully = false;
    m_readLnTimedOut = false;
    m_readLnSplit = false;
}

void TIdIOHandler::DoStatus(TIdStatus status, const std::string& text) {
    if (OnStatus) {
        OnStatus(status, text);
    }
}

int TIdIOHandler::effectiveTimeout(int timeout) const {
    if (timeout == IdTimeoutDefault) {
        return m_readTimeout > 0 ? m_readTimeout : -1;
    }
    return timeout < 0 ? -1 : timeout;
}

long TIdIOHandler::ReadFromSource(bool raiseOnTimeout, int timeout) {
    if (!Opened()) {
        m_closedGracefully = true;
        return 0;
    }
    const int wait = effectiveTimeout(timeout);
    const auto start = Clock::now();
    // The socket does not block, so the read is tried first and the wait comes only when
    // nothing is there: during a transfer data is nearly always waiting, and a poll
    // before every read would cost a system call per block for nothing.
    bool waited = false;
    for (;;) {
        const auto chunk = static_cast<std::size_t>(m_recvBufferSize);
        char* tail = m_input.reserveTail(chunk);
        const TransferResult result = ReceiveRaw(tail, chunk);
        m_input.commit(result.error == 0 && result.count > 0 ? result.count : 0);
        if (result.wouldBlock) {
            // Nothing yet, or readiness without data (a TLS record still incomplete):
            // wait, unless this was only a look that already waited.
            if (waited && wait == 0) {
                return -1;
            }
            if (!Readable(remainingOf(wait, start))) {
                if (raiseOnTimeout) {
                    throw EIdReadTimeout();
                }
                return -1;
            }
            waited = true;
            continue;
        }
        if (result.error == 0) {
            if (result.count == 0) {
                m_closedGracefully = true;
            }
            return result.count;
        }
        if (result.error == ESHUTDOWN || result.error == ECONNABORTED) {
            m_closedGracefully = true;
            Close();
            if (m_input.empty()) {
                throw EIdSocketError(result.error);
            }
            return 0;
        }
        throw EIdSocketError(result.error);
    }
}

bool TIdIOHandler::Connected() {
    if (!Opened()) {
        return false;
    }
    if (!m_closedGracefully) {
        try {
            ReadFromSource(false, 0);
        } catch (const EIdSocketError&) {
            // A reset peer is simply no longer there; asking must not throw.
            m_closedGracefully = true;
        }
    }
    return Opened() && (!m_closedGracefully || !m_input.empty());
}

void TIdIOHandler::CheckForDisconnect(bool ignoreBuffer) {
    if (m_closedGracefully && (ignoreBuffer || m_input.empty())) {
        throw EIdConnClosedGracefully();
    }
}

void TIdIOHandler::failSend(int error) {
    if (error == ESHUTDOWN || error == ECONNABORTED || error == ECONNRESET || error == EPIPE) {
        m_closedGracefully = true;
        Close();
    }
    throw EIdSocketError(error);
}

void TIdIOHandler::writeChunk(const char* bytes, std::size_t count) {
    // A peer that stops reading must not hold a write forever: the read time-out, when
    // one is set, bounds each wait for room as well.
    const int wait = effectiveTimeout(IdTimeoutDefault);
    while (count > 0) {
        const TransferResult result = SendRaw(bytes, count);
        if (result.wouldBlock) {
            if (!Writable(wait)) {
                failSend(ETIMEDOUT);
            }
            continue;
        }
        if (result.error != 0) {
            failSend(result.error);
        }
        if (result.count == 0) {
            m_closedGracefully = true;
            throw EIdConnClosedGracefully();
        }
        bytes += result.count;
        count -= static_cast<std::size_t>(result.count);
    }
}

void TIdIOHandler::Write(const char* bytes, std::size_t count) {
    if (!Opened()) {
        throw EIdNotConnected();
    }
    CheckForDisconnect();
    writeChunk(bytes, count);
}

void TIdIOHandler::Write(const std::string& bytes) {
    Write(bytes.data(), bytes.size());
}

void TIdIOHandler::WriteLine(const std::string& text) {
    Write(text + "\r\n");
}

void TIdIOHandler::WriteInt32(std::int32_t value) {
    const std::uint32_t wire = htobe32(static_cast<std::uint32_t>(value));
    Write(reinterpret_cast<const char*>(&wire), sizeof wire);
}

void TIdIOHandler::WriteInt64(std::int64_t value) {
    const std::uint64_t wire = htobe64(static_cast<std::uint64_t>(value));
    Write(reinterpret_cast<const char*>(&wire), sizeof wire);
}

std::string TIdIOHandler::ReadLine(const std::string& terminator, int timeout, int maxLength) {
    const std::string ending = terminator.empty() ? "\n" : terminator;
    const std::size_t limit = maxLength < 0 ? static_cast<std::size_t>(std::max(m_maxLineLength, 0))
                                            : static_cast<std::size_t>(maxLength);
    m_readLnTimedOut = false;
    m_readLnSplit = false;
    const int wait = effectiveTimeout(timeout);
    const auto start = Clock::now();
    std::size_t searched = 0;
    bool haveRead = false;

    for (;;) {
        const std::size_t found = m_input.find(ending, searched);
        if (found == std::string::npos && m_input.size() >= ending.size()) {
            // Only bytes that arrive later can complete the terminator from here on.
            searched = m_input.size() - ending.size() + 1;
        }
        // The CR of a CR LF ending is not part of the line, so it does not count.
        std::size_t length = found == std::string::npos ? m_input.size() : found;
        if (ending == "\n" && length > 0 && m_input.data()[length - 1] == '\r') {
            --length;
        }
        const bool tooLong = limit > 0 && length > limit;
        if (tooLong) {
            if (m_maxLineAction == maException) {
                throw EIdReadLnMaxLineLengthExceeded();
            }
            m_readLnSplit = true;
            return m_input.take(limit);
        }
        if (found != std::string::npos) {
            std::string line = m_input.take(found);
            m_input.drop(ending.size());
            if (ending == "\n" && !line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        CheckForDisconnect();
        // A peer that trickles bytes without ever ending the line still runs out of time.
        if (haveRead && wait >= 0 && elapsedSince(start) >= wait) {
            m_readLnTimedOut = true;
            return {};
        }
        haveRead = true;
        const int remaining = remainingOf(wait, start);
        if (ReadFromSource(false, remaining < 0 ? kNoTimeLimit : remaining) < 0) {
            m_readLnTimedOut = true;
            return {};
        }
    }
}

std::string TIdIOHandler::ReadLineWait(int maxAttempts, std::size_t* byteBudget) {
    for (int attempt = 0; attempt < maxAttempts; ++attempt) {
        const std::string raw = ReadLine();
        if (m_readLnTimedOut) {
            throw EIdReadTimeout();
        }
        if (byteBudget != nullptr) {
            const std::size_t used = raw.size() + 1;
            if (used > *byteBudget) {
                throw EIdReplyTooLong();
            }
            *byteBudget -= used;
        }
        std::string line = harbrook::trimControl(raw);
        if (!line.empty()) {
            return line;
        }
    }
    throw EIdReadLnWaitMaxAttemptsExceeded();
}

std::string TIdIOHandler::ReadBytes(std::size_t count) {
    while (m_input.size() < count) {
        CheckForDisconnect();
        ReadFromSource(true, IdTimeoutDefault);
    }
    return m_input.take(count);
}

std::int32_t TIdIOHandler::ReadInt32() {
    std::uint32_t wire = 0;
    const std::string bytes = ReadBytes(sizeof wire);
    std::memcpy(&wire, bytes.data(), sizeof wire);
    return static_cast<std::int32_t>(be32toh(wire));
}

std::int64_t TIdIOHandler::ReadInt64() {
    std::uint64_t wire = 0;
    const std::string bytes = ReadBytes(sizeof wire);
    std::memcpy(&wire, bytes.data(), sizeof wire);
    return static_cast<std::int64_t>(be64toh(wire));
}

void TIdIOHandler::ReadStream(TStream& destination, std::int64_t count, bool readUntilDisconnect) {
    if (readUntilDisconnect) {
        count = -1;
    } else if (count < 0) {
        count = m_largeStream ? ReadInt64() : ReadInt32();
        if (count < 0) {
            throw EIdException("The peer announced a negative byte count.");
        }
    }
    if (count >= 0) {
        const std::int64_t position = destination.Position();
        destination.SetSize(position + count);
        destination.SetPosition(position);
    }
    if (OnWorkBegin) {
        OnWorkBegin(wmRead, std::max<std::int64_t>(count, 0));
    }
    try {
        readStreamBody(destination, count, readUntilDisconnect);
    } catch (...) {
        if (OnWorkEnd) {
            OnWorkEnd(wmRead);
        }
        // A pre-sized stream must not keep room for bytes that never came.
        if (destination.Size() > destination.Position()) {
            destination.SetSize(destination.Position());
        }
        throw;
    }
    if (OnWorkEnd) {
        OnWorkEnd(wmRead);
    }
    if (destination.Size() > destination.Position()) {
        destination.SetSize(destination.Position());
    }
}

void TIdIOHandler::readStreamBody(TStream& destination, std::int64_t count,
                                  bool readUntilDisconnect) {
    std::int64_t done = 0;
    auto deliver = [&](std::size_t bytes) {
        destination.Write(m_input.data(), static_cast<std::int64_t>(bytes));
        m_input.drop(bytes);
        done += static_cast<std::int64_t>(bytes);
        if (OnWork) {
            OnWork(wmRead, done);
        }
    };
    const auto chunk = static_cast<std::size_t>(m_recvBufferSize);
    for (;;) {
        const std::size_t wanted = readUntilDisconnect
                                       ? chunk
                                       : static_cast<std::size_t>(std::min<std::int64_t>(
                                             static_cast<std::int64_t>(chunk), count - done));
        if (wanted == 0) {
            return;
        }
        // Bytes are passed on as they come (up to a chunk at a time), so progress
        // shows, and the reader can act, while a server pauses or trickles.
        if (!m_input.empty()) {
            deliver(std::min(wanted, m_input.size()));
            continue;
        }
        if (m_closedGracefully || !Opened()) {
            // Whatever arrived is kept, also when the read then fails.
            if (!m_input.empty()) {
                deliver(m_input.size());
            }
            if (!readUntilDisconnect) {
                throw EIdConnClosedGracefully();
            }
            return;
        }
        try {
            ReadFromSource(true, IdTimeoutDefault);
        } catch (const EIdException&) {
            if (!m_input.empty()) {
                deliver(std::min(m_input.size(), wanted));
            }
            throw;
        }
    }
}

void TIdIOHandler::WriteStream(TStream& source, std::int64_t size, bool writeByteCount) {
    if (size == 0) {
        source.SetPosition(0);
        size = source.Size();
    } else if (size < 0) {
        size = std::max<std::int64_t>(source.Size() - source.Position(), 0);
    }
    if (!m_largeStream && size > kMaxSmallStream) {
        throw EIdIOHandlerRequiresLargeStream();
    }
    if (writeByteCount) {
        if (m_largeStream) {
            WriteInt64(size);
        } else {
            WriteInt32(static_cast<std::int32_t>(size));
        }
    }
    if (OnWorkBegin) {
        OnWorkBegin(wmWrite, size);
    }
    std::vector<char> buffer(static_cast<std::size_t>(m_sendBufferSize));
    std::int64_t done = 0;
    try {
        while (done < size) {
            const std::int64_t wanted =
                std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), size - done);
            const std::int64_t got = source.Read(buffer.data(), wanted);
            if (got <= 0) {
                throw EIdNoDataToRead();
            }
            Write(buffer.data(), static_cast<std::size_t>(got));
            done += got;
            if (OnWork) {
                OnWork(wmWrite, done);
            }
        }
    } catch (...) {
        if (OnWorkEnd) {
            OnWorkEnd(wmWrite);
        }
        throw;
    }
    if (OnWorkEnd) {
        OnWorkEnd(wmWrite);
    }
}
