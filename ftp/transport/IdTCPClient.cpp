#include "ftp/transport/IdTCPClient.h"

#include "ftp/IdException.h"
#include "ftp/transport/IdIOHandlerSocket.h"

void TIdTCPClient::SetConnectTimeout(int ms) {
    m_connectTimeout = ms;
    if (IOHandler() != nullptr) {
        IOHandler()->SetConnectTimeout(ms);
    }
}

void TIdTCPClient::SetReadTimeout(int ms) {
    m_readTimeout = ms;
    if (IOHandler() != nullptr) {
        IOHandler()->SetReadTimeout(ms);
    }
}

void TIdTCPClient::copySettingsToHandler() {
    TIdIOHandler& handler = *IOHandler();
    handler.SetPort(m_port);
    handler.SetHost(m_host);
    handler.SetConnectTimeout(m_connectTimeout);
    handler.SetReadTimeout(m_readTimeout);
    if (auto* socketHandler = dynamic_cast<TIdIOHandlerSocket*>(&handler)) {
        static_cast<TIdSocketBinding&>(*socketHandler) = *this;
        socketHandler->SetReuseSocket(m_reuseSocket);
    }
}

void TIdTCPClient::ConnectTransport() {
    if (Connected()) {
        throw EIdAlreadyConnected();
    }
    if (m_host.empty()) {
        throw EIdHostRequired();
    }
    if (m_port == 0) {
        throw EIdPortRequired();
    }
    const bool created = IOHandler() == nullptr;
    if (created) {
        CreateOwnedIOHandler();
    }
    try {
        // A handler left open by a peer that went away is closed before reuse.
        if (IOHandler()->Opened()) {
            IOHandler()->Close();
        }
        ForgetOwedReplies();
        copySettingsToHandler();
        IOHandler()->Open();
        if (OnConnected) {
            OnConnected();
        }
    } catch (...) {
        IOHandler()->Close();
        if (created) {
            ReleaseOwnedIOHandler();
        }
        throw;
    }
}

void TIdTCPClient::Connect() {
    ConnectTransport();
}

void TIdTCPClient::Connect(const std::string& host) {
    SetHost(host);
    Connect();
}
