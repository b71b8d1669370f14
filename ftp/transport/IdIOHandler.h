#pragma once

#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ftp/transport/ByteQueue.h"
#include "ftp/IdGlobal.h"
#include "platform/Stream.h"

// Line, byte-count and stream I/O with time-outs over some transport. The transport
// (a plain socket, later TLS over it) is supplied by the subclasses.
class TIdIOHandler {
public:
    virtual ~TIdIOHandler() = default;

    // Settings a connection copies in before it opens the handler.
    const std::string& Host() const { return m_host; }
    void SetHost(const std::string& host) { m_host = host; }
    std::uint16_t Port() const { return m_port; }
    void SetPort(std::uint16_t port) { m_port = port; }
    int ConnectTimeout() const { return m_connectTimeout; }
    void SetConnectTimeout(int ms) { m_connectTimeout = ms; }
    // -1 or 0: wait without limit.
    int ReadTimeout() const { return m_readTimeout; }
    void SetReadTimeout(int ms) { m_readTimeout = ms; }

    int MaxLineLength() const { return m_maxLineLength; }
    void SetMaxLineLength(int length) { m_maxLineLength = length; }
    TIdMaxLineAction MaxLineAction() const { return m_maxLineAction; }
    void SetMaxLineAction(TIdMaxLineAction action) { m_maxLineAction = action; }
    int RecvBufferSize() const { return m_recvBufferSize; }
    void SetRecvBufferSize(int size) { m_recvBufferSize = size > 0 ? size : IdDefaultBufferSize; }
    int SendBufferSize() const { return m_sendBufferSize; }
    void SetSendBufferSize(int size) { m_sendBufferSize = size > 0 ? size : IdDefaultBufferSize; }
    // With the large-stream setting, byte counts on the wire are 8 bytes, not 4, and
    // streams may exceed 2 GB.
    bool LargeStream() const { return m_largeStream; }
    void SetLargeStream(bool large) { m_largeStream = large; }

    // What the last ReadLine ended with.
    bool ReadLnTimedout() const { return m_readLnTimedOut; }
    bool ReadLnSplit() const { return m_readLnSplit; }

    // Opens the transport (connects); on failure the handler is closed again.
    virtual void Open() = 0;
    virtual void Close();
    virtual bool Opened() const = 0;
    // True while the transport is open and the peer has not closed, or while unread
    // bytes remain. Looks at the socket first, so a peer's close is noticed.
    bool Connected();
    bool ClosedGracefully() const { return m_closedGracefully; }
    // Raises "Connection Closed Gracefully." once the peer has closed (and, unless
    // ignoreBuffer, nothing unread remains).
    void CheckForDisconnect(bool ignoreBuffer = true);

    // Whether bytes can be read within ms (-1: without limit).
    virtual bool Readable(int ms) = 0;

    void Write(const std::string& bytes);
    void Write(const char* bytes, std::size_t count);
    void WriteLine(const std::string& text);
    void WriteInt32(std::int32_t value);
    void WriteInt64(std::int64_t value);

    // One line without its terminator (and without a CR before an LF terminator).
    // Empty text on time-out, with ReadLnTimedout() set. timeout -1 means ReadTimeout;
    // maxLength -1 means MaxLineLength.
    std::string ReadLine(const std::string& terminator = "\n", int timeout = IdTimeoutDefault,
                         int maxLength = -1);
    // The first line that is not empty once blanks and control characters are trimmed
    // from both ends. When byteBudget is given, every line read takes its length from
    // it, and running out raises EIdReplyTooLong.
    std::string ReadLineWait(int maxAttempts = INT_MAX, std::size_t* byteBudget = nullptr);

    // Exactly count bytes, waiting with ReadTimeout and raising on time-out.
    std::string ReadBytes(std::size_t count);
    std::int32_t ReadInt32();
    std::int64_t ReadInt64();

    // count -1 without readUntilDisconnect: the count comes first on the wire.
    void ReadStream(harbrook::TStream& destination, std::int64_t count = -1,
                    bool readUntilDisconnect = false);
    // size 0: the whole stream from position 0; -1: from the position to the end;
    // otherwise that many bytes from the position.
    void WriteStream(harbrook::TStream& source, std::int64_t size = 0,
                     bool writeByteCount = false);

    std::size_t InputBufferSize() const { return m_input.size(); }
    // Discards unread input (after an abort, say).
    void DiscardInput() { m_input.clear(); }

    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

protected:
    // The outcome of one raw read or write on the transport.
    struct TransferResult {
        long count = 0;      // bytes moved; 0 on a read means the peer closed
        int error = 0;       // errno-style failure, 0 when none
        bool wouldBlock = false;
    };
    virtual TransferResult ReceiveRaw(char* buffer, std::size_t count) = 0;
    virtual TransferResult SendRaw(const char* buffer, std::size_t count) = 0;
    // Waits until the transport can take more bytes; false on time-out.
    virtual bool Writable(int ms) = 0;

    // Reads what is available into the input buffer. timeout -1 means ReadTimeout.
    // Returns the number of bytes read, 0 when the peer closed, -1 on time-out (or raises
    // EIdReadTimeout when asked to).
    long ReadFromSource(bool raiseOnTimeout, int timeout);

    void DoStatus(TIdStatus status, const std::string& text);
    void ResetState();

    harbrook::ByteQueue m_input;
    bool m_closedGracefully = false;

private:
    // Milliseconds to wait for `timeout` (-1 = ReadTimeout); -1 for without limit.
    int effectiveTimeout(int timeout) const;
    void writeChunk(const char* bytes, std::size_t count);
    void failSend(int error);
    void readStreamBody(harbrook::TStream& destination, std::int64_t count,
                        bool readUntilDisconnect);

    std::string m_host;
    std::uint16_t m_port = 0;
    int m_connectTimeout = 0;
    int m_readTimeout = IdTimeoutDefault;
    int m_maxLineLength = IdMaxLineLengthDefault;
    TIdMaxLineAction m_maxLineAction = maException;
    int m_recvBufferSize = IdDefaultBufferSize;
    int m_sendBufferSize = IdDefaultBufferSize;
    bool m_largeStream = false;
    bool m_readLnTimedOut = false;
    bool m_readLnSplit = false;
};
