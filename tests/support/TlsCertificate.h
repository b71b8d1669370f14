#pragma once

#include <string>

struct ssl_ctx_st;

namespace harbrook::testing {

// A throw-away self-signed certificate for "localhost" (P-256), made once per process.
// Writes it and its key as PEM files for servers that read them.
void writeTestCertificate(const std::string& certPath, const std::string& keyPath);
// A TLS server context with that certificate.
ssl_ctx_st* testServerTlsContext();

}  // namespace harbrook::testing
