#pragma once

#include <string>

struct ssl_ctx_st;

namespace harbrook::testing {

// The certificates the test servers present. Made once per process with OpenSSL (P-256
// keys): a test authority, and server certificates for "localhost", 127.0.0.1 and ::1.
enum class TestCertificate {
    // Issued by the test authority: trusted once trustTestAuthority() ran.
    Trusted,
    // Issued by the test authority for the same names, with a key of its own: another
    // server that the authority vouches for too.
    OtherTrusted,
    SelfSigned,
    // Issued by the test authority, valid from two days ago until yesterday.
    Expired,
    // Issued by the test authority for "elsewhere.example" only.
    WrongHost,
    // Issued by an authority nobody trusts.
    UnknownAuthority,
    // Hostile: the trusted certificate sent with a chain of 100 more certificates.
    LongChain,
    // Hostile: a certificate of more than 1 MiB (one enormous comment).
    Huge,
};

// Writes the certificate and its key as PEM files (the same path twice: one file).
void writeTestCertificate(const std::string& certPath, const std::string& keyPath,
                          TestCertificate kind = TestCertificate::Trusted);
// A TLS server context presenting that certificate.
ssl_ctx_st* testServerTlsContext(TestCertificate kind = TestCertificate::Trusted);
// Its SHA-256 fingerprint as openssl prints it ("AB:CD:...").
std::string testCertificateFingerprint(TestCertificate kind);

// The test authority's certificate as a PEM file (made once per process).
const std::string& testAuthorityFile();
// Makes this process (and the programs it starts) trust the test authority as the
// system's store would: SSL_CERT_FILE names the authority's file. Test servers call it
// when they start with TLS, so the suite runs against certificates that verify.
void trustTestAuthority();

}  // namespace harbrook::testing
