#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tests/support/TempDir.h"

namespace harbrook::testing {

// pure-ftpd or proftpd from Debian's packages, unpacked by scripts/install-test-servers
// (never installed: they conflict with vsftpd), on a free loopback port with a private
// configuration: a virtual account whose files belong to an unprivileged system account
// (pure-ftpd serves nothing as root), passive and active, explicit TLS with the test
// authority's certificate, offered or (tlsRequired) demanded for logins and data. Must
// start as root; stopped with every session process.
class UnpackedFtpServer {
public:
    enum class Kind { PureFtpd, Proftpd };

    UnpackedFtpServer(Kind kind, bool tlsRequired);
    ~UnpackedFtpServer();
    UnpackedFtpServer(const UnpackedFtpServer&) = delete;
    UnpackedFtpServer& operator=(const UnpackedFtpServer&) = delete;

    // Why the server cannot run here (not root, not unpacked); empty when it can.
    static std::string unavailableReason(Kind kind);
    static const char* name(Kind kind) { return kind == Kind::PureFtpd ? "pure-ftpd" : "proftpd"; }

    std::string host() const { return "127.0.0.1"; }
    std::uint16_t port() const { return m_port; }
    std::string user() const { return "harbrook"; }
    const std::string& password() const { return m_password; }
    // The folder the account starts in (owned by the account).
    const std::string& root() const { return m_root.path(); }

private:
    void start();
    void stop();
    std::string configure();

    Kind m_kind;
    bool m_tlsRequired;
    TempDir m_root;
    TempDir m_private;
    std::string m_password;
    std::uint16_t m_port = 0;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    pid_t m_pid = -1;
};

}  // namespace harbrook::testing
