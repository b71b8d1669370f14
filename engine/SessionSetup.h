#pragma once

#include <cstdint>
#include <string>

#include "ftp/client/IdFTP.h"
#include "ftp/transport/IdSSLOpenSSL.h"

// How a session is set up: what the user typed, and the rules the front end adds.
struct SessionSettings {
    // Implicit: TLS from the first byte (ftps://, usually port 990).
    enum class Tls { None, Explicit, Required, Implicit };

    std::string host;
    std::uint16_t port = 21;
    std::string user;
    std::string password;
    // Explicit: AUTH TLS; without TLS on the server the client's OnTLSNotAvailable
    // decides whether to go on in plain text.
    Tls tls = Tls::None;
    // The authorities a server certificate is checked against instead of the system's
    // store; empty: the system's.
    std::string caFile;
    bool passive = true;
    // EPSV and EPRT instead of PASV and PORT, where the server lists both (IPv6 always
    // uses them).
    bool extendedDataPort = false;
    // The folder to enter once logged in (an address's path); empty: the login's own.
    std::string startFolder;
    // The window's rule: after any failure in passive mode, one more try in active mode.
    bool activeAfterFailure = true;
    // Every connect, control and data: an address that never answers must not hold the
    // session for the system's two minutes.
    int connectTimeoutMs = 15000;
    int readTimeoutMs = 10000;
    int transferTimeoutMs = 30000;
    int listenTimeoutMs = 30000;
    TIdIPVersion ipVersion = Id_IPv4;
    // Bytes per read and per write on the connections; 0 keeps the library's default.
    int readBlockSize = 0;
    int writeBlockSize = 0;
};

// Bytes per read and per write on the data connections of the command line and the
// window's workers. Large reads mean fewer system calls (and, over TLS, full records
// instead of one per 4 KiB); uploads go in 64 KiB steps: servers that read in steps of
// that size (pyftpdlib) took a 1 GiB upload in half the time so, and the others (vsftpd)
// as fast as in larger ones. Reads return what has arrived, so the transfer list and
// an interruption still act at once on a slow link.
inline constexpr int kTransferReadBlockSize = 256 * 1024;
inline constexpr int kTransferWriteBlockSize = 64 * 1024;

// The one port rule of the window and the command line: 1 to 65535 (0 is no port a
// server listens on; more does not fit in 16 bits and would quietly become another).
constexpr bool IsPortNumber(long long value) {
    return value >= 1 && value <= 65535;
}
inline constexpr const char* kPortRuleText = "a port is a number from 1 to 65535";

// Why these settings cannot be used, before anything is sent; empty when they can. A
// host with a control character is no host name (one with a blank is looked up and not
// found, as any other unknown name), and a line end or NUL in
// the account, the password or the folder would end its command early and smuggle the
// rest in as a command of its own.
std::string SessionSettingsProblem(const SessionSettings& settings);

// The host's brackets go and the address family is chosen (platform's rule): both front
// ends reach a host the same way. Looks the name up; call it where waiting is allowed.
void ChooseAddressFamily(SessionSettings& settings);

// The client's settings from the window's creation on: IPv4 (or the settings' family),
// log in on connect, the time-outs, no proxy, and going on unencrypted when the server
// has no TLS (a front end that asks the user sets its own OnTLSNotAvailable), MLSD
// where the server offers it, and OPTS UTF8 ON where its FEAT lists UTF8.
void PrepareSessionClient(TIdFTP& client, const SessionSettings& settings);

// Copies account, password and port, chooses TLS (with private data: file contents are
// as private as the commands) or plain transport, and connects, passive first and
// then, when the settings say so, active after a failure (not after a refused login,
// certificate or TLS refused: those do not depend on the mode, the password would go
// out twice, and the user was asked already). The second attempt's error is the one raised. Returns the status text
// ("Passive Connection, Explicit TLS (TLSv1.3)").
std::string ConnectSession(TIdFTP& client, TIdSSLIOHandlerSocketOpenSSL& tlsHandler,
                           const SessionSettings& settings);

// "Passive Connection" or "Active Connection"; when TLS was asked for, then
// ", Explicit TLS (TLSv1.3)" with the version the session is encrypted with, or
// ", not encrypted" when it went on in plain text; ", Implicit TLS (…)" for an implicit
// session.
std::string ConnectionStatusText(bool passive, bool tlsAskedFor, const std::string& tlsVersion,
                                 bool implicitTls = false);
