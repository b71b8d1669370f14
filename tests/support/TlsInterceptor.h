#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tests/support/TempDir.h"

namespace harbrook::testing {

// A man in the middle on a loopback port in front of a real FTP server: it relays the
// control connection and answers AUTH TLS itself with a self-signed certificate of its
// own (tests/support/tls_interceptor.py). What the client sends is logged wherever the
// interceptor can read it.
class TlsInterceptor {
public:
    explicit TlsInterceptor(std::uint16_t upstreamPort);
    ~TlsInterceptor();
    TlsInterceptor(const TlsInterceptor&) = delete;
    TlsInterceptor& operator=(const TlsInterceptor&) = delete;

    std::uint16_t port() const { return m_port; }
    // Every byte of the client's the interceptor could read.
    std::string seen() const;

private:
    TempDir m_private;
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};

}  // namespace harbrook::testing
