#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "ftp/transport/IdIOHandlerSocket.h"
#include "ftp/transport/IdSocketBinding.h"
#include "ftp/transport/IdTCPConnection.h"
#include "platform/Interrupt.h"
#include "platform/SocketHandle.h"

// A listener for one incoming connection (the server's side of an active-mode data
// connection). Once the peer is accepted, the connection talks through the I/O handler
// like any other and the listening socket is gone.
class TIdSimpleServer : public TIdTCPConnection, public TIdSocketBinding {
public:
    TIdSimpleServer();
    ~TIdSimpleServer() override;


    // Binds (BoundPort, or the range tried from its top down) and listens with a
    // backlog of 1. Raises "Invalid Port Range (a - b)", "Can not bind in port range
    // (a - b)" or "Could not bind socket. Address and port are already in use.".
    void BeginListen();
    // Where the listener waits, once listening.
    const std::string& ListenIP() const { return m_listenIP; }
    std::uint16_t ListenPort() const { return m_listenPort; }

    // Waits for the peer at most timeoutMs (-1: without limit) and accepts it into the
    // I/O handler; raises "Accept timed out." when none came or the wait was aborted.
    void Listen(int timeoutMs);
    // Ends a Listen running on another thread.
    void AbortListen();

private:
    void closeListener();


    harbrook::SocketHandle m_listener;
    std::string m_listenIP;
    std::uint16_t m_listenPort = 0;
    // Raised to wake a Listen that waits on another thread.
    harbrook::TInterrupter m_wake;
    std::atomic<bool> m_aborted{false};
};
