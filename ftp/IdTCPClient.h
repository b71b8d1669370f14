#pragma once

#include <cstdint>
#include <string>

#include "ftp/IdTCPConnection.h"

// A connection that connects out to Host:Port.
class TIdTCPClient : public TIdTCPConnection {
public:
    TIdTCPClient() = default;

    const std::string& Host() const { return m_host; }
    void SetHost(const std::string& host) { m_host = host; }
    std::uint16_t Port() const { return m_port; }
    void SetPort(std::uint16_t port) { m_port = port; }
    // 0: a blocking connect without limit.
    int ConnectTimeout() const { return m_connectTimeout; }
    void SetConnectTimeout(int ms);
    // -1 or 0: reads wait without limit.
    int ReadTimeout() const { return m_readTimeout; }
    void SetReadTimeout(int ms);
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
    bool ReuseSocket() const { return m_reuseSocket; }
    void SetReuseSocket(bool reuse) { m_reuseSocket = reuse; }

    virtual void Connect();
    void Connect(const std::string& host);

protected:
    // The TCP part of Connect: open the handler and report OnConnected.
    void ConnectTransport();

private:
    void copySettingsToHandler();

    std::string m_host;
    std::uint16_t m_port = 0;
    int m_connectTimeout = 0;
    int m_readTimeout = IdTimeoutDefault;
    std::string m_boundIP;
    std::uint16_t m_boundPort = 0;
    std::uint16_t m_boundPortMin = 0;
    std::uint16_t m_boundPortMax = 0;
    TIdIPVersion m_ipVersion = Id_IPv4;
    bool m_reuseSocket = false;
};
