#include "ftp/transport/IdIOHandlerStack.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "ftp/IdException.h"
#include "platform/SocketAddress.h"

using harbrook::SocketHandle;

namespace {

// Connects a non-blocking socket, waiting at most timeoutMs (0: without limit).
void connectSocket(int fd, const harbrook::SocketAddress& address, int timeoutMs) {
    if (::connect(fd, address.get(), address.length) == 0) {
        return;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        throw EIdSocketError(errno);
    }
    if (!harbrook::waitForSocket(fd, POLLOUT, timeoutMs > 0 ? timeoutMs : -1)) {
        throw EIdConnectTimeout();
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        throw EIdSocketError(errno);
    }
    if (error != 0) {
        throw EIdSocketError(error);
    }
}

}  // namespace

void TIdIOHandlerStack::Open() {
    if (Opened()) {
        throw EIdAlreadyConnected();
    }
    ResetState();
    const int family = harbrook::addressFamilyOf(IPVersion());
    SocketHandle socket(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket) {
        throw EIdSocketError(errno);
    }
    const int on = 1;
    if (ReuseSocket()) {
        ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (!BoundIP().empty() || BoundPort() != 0 || BoundPortMin() != 0 || BoundPortMax() != 0) {
        harbrook::bindSocket(socket.get(), IPVersion(), BoundIP(), BoundPort(), BoundPortMin(),
                             BoundPortMax());
    }
    if (!UseNagle()) {
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }

    DoStatus(hsResolving, "Resolving hostname " + Host() + ".");
    harbrook::SocketAddress address;
    if (const int error = harbrook::resolveAddress(Host(), Port(), family, address); error != 0) {
        throw EIdSocketError(error);
    }
    DoStatus(hsConnecting, "Connecting to " + address.ip() + ".");
    connectSocket(socket.get(), address, ConnectTimeout());

    AttachSocket(std::move(socket));
    try {
        AfterConnect();
    } catch (...) {
        Close();
        throw;
    }
    DoStatus(hsConnected, "Connected.");
}
