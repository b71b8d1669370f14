#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {

struct PyFtpdOptions {
    std::string user = "harbrook";
    std::string password = "secret";
    // Explicit TLS (AUTH TLS) with a certificate of the test authority, which the test
    // process then trusts (or with the certificate named here).
    bool tls = false;
    TestCertificate certificate = TestCertificate::Trusted;
    bool tlsControlRequired = false;
    bool tlsDataRequired = false;
    // With tls: TLS from the first byte (implicit), instead of AUTH TLS.
    bool implicitTls = false;
    // "::1" serves IPv6 loopback.
    std::string host = "127.0.0.1";
    // Bytes per second on plain data connections, both ways; 0: as fast as it can.
    int throttle = 0;
    // The same, but evenly in 16 KiB steps rather than in bursts of a second's worth, so
    // a test can catch a transfer at any point.
    int smoothRate = 0;
    // Keep the server's session log (see sessionsOpened()).
    bool keepLog = false;
    // Control connections one client address may hold at once (more get 421); 0: any.
    int maxLogins = 0;
    // A command the server is started through (its program and first arguments), such
    // as `ip netns exec NAME` to serve from inside a network namespace; empty: directly.
    std::vector<std::string> launcher;

    // TLS required on the control connection (and, with `data`, on data connections),
    // presenting `certificate`, the session log kept.
    static PyFtpdOptions RequiringTls(TestCertificate certificate, bool data = false) {
        PyFtpdOptions options;
        options.tls = true;
        options.tlsControlRequired = true;
        options.tlsDataRequired = data;
        options.certificate = certificate;
        options.keepLog = true;
        return options;
    }
};

// A real FTP server (Debian's pyftpdlib under /usr/bin/python3) on a free loopback
// port, serving a fresh temporary folder. Started by the constructor, which returns
// once the server listens; stopped (by its own PID) by stop() or the destructor.
class PyFtpdServer {
public:
    explicit PyFtpdServer(PyFtpdOptions options = {});
    ~PyFtpdServer();
    PyFtpdServer(const PyFtpdServer&) = delete;
    PyFtpdServer& operator=(const PyFtpdServer&) = delete;

    // Why the server cannot run here (pyftpdlib missing, say); empty when it can.
    static std::string unavailableReason();

    const std::string& host() const { return m_options.host; }
    // How many control connections the server has accepted (needs keepLog).
    int sessionsOpened() const;
    // How many logins the server accepted (needs keepLog).
    int loginsAccepted() const;
    // The server's session log so far (needs keepLog): logins, and one line per transfer
    // with the bytes it moved ("RETR /f completed=1 bytes=4096 seconds=0.001").
    std::string log() const;
    std::uint16_t port() const { return m_port; }
    const std::string& user() const { return m_options.user; }
    const std::string& password() const { return m_options.password; }
    // The folder the user sees as "/".
    const std::string& root() const { return m_root.path(); }

    void stop();
    // Kills the server at once (SIGKILL), as a crash would, in the middle of whatever it
    // does; restart() starts it again on the same port, folder and log.
    void kill();
    void restart();
    // Stops the server where it stands (SIGSTOP), as a hung host does, and lets it go on.
    void freeze();
    void thaw();

private:
    void start(std::uint16_t port);

    PyFtpdOptions m_options;
    TempDir m_root;
    TempDir m_private;
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};

// Starts /usr/bin/python3 with `args` (a script and its arguments); the script prints
// "PORT n" once it listens. Returns the child's PID and sets `port`; throws when it does
// not start. The child dies with the test process.
pid_t startPythonHelper(std::vector<std::string> args, const std::string& what, std::uint16_t& port,
                        std::vector<std::string> launcher = {});
// SIGTERM, then SIGKILL after 3 s; sets `pid` to -1.
void stopPythonHelper(pid_t& pid);

}  // namespace harbrook::testing
