#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tests/support/TempDir.h"
#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {

// Debian's vsftpd on a free loopback port with a private configuration: explicit TLS
// with its default strictness (TLS forced for logins and data, data connections must
// resume the control connection's TLS session). It must start as root and logs in a
// real local account, which the fixture creates ("harbrookftp", a fresh random password
// for every server; one server at a time per machine). Stopped with all its processes.
class VsftpdServer {
public:
    // TLS with this certificate (the test authority's, which the process then trusts);
    // `extraConfig` lines are added to the configuration ("idle_session_timeout=2\n").
    explicit VsftpdServer(TestCertificate certificate = TestCertificate::Trusted, std::string extraConfig = {});
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    // Why vsftpd cannot run here (not root, not installed); empty when it can.
    static std::string unavailableReason();

    std::string host() const { return "127.0.0.1"; }
    std::uint16_t port() const { return m_port; }
    const std::string& user() const { return m_user; }
    const std::string& password() const { return m_password; }
    // The folder the account starts in (owned by the account).
    const std::string& root() const { return m_root.path(); }

    void stop();
    // Stops the server and every session where they stand (SIGSTOP), as a hung host
    // does, and lets them go on.
    void freeze();
    void thaw();
    // Waits (at most `ms`) until no session of the server is left; whether none is.
    bool waitForNoSessions(int ms);

private:
    void start();

    // Held for the server's life: servers in other test processes would set another
    // password on the shared account.
    int m_lockFd = -1;
    TempDir m_root;
    TempDir m_private;
    std::string m_user = "harbrookftp";
    std::string m_password;
    std::uint16_t m_port = 0;
    pid_t m_pid = -1;
    std::string m_extraConfig;
};

}  // namespace harbrook::testing
