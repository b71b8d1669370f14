#pragma once

#include <functional>

#include "ftp/transport/IdSSLOpenSSL.h"
#include "ftp/transport/IdTCPClient.h"

enum TIdUseTLS { utNoTLSSupport, utUseImplicitTLS, utUseRequireTLS, utUseExplicitTLS };

// Given a continue flag to change: whether to go on after a TLS problem.
using TIdTLSContinueEvent = std::function<void(bool& continueFlag)>;

// A client that can switch its connection to TLS after a plain start (AUTH-style).
class TIdExplicitTLSClient : public TIdTCPClient {
public:
    TIdUseTLS UseTLS() const { return m_useTLS; }
    // Not while connected; anything but utNoTLSSupport needs a TLS-capable handler.
    virtual void SetUseTLS(TIdUseTLS value);
    // A handler that cannot do TLS turns TLS off.
    void SetIOHandler(TIdIOHandler* handler) override;
    using TIdTCPClient::SetIOHandler;

    // While settings are being loaded, setters store without their checks.
    void SetLoading(bool loading) { m_loading = loading; }
    bool Loading() const { return m_loading; }

    // The server offers no TLS; preset to continue in plain text.
    TIdTLSContinueEvent OnTLSNotAvailable;
    // The server refused the negotiation command; preset to stop.
    TIdTLSContinueEvent OnTLSNegCmdFailed;
    // The TLS handshake failed; preset to stop.
    TIdTLSContinueEvent OnTLSHandShakeFailed;

protected:
    TIdSSLIOHandlerSocketBase* SSLHandler() const;

    // Called when TLS did not come about; raises unless the policy and the handler
    // allow going on in plain text.
    void TLSNotAvailable();
    void ProcessTLSNegCmdFailed();
    // Runs the handshake; a failure goes through the handshake-failed rules.
    void DoTLSHandshake();
    // Disconnects, ignoring any error of the goodbye itself, before a TLS error is raised.
    void DisconnectBeforeRaising();

    TIdUseTLS m_useTLS = utNoTLSSupport;
    bool m_loading = false;
};
