#include "tests/support/ScriptedFtpServer.h"

#include "tests/support/TlsCertificate.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace harbrook::testing {

namespace {

constexpr int kSliceMs = 20;
constexpr int kExpectTimeoutMs = 5000;

std::string verbOf(const std::string& line) {
    std::string verb = line.substr(0, line.find(' '));
    std::transform(verb.begin(), verb.end(), verb.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return verb;
}

}  // namespace

FtpScript& FtpScript::add(StepKind kind, std::string bytes, int pauseMs, std::string reply) {
    m_steps.push_back({kind, std::move(bytes), pauseMs, std::move(reply)});
    return *this;
}

FtpScript& FtpScript::send(std::string bytes) {
    return add(StepKind::Send, std::move(bytes));
}

FtpScript& FtpScript::reply(const std::string& line) {
    return send(line + "\r\n");
}

FtpScript& FtpScript::sendInPieces(const std::vector<std::string>& pieces, int pauseMs) {
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            pause(pauseMs);
        }
        send(pieces[i]);
    }
    return *this;
}

FtpScript& FtpScript::sendByteByByte(const std::string& bytes, int pauseMs) {
    std::vector<std::string> pieces;
    for (char c : bytes) {
        pieces.emplace_back(1, c);
    }
    return sendInPieces(pieces, pauseMs);
}

FtpScript& FtpScript::pause(int ms) {
    return add(StepKind::Pause, {}, ms);
}

FtpScript& FtpScript::expect(std::string line) {
    return add(StepKind::Expect, std::move(line));
}

FtpScript& FtpScript::expectPrefix(std::string prefix) {
    return add(StepKind::ExpectPrefix, std::move(prefix));
}

FtpScript& FtpScript::on(std::string line, const std::string& answer) {
    expect(std::move(line));
    return reply(answer);
}

FtpScript& FtpScript::close() {
    return add(StepKind::Close);
}

FtpScript& FtpScript::reset() {
    return add(StepKind::Reset);
}

FtpScript& FtpScript::hang() {
    return add(StepKind::Hang);
}

FtpScript& FtpScript::sendForever(std::string pattern) {
    return add(StepKind::SendForever, std::move(pattern));
}

FtpScript& FtpScript::startTls(TestCertificate certificate) {
    return add(StepKind::StartTls, {}, static_cast<int>(certificate));
}

FtpScript& FtpScript::startDataTls(TestCertificate certificate) {
    return add(StepKind::StartDataTls, {}, static_cast<int>(certificate));
}

FtpScript& FtpScript::endTls() {
    return add(StepKind::EndTls);
}

FtpScript& FtpScript::passive(std::string command, std::string replyTemplate) {
    return add(StepKind::Passive, std::move(command), 0, std::move(replyTemplate));
}

FtpScript& FtpScript::activeTarget(std::string commandPrefix, const std::string& answer) {
    return add(StepKind::ActiveTarget, std::move(commandPrefix), 0, answer);
}

FtpScript& FtpScript::acceptData() {
    return add(StepKind::AcceptData);
}

FtpScript& FtpScript::connectData() {
    return add(StepKind::ConnectData);
}

FtpScript& FtpScript::sendData(std::string bytes) {
    return add(StepKind::SendData, std::move(bytes));
}

FtpScript& FtpScript::receiveData() {
    return add(StepKind::ReceiveData);
}

FtpScript& FtpScript::closeData() {
    return add(StepKind::CloseData);
}

FtpScript& FtpScript::resetData() {
    return add(StepKind::ResetData);
}

namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// "PORT 127,0,0,1,4,1" or "EPRT |1|127.0.0.1|1025|" -> address and port.
bool parseActiveTarget(const std::string& line, sockaddr_in& target) {
    target = {};
    target.sin_family = AF_INET;
    std::string ip;
    int port = 0;
    if (line.rfind("PORT ", 0) == 0) {
        int parts[6];
        if (std::sscanf(line.c_str() + 5, "%d,%d,%d,%d,%d,%d", &parts[0], &parts[1], &parts[2],
                        &parts[3], &parts[4], &parts[5]) != 6) {
            return false;
        }
        ip = std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
             std::to_string(parts[2]) + "." + std::to_string(parts[3]);
        port = parts[4] * 256 + parts[5];
    } else if (line.rfind("EPRT ", 0) == 0 && line.size() > 6) {
        const char delimiter = line[5];
        std::vector<std::string> fields;
        size_t start = 6;
        for (size_t end = line.find(delimiter, start); end != std::string::npos;
             end = line.find(delimiter, start)) {
            fields.push_back(line.substr(start, end - start));
            start = end + 1;
        }
        if (fields.size() < 3) {
            return false;
        }
        ip = fields[1];
        port = std::atoi(fields[2].c_str());
    } else {
        return false;
    }
    target.sin_port = htons(static_cast<uint16_t>(port));
    return inet_pton(AF_INET, ip.c_str(), &target.sin_addr) == 1;
}

}  // namespace

// One accepted connection: line reading with the server's stop flag in mind.
class ScriptedFtpServer::Session {
public:
    Session(ScriptedFtpServer& server, int fd, std::size_t index)
        : m_server(server), m_fd(fd), m_index(index) {}
    ~Session() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        closeData();
        if (m_dataListener >= 0) {
            ::close(m_dataListener);
        }
        if (m_ssl != nullptr) {
            SSL_free(m_ssl);
        }
    }

    // TLS, server side, on a socket; nothing when the handshake failed.
    static SSL* acceptTls(int fd, TestCertificate certificate) {
        SSL* ssl = SSL_new(testServerTlsContext(certificate));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            return ssl;
        }
        SSL_free(ssl);
        return nullptr;
    }

    bool startDataTls(TestCertificate certificate) {
        m_dataSsl = acceptTls(m_dataFd, certificate);
        return m_dataSsl != nullptr;
    }

    bool startTls(TestCertificate certificate) {
        m_ssl = acceptTls(m_fd, certificate);
        return m_ssl != nullptr;
    }

    bool endTls() {
        if (m_ssl == nullptr) {
            return false;
        }
        int result = SSL_shutdown(m_ssl);
        if (result == 0) {
            result = SSL_shutdown(m_ssl);
        }
        SSL_free(m_ssl);
        m_ssl = nullptr;
        return result == 1;
    }

    // Opens a data listener; returns its port, 0 on failure.
    uint16_t listenForData() {
        if (m_dataListener >= 0) {
            ::close(m_dataListener);
        }
        m_dataListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_dataListener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_dataListener, 1) != 0 ||
            ::getsockname(m_dataListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 0;
        }
        return ntohs(address.sin_port);
    }

    bool acceptData() {
        closeData();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExpectTimeoutMs);
        while (!m_server.m_stopping && std::chrono::steady_clock::now() < until) {
            pollfd entry{m_dataListener, POLLIN, 0};
            if (::poll(&entry, 1, kSliceMs) > 0) {
                m_dataFd = ::accept4(m_dataListener, nullptr, nullptr, SOCK_CLOEXEC);
                return m_dataFd >= 0;
            }
        }
        return false;
    }

    void setActiveTarget(const sockaddr_in& target) { m_activeTarget = target; }

    bool connectData() {
        closeData();
        m_dataFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        return ::connect(m_dataFd, reinterpret_cast<const sockaddr*>(&m_activeTarget),
                         sizeof m_activeTarget) == 0;
    }

    bool sendData(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size() && !m_server.m_stopping) {
            pollfd entry{m_dataFd, POLLOUT, 0};
            if (::poll(&entry, 1, kSliceMs) <= 0) {
                continue;
            }
            const ssize_t put =
                m_dataSsl != nullptr
                    ? SSL_write(m_dataSsl, bytes.data() + done, static_cast<int>(bytes.size() - done))
                    : ::send(m_dataFd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (put <= 0) {
                return false;
            }
            done += static_cast<size_t>(put);
        }
        return true;
    }

    void receiveData() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExpectTimeoutMs);
        while (!m_server.m_stopping && std::chrono::steady_clock::now() < until) {
            pollfd entry{m_dataFd, POLLIN, 0};
            if (::poll(&entry, 1, kSliceMs) <= 0) {
                continue;
            }
            char chunk[65536];
            const ssize_t got = ::recv(m_dataFd, chunk, sizeof chunk, 0);
            if (got <= 0) {
                return;
            }
            m_server.recordData(m_index, chunk, static_cast<size_t>(got));
        }
    }

    void closeData() {
        if (m_dataSsl != nullptr) {
            SSL_shutdown(m_dataSsl);
            SSL_free(m_dataSsl);
            m_dataSsl = nullptr;
        }
        if (m_dataFd >= 0) {
            ::close(m_dataFd);
            m_dataFd = -1;
        }
    }

    void resetData() {
        if (m_dataFd >= 0) {
            linger hard{1, 0};
            ::setsockopt(m_dataFd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            closeData();
        }
    }

    enum class Read { Line, Closed, TimedOut };

    // The next line from the client, recorded. Waits at most ms (-1: until the client
    // goes away or the server stops).
    Read readLine(std::string& line, int ms) {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            const size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                m_server.record(m_index, line);
                return Read::Line;
            }
            if (m_peerClosed || m_server.m_stopping) {
                return Read::Closed;
            }
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start).count();
            if (ms >= 0 && spent >= ms) {
                return Read::TimedOut;
            }
            pollfd entry{m_fd, POLLIN, 0};
            const bool pending = m_ssl != nullptr && SSL_pending(m_ssl) > 0;
            if (!pending && ::poll(&entry, 1, kSliceMs) <= 0) {
                continue;
            }
            char chunk[4096];
            const ssize_t got = m_ssl != nullptr ? SSL_read(m_ssl, chunk, sizeof chunk)
                                                 : ::recv(m_fd, chunk, sizeof chunk, 0);
            if (got <= 0) {
                m_peerClosed = true;
            } else {
                m_buffer.append(chunk, static_cast<size_t>(got));
            }
        }
    }

    bool write(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            if (m_server.m_stopping) {
                return false;
            }
            pollfd entry{m_fd, POLLOUT, 0};
            if (::poll(&entry, 1, kSliceMs) <= 0) {
                continue;
            }
            const ssize_t put =
                m_ssl != nullptr
                    ? SSL_write(m_ssl, bytes.data() + done, static_cast<int>(bytes.size() - done))
                    : ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (put <= 0) {
                return false;
            }
            done += static_cast<size_t>(put);
        }
        return true;
    }

    void pause(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!m_server.m_stopping && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 5)));
        }
    }

    // Records what the client still sends until it goes away, answering nothing.
    void drain() {
        std::string line;
        while (readLine(line, -1) == Read::Line) {
        }
    }

    void closeSending() {
        if (m_ssl != nullptr) {
            SSL_shutdown(m_ssl);
        }
        ::shutdown(m_fd, SHUT_WR);
    }

    void resetConnection() {
        linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(m_fd);
        m_fd = -1;
    }

private:
    ScriptedFtpServer& m_server;
    int m_fd;
    std::size_t m_index;
    std::string m_buffer;
    bool m_peerClosed = false;
    SSL* m_ssl = nullptr;
    SSL* m_dataSsl = nullptr;
    int m_dataListener = -1;
    int m_dataFd = -1;
    sockaddr_in m_activeTarget{};
};

ScriptedFtpServer::ScriptedFtpServer(FtpScript script)
    : ScriptedFtpServer(std::vector<FtpScript>{std::move(script)}) {}

ScriptedFtpServer::ScriptedFtpServer(std::vector<FtpScript> scripts)
    : m_scripts(std::move(scripts)) {
    for (const FtpScript& script : m_scripts) {
        for (const FtpScript::Step& step : script.steps()) {
            if (step.kind == FtpScript::StepKind::StartTls) {
                trustTestAuthority();
            }
        }
    }
    m_defaults["QUIT"] = "221 Goodbye.";
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listenFd, 16) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("scripted server: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

ScriptedFtpServer::~ScriptedFtpServer() {
    stop();
}

void ScriptedFtpServer::stop() {
    m_stopping = true;
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    for (std::thread& thread : m_connectionThreads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
}

void ScriptedFtpServer::setDefaultReply(const std::string& verb, const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_defaults[verbOf(verb)] = line;
}

std::string ScriptedFtpServer::defaultReply(const std::string& line) const {
    std::lock_guard lock(m_mutex);
    auto found = m_defaults.find(verbOf(line));
    return found == m_defaults.end() ? std::string() : found->second;
}

void ScriptedFtpServer::acceptLoop() {
    while (!m_stopping) {
        pollfd entry{m_listenFd, POLLIN, 0};
        if (::poll(&entry, 1, kSliceMs) <= 0) {
            continue;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        std::size_t index;
        {
            std::lock_guard lock(m_mutex);
            index = m_connections.size();
            m_connections.emplace_back();
        }
        m_connectionThreads.emplace_back([this, fd, index] { serve(fd, index); });
    }
}

void ScriptedFtpServer::record(std::size_t index, const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_connections[index].lines.push_back(line);
    m_changed.notify_all();
}

void ScriptedFtpServer::recordData(std::size_t index, const char* bytes, std::size_t count) {
    std::lock_guard lock(m_mutex);
    m_connections[index].data.append(bytes, count);
}

std::string ScriptedFtpServer::receivedData(std::size_t connection) const {
    std::lock_guard lock(m_mutex);
    return connection < m_connections.size() ? m_connections[connection].data : std::string();
}

void ScriptedFtpServer::fail(const std::string& what) {
    std::lock_guard lock(m_mutex);
    m_failures.push_back(what);
}

void ScriptedFtpServer::serve(int fd, std::size_t index) {
    // OpenSSL writes to its sockets with write(): a client that hung up would raise
    // SIGPIPE and end the test process. Blocked on this thread, the write fails instead.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    Session session(*this, fd, index);
    const FtpScript empty;
    const FtpScript& script =
        m_scripts.empty() ? empty : m_scripts[std::min(index, m_scripts.size() - 1)];
    bool open = true;
    bool answerDefaults = true;
    using Kind = FtpScript::StepKind;
    for (const FtpScript::Step& step : script.steps()) {
        if (!open || m_stopping) {
            break;
        }
        switch (step.kind) {
            case Kind::Send:
                open = session.write(step.bytes);
                break;
            case Kind::Pause:
                session.pause(step.pauseMs);
                break;
            case Kind::Expect:
            case Kind::ExpectPrefix:
            case Kind::Passive:
            case Kind::ActiveTarget: {
                std::string line;
                const auto outcome = session.readLine(line, kExpectTimeoutMs);
                const bool exact = step.kind == Kind::Expect || step.kind == Kind::Passive;
                bool matches = outcome == Session::Read::Line &&
                               (exact ? line == step.bytes
                                      : line.compare(0, step.bytes.size(), step.bytes) == 0);
                if (matches && step.kind == Kind::Passive) {
                    const uint16_t port = session.listenForData();
                    std::string answer = replaceAll(step.reply, "{p1}", std::to_string(port / 256));
                    answer = replaceAll(answer, "{p2}", std::to_string(port % 256));
                    answer = replaceAll(answer, "{port}", std::to_string(port));
                    open = port != 0 && session.write(answer + "\r\n");
                } else if (matches && step.kind == Kind::ActiveTarget) {
                    sockaddr_in target{};
                    matches = parseActiveTarget(line, target);
                    session.setActiveTarget(target);
                    open = matches && session.write(step.reply + "\r\n");
                }
                if (!matches) {
                    fail("connection " + std::to_string(index) + ": expected \"" + step.bytes +
                         "\", got " +
                         (outcome == Session::Read::Line ? "\"" + line + "\""
                          : outcome == Session::Read::Closed ? std::string("a closed connection")
                                                             : std::string("nothing")));
                    open = false;
                }
                break;
            }
            case Kind::Close:
                session.closeSending();
                answerDefaults = false;
                break;
            case Kind::Reset:
                session.resetConnection();
                open = false;
                break;
            case Kind::Hang:
                answerDefaults = false;
                open = false;
                session.drain();
                break;
            case Kind::SendForever:
                while (session.write(step.bytes)) {
                }
                open = false;
                break;
            case Kind::StartDataTls:
                if (!session.startDataTls(static_cast<TestCertificate>(step.pauseMs))) {
                    fail("connection " + std::to_string(index) + ": data TLS handshake failed");
                }
                break;
            case Kind::StartTls:
                if (!session.startTls(static_cast<TestCertificate>(step.pauseMs))) {
                    fail("connection " + std::to_string(index) + ": TLS handshake failed");
                    open = false;
                }
                break;
            case Kind::EndTls:
                if (!session.endTls()) {
                    fail("connection " + std::to_string(index) + ": TLS did not end cleanly");
                }
                break;
            case Kind::AcceptData:
                if (!session.acceptData()) {
                    fail("connection " + std::to_string(index) + ": no data connection came");
                }
                break;
            case Kind::ConnectData:
                if (!session.connectData()) {
                    fail("connection " + std::to_string(index) + ": cannot reach the client's data port");
                }
                break;
            case Kind::SendData:
                session.sendData(step.bytes);
                break;
            case Kind::ReceiveData:
                session.receiveData();
                break;
            case Kind::CloseData:
                session.closeData();
                break;
            case Kind::ResetData:
                session.resetData();
                break;
        }
    }
    if (open) {
        std::string line;
        while (session.readLine(line, -1) == Session::Read::Line) {
            const std::string answer = answerDefaults ? defaultReply(line) : std::string();
            if (!answer.empty() && !session.write(answer + "\r\n")) {
                break;
            }
            if (answerDefaults && verbOf(line) == "QUIT") {
                session.closeSending();
                answerDefaults = false;
            }
        }
    }
    std::lock_guard lock(m_mutex);
    m_connections[index].finished = true;
    m_changed.notify_all();
}

std::vector<std::string> ScriptedFtpServer::received(std::size_t connection) const {
    std::lock_guard lock(m_mutex);
    return connection < m_connections.size() ? m_connections[connection].lines
                                             : std::vector<std::string>{};
}

std::vector<std::string> ScriptedFtpServer::failures() const {
    std::lock_guard lock(m_mutex);
    return m_failures;
}

std::size_t ScriptedFtpServer::connectionCount() const {
    std::lock_guard lock(m_mutex);
    return m_connections.size();
}

bool ScriptedFtpServer::waitUntilFinished(int ms, std::size_t connections) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return m_connections.size() >= connections &&
               std::all_of(m_connections.begin(), m_connections.end(),
                           [](const Connection& c) { return c.finished; });
    });
}

}  // namespace harbrook::testing
