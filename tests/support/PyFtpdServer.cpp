#include "tests/support/PyFtpdServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#ifndef HARBROOK_TEST_SUPPORT_DIR
#error "HARBROOK_TEST_SUPPORT_DIR must name tests/support"
#endif

namespace harbrook::testing {

namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartTimeoutMs = 20000;

// Reads the child's first output line, waiting at most timeoutMs.
std::string readFirstLine(int fd, int timeoutMs) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char chunk[256];
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        text.append(chunk, static_cast<size_t>(got));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

std::string PyFtpdServer::unavailableReason() {
    if (::access(kPython, X_OK) != 0) {
        return std::string(kPython) + " is missing";
    }
    const std::string probe = std::string(kPython) +
                              " -c 'import pyftpdlib, OpenSSL' >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) {
        return "python3-pyftpdlib or python3-openssl is not installed (scripts/install-deps)";
    }
    return {};
}

PyFtpdServer::PyFtpdServer(PyFtpdOptions options) : m_options(std::move(options)) {
    start(0);
}

void PyFtpdServer::kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

void PyFtpdServer::freeze() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGSTOP);
    }
}

void PyFtpdServer::thaw() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGCONT);
    }
}

void PyFtpdServer::restart() {
    stop();
    start(m_port);
}

void PyFtpdServer::start(std::uint16_t port) {
    std::vector<std::string> args = {std::string(HARBROOK_TEST_SUPPORT_DIR) + "/pyftpd_server.py",
                                     "--root", m_root.path(),
                                     "--user", m_options.user,
                                     "--password", m_options.password,
                                     "--host", m_options.host,
                                     "--port", std::to_string(port),
                                     "--throttle", std::to_string(m_options.throttle),
                                     "--smooth-rate", std::to_string(m_options.smoothRate),
                                     "--max-logins", std::to_string(m_options.maxLogins)};
    if (m_options.keepLog) {
        args.push_back("--log");
        args.push_back(m_private.file("server.log"));
    }
    if (m_options.tls) {
        trustTestAuthority();
        writeTestCertificate(m_private.file("server.pem"), m_private.file("server.pem"), m_options.certificate);
        args.push_back("--certfile");
        args.push_back(m_private.file("server.pem"));
        if (m_options.tlsControlRequired) {
            args.push_back("--tls-control-required");
        }
        if (m_options.tlsDataRequired) {
            args.push_back("--tls-data-required");
        }
        if (m_options.implicitTls) {
            args.push_back("--implicit");
        }
    }
    m_pid = startPythonHelper(std::move(args), "pyftpd", m_port, m_options.launcher);
}

PyFtpdServer::~PyFtpdServer() {
    stop();
}

void PyFtpdServer::stop() {
    // A frozen server would not hear SIGTERM.
    thaw();
    stopPythonHelper(m_pid);
}

pid_t startPythonHelper(std::vector<std::string> args, const std::string& what, std::uint16_t& port,
                        std::vector<std::string> launcher) {
    args.insert(args.begin(), kPython);
    // The launcher execs the helper in its own place: the PID stays the helper's, so
    // freeze, thaw and kill still reach it.
    args.insert(args.begin(), launcher.begin(), launcher.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error(what + ": cannot create a pipe");
    }
    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw std::runtime_error(what + ": cannot fork");
    }
    if (pid == 0) {
        // The helper must not outlive a test process that dies.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    const std::string line = readFirstLine(pipeFds[0], kStartTimeoutMs);
    ::close(pipeFds[0]);
    port = 0;
    if (line.rfind("PORT ", 0) == 0) {
        port = static_cast<std::uint16_t>(std::atoi(line.c_str() + 5));
    }
    if (port == 0) {
        stopPythonHelper(pid);
        throw std::runtime_error(what + ": the helper did not start (" +
                                 (line.empty() ? std::string("no output") : line) + ")");
    }
    return pid;
}

void stopPythonHelper(pid_t& pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < 3000; waited += 10) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    pid = -1;
}

}  // namespace harbrook::testing

namespace harbrook::testing {

namespace {

int occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

int PyFtpdServer::sessionsOpened() const {
    return occurrences(readFile(m_private.file("server.log")), "FTP session opened");
}

std::string PyFtpdServer::log() const {
    return readFile(m_private.file("server.log"));
}

int PyFtpdServer::loginsAccepted() const {
    return occurrences(readFile(m_private.file("server.log")), "logged in.");
}

}  // namespace harbrook::testing
