#include "tests/support/TlsCertificate.h"

#include "ftp/transport/IdSSLOpenSSL.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include <unistd.h>

namespace harbrook::testing {

namespace {

constexpr long kDay = 24 * 3600;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

// Kept for the whole process, and freed with it (the leak checker watches).
struct Certificate {
    std::unique_ptr<EVP_PKEY, KeyFree> owner;
    std::unique_ptr<X509, CertFree> certOwner;
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
};

void addName(X509_NAME* name, const char* commonName) {
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Harbrook tests"),
                               -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                               -1, 0);
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate valid from `from` to `until` seconds from now, issued by `issuer` (null:
// by itself).
Certificate make(const char* commonName, const char* altNames, const Certificate* issuer, bool authority,
                 long from, long until, const std::string& comment = {}) {
    static long serial = 1;
    Certificate c;
    c.owner.reset(EVP_EC_gen("P-256"));
    c.certOwner.reset(X509_new());
    c.key = c.owner.get();
    c.cert = c.certOwner.get();
    X509_set_version(c.cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c.cert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(c.cert), from);
    X509_gmtime_adj(X509_getm_notAfter(c.cert), until);
    X509_set_pubkey(c.cert, c.key);
    addName(X509_get_subject_name(c.cert), commonName);
    X509* issuerCert = issuer != nullptr ? issuer->cert : c.cert;
    X509_set_issuer_name(c.cert, X509_get_subject_name(issuerCert));
    if (authority) {
        addExtension(c.cert, issuerCert, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(c.cert, issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(c.cert, issuerCert, NID_subject_key_identifier, "hash");
    } else {
        addExtension(c.cert, issuerCert, NID_basic_constraints, "CA:FALSE");
        addExtension(c.cert, issuerCert, NID_ext_key_usage, "serverAuth");
    }
    if (altNames != nullptr) {
        addExtension(c.cert, issuerCert, NID_subject_alt_name, altNames);
    }
    if (!comment.empty()) {
        addExtension(c.cert, issuerCert, NID_netscape_comment, comment.c_str());
    }
    X509_sign(c.cert, issuer != nullptr ? issuer->key : c.key, EVP_sha256());
    return c;
}

constexpr const char* kLocalNames = "DNS:localhost,IP:127.0.0.1,IP:::1";

const Certificate& authority() {
    static const Certificate made = make("Harbrook Test Authority", nullptr, nullptr, true, -kDay, 30 * kDay);
    return made;
}

const Certificate& certificate(TestCertificate kind) {
    static std::mutex lock;
    static std::map<TestCertificate, Certificate> made;
    std::lock_guard guard(lock);
    auto found = made.find(kind);
    if (found != made.end()) {
        return found->second;
    }
    Certificate c;
    switch (kind) {
        case TestCertificate::Trusted:
        case TestCertificate::OtherTrusted:
        case TestCertificate::LongChain:
            c = make("localhost", kLocalNames, &authority(), false, -60, 2 * kDay);
            break;
        case TestCertificate::SelfSigned:
            c = make("localhost", kLocalNames, nullptr, false, -60, 2 * kDay);
            break;
        case TestCertificate::Expired:
            c = make("localhost", kLocalNames, &authority(), false, -2 * kDay, -kDay);
            break;
        case TestCertificate::WrongHost:
            c = make("elsewhere.example", "DNS:elsewhere.example", &authority(), false, -60, 2 * kDay);
            break;
        case TestCertificate::Huge:
            c = make("localhost", kLocalNames, &authority(), false, -60, 2 * kDay, std::string(1100 * 1024, 'x'));
            break;
        case TestCertificate::UnknownAuthority: {
            static const Certificate stranger = make("Unknown Authority", nullptr, nullptr, true, -kDay, 30 * kDay);
            c = make("localhost", kLocalNames, &stranger, false, -60, 2 * kDay);
            break;
        }
    }
    return made.emplace(kind, std::move(c)).first->second;
}

void writePem(const std::string& path, const Certificate* key, X509* cert, const char* mode) {
    FILE* file = std::fopen(path.c_str(), mode);
    bool written = file != nullptr;
    if (written && cert != nullptr) {
        written = PEM_write_X509(file, cert) == 1;
    }
    if (written && key != nullptr) {
        written = PEM_write_PrivateKey(file, key->key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    if (!written) {
        throw std::runtime_error("cannot write the test certificate " + path);
    }
}

}  // namespace

void writeTestCertificate(const std::string& certPath, const std::string& keyPath, TestCertificate kind) {
    const Certificate& c = certificate(kind);
    writePem(certPath, nullptr, c.cert, "w");
    writePem(keyPath, &c, nullptr, certPath == keyPath ? "a" : "w");
}

ssl_ctx_st* testServerTlsContext(TestCertificate kind) {
    static std::mutex lock;
    static std::map<TestCertificate, std::unique_ptr<SSL_CTX, ContextFree>> contexts;
    const Certificate& c = certificate(kind);
    std::lock_guard guard(lock);
    auto& owned = contexts[kind];
    if (!owned) {
        owned.reset(SSL_CTX_new(TLS_server_method()));
        SSL_CTX* context = owned.get();
        SSL_CTX_use_certificate(context, c.cert);
        SSL_CTX_use_PrivateKey(context, c.key);
        if (kind == TestCertificate::LongChain) {
            for (int i = 0; i < 100; ++i) {
                X509_up_ref(authority().cert);
                SSL_CTX_add_extra_chain_cert(context, authority().cert);
            }
        }
    }
    return owned.get();
}

std::string testCertificateFingerprint(TestCertificate kind) {
    return harbrook::CertificateFingerprint(certificate(kind).cert);
}

const std::string& testAuthorityFile() {
    static const std::string path = [] {
        const std::string made = (std::filesystem::temp_directory_path() /
                                  ("harbrook-test-authority-" + std::to_string(::getpid()) + ".pem"))
                                     .string();
        writePem(made, nullptr, authority().cert, "w");
        // One file per test process, gone with it (the name is kept where exit handlers
        // can still read it).
        static char removeAtExit[4096];
        std::snprintf(removeAtExit, sizeof removeAtExit, "%s", made.c_str());
        std::atexit([] { std::remove(removeAtExit); });
        return made;
    }();
    return path;
}

void trustTestAuthority() {
    ::setenv("SSL_CERT_FILE", testAuthorityFile().c_str(), 1);
}

}  // namespace harbrook::testing
