#include "ftp/transport/IdPeerCertificate.h"

#include <cctype>

namespace harbrook {

std::vector<std::string> CertificateProblemTexts(const TIdPeerCertificate& certificate) {
    std::vector<std::string> texts;
    const unsigned problems = certificate.Problems;
    if (!certificate.Present) {
        texts.push_back("the server sent no certificate");
        return texts;
    }
    if (problems & TIdPeerCertificate::SelfSigned) {
        texts.push_back("it is self-signed: no known authority vouches for it");
    } else if (problems & TIdPeerCertificate::UnknownIssuer) {
        texts.push_back("it is issued by an unknown authority (" + certificate.Issuer + ")");
    }
    if (problems & TIdPeerCertificate::Expired) {
        texts.push_back("it expired on " + certificate.NotAfter);
    }
    if (problems & TIdPeerCertificate::NotYetValid) {
        texts.push_back("it is not valid before " + certificate.NotBefore);
    }
    if (problems & TIdPeerCertificate::NameMismatch) {
        texts.push_back("it is not issued for " + certificate.CheckedName);
    }
    for (const std::string& other : certificate.OtherReasons) {
        texts.push_back(other);
    }
    return texts;
}

std::string CertificateProblemSummary(const TIdPeerCertificate& certificate) {
    std::string summary;
    for (const std::string& text : CertificateProblemTexts(certificate)) {
        if (!summary.empty()) {
            summary += "; ";
        }
        summary += text;
    }
    return summary;
}

std::optional<std::string> NormalizedFingerprint(const std::string& text) {
    std::string hex;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ':') {
            // Colons only between pairs, as openssl writes them.
            if (hex.empty() || hex.size() % 2 != 0 || i + 1 == text.size() || text[i + 1] == ':') {
                return std::nullopt;
            }
            continue;
        }
        if (!std::isxdigit(c)) {
            return std::nullopt;
        }
        hex += static_cast<char>(std::toupper(c));
    }
    if (hex.size() != 64) {
        return std::nullopt;
    }
    std::string written;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        if (!written.empty()) {
            written += ':';
        }
        written += hex.substr(i, 2);
    }
    return written;
}

}  // namespace harbrook
