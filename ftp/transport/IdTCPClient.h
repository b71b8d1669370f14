#pragma once

#include <cstdint>
#include <string>

#include "ftp/transport/IdTCPConnection.h"
#include "ftp/transport/IdSocketBinding.h"

// A connection that connects out to Host:Port.
class TIdTCPClient : public TIdTCPConnection, public TIdSocketBinding {
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
    bool m_reuseSocket = false;
};
