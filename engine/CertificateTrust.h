#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "ftp/transport/IdPeerCertificate.h"

// The server certificates the user chose to trust, by host and port: "Trust always"
// keeps them in a file of their own in the configuration folder, "Trust this time"
// for as long as the program runs.
class TTrustedCertificates {
public:
    // What to do about a certificate that did not verify.
    enum class Verdict {
        // The user trusted this very certificate for this server: ask nothing.
        Trusted,
        // Nothing is known of this server: ask.
        Unknown,
        // The user trusted another certificate for this server: warn.
        Changed,
    };

    // Reads the file (a missing one holds nothing). A file that cannot be read or
    // parsed trusts nothing: it is set aside as PATH.bad where it can be, and
    // LoadProblem() says so.
    explicit TTrustedCertificates(std::string path);

    const std::string& Path() const { return m_path; }
    // Empty when the file was read (or was not there).
    const std::string& LoadProblem() const { return m_loadProblem; }
    // The load problem the first time it is asked for, empty after: it is told once.
    std::string TakeLoadProblem();

    Verdict Judge(const std::string& host, std::uint16_t port, const std::string& fingerprint) const;
    // The fingerprint stored for the server ("Trust always"), empty when none.
    std::string Stored(const std::string& host, std::uint16_t port) const;
    // "Trust always": kept, and the whole file written anew; false when it cannot be
    // written (the certificate is then trusted for this run only).
    bool TrustAlways(const std::string& host, std::uint16_t port, const std::string& fingerprint);
    // "Trust this time": until the program ends.
    void TrustThisRun(const std::string& host, std::uint16_t port, const std::string& fingerprint);

    // "host:port", "[::1]:21" for an IPv6 address; host names without regard to case.
    static std::string Key(const std::string& host, std::uint16_t port);

private:
    void load();

    std::string m_path;
    std::string m_loadProblem;
    std::map<std::string, std::string> m_always;
    std::map<std::string, std::string> m_thisRun;
    bool m_problemReported = false;
};

// The window's question about a certificate that did not verify.
struct CertificateQuestion {
    std::string host;
    std::uint16_t port = 0;
    TIdPeerCertificate certificate;
    // Changed: the fingerprint the user trusted before.
    TTrustedCertificates::Verdict verdict = TTrustedCertificates::Verdict::Unknown;
    std::string storedFingerprint;
};

// The question's text: the server, each reason in plain words, subject, issuer,
// validity and fingerprint; for a changed certificate a warning naming both
// fingerprints.
std::string CertificateQuestionText(const CertificateQuestion& question);

// Whether to go on with a server whose certificate did not verify: a certificate the
// user trusted for this server goes on silently; otherwise the user is asked (through
// the process's dialogs, on the thread that shows them), and the answer kept as given.
// A damaged trust file is reported once, before the first question.
bool AskAboutCertificate(TTrustedCertificates& trust, const std::string& host, std::uint16_t port,
                         const TIdPeerCertificate& certificate);

// What the window asks when TLS was wanted and the server offers none.
inline constexpr const char* kPlainTextQuestion =
    "The server does not offer TLS. Connect without encryption? Your password would be sent in plain text.";
