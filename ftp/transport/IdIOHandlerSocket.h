#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "ftp/transport/IdIOHandler.h"
#include "ftp/transport/IdSocketBinding.h"
#include "platform/SocketHandle.h"

// Where a socket is bound and to whom it is connected.
struct TIdSocketHandle {
    int Handle = -1;
    std::string IP;
    std::uint16_t Port = 0;
    std::string PeerIP;
    std::uint16_t PeerPort = 0;
    TIdIPVersion IPVersion = Id_IPv4;
};

// An I/O handler over one TCP socket: the binding and the bound-address settings.
class TIdIOHandlerSocket : public TIdIOHandler, public TIdSocketBinding {
public:
    ~TIdIOHandlerSocket() override;

    bool ReuseSocket() const { return m_reuseSocket; }
    void SetReuseSocket(bool reuse) { m_reuseSocket = reuse; }
    // Nagle's algorithm stays on unless this is cleared.
    bool UseNagle() const { return m_useNagle; }
    void SetUseNagle(bool useNagle) { m_useNagle = useNagle; }

    const TIdSocketHandle& Binding() const { return m_binding; }

    // Takes over a socket a listener accepted, as if this handler had connected it.
    void AttachAcceptedSocket(harbrook::SocketHandle socket);
    // TCP keep-alive probes, so an idle control connection survives a long transfer
    // behind routers that drop quiet connections.
    void SetKeepAlive(bool enabled);
    // Makes the next Close reset the connection instead of ending it politely: for a
    // data connection that is abandoned while the server still sends, which would
    // otherwise wait on a full window for ever.
    void SetAbortiveClose();
    bool AbortiveClose() const { return m_abortiveClose; }
    // Ends the connection in both directions without closing the descriptor, so a read
    // or write running on another thread returns at once. Safe from any thread: it
    // never meets a descriptor being closed (whose number the system may already have
    // given to an unrelated socket).
    void Interrupt();

    bool Opened() const override { return m_socket.isValid(); }
    void Close() override;
    bool Readable(int ms) override;

protected:
    TransferResult ReceiveRaw(char* buffer, std::size_t count) override;
    TransferResult SendRaw(const char* buffer, std::size_t count) override;
    bool Writable(int ms) override;

    // Ends our sending side and reads (and drops) what the peer still sends until it
    // closes too, at most maxMs. Closing a socket with unread bytes resets the
    // connection, and a reset can destroy data the peer has not read yet.
    void DrainUntilPeerCloses(int maxMs);
    // Takes over a connected socket and records its addresses.
    void AttachSocket(harbrook::SocketHandle socket);
    int SocketFd() const { return m_socket.get(); }

private:
    bool m_reuseSocket = false;
    bool m_useNagle = true;

    // Guards the descriptor between Close/AttachSocket on the handler's own thread and
    // Interrupt from another one.
    std::mutex m_descriptorLock;
    harbrook::SocketHandle m_socket;
    TIdSocketHandle m_binding;
    bool m_abortiveClose = false;
};

namespace harbrook {

int addressFamilyOf(TIdIPVersion version);

// Binds fd to ip (empty: any address) and port; with a range (port 0 and a bound set),
// to the first free port of the range tried from the highest down. The one binding
// rule of listeners and clients alike: "Invalid Port Range (min - max)", "Can not bind
// in port range (min - max)", "Could not bind socket" for a single port in use, or the
// socket error.
void bindSocket(int fd, TIdIPVersion version, const std::string& ip, std::uint16_t port,
                std::uint16_t rangeMin, std::uint16_t rangeMax);

}  // namespace harbrook
