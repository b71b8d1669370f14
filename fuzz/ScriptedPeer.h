#pragma once

// A peer on 127.0.0.1 that answers a client under test with the fuzzer's bytes: the
// n-th connection plays the n-th list of pieces. Before each piece (but the first one
// when `greetFirst`) the peer waits a moment for a line from the client, so a piece
// answers a command when the client sends one and the client still gets the next
// piece when it is waiting for more of an unfinished reply. After its last piece a
// connection is shut for writing, what the client still sends is read (no reset), and
// it is closed. One listener serves the whole run; each input gets its own thread.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace harbrook::fuzz {

class ScriptedPeer {
public:
    using Pieces = std::vector<std::string>;

    ScriptedPeer(std::vector<Pieces> connections, bool greetFirst, int waitForLineMs = 5)
        : m_connections(std::move(connections)), m_greetFirst(greetFirst), m_waitMs(waitForLineMs),
          m_thread([this] { run(); }) {}
    ~ScriptedPeer() {
        m_stop = true;
        m_thread.join();
    }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    static std::uint16_t Port() { return listener().port; }

private:
    struct Listener {
        int fd = -1;
        std::uint16_t port = 0;
        Listener() {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof address;
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
                ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
                __builtin_trap();
            }
            port = ntohs(address.sin_port);
        }
    };
    static Listener& listener() {
        static Listener instance;
        return instance;
    }

    static bool readable(int fd, int ms) {
        pollfd waiting{fd, POLLIN, 0};
        return ::poll(&waiting, 1, ms) > 0;
    }

    // Reads up to and with the next LF, or whatever came within the wait.
    void awaitLine(int fd) const {
        char byte = 0;
        while (readable(fd, m_waitMs)) {
            if (::recv(fd, &byte, 1, 0) != 1 || byte == '\n') {
                return;
            }
        }
    }

    static void sendAll(int fd, const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (sent <= 0) {
                return;
            }
            done += static_cast<std::size_t>(sent);
        }
    }

    void play(int fd, const Pieces& pieces) const {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        for (std::size_t i = 0; i < pieces.size() && !m_stop; ++i) {
            if (i > 0 || !m_greetFirst) {
                awaitLine(fd);
            }
            sendAll(fd, pieces[i]);
        }
        ::shutdown(fd, SHUT_WR);
        char sink[4096];
        while (!m_stop && readable(fd, 20) && ::recv(fd, sink, sizeof sink, 0) > 0) {
        }
        ::close(fd);
    }

    void run() {
        const int server = listener().fd;
        // Connections the last input's client made after its peer stopped are stale.
        while (readable(server, 0)) {
            const int stale = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
            if (stale < 0) {
                break;
            }
            ::close(stale);
        }
        for (const Pieces& pieces : m_connections) {
            int fd = -1;
            while (!m_stop && fd < 0) {
                if (readable(server, 1)) {
                    fd = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
                }
            }
            if (fd < 0) {
                return;
            }
            play(fd, pieces);
        }
        // Whoever connects beyond the script is refused at once.
        while (!m_stop) {
            if (readable(server, 1)) {
                const int fd = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        }
    }

    const std::vector<Pieces> m_connections;
    const bool m_greetFirst;
    const int m_waitMs;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The input cut at NUL bytes into the pieces a peer sends (at most `limit`; the rest
// stays in the last).
inline std::vector<std::string> piecesOf(const std::string& text, std::size_t limit) {
    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (pieces.size() + 1 < limit) {
        const std::size_t end = text.find('\0', at);
        if (end == std::string::npos) {
            break;
        }
        pieces.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    pieces.push_back(text.substr(at));
    return pieces;
}

}  // namespace harbrook::fuzz
