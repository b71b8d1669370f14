#include "tests/support/VsftpdServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
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

#include "tests/support/NetworkHelpers.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";
constexpr const char* kHome = "/var/lib/harbrook-ftp-test";
constexpr const char* kLockFile = "/var/lock/harbrook-vsftpd-test.lock";

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("vsftpd fixture: failed: " + command);
    }
}

// The account vsftpd logs in through PAM: a system account whose shell is listed in
// /etc/shells and whose home exists (vsftpd changes into it first).
uid_t prepareAccount(const std::string& user, const std::string& password) {
    if (getpwnam(user.c_str()) == nullptr) {
        run("useradd --system --home-dir " + std::string(kHome) + " --shell /bin/sh " + user +
            " >/dev/null 2>&1");
    }
    const passwd* entry = getpwnam(user.c_str());
    if (entry == nullptr) {
        throw std::runtime_error("vsftpd fixture: no account " + user);
    }
    std::filesystem::create_directories(kHome);
    if (::chown(kHome, entry->pw_uid, entry->pw_gid) != 0) {
        throw std::runtime_error("vsftpd fixture: cannot own the home folder");
    }
    run("echo '" + user + ":" + password + "' | chpasswd");
    return entry->pw_uid;
}

std::string randomPassword() {
    std::random_device device;
    std::mt19937 generator(device());
    std::uniform_int_distribution<int> digit(0, 35);
    std::string password = "Hb-";
    for (int i = 0; i < 20; ++i) {
        const int value = digit(generator);
        password += static_cast<char>(value < 10 ? '0' + value : 'a' + value - 10);
    }
    return password;
}

}  // namespace

std::string VsftpdServer::unavailableReason() {
    if (::geteuid() != 0) {
        return "vsftpd must start as root; run the suite as root to include these tests";
    }
    if (::access(kVsftpd, X_OK) != 0) {
        return "vsftpd is not installed (scripts/install-deps installs it)";
    }
    return {};
}

VsftpdServer::VsftpdServer(TestCertificate certificate, std::string extraConfig)
    : m_extraConfig(std::move(extraConfig)) {
    m_lockFd = ::open(kLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0 || ::flock(m_lockFd, LOCK_EX) != 0) {
        throw std::runtime_error("vsftpd fixture: cannot take " + std::string(kLockFile));
    }
    try {
        m_password = randomPassword();
        const uid_t uid = prepareAccount(m_user, m_password);
        const passwd* entry = getpwuid(uid);
        if (::chown(m_root.path().c_str(), uid, entry != nullptr ? entry->pw_gid : 0) != 0) {
            throw std::runtime_error("vsftpd fixture: cannot own the served folder");
        }
        // vsftpd runs its unprivileged parts in this empty folder.
        std::filesystem::create_directory(m_private.file("empty"));
        trustTestAuthority();
        writeTestCertificate(m_private.file("cert.pem"), m_private.file("key.pem"), certificate);
        start();
    } catch (...) {
        ::close(m_lockFd);
        throw;
    }
}

void VsftpdServer::start() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = unusedLoopbackPort();
        const std::string config = m_private.file("vsftpd.conf");
        writeFile(config,
                  "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                  "listen_port=" + std::to_string(m_port) + "\n"
                  "background=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
                  "local_umask=022\nlocal_root=" + m_root.path() + "\n"
                  "secure_chroot_dir=" + m_private.file("empty") + "\n"
                  "pam_service_name=vsftpd\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                  "userlist_enable=NO\nconnect_from_port_20=NO\nport_enable=YES\n"
                  "ssl_enable=YES\nssl_ciphers=HIGH\n"
                  "rsa_cert_file=" + m_private.file("cert.pem") + "\n"
                  "rsa_private_key_file=" + m_private.file("key.pem") + "\n" + m_extraConfig);
        m_pid = startServerProcess({kVsftpd, config}, m_port);
        if (m_pid > 0) {
            return;
        }
    }
    throw std::runtime_error("vsftpd fixture: the server did not start");
}

VsftpdServer::~VsftpdServer() {
    stop();
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

void VsftpdServer::freeze() {
    signalProcessesNaming(m_private.file("vsftpd.conf"), SIGSTOP);
}

void VsftpdServer::thaw() {
    signalProcessesNaming(m_private.file("vsftpd.conf"), SIGCONT);
}

bool VsftpdServer::waitForNoSessions(int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        // The listener is the one process left.
        if (signalProcessesNaming(m_private.file("vsftpd.conf"), 0) <= 1) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void VsftpdServer::stop() {
    stopServerProcess(m_pid, m_private.file("vsftpd.conf"));
}

}  // namespace harbrook::testing
