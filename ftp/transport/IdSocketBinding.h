#pragma once

#include <cstdint>
#include <string>

#include "ftp/IdGlobal.h"

// Where a socket is to be bound before it connects or listens: the local address, a
// fixed port or a range of ports, and the address family. Clients, listeners and
// socket handlers all carry these settings and pass them down.
class TIdSocketBinding {
public:
    const std::string& BoundIP() const { return m_boundIP; }
    void SetBoundIP(const std::string& ip) { m_boundIP = ip; }
    std::uint16_t BoundPort() const { return m_boundPort; }
    void SetBoundPort(std::uint16_t port) { m_boundPort = port; }
    std::uint16_t BoundPortMin() const { return m_boundPortMin; }
    void SetBoundPortMin(std::uint16_t port) { m_boundPortMin = port; }
    std::uint16_t BoundPortMax() const { return m_boundPortMax; }
    void SetBoundPortMax(std::uint16_t port) { m_boundPortMax = port; }
    TIdIPVersion IPVersion() const { return m_ipVersion; }
    void SetIPVersion(TIdIPVersion version) { m_ipVersion = version; }

protected:
    ~TIdSocketBinding() = default;

    std::string m_boundIP;
    std::uint16_t m_boundPort = 0;
    std::uint16_t m_boundPortMin = 0;
    std::uint16_t m_boundPortMax = 0;
    TIdIPVersion m_ipVersion = Id_IPv4;
};
