#include "ftp/transport/IdTCPConnection.h"

#include <algorithm>

#include "ftp/IdException.h"
#include "ftp/transport/IdIOHandlerStack.h"

TIdTCPConnection::TIdTCPConnection()
    : TIdTCPConnection(std::make_unique<TIdReplyRFC>(), std::make_unique<TIdReplyRFC>()) {}

TIdTCPConnection::TIdTCPConnection(std::unique_ptr<TIdReply> greeting,
                                   std::unique_ptr<TIdReply> lastCmdResult)
    : m_greeting(std::move(greeting)), m_lastCmdResult(std::move(lastCmdResult)) {}

TIdTCPConnection::~TIdTCPConnection() {
    // A borrowed handler outlives us; it must not keep calling into a dead connection.
    detachHandler();
}

void TIdTCPConnection::attachHandler(TIdIOHandler* handler) {
    m_ioHandler = handler;
    if (handler == nullptr) {
        return;
    }
    handler->OnStatus = [this](TIdStatus status, const std::string& text) {
        DoStatus(status, text);
    };
    handler->OnWorkBegin = [this](TWorkMode mode, std::int64_t countMax) {
        if (OnWorkBegin) {
            OnWorkBegin(mode, countMax);
        }
    };
    handler->OnWork = [this](TWorkMode mode, std::int64_t count) {
        if (OnWork) {
            OnWork(mode, count);
        }
    };
    handler->OnWorkEnd = [this](TWorkMode mode) {
        if (OnWorkEnd) {
            OnWorkEnd(mode);
        }
    };
}

void TIdTCPConnection::detachHandler() {
    if (m_ioHandler != nullptr) {
        m_ioHandler->OnStatus = nullptr;
        m_ioHandler->OnWorkBegin = nullptr;
        m_ioHandler->OnWork = nullptr;
        m_ioHandler->OnWorkEnd = nullptr;
    }
    m_ioHandler = nullptr;
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler) {
    if (handler == m_ioHandler) {
        return;
    }
    if (m_ioHandler != nullptr && m_ioHandler->Opened()) {
        throw EIdCanNotChangeConnectedIOHandler();
    }
    detachHandler();
    m_ownedHandler.reset();
    attachHandler(handler);
}

void TIdTCPConnection::SetIOHandler(std::unique_ptr<TIdIOHandler> handler) {
    SetIOHandler(handler.get());
    m_ownedHandler = std::move(handler);
}

void TIdTCPConnection::CreateOwnedIOHandler() {
    SetIOHandler(std::make_unique<TIdIOHandlerStack>());
}

void TIdTCPConnection::ReleaseOwnedIOHandler() {
    if (m_ownedHandler) {
        detachHandler();
        m_ownedHandler.reset();
    }
}

void TIdTCPConnection::DoStatus(TIdStatus status, const std::string& text) {
    if (OnStatus) {
        OnStatus(status, text);
    }
}

bool TIdTCPConnection::Connected() {
    return m_ioHandler != nullptr && m_ioHandler->Connected();
}

void TIdTCPConnection::closeHandler() {
    // A new connection owes nothing.
    m_owedReplies = 0;
    if (m_ioHandler != nullptr && m_ioHandler->Opened()) {
        DoStatus(hsDisconnecting, "Disconnecting.");
        m_ioHandler->Close();
        if (OnDisconnected) {
            OnDisconnected();
        }
        DoStatus(hsDisconnected, "Disconnected.");
    }
}

void TIdTCPConnection::Disconnect() {
    try {
        if (Connected()) {
            DisconnectNotifyPeer();
        }
    } catch (...) {
        closeHandler();
        throw;
    }
    closeHandler();
}

void TIdTCPConnection::DisconnectNotPeer() {
    closeHandler();
}

int TIdTCPConnection::ReadReply(const TIdReplyCodes& accepted) {
    if (m_ioHandler == nullptr) {
        throw EIdNotConnected();
    }
    std::vector<std::string> lines;
    std::size_t budget = kMaxReplyBytes;
    for (;;) {
        try {
            lines.push_back(m_ioHandler->ReadLineWait(INT_MAX, &budget));
        } catch (const EIdReplyTooLong&) {
            throw;
        } catch (...) {
            // Not read to its end: the server still owes it (or the rest of it).
            ++m_owedReplies;
            throw;
        }
        if (OnProtocolLine) {
            OnProtocolLine(false, lines.back());
        }
        if (TIdReply::IsEndMarker(lines.back())) {
            break;
        }
        if (lines.size() >= kMaxReplyLines) {
            throw EIdReplyTooLong();
        }
    }
    m_lastCmdResult->ParseLines(lines);
    CheckResponse(accepted);
    return m_lastCmdResult->NumericCode();
}

int TIdTCPConnection::ReadReply(std::initializer_list<int> accepted) {
    return ReadReply(TIdReplyCodes(accepted));
}

void TIdTCPConnection::CheckResponse(const TIdReplyCodes& accepted) {
    if (accepted.empty()) {
        return;
    }
    if (std::find(accepted.begin(), accepted.end(), m_lastCmdResult->NumericCode()) ==
        accepted.end()) {
        m_lastCmdResult->RaiseReplyError();
    }
}

void TIdTCPConnection::SettleOwedReplies() {
    // A late reply would be taken for the next command's (a size for a date, a 426 for
    // a SIZE): read and dropped first. A few preliminary ones may come before each.
    constexpr int kMostReplies = 8;
    if (!Connected()) {
        // Gone already: nothing more comes, and the command fails as on any closed one.
        m_owedReplies = 0;
        return;
    }
    try {
        for (int read = 0; m_owedReplies > 0; ++read) {
            if (read == kMostReplies) {
                throw EIdRepliesOutOfStep();
            }
            --m_owedReplies;
            if (ReadReply() < 200) {
                ++m_owedReplies;
            }
        }
    } catch (const EIdException&) {
        m_owedReplies = 0;
        closeHandler();
        throw EIdRepliesOutOfStep();
    }
}

void TIdTCPConnection::WriteCommand(const std::string& command) {
    if (m_ioHandler == nullptr) {
        throw EIdNotConnected();
    }
    if (command.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        throw EIdCommandLineInvalid();
    }
    if (m_owedReplies > 0) {
        SettleOwedReplies();
    }
    m_ioHandler->WriteLine(command);
    if (OnProtocolLine) {
        // The password never reaches a log, whoever keeps it.
        const bool secret = command.size() >= 5 && (command.compare(0, 5, "PASS ") == 0 ||
                                                     command.compare(0, 5, "pass ") == 0);
        OnProtocolLine(true, secret ? std::string("PASS ****") : command);
    }
}

int TIdTCPConnection::SendCommand(const std::string& command, const TIdReplyCodes& accepted) {
    if (m_ioHandler == nullptr) {
        throw EIdNotConnected();
    }
    WriteCommand(command);
    return ReadReply(accepted);
}

int TIdTCPConnection::SendCommand(const std::string& command, std::initializer_list<int> accepted) {
    return SendCommand(command, TIdReplyCodes(accepted));
}

int TIdTCPConnection::SendCommand(const std::string& command, int accepted) {
    return SendCommand(command, accepted == -1 ? TIdReplyCodes{} : TIdReplyCodes{accepted});
}
