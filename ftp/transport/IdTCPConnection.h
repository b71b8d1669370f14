#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ftp/IdGlobal.h"
#include "ftp/transport/IdIOHandler.h"
#include "ftp/transport/IdReply.h"

// The reply codes a command accepts; empty accepts every reply.
using TIdReplyCodes = std::vector<int>;

// A connection that speaks a line protocol with three-digit replies over an I/O handler.
class TIdTCPConnection {
public:
    // A reply cap: a server that never ends a reply gets an error, not our memory.
    static constexpr std::size_t kMaxReplyLines = 100000;
    static constexpr std::size_t kMaxReplyBytes = 1024 * 1024;

    TIdTCPConnection();
    virtual ~TIdTCPConnection();
    TIdTCPConnection(const TIdTCPConnection&) = delete;
    TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;

    TIdIOHandler* IOHandler() const { return m_ioHandler; }
    // Borrows a handler that the caller keeps alive (a TLS handler the window owns).
    virtual void SetIOHandler(TIdIOHandler* handler);
    // Hands a handler over to the connection.
    void SetIOHandler(std::unique_ptr<TIdIOHandler> handler);

    TIdReply& Greeting() { return *m_greeting; }
    const TIdReply& Greeting() const { return *m_greeting; }
    TIdReply& LastCmdResult() { return *m_lastCmdResult; }
    const TIdReply& LastCmdResult() const { return *m_lastCmdResult; }

    bool Connected();
    // Tells the peer (when still connected) and closes the handler.
    virtual void Disconnect();
    // Closes without telling the peer.
    void DisconnectNotPeer();

    // Sends the line exactly as given and reads the reply; raises EIdReplyRFCError when
    // the reply code is not accepted. Returns the reply's numeric code.
    int SendCommand(const std::string& command, const TIdReplyCodes& accepted = {});
    int SendCommand(const std::string& command, std::initializer_list<int> accepted);
    // -1 accepts every reply.
    int SendCommand(const std::string& command, int accepted);
    // Writes one command line without reading its reply; a line holding CR, LF or NUL
    // is refused before anything is sent. Replies the server still owes are read
    // first; one that does not come within the read time-out closes the connection
    // (EIdRepliesOutOfStep).
    void WriteCommand(const std::string& command);
    // A reply whose reading fails before its end (a time-out, say) is still owed by the
    // server: the next command first reads it (see WriteCommand).
    int ReadReply(const TIdReplyCodes& accepted = {});
    int ReadReply(std::initializer_list<int> accepted);
    // Replies the server still owes beyond those whose reading failed (ABOR's own, when
    // the aborted transfer's reply never came either).
    void OweReplies(int count) { m_owedReplies += count; }
    int OwedReplies() const { return m_owedReplies; }
    // Reads the owed replies now (as the next command would); one that does not come
    // within the read time-out closes the connection (EIdRepliesOutOfStep).
    void SettleOwedReplies();
    // Raises EIdReplyRFCError unless the last reply's code is accepted.
    void CheckResponse(const TIdReplyCodes& accepted);

    TNotifyEvent OnConnected;
    TNotifyEvent OnDisconnected;
    // Every command line as sent (a password as "PASS ****") and every reply line as
    // read, for a log of the session; called on the thread that uses the connection.
    std::function<void(bool sent, const std::string& line)> OnProtocolLine;
    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

protected:
    // For protocols whose replies need more than code and text (FTP).
    TIdTCPConnection(std::unique_ptr<TIdReply> greeting, std::unique_ptr<TIdReply> lastCmdResult);

    // Replaces the reply objects with ones of the protocol's own class.
    void UseReplyObjects(std::unique_ptr<TIdReply> greeting, std::unique_ptr<TIdReply> lastCmdResult) {
        m_greeting = std::move(greeting);
        m_lastCmdResult = std::move(lastCmdResult);
    }
    // Sent before closing; the base sends nothing.
    virtual void DisconnectNotifyPeer() {}
    // Whether the connection made its current handler itself.
    bool OwnsIOHandler() const { return m_ownedHandler != nullptr; }
    // Creates the plain handler a connection uses when it was given none.
    void CreateOwnedIOHandler();
    void ReleaseOwnedIOHandler();
    void DoStatus(TIdStatus status, const std::string& text);
    // A new connection owes nothing (the last one may have been cut without a close).
    void ForgetOwedReplies() { m_owedReplies = 0; }

private:
    void attachHandler(TIdIOHandler* handler);
    void detachHandler();
    void closeHandler();

    TIdIOHandler* m_ioHandler = nullptr;
    std::unique_ptr<TIdIOHandler> m_ownedHandler;
    std::unique_ptr<TIdReply> m_greeting;
    std::unique_ptr<TIdReply> m_lastCmdResult;
    int m_owedReplies = 0;
};
