#pragma once

#include <optional>
#include <string>
#include <vector>

// What the server's certificate showed when TLS started on a connection.
struct TIdPeerCertificate {
    // Why a certificate is not trusted; a certificate may have several of these.
    enum Problem : unsigned {
        UnknownIssuer = 1u << 0,
        SelfSigned = 1u << 1,
        Expired = 1u << 2,
        NotYetValid = 1u << 3,
        NameMismatch = 1u << 4,
        // Anything else OpenSSL found (a bad signature, a chain too long...); its own
        // text is in OtherReasons.
        Other = 1u << 5,
    };

    // False until a handshake gave a certificate.
    bool Present = false;
    // The chain verified against the trusted authorities and the certificate is for
    // the name that was asked for.
    bool Trusted = false;
    unsigned Problems = 0;
    std::vector<std::string> OtherReasons;
    // The name the certificate was checked against.
    std::string CheckedName;
    std::string Subject;
    std::string Issuer;
    // "2026-12-09 22:31:41 UTC"
    std::string NotBefore;
    std::string NotAfter;
    // The SHA-256 of the leaf certificate as openssl prints it: "AB:CD:...".
    std::string Sha256;
};

namespace harbrook {

// Each problem in plain words ("it is self-signed", "it expired on ..."), in a fixed
// order; empty for a trusted certificate.
std::vector<std::string> CertificateProblemTexts(const TIdPeerCertificate& certificate);
// The problems joined into one sentence part: "it is self-signed; it is not for localhost".
std::string CertificateProblemSummary(const TIdPeerCertificate& certificate);

// A SHA-256 fingerprint written as openssl prints it ("AB:CD:..."), or as plain hex in
// either case, with or without colons, in the form openssl prints; nothing when it is
// not 32 bytes of hex.
std::optional<std::string> NormalizedFingerprint(const std::string& text);

}  // namespace harbrook
