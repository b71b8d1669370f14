#include "ftp/transport/IdSimpleServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "ftp/IdFTPExceptions.h"
#include "ftp/transport/IdIOHandlerStack.h"
#include "platform/SocketAddress.h"

namespace {

std::string rangeText(std::uint16_t low, std::uint16_t high) {
    return " (" + std::to_string(low) + " - " + std::to_string(high) + ")";
}

}  // namespace

TIdSimpleServer::TIdSimpleServer() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead = fds[0];
        m_wakeWrite = fds[1];
    }
}

TIdSimpleServer::~TIdSimpleServer() {
    closeListener();
    if (m_wakeRead >= 0) {
        ::close(m_wakeRead);
        ::close(m_wakeWrite);
    }
}

void TIdSimpleServer::closeListener() {
    m_listener.close();
}

void TIdSimpleServer::BeginListen() {
    const int family = harbrook::addressFamilyOf(m_ipVersion);
    harbrook::SocketHandle listener(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener) {
        throw EIdSocketError(errno);
    }
    const std::string host = m_boundIP.empty() ? (family == AF_INET6 ? "::" : "0.0.0.0") : m_boundIP;
    auto address = harbrook::numericAddress(host, 0, family);
    if (!address) {
        throw EIdSocketError(EADDRNOTAVAIL);
    }
    auto bindTo = [&](std::uint16_t port) {
        address->setPort(port);
        return ::bind(listener.get(), address->get(), address->length) == 0;
    };
    const bool useRange = m_boundPort == 0 && (m_boundPortMin != 0 || m_boundPortMax != 0);
    if (useRange) {
        if (m_boundPortMin > m_boundPortMax) {
            throw EIdInvalidPortRange("Invalid Port Range" + rangeText(m_boundPortMin, m_boundPortMax));
        }
        bool bound = false;
        for (int port = m_boundPortMax; port >= m_boundPortMin && !bound; --port) {
            bound = bindTo(static_cast<std::uint16_t>(port));
        }
        if (!bound) {
            throw EIdCanNotBindPortInRange("Can not bind in port range" +
                                           rangeText(m_boundPortMin, m_boundPortMax));
        }
    } else if (!bindTo(m_boundPort)) {
        if (errno == EADDRINUSE) {
            throw EIdCouldNotBindSocket();
        }
        throw EIdSocketError(errno);
    }
    if (::listen(listener.get(), 1) != 0) {
        throw EIdSocketError(errno);
    }
    const auto local = harbrook::localAddressOf(listener.get());
    m_listenIP = local ? local->ip() : host;
    m_listenPort = local ? local->port() : 0;
    m_listener = std::move(listener);
    m_aborted = false;
}

void TIdSimpleServer::Listen(int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (;;) {
        if (m_aborted || !m_listener) {
            throw EIdAcceptTimeout();
        }
        int slice = 1000;
        if (timeoutMs >= 0) {
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            if (spent >= timeoutMs) {
                closeListener();
                throw EIdAcceptTimeout();
            }
            slice = static_cast<int>(std::min<long long>(slice, timeoutMs - spent));
        }
        pollfd entries[2] = {{m_listener.get(), POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        const int ready = ::poll(entries, m_wakeRead >= 0 ? 2 : 1, slice);
        if (ready <= 0 || (entries[0].revents & POLLIN) == 0) {
            continue;
        }
        harbrook::SocketHandle peer(
            ::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!peer) {
            continue;
        }
        closeListener();
        if (IOHandler() == nullptr) {
            CreateOwnedIOHandler();
        }
        auto* handler = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
        if (handler == nullptr) {
            throw EIdException("The listener needs a socket I/O handler.");
        }
        handler->AttachAcceptedSocket(std::move(peer));
        return;
    }
}

void TIdSimpleServer::AbortListen() {
    m_aborted = true;
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_wakeWrite, &byte, 1);
    }
}
