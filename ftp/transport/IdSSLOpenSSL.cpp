#include "ftp/transport/IdSSLOpenSSL.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <mutex>

#include "ftp/IdFTPExceptions.h"
#include "platform/MessageText.h"
#include "platform/SocketAddress.h"

namespace harbrook {

std::string CertificateFingerprint(x509_st* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) {
        return {};
    }
    static const char* const kHex = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0) {
            text += ':';
        }
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0x0F];
    }
    return text;
}

bool loadOpenSSL() {
    static std::once_flag once;
    static bool loaded = false;
    std::call_once(once, [] { loaded = OPENSSL_init_ssl(0, nullptr) == 1; });
    return loaded;
}

}  // namespace harbrook

namespace {

// Offered when the options name no cipher list; OpenSSL drops what it does not have.
constexpr const char* kDefaultCipherList = "AES:ALL:!aNULL:!eNULL:+RC4:@STRENGTH";

// How long a closing TLS connection waits for the peer to close its side.
constexpr int kCloseLingerMs = 3000;

int socketOf(BIO* bio) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

// The OpenSSL reason of the latest failure, to follow our own message.
std::string openSSLReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0) {
        return {};
    }
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

[[noreturn]] void raiseRecordError() {
    const std::string reason = openSSLReason();
    throw EIdOSSLUnderlyingCryptoError(
        reason.empty() ? EIdOSSLUnderlyingCryptoError().what()
                       : std::string(EIdOSSLUnderlyingCryptoError().what()) + "\r\n" + reason);
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// OpenSSL's own socket BIO writes with write(), so a peer that has gone raises SIGPIPE
// and ends the process. Ours sends with MSG_NOSIGNAL: a hang-up is an error code.
BIO_METHOD* noSignalSocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "harbrook socket");
        BIO_meth_set_write(made, [](BIO* bio, const char* data, int length) -> int {
            BIO_clear_retry_flags(bio);
            const ssize_t put = ::send(socketOf(bio), data, static_cast<size_t>(length), MSG_NOSIGNAL);
            if (put < 0 && wouldBlock(errno)) {
                BIO_set_retry_write(bio);
            }
            return static_cast<int>(put);
        });
        BIO_meth_set_read(made, [](BIO* bio, char* data, int length) -> int {
            BIO_clear_retry_flags(bio);
            const ssize_t got = ::recv(socketOf(bio), data, static_cast<size_t>(length), 0);
            if (got < 0 && wouldBlock(errno)) {
                BIO_set_retry_read(bio);
            }
            return static_cast<int>(got);
        });
        BIO_meth_set_ctrl(made, [](BIO*, int command, long, void*) -> long {
            return command == BIO_CTRL_FLUSH ? 1 : 0;
        });
        BIO_meth_set_create(made, [](BIO* bio) -> int {
            BIO_set_init(bio, 1);
            return 1;
        });
        return made;
    }();
    return method;
}

// Where an SSL object keeps the handler whose verification it reports to.
int handlerIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// A certificate's names and dates are the server's text: long ones are cut for the
// messages they end up in.
constexpr std::size_t kMaxNameText = 512;

std::string nameText(const X509_NAME* name) {
    if (name == nullptr) {
        return {};
    }
    BIO* out = BIO_new(BIO_s_mem());
    if (out == nullptr) {
        return {};
    }
    X509_NAME_print_ex(out, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long length = BIO_get_mem_data(out, &data);
    std::string text(data, length > 0 ? static_cast<std::size_t>(length) : 0);
    BIO_free(out);
    return harbrook::ShortenedForMessage(text, kMaxNameText);
}

std::string timeText(const ASN1_TIME* time) {
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) {
        return "(unknown)";
    }
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

bool isAddressLiteral(const std::string& name) {
    unsigned char address[16];
    return ::inet_pton(AF_INET, name.c_str(), address) == 1 || ::inet_pton(AF_INET6, name.c_str(), address) == 1;
}

}  // namespace

void TIdSSLIOHandlerSocketOpenSSL::SessionFree::operator()(ssl_st* ssl) const {
    SSL_free(ssl);
}

TIdSSLIOHandlerSocketOpenSSL::TIdSSLIOHandlerSocketOpenSSL() = default;

TIdSSLIOHandlerSocketOpenSSL::~TIdSSLIOHandlerSocketOpenSSL() {
    Close();
}

void TIdSSLIOHandlerSocketOpenSSL::createContext() {
    if (!harbrook::loadOpenSSL()) {
        throw EIdOSSLCouldNotLoadSSLLibrary();
    }
    // Whatever version the options name, the general client method is used with
    // TLS 1.2 as the floor: current OpenSSL refuses the old fixed-version methods.
    const SSL_METHOD* method = TLS_client_method();
    if (method == nullptr) {
        throw EIdOSSLGetMethodError();
    }
    std::shared_ptr<ssl_ctx_st> context(SSL_CTX_new(method), SSL_CTX_free);
    if (!context) {
        throw EIdOSSLCreatingContextError();
    }
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    const std::string& ciphers =
        m_options.CipherList.empty() ? std::string(kDefaultCipherList) : m_options.CipherList;
    if (SSL_CTX_set_cipher_list(context.get(), ciphers.c_str()) != 1) {
        throw EIdOSSLSettingCipherError();
    }
    loadAuthorities(context.get());
    // Every problem of the chain is collected and the handshake goes on: whoever uses
    // the connection decides, before anything private is sent, what to make of them.
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, verifyCallback);
    // Many FTP servers end a data connection without a TLS close_notify; the server's
    // completion reply, not the TLS layer, says whether a transfer is whole.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE |
                                        SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    m_context = std::move(context);
}

void TIdSSLIOHandlerSocketOpenSSL::loadAuthorities(ssl_ctx_st* context) const {
    if (m_options.RootCertFile.empty() && m_options.VerifyDirs.empty()) {
        // The system's store (Debian's ca-certificates), or what SSL_CERT_FILE and
        // SSL_CERT_DIR name.
        SSL_CTX_set_default_verify_paths(context);
        return;
    }
    const char* file = m_options.RootCertFile.empty() ? nullptr : m_options.RootCertFile.c_str();
    const char* folder = m_options.VerifyDirs.empty() ? nullptr : m_options.VerifyDirs.c_str();
    if (SSL_CTX_load_verify_locations(context, file, folder) != 1) {
        ERR_clear_error();
        throw EIdOSSLCouldNotLoadAuthorities("Could not load the trusted certificates from " +
                                             harbrook::ShortenedForMessage(file != nullptr ? file : folder) + ".");
    }
}

int TIdSSLIOHandlerSocketOpenSSL::verifyCallback(int preverified, x509_store_ctx_st* store) {
    if (preverified == 1) {
        return 1;
    }
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* handler = ssl == nullptr ? nullptr
                                   : static_cast<TIdSSLIOHandlerSocketOpenSSL*>(SSL_get_ex_data(ssl, handlerIndex()));
    if (handler == nullptr) {
        return 0;
    }
    const int error = X509_STORE_CTX_get_error(store);
    switch (error) {
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            handler->m_verifyProblems |= TIdPeerCertificate::SelfSigned;
            break;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            handler->m_verifyProblems |= TIdPeerCertificate::UnknownIssuer;
            break;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            handler->m_verifyProblems |= TIdPeerCertificate::Expired;
            break;
        case X509_V_ERR_CERT_NOT_YET_VALID:
            handler->m_verifyProblems |= TIdPeerCertificate::NotYetValid;
            break;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            handler->m_verifyProblems |= TIdPeerCertificate::NameMismatch;
            break;
        default: {
            handler->m_verifyProblems |= TIdPeerCertificate::Other;
            const std::string reason = X509_verify_cert_error_string(error);
            auto& reasons = handler->m_otherReasons;
            // A chain of a hundred certificates must not make a hundred lines.
            if (reasons.size() < 8 && std::find(reasons.begin(), reasons.end(), reason) == reasons.end()) {
                reasons.push_back(reason);
            }
        }
    }
    return 1;
}

void TIdSSLIOHandlerSocketOpenSSL::prepareNameCheck(ssl_st* ssl) const {
    if (m_peerName.empty()) {
        return;
    }
    // OpenSSL's own matching (wildcards, subject alternative names), never ours.
    if (isAddressLiteral(m_peerName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), m_peerName.c_str());
    } else {
        SSL_set1_host(ssl, m_peerName.c_str());
        SSL_set_tlsext_host_name(ssl, m_peerName.c_str());
    }
}

void TIdSSLIOHandlerSocketOpenSSL::describePeer(ssl_st* ssl) {
    TIdPeerCertificate peer;
    peer.CheckedName = m_peerName;
    X509* leaf = SSL_get1_peer_certificate(ssl);
    if (leaf != nullptr) {
        peer.Present = true;
        peer.Subject = nameText(X509_get_subject_name(leaf));
        peer.Issuer = nameText(X509_get_issuer_name(leaf));
        peer.NotBefore = timeText(X509_get0_notBefore(leaf));
        peer.NotAfter = timeText(X509_get0_notAfter(leaf));
        peer.Sha256 = harbrook::CertificateFingerprint(leaf);
        X509_free(leaf);
    }
    peer.Problems = m_verifyProblems;
    peer.OtherReasons = m_otherReasons;
    // A session resumed without a new verification keeps the result it had then.
    const bool verified = SSL_get_verify_result(ssl) == X509_V_OK || m_verifyProblems != 0;
    if (!verified) {
        peer.Problems |= TIdPeerCertificate::Other;
        peer.OtherReasons.push_back(X509_verify_cert_error_string(SSL_get_verify_result(ssl)));
    }
    peer.Trusted = peer.Present && peer.Problems == 0;
    m_peer = std::move(peer);
}

void TIdSSLIOHandlerSocketOpenSSL::AfterConnect() {
    try {
        // A data connection keeps the control connection's context: its session cache (the
        // handshake resumes) and its loaded authorities. Making a new one parsed the whole
        // system store for every file (25 ms of CPU per file, the bulk of a tree over TLS).
        if (!m_sharesControlContext || !m_context) {
            createContext();
        }
    } catch (const EIdOpenSSLError&) {
        // A plain connection does not need TLS; the failure shows once TLS is asked for.
        if (!m_passThrough) {
            throw;
        }
    }
    if (!m_passThrough) {
        handshake();
    }
}

void TIdSSLIOHandlerSocketOpenSSL::SetPassThrough(bool passThrough) {
    if (passThrough == m_passThrough) {
        return;
    }
    if (passThrough && tlsActive()) {
        leaveTLS();
    }
    m_passThrough = passThrough;
    if (!passThrough && Opened()) {
        try {
            handshake();
        } catch (...) {
            m_passThrough = true;
            m_ssl.reset();
            throw;
        }
    }
}

void TIdSSLIOHandlerSocketOpenSSL::leaveTLS() {
    // Back to plain text on a live connection (CCC): both sides send close_notify, and
    // the server's must be read here, or its bytes would reach the plain line reader.
    for (int round = 0; round < 16; ++round) {
        ERR_clear_error();
        const int result = SSL_shutdown(m_ssl.get());
        if (result == 1) {
            break;
        }
        if (result < 0) {
            const int error = SSL_get_error(m_ssl.get(), result);
            const short waitFor = error == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN;
            if ((error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) ||
                !harbrook::waitForSocket(SocketFd(), waitFor, handshakeTimeout())) {
                ERR_clear_error();
                break;
            }
        }
    }
    m_ssl.reset();
}

int TIdSSLIOHandlerSocketOpenSSL::handshakeTimeout() const {
    return ReadTimeout() > 0 ? ReadTimeout() : -1;
}

void TIdSSLIOHandlerSocketOpenSSL::handshake() {
    if (!m_context) {
        createContext();
    }
    std::unique_ptr<ssl_st, SessionFree> ssl(SSL_new(m_context.get()));
    if (!ssl) {
        throw EIdOSSLDataBindingError();
    }
    BIO* bio = BIO_new(noSignalSocketMethod());
    if (bio == nullptr) {
        throw EIdOSSLFDSetError();
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(SocketFd())));
    SSL_set_bio(ssl.get(), bio, bio);
    m_deferredRead.reset();
    if (m_readAhead) {
        SSL_set_read_ahead(ssl.get(), 1);
        SSL_set_default_read_buffer_len(ssl.get(), kReadAheadBytes);
    }
    if (m_resumeSession) {
        SSL_set_session(ssl.get(), m_resumeSession.get());
    }
    SSL_set_ex_data(ssl.get(), handlerIndex(), this);
    prepareNameCheck(ssl.get());
    m_verifyProblems = 0;
    m_otherReasons.clear();
    m_peer = TIdPeerCertificate();
    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(ssl.get());
        if (result == 1) {
            break;
        }
        const int error = SSL_get_error(ssl.get(), result);
        short waitFor = 0;
        if (error == SSL_ERROR_WANT_READ) {
            waitFor = POLLIN;
        } else if (error == SSL_ERROR_WANT_WRITE) {
            waitFor = POLLOUT;
        } else {
            ERR_clear_error();
            throw EIdOSSLConnectError();
        }
        if (!harbrook::waitForSocket(SocketFd(), waitFor, handshakeTimeout())) {
            throw EIdOSSLConnectError();
        }
    }
    describePeer(ssl.get());
    if (!m_expectedFingerprint.empty() && m_peer.Sha256 != m_expectedFingerprint) {
        // Not one byte goes over a connection to someone else than the session's server.
        ERR_clear_error();
        SSL_shutdown(ssl.get());
        throw EIdOSSLPeerCertificateChanged();
    }
    m_ssl = std::move(ssl);

    const SSL_CIPHER* cipher = SSL_get_current_cipher(m_ssl.get());
    char description[256] = {};
    SSL_CIPHER_description(cipher, description, sizeof description);
    std::string describe = description;
    while (!describe.empty() && static_cast<unsigned char>(describe.back()) <= ' ') {
        describe.pop_back();
    }
    m_statusText = std::string("Cipher: name = ") + SSL_CIPHER_get_name(cipher) + "; " +
                   "description = " + describe + "; " +
                   "bits = " + std::to_string(SSL_CIPHER_get_bits(cipher, nullptr)) + "; " +
                   "version = " + SSL_get_version(m_ssl.get()) + "; ";
    if (OnStatusInfo) {
        OnStatusInfo(m_statusText);
    }
}

std::unique_ptr<TIdSSLIOHandlerSocketBase> TIdSSLIOHandlerSocketOpenSSL::CloneForDataChannel() const {
    auto clone = std::make_unique<TIdSSLIOHandlerSocketOpenSSL>();
    clone->m_options = m_options;
    // Sharing the context keeps the data connection's TLS in the same session cache.
    clone->m_context = m_context;
    clone->m_sharesControlContext = true;
    // A data connection reads ahead: it carries one stream to its end and never goes back
    // to plain text, so OpenSSL may take whatever the socket holds in one read.
    clone->m_readAhead = true;
    clone->OnStatusInfo = OnStatusInfo;
    clone->m_peerName = m_peerName;
    // The data connection must reach the very server the control connection reached.
    clone->m_expectedFingerprint = m_peer.Sha256;
    clone->rememberSessionOf(*this);
    return clone;
}

void TIdSSLIOHandlerSocketOpenSSL::rememberSessionOf(const TIdSSLIOHandlerSocketOpenSSL& control) {
    if (control.tlsActive()) {
        if (SSL_SESSION* session = SSL_get1_session(control.m_ssl.get())) {
            m_resumeSession.reset(session, SSL_SESSION_free);
        }
    }
}

std::string TIdSSLIOHandlerSocketOpenSSL::ProtocolVersion() const {
    return tlsActive() ? SSL_get_version(m_ssl.get()) : std::string();
}

bool TIdSSLIOHandlerSocketOpenSSL::SessionReused() const {
    return m_ssl != nullptr && SSL_session_reused(m_ssl.get()) == 1;
}

void TIdSSLIOHandlerSocketOpenSSL::Close() {
    if (m_ssl) {
        if (!m_passThrough && Opened() && !AbortiveClose()) {
            // One attempt at a polite close_notify; the peer's answer is not awaited.
            ERR_clear_error();
            SSL_shutdown(m_ssl.get());
            ERR_clear_error();
            // The server answers our close_notify, and may still be reading the end
            // of an upload: closing now would reset the connection under it.
            DrainUntilPeerCloses(kCloseLingerMs);
        }
        m_ssl.reset();
    }
    m_passThrough = true;
    TIdSSLIOHandlerSocketBase::Close();
}

bool TIdSSLIOHandlerSocketOpenSSL::Readable(int ms) {
    if (tlsActive() && SSL_pending(m_ssl.get()) > 0) {
        return true;
    }
    return TIdSSLIOHandlerSocketBase::Readable(ms);
}

TIdIOHandler::TransferResult TIdSSLIOHandlerSocketOpenSSL::ReceiveRaw(char* buffer,
                                                                      std::size_t count) {
    if (!tlsActive()) {
        return TIdSSLIOHandlerSocketBase::ReceiveRaw(buffer, count);
    }
    if (m_deferredRead) {
        const DeferredRead deferred = std::move(*m_deferredRead);
        m_deferredRead.reset();
        if (deferred.error) {
            std::rethrow_exception(deferred.error);
        }
        return deferred.result;
    }
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int got = SSL_read(m_ssl.get(), buffer, static_cast<int>(count));
        if (got > 0) {
            return {got + static_cast<ssize_t>(readBuffered(buffer + got, count - static_cast<std::size_t>(got))), 0,
                    false};
        }
        switch (SSL_get_error(m_ssl.get(), got)) {
            case SSL_ERROR_ZERO_RETURN:
                return {0, 0, false};
            case SSL_ERROR_WANT_READ:
                return {0, 0, true};
            case SSL_ERROR_WANT_WRITE:
                if (!harbrook::waitForSocket(SocketFd(), POLLOUT, handshakeTimeout())) {
                    return {0, ETIMEDOUT, false};
                }
                continue;
            case SSL_ERROR_SYSCALL:
                // No error number: the peer closed without a close_notify.
                return {0, errno, false};
            default:
                raiseRecordError();
        }
    }
}

std::size_t TIdSSLIOHandlerSocketOpenSSL::readBuffered(char* buffer, std::size_t count) {
    // A record gives at most 16 KiB; the records already received are taken too, so a
    // large block is one write to the file rather than one per record. Only bytes
    // OpenSSL holds are taken: the socket is not asked again, and an error or the end
    // of the stream is left for the next read to report.
    std::size_t filled = 0;
    while (filled < count && (SSL_pending(m_ssl.get()) > 0 || SSL_has_pending(m_ssl.get()) == 1)) {
        ERR_clear_error();
        errno = 0;
        const int got = SSL_read(m_ssl.get(), buffer + filled, static_cast<int>(count - filled));
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
            continue;
        }
        // The bytes already taken go out first; what ended the loop is the next read's.
        switch (SSL_get_error(m_ssl.get(), got)) {
            case SSL_ERROR_WANT_READ:
            case SSL_ERROR_WANT_WRITE:
                break;
            case SSL_ERROR_ZERO_RETURN:
                m_deferredRead = DeferredRead{{0, 0, false}, nullptr};
                break;
            case SSL_ERROR_SYSCALL:
                m_deferredRead = DeferredRead{{0, errno, false}, nullptr};
                break;
            default:
                try {
                    raiseRecordError();
                } catch (...) {
                    m_deferredRead = DeferredRead{{}, std::current_exception()};
                }
        }
        break;
    }
    return filled;
}

TIdIOHandler::TransferResult TIdSSLIOHandlerSocketOpenSSL::SendRaw(const char* buffer,
                                                                   std::size_t count) {
    if (!tlsActive()) {
        return TIdSSLIOHandlerSocketBase::SendRaw(buffer, count);
    }
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int put = SSL_write(m_ssl.get(), buffer, static_cast<int>(count));
        if (put > 0) {
            return {put, 0, false};
        }
        switch (SSL_get_error(m_ssl.get(), put)) {
            case SSL_ERROR_WANT_WRITE:
                return {0, 0, true};
            case SSL_ERROR_WANT_READ:
                if (!harbrook::waitForSocket(SocketFd(), POLLIN, handshakeTimeout())) {
                    return {0, ETIMEDOUT, false};
                }
                continue;
            case SSL_ERROR_ZERO_RETURN:
                return {0, EPIPE, false};
            case SSL_ERROR_SYSCALL:
                return {0, errno != 0 ? errno : EPIPE, false};
            default:
                raiseRecordError();
        }
    }
}
