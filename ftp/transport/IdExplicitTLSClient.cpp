#include "ftp/transport/IdExplicitTLSClient.h"

#include "ftp/IdFTPExceptions.h"

TIdSSLIOHandlerSocketBase* TIdExplicitTLSClient::SSLHandler() const {
    return dynamic_cast<TIdSSLIOHandlerSocketBase*>(IOHandler());
}

void TIdExplicitTLSClient::SetUseTLS(TIdUseTLS value) {
    if (value == m_useTLS) {
        return;
    }
    if (!m_loading) {
        if (Connected()) {
            throw EIdTLSClientCanNotSetWhileConnected();
        }
        if (value != utNoTLSSupport && SSLHandler() == nullptr) {
            throw EIdTLSClientSSLIOHandlerRequred();
        }
    }
    m_useTLS = value;
}

void TIdExplicitTLSClient::SetIOHandler(TIdIOHandler* handler) {
    TIdTCPClient::SetIOHandler(handler);
    if (dynamic_cast<TIdSSLIOHandlerSocketBase*>(handler) == nullptr) {
        m_useTLS = utNoTLSSupport;
    }
}

void TIdExplicitTLSClient::DisconnectBeforeRaising() {
    try {
        Disconnect();
    } catch (const EIdException&) {
        // The connection is being given up for the TLS error about to be raised; a
        // failed goodbye adds nothing to it.
    }
}

void TIdExplicitTLSClient::TLSNotAvailable() {
    if (m_useTLS == utUseRequireTLS) {
        DisconnectBeforeRaising();
        throw EIdTLSClientTLSNotAvailable();
    }
    bool goOn = true;
    if (OnTLSNotAvailable) {
        OnTLSNotAvailable(goOn);
    }
    if (!goOn) {
        DisconnectBeforeRaising();
        throw EIdTLSClientTLSNotAvailable();
    }
}

void TIdExplicitTLSClient::ProcessTLSNegCmdFailed() {
    if (m_useTLS == utUseRequireTLS) {
        DisconnectBeforeRaising();
        throw EIdTLSClientTLSNotAvailable("SSL is not available on this server.");
    }
    bool goOn = false;
    if (OnTLSNegCmdFailed) {
        OnTLSNegCmdFailed(goOn);
    }
    if (!goOn) {
        DisconnectBeforeRaising();
        throw EIdTLSClientTLSNotAvailable();
    }
}

void TIdExplicitTLSClient::DoTLSHandshake() {
    try {
        TIdSSLIOHandlerSocketBase* handler = SSLHandler();
        if (handler == nullptr) {
            throw EIdTLSClientSSLIOHandlerRequred();
        }
        handler->StartSSL();
    } catch (const EIdException&) {
        if (m_useTLS == utUseRequireTLS) {
            DisconnectBeforeRaising();
            throw EIdTLSClientTLSHandShakeFailed();
        }
        bool goOn = false;
        if (OnTLSHandShakeFailed) {
            OnTLSHandShakeFailed(goOn);
        }
        if (!goOn) {
            DisconnectBeforeRaising();
            throw EIdTLSClientTLSHandShakeFailed();
        }
    }
}
