#include "ftp/transport/IdSimpleServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "ftp/IdFTPExceptions.h"
#include "ftp/transport/IdIOHandlerStack.h"
#include "platform/Interrupt.h"
#include "platform/SocketAddress.h"

TIdSimpleServer::TIdSimpleServer() = default;

TIdSimpleServer::~TIdSimpleServer() {
    closeListener();
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
    harbrook::bindSocket(listener.get(), m_ipVersion, m_boundIP, m_boundPort, m_boundPortMin, m_boundPortMax);
    if (::listen(listener.get(), 1) != 0) {
        throw EIdSocketError(errno);
    }
    const auto local = harbrook::localAddressOf(listener.get());
    m_listenIP = local ? local->ip() : m_boundIP;
    m_listenPort = local ? local->port() : 0;
    m_listener = std::move(listener);
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
        // The thread's interrupter (the user's Cancel) ends the wait as Abort does.
        const harbrook::TInterrupter* interrupter = harbrook::ThreadInterrupter();
        pollfd entries[3] = {{m_listener.get(), POLLIN, 0},
                             {m_wake.WaitHandle(), POLLIN, 0},
                             {interrupter != nullptr ? interrupter->WaitHandle() : -1, POLLIN, 0}};
        const int ready = ::poll(entries, 3, slice);
        if (ready > 0 && (entries[2].revents & POLLIN) != 0) {
            closeListener();
            throw harbrook::EInterrupted();
        }
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
    m_wake.Raise();
}
