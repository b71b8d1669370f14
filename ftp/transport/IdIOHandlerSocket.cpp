#include "ftp/transport/IdIOHandlerSocket.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <fcntl.h>

#include <cerrno>
#include <chrono>

#include "ftp/IdException.h"
#include "ftp/IdFTPExceptions.h"
#include "platform/Interrupt.h"
#include "platform/SocketAddress.h"

using harbrook::SocketAddress;

namespace harbrook {

int addressFamilyOf(TIdIPVersion version) {
    return version == Id_IPv6 ? AF_INET6 : AF_INET;
}

void bindSocket(int fd, TIdIPVersion version, const std::string& ip, std::uint16_t port,
                std::uint16_t rangeMin, std::uint16_t rangeMax) {
    const int family = addressFamilyOf(version);
    const std::string host = ip.empty() ? (family == AF_INET6 ? "::" : "0.0.0.0") : ip;
    auto address = numericAddress(host, port, family);
    if (!address) {
        throw EIdSocketError(EADDRNOTAVAIL);
    }
    auto tryBind = [&](std::uint16_t candidate) {
        address->setPort(candidate);
        return ::bind(fd, address->get(), address->length) == 0;
    };
    const bool useRange = port == 0 && (rangeMin != 0 || rangeMax != 0);
    if (!useRange) {
        if (!tryBind(port)) {
            if (errno == EADDRINUSE) {
                throw EIdCouldNotBindSocket();
            }
            throw EIdSocketError(errno);
        }
        return;
    }
    const std::string range = " (" + std::to_string(rangeMin) + " - " + std::to_string(rangeMax) + ")";
    if (rangeMin > rangeMax) {
        throw EIdInvalidPortRange("Invalid Port Range" + range);
    }
    // From the top of the range down.
    for (int candidate = rangeMax; candidate >= rangeMin; --candidate) {
        if (tryBind(static_cast<std::uint16_t>(candidate))) {
            return;
        }
    }
    throw EIdCanNotBindPortInRange("Can not bind in port range" + range);
}

}  // namespace harbrook

TIdIOHandlerSocket::~TIdIOHandlerSocket() {
    m_socket.close();
}

void TIdIOHandlerSocket::Close() {
    std::lock_guard lock(m_descriptorLock);
    if (m_abortiveClose && m_socket) {
        const linger reset{1, 0};
        ::setsockopt(m_socket.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    m_abortiveClose = false;
    m_socket.close();
    m_binding.Handle = -1;
}

void TIdIOHandlerSocket::AttachSocket(harbrook::SocketHandle socket) {
    std::lock_guard lock(m_descriptorLock);
    m_socket = std::move(socket);
    m_binding = {};
    m_binding.Handle = m_socket.get();
    m_binding.IPVersion = m_ipVersion;
    if (auto local = harbrook::localAddressOf(m_socket.get())) {
        m_binding.IP = local->ip();
        m_binding.Port = local->port();
    }
    if (auto peer = harbrook::peerAddressOf(m_socket.get())) {
        m_binding.PeerIP = peer->ip();
        m_binding.PeerPort = peer->port();
    }
}

void TIdIOHandlerSocket::AttachAcceptedSocket(harbrook::SocketHandle socket) {
    ResetState();
    const int flags = ::fcntl(socket.get(), F_GETFL, 0);
    ::fcntl(socket.get(), F_SETFL, flags | O_NONBLOCK);
    AttachSocket(std::move(socket));
}

void TIdIOHandlerSocket::SetAbortiveClose() {
    m_abortiveClose = true;
}

void TIdIOHandlerSocket::SetKeepAlive(bool enabled) {
    if (Opened()) {
        const int value = enabled ? 1 : 0;
        ::setsockopt(m_socket.get(), SOL_SOCKET, SO_KEEPALIVE, &value, sizeof value);
    }
}

void TIdIOHandlerSocket::DrainUntilPeerCloses(int maxMs) {
    if (!Opened()) {
        return;
    }
    ::shutdown(m_socket.get(), SHUT_WR);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    char sink[16384];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now()).count();
        try {
            if (left <= 0 || !harbrook::waitForSocket(m_socket.get(), POLLIN, static_cast<int>(left))) {
                return;
            }
        } catch (const harbrook::EInterrupted&) {
            // Whoever interrupts wants the connection gone now, not politely.
            return;
        }
        const ssize_t got = ::recv(m_socket.get(), sink, sizeof sink, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
            return;
        }
    }
}

void TIdIOHandlerSocket::Interrupt() {
    // shutdown never blocks, so holding the lock across it costs the closing thread
    // nothing worth mentioning.
    std::lock_guard lock(m_descriptorLock);
    if (m_socket) {
        ::shutdown(m_socket.get(), SHUT_RDWR);
    }
}

bool TIdIOHandlerSocket::Readable(int ms) {
    return Opened() && harbrook::waitForSocket(m_socket.get(), POLLIN, ms);
}

bool TIdIOHandlerSocket::Writable(int ms) {
    return Opened() && harbrook::waitForSocket(m_socket.get(), POLLOUT, ms);
}

TIdIOHandler::TransferResult TIdIOHandlerSocket::ReceiveRaw(char* buffer, std::size_t count) {
    for (;;) {
        const ssize_t got = ::recv(m_socket.get(), buffer, count, 0);
        if (got >= 0) {
            return {got, 0, false};
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {0, 0, true};
        }
        return {0, errno, false};
    }
}

TIdIOHandler::TransferResult TIdIOHandlerSocket::SendRaw(const char* buffer, std::size_t count) {
    for (;;) {
        const ssize_t put = ::send(m_socket.get(), buffer, count, MSG_NOSIGNAL);
        if (put >= 0) {
            return {put, 0, false};
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {0, 0, true};
        }
        return {0, errno, false};
    }
}
