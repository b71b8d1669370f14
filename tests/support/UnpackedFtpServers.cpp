#include "tests/support/UnpackedFtpServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/NetworkHelpers.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {

namespace {

// The unprivileged owner of the served files: the system account the vsftpd fixture
// makes too (without a password of ours: the servers log in a virtual account).
constexpr const char* kOwner = "harbrookftp";

std::string unpackedRoot() {
    const char* given = std::getenv("HARBROOK_TEST_SERVERS");
    return std::string(given != nullptr && *given != '\0' ? given : "/var/cache/harbrook-test-servers") + "/root";
}

std::string program(UnpackedFtpServer::Kind kind) {
    return unpackedRoot() + (kind == UnpackedFtpServer::Kind::PureFtpd ? "/usr/sbin/pure-ftpd" : "/usr/sbin/proftpd");
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("server fixture: failed: " + command);
    }
}

std::string randomPassword() {
    std::random_device device;
    std::mt19937 generator(device());
    std::string password = "Hb-";
    for (int i = 0; i < 16; ++i) {
        password += "abcdefghijkmnpqrstuvwxyz23456789"[generator() % 32];
    }
    return password;
}

}  // namespace

std::string UnpackedFtpServer::unavailableReason(Kind kind) {
    if (::geteuid() != 0) {
        return std::string(name(kind)) + " must start as root; run the suite as root to include these tests";
    }
    if (::access(program(kind).c_str(), X_OK) != 0) {
        return std::string(name(kind)) + " is not unpacked at " + unpackedRoot() +
               " (scripts/install-test-servers unpacks it)";
    }
    return {};
}

UnpackedFtpServer::UnpackedFtpServer(Kind kind, bool tlsRequired)
    : m_kind(kind), m_tlsRequired(tlsRequired), m_password(randomPassword()) {
    if (getpwnam(kOwner) == nullptr) {
        run(std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") + kOwner + " >/dev/null 2>&1");
    }
    const passwd* owner = getpwnam(kOwner);
    if (owner == nullptr) {
        throw std::runtime_error(std::string("server fixture: no account ") + kOwner);
    }
    m_uid = owner->pw_uid;
    m_gid = owner->pw_gid;
    if (::chown(m_root.path().c_str(), m_uid, m_gid) != 0 || ::chmod(m_root.path().c_str(), 0755) != 0) {
        throw std::runtime_error("server fixture: cannot own the served folder");
    }
    trustTestAuthority();
    writeTestCertificate(m_private.file("cert.pem"), m_private.file("key.pem"), TestCertificate::Trusted);
    start();
}

UnpackedFtpServer::~UnpackedFtpServer() {
    stop();
}

std::string UnpackedFtpServer::configure() {
    const std::string base = unpackedRoot();
    const std::string port = std::to_string(m_port);
    // Passive ports of their own per server, so two fixtures never share a range.
    const int low = 30000 + (m_port % 300) * 100;
    const std::string passive = std::to_string(low) + " " + std::to_string(low + 99);
    // The account's password as crypt(3) reads it: SHA-512, not the servers' own
    // default (pure-pw's argon2 takes a second per login).
    const std::string hashFile = m_private.file("hash");
    run("openssl passwd -6 '" + m_password + "' > " + hashFile);
    std::string hash = readFile(hashFile);
    hash.erase(hash.find_last_not_of("\r\n") + 1);
    const std::string ids = std::to_string(m_uid) + ":" + std::to_string(m_gid);
    if (m_kind == Kind::PureFtpd) {
        // pure-pw's file layout ("/./" ends the home: the account is kept inside it),
        // turned into the database the server reads.
        writeFile(m_private.file("pureftpd.passwd"), user() + ":" + hash + ":" + ids + "::" + root() + "/./::::::::::::\n");
        run(base + "/usr/bin/pure-pw mkdb " + m_private.file("pureftpd.pdb") + " -f " + m_private.file("pureftpd.passwd") +
            " >/dev/null");
        writeFile(m_private.file("pure-ftpd.pem"),
                  readFile(m_private.file("key.pem")) + readFile(m_private.file("cert.pem")));
        return {};
    }
    writeFile(m_private.file("ftpd.passwd"), user() + ":" + hash + ":" + ids + "::" + root() + ":/bin/sh\n");
    ::chmod(m_private.file("ftpd.passwd").c_str(), 0600);
    const std::string config = m_private.file("proftpd.conf");
    writeFile(config, "ServerType standalone\nServerName \"harbrook test\"\nDefaultAddress 127.0.0.1\n"
                      "Port " + port + "\nUseIPv6 off\nUser nobody\nGroup nogroup\n"
                      "PidFile " + m_private.file("proftpd.pid") + "\n"
                      "ScoreboardFile " + m_private.file("proftpd.scoreboard") + "\n"
                      "DelayTable none\nWtmpLog off\nUseReverseDNS off\nRequireValidShell off\n"
                      "AuthOrder mod_auth_file.c\nAuthUserFile " + m_private.file("ftpd.passwd") + "\n"
                      "DefaultRoot ~\nPassivePorts " + passive + "\nAllowOverwrite on\n"
                      "AllowStoreRestart on\nAllowRetrieveRestart on\n"
                      "ModulePath " + base + "/usr/lib/proftpd\nLoadModule mod_tls.c\n"
                      "<IfModule mod_tls.c>\n  TLSEngine on\n  TLSRequired " + (m_tlsRequired ? "on" : "off") + "\n"
                      "  TLSRSACertificateFile " + m_private.file("cert.pem") + "\n"
                      "  TLSRSACertificateKeyFile " + m_private.file("key.pem") + "\n"
                      "  TLSProtocol TLSv1.2 TLSv1.3\n  TLSOptions NoSessionReuseRequired\n</IfModule>\n");
    return config;
}

void UnpackedFtpServer::start() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = unusedLoopbackPort();
        const std::string config = configure();
        const int low = 30000 + (m_port % 300) * 100;
        std::vector<std::string> args;
        if (m_kind == Kind::PureFtpd) {
            // -E: accounts only; -Y 1 offers TLS, -Y 3 demands it for logins and data.
            args = {program(m_kind), "-S", "127.0.0.1," + std::to_string(m_port), "-l",
                    "puredb:" + m_private.file("pureftpd.pdb"), "-E", "-A", "-p",
                    std::to_string(low) + ":" + std::to_string(low + 99), "-Y", m_tlsRequired ? "3" : "1", "-2",
                    m_private.file("pure-ftpd.pem")};
        } else {
            args = {program(m_kind), "-n", "-q", "-c", config};
        }
        m_pid = startServerProcess(args, m_port, {"LD_LIBRARY_PATH=" + unpackedRoot() + "/usr/lib/x86_64-linux-gnu"});
        if (m_pid > 0) {
            return;
        }
    }
    throw std::runtime_error(std::string("server fixture: ") + name(m_kind) + " did not start");
}

void UnpackedFtpServer::stop() {
    // proftpd rewrites its sessions' titles, so the group is what reaches those.
    stopServerProcess(m_pid, m_private.path());
}

}  // namespace harbrook::testing
