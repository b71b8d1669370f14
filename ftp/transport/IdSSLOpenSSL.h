#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ftp/transport/IdIOHandlerStack.h"
#include "ftp/transport/IdPeerCertificate.h"

struct ssl_ctx_st;
struct ssl_st;
struct ssl_session_st;
struct x509_st;

enum TIdSSLVersion { sslvSSLv2, sslvSSLv23, sslvSSLv3, sslvTLSv1 };
enum TIdSSLMode { sslmUnassigned, sslmClient, sslmServer, sslmBoth };

struct TIdSSLOptions {
    TIdSSLVersion Method = sslvTLSv1;
    TIdSSLMode Mode = sslmUnassigned;
    int VerifyMode = 0;
    int VerifyDepth = 0;
    // The authorities a server certificate is verified against: this file (and the
    // folder of VerifyDirs) instead of the system's store when set.
    std::string RootCertFile;
    std::string CertFile;
    std::string KeyFile;
    std::string VerifyDirs;
    std::string CipherList;
};

// A socket handler that can switch TLS on over an open connection. Until then it is
// plain TCP (pass-through).
class TIdSSLIOHandlerSocketBase : public TIdIOHandlerStack {
public:
    bool PassThrough() const { return m_passThrough; }
    // Clearing pass-through on an open connection runs the TLS handshake.
    virtual void SetPassThrough(bool passThrough) = 0;
    void StartSSL() { SetPassThrough(false); }
    // A fresh handler for a data connection: the same TLS settings, in pass-through,
    // set to resume this handler's TLS session when it starts TLS.
    virtual std::unique_ptr<TIdSSLIOHandlerSocketBase> CloneForDataChannel() const = 0;
    // The name the server's certificate must be issued for (the host the user typed;
    // an IP address is checked as an address). Empty: no name check.
    void SetPeerName(const std::string& name) { m_peerName = name; }
    const std::string& PeerName() const { return m_peerName; }
    // What the last handshake showed of the server's certificate.
    const TIdPeerCertificate& PeerCertificate() const { return m_peer; }
    // "TLSv1.3" while TLS is on; empty otherwise.
    virtual std::string ProtocolVersion() const = 0;

protected:
    std::string m_peerName;
    TIdPeerCertificate m_peer;
    bool m_passThrough = true;
};

// TLS through OpenSSL. The server's certificate is verified (chain and name) and the
// outcome kept for the caller, which decides whether to go on: the handshake itself
// never fails for an untrusted certificate. A data connection's handler insists on the
// very certificate of its control connection.
class TIdSSLIOHandlerSocketOpenSSL : public TIdSSLIOHandlerSocketBase {
public:
    TIdSSLIOHandlerSocketOpenSSL();
    ~TIdSSLIOHandlerSocketOpenSSL() override;

    TIdSSLOptions& SSLOptions() { return m_options; }
    const TIdSSLOptions& SSLOptions() const { return m_options; }

    void SetPassThrough(bool passThrough) override;
    std::unique_ptr<TIdSSLIOHandlerSocketBase> CloneForDataChannel() const override;
    // Whether the last handshake resumed an earlier session.
    bool SessionReused() const;
    // Whether this handler works in the same TLS context as `other` (a data connection in
    // its control connection's: one session cache, the authorities loaded once).
    bool SharesContextWith(const TIdSSLIOHandlerSocketOpenSSL& other) const {
        return m_context != nullptr && m_context == other.m_context;
    }
    std::string ProtocolVersion() const override;
    // The SHA-256 fingerprint ("AB:CD:...") the server must present; a handshake with
    // any other certificate fails with EIdOSSLPeerCertificateChanged. Empty: any.
    void SetExpectedFingerprint(const std::string& fingerprint) { m_expectedFingerprint = fingerprint; }
    // Ends the TLS session (when there is one) before closing the socket.
    void Close() override;
    bool Readable(int ms) override;

    // "Cipher: name = ...; description = ...; bits = ...; version = ...; " of the last
    // handshake; empty before one.
    const std::string& CipherStatusText() const { return m_statusText; }
    // Given the cipher status text after each handshake.
    std::function<void(const std::string& text)> OnStatusInfo;

protected:
    void AfterConnect() override;
    TransferResult ReceiveRaw(char* buffer, std::size_t count) override;
    TransferResult SendRaw(const char* buffer, std::size_t count) override;

private:
    struct SessionFree {
        void operator()(ssl_st* ssl) const;
    };

    void createContext();
    void loadAuthorities(ssl_ctx_st* context) const;
    void prepareNameCheck(ssl_st* ssl) const;
    void describePeer(ssl_st* ssl);
    static int verifyCallback(int preverified, struct x509_store_ctx_st* store);
    void rememberSessionOf(const TIdSSLIOHandlerSocketOpenSSL& control);
    void handshake();
    void leaveTLS();
    int handshakeTimeout() const;
    bool tlsActive() const { return !m_passThrough && m_ssl != nullptr; }
    // Takes records OpenSSL already holds into `buffer`; returns the bytes taken.
    std::size_t readBuffered(char* buffer, std::size_t count);

    static constexpr std::size_t kReadAheadBytes = 256 * 1024;

    TIdSSLOptions m_options;
    std::shared_ptr<ssl_ctx_st> m_context;
    std::unique_ptr<ssl_st, SessionFree> m_ssl;
    // The control connection's session, offered for resumption on a data connection:
    // servers such as vsftpd refuse data connections that do not resume it.
    std::shared_ptr<ssl_session_st> m_resumeSession;
    std::string m_statusText;
    std::string m_expectedFingerprint;
    // What the verification of the running handshake found.
    unsigned m_verifyProblems = 0;
    std::vector<std::string> m_otherReasons;
    bool m_readAhead = false;
    // A data connection's handler uses the context of the control connection it was
    // cloned from; a control connection makes its own at every connect.
    bool m_sharesControlContext = false;
    // How a read that already had bytes to return ended, for the next read to report.
    struct DeferredRead {
        TransferResult result;
        std::exception_ptr error;
    };
    std::optional<DeferredRead> m_deferredRead;
};

namespace harbrook {

// A certificate's SHA-256 as openssl prints it ("AB:CD:..."); empty when it cannot be made.
std::string CertificateFingerprint(x509_st* certificate);

// Loads and initialises OpenSSL once per process; false when that failed.
bool loadOpenSSL();

}  // namespace harbrook
