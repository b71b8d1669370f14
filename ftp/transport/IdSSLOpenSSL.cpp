#include "ftp/transport/IdSSLOpenSSL.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "ftp/IdFTPExceptions.h"
#include "platform/SocketAddress.h"

namespace harbrook {

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
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
    // Many FTP servers end a data connection without a TLS close_notify; the server's
    // completion reply, not the TLS layer, says whether a transfer is whole.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE |
                                        SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    m_context = std::move(context);
}

void TIdSSLIOHandlerSocketOpenSSL::AfterConnect() {
    try {
        createContext();
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
    // A data connection reads ahead: it carries one stream to its end and never goes back
    // to plain text, so OpenSSL may take whatever the socket holds in one read.
    clone->m_readAhead = true;
    clone->OnStatusInfo = OnStatusInfo;
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
