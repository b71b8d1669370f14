#include "tests/support/NetworkHelpers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace harbrook::testing {

namespace {

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

std::uint16_t portOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace

std::uint16_t unusedLoopbackPort() {
    SocketHandle probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = loopback(0);
    if (::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind a loopback port");
    }
    return portOf(probe.get());
}

SaturatedListener::SaturatedListener()
    : m_listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = loopback(0);
    if (::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener.get(), 0) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    m_port = portOf(m_listener.get());
    address = loopback(m_port);
    // Connect until one attempt is left waiting: from then on the queue is full.
    for (int attempt = 0; attempt < 64; ++attempt) {
        SocketHandle filler(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        const int rc = ::connect(filler.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        if (rc != 0 && errno != EINPROGRESS) {
            throw std::runtime_error("cannot fill the accept queue");
        }
        pollfd entry{filler.get(), POLLOUT, 0};
        const bool answered = ::poll(&entry, 1, 200) > 0;
        m_fillers.push_back(std::move(filler));
        if (!answered) {
            return;
        }
    }
    throw std::runtime_error("the accept queue never filled");
}

}  // namespace harbrook::testing

namespace harbrook::testing {

ByteSink::ByteSink() : m_listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = loopback(0);
    if (::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener.get(), 1) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    m_port = portOf(m_listener.get());
    m_thread = std::thread([this] { run(); });
}

ByteSink::~ByteSink() {
    m_stopping = true;
    m_thread.join();
}

void ByteSink::run() {
    auto waitReadable = [this](int fd) {
        while (!m_stopping) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 20) > 0) {
                return true;
            }
        }
        return false;
    };
    if (waitReadable(m_listener.get())) {
        SocketHandle peer(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        while (waitReadable(peer.get())) {
            char chunk[65536];
            const ssize_t got = ::recv(peer.get(), chunk, sizeof chunk, 0);
            if (got <= 0) {
                break;
            }
            std::lock_guard lock(m_mutex);
            m_bytes.append(chunk, static_cast<size_t>(got));
        }
    }
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_done.notify_all();
}

std::string ByteSink::waitForClose(int ms) {
    std::unique_lock lock(m_mutex);
    m_done.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_closed; });
    return m_bytes;
}

}  // namespace harbrook::testing
