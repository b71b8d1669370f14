#include "tests/support/TlsCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdio>
#include <stdexcept>

namespace harbrook::testing {

namespace {

struct Certificate {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
};

const Certificate& certificate() {
    static const Certificate made = [] {
        Certificate c;
        c.key = EVP_EC_gen("P-256");
        c.cert = X509_new();
        X509_set_version(c.cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(c.cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(c.cert), -60);
        X509_gmtime_adj(X509_getm_notAfter(c.cert), 2 * 24 * 3600);
        X509_set_pubkey(c.cert, c.key);
        X509_NAME* name = X509_get_subject_name(c.cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(c.cert, name);
        X509_sign(c.cert, c.key, EVP_sha256());
        return c;
    }();
    return made;
}

}  // namespace

void writeTestCertificate(const std::string& certPath, const std::string& keyPath) {
    FILE* certFile = std::fopen(certPath.c_str(), "w");
    FILE* keyFile = std::fopen(keyPath.c_str(), "w");
    const bool written = certFile != nullptr && keyFile != nullptr &&
                         PEM_write_X509(certFile, certificate().cert) == 1 &&
                         PEM_write_PrivateKey(keyFile, certificate().key, nullptr, nullptr, 0,
                                              nullptr, nullptr) == 1;
    if (certFile != nullptr) {
        std::fclose(certFile);
    }
    if (keyFile != nullptr) {
        std::fclose(keyFile);
    }
    if (!written) {
        throw std::runtime_error("cannot write the test certificate");
    }
}

ssl_ctx_st* testServerTlsContext() {
    static SSL_CTX* context = [] {
        SSL_CTX* made = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(made, certificate().cert);
        SSL_CTX_use_PrivateKey(made, certificate().key);
        return made;
    }();
    return context;
}

}  // namespace harbrook::testing
