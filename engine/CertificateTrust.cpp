#include "engine/CertificateTrust.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "engine/SessionSetup.h"
#include "ftp/transport/IdReply.h"
#include "platform/Dialogs.h"
#include "platform/MessageText.h"
#include "platform/ProfileFile.h"

namespace {

constexpr const char* kHeader =
    "# Server certificates trusted in Harbrook (\"Trust always\"): host:port SHA-256\n";
// A trust file is a few lines per server; anything larger is not ours.
constexpr std::streamoff kMaxFileBytes = 1 << 20;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A key as Key() writes it: a host without blanks, ":" and a port from 1 to 65535.
bool validKey(const std::string& key) {
    const std::size_t colon = key.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    const std::string port = key.substr(colon + 1);
    long long number = 0;
    return std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }) &&
           harbrook::parseWholeInteger(port, number) && IsPortNumber(number) &&
           std::none_of(key.begin(), key.end(), [](unsigned char c) { return c <= ' ' || c == 0x7F; });
}

}  // namespace

TTrustedCertificates::TTrustedCertificates(std::string path) : m_path(std::move(path)) {
    load();
}

std::string TTrustedCertificates::Key(const std::string& host, std::uint16_t port) {
    const std::string name = lowerCase(host);
    const bool ipv6 = name.find(':') != std::string::npos && name.front() != '[';
    return (ipv6 ? "[" + name + "]" : name) + ":" + std::to_string(port);
}

void TTrustedCertificates::load() {
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0 && errno == ENOENT) {
        return;
    }
    std::ifstream file(m_path, std::ios::binary);
    std::string problem;
    std::map<std::string, std::string> read;
    if (!file) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode) || info.st_size > kMaxFileBytes) {
        problem = "it is not a list of certificates";
    } else {
        std::string line;
        int number = 0;
        while (problem.empty() && std::getline(file, line)) {
            ++number;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty() || line.front() == '#') {
                continue;
            }
            const std::size_t blank = line.find(' ');
            const std::string key = line.substr(0, blank);
            const auto fingerprint = blank == std::string::npos
                                         ? std::nullopt
                                         : harbrook::NormalizedFingerprint(line.substr(blank + 1));
            if (!validKey(key) || !fingerprint) {
                problem = "line " + std::to_string(number) + " is not \"host:port fingerprint\"";
            } else {
                read[lowerCase(key)] = *fingerprint;
            }
        }
    }
    if (problem.empty()) {
        m_always = std::move(read);
        return;
    }
    // Nothing of a damaged file is trusted; it is kept aside for whoever wants to look.
    const std::string aside = m_path + ".bad";
    const bool setAside = std::rename(m_path.c_str(), aside.c_str()) == 0;
    m_loadProblem = "The list of trusted certificates " + harbrook::ShortenedForMessage(m_path) +
                    " could not be read (" + problem + "); no certificate of it is trusted" +
                    (setAside ? ", and it was set aside as " + harbrook::ShortenedForMessage(aside) : std::string()) +
                    ".";
}

TTrustedCertificates::Verdict TTrustedCertificates::Judge(const std::string& host, std::uint16_t port,
                                                          const std::string& fingerprint) const {
    const std::string key = Key(host, port);
    for (const auto* trusted : {&m_thisRun, &m_always}) {
        const auto found = trusted->find(key);
        if (found != trusted->end() && !fingerprint.empty() && found->second == fingerprint) {
            return Verdict::Trusted;
        }
    }
    return m_always.count(key) != 0 ? Verdict::Changed : Verdict::Unknown;
}

std::string TTrustedCertificates::Stored(const std::string& host, std::uint16_t port) const {
    const auto found = m_always.find(Key(host, port));
    return found == m_always.end() ? std::string() : found->second;
}

bool TTrustedCertificates::TrustAlways(const std::string& host, std::uint16_t port, const std::string& fingerprint) {
    TrustThisRun(host, port, fingerprint);
    m_always[Key(host, port)] = fingerprint;
    std::string text = kHeader;
    for (const auto& [key, stored] : m_always) {
        text += key + " " + stored + "\n";
    }
    return harbrook::ReplaceFileWhole(m_path, text);
}

std::string TTrustedCertificates::TakeLoadProblem() {
    if (m_problemReported) {
        return {};
    }
    m_problemReported = true;
    return m_loadProblem;
}

void TTrustedCertificates::TrustThisRun(const std::string& host, std::uint16_t port, const std::string& fingerprint) {
    m_thisRun[Key(host, port)] = fingerprint;
}

std::string CertificateQuestionText(const CertificateQuestion& question) {
    const TIdPeerCertificate& certificate = question.certificate;
    const std::string server = TTrustedCertificates::Key(question.host, question.port);
    std::ostringstream text;
    if (question.verdict == TTrustedCertificates::Verdict::Changed) {
        text << "WARNING: the certificate of " << server << " has changed.\n"
             << "You trusted a certificate with the fingerprint\n  " << question.storedFingerprint << "\n"
             << "but the server now presents one with the fingerprint\n  " << certificate.Sha256 << "\n"
             << "Someone may be intercepting the connection, or the server's certificate was replaced.\n";
    } else {
        text << "The certificate of " << server << " is not trusted.\n";
    }
    const auto problems = harbrook::CertificateProblemTexts(certificate);
    if (!problems.empty()) {
        text << "\n";
        for (const std::string& problem : problems) {
            std::string sentence = problem;
            sentence.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence.front())));
            text << "- " << sentence << ".\n";
        }
    }
    text << "\nSubject: " << certificate.Subject << "\n"
         << "Issuer: " << certificate.Issuer << "\n"
         << "Valid from " << certificate.NotBefore << " to " << certificate.NotAfter << "\n"
         << "SHA-256 fingerprint: " << certificate.Sha256 << "\n"
         << "\nConnect anyway? Only trust the certificate when you know its fingerprint is the server's.";
    return text.str();
}

bool AskAboutCertificate(TTrustedCertificates& trust, const std::string& host, std::uint16_t port,
                         const TIdPeerCertificate& certificate) {
    const auto verdict = trust.Judge(host, port, certificate.Sha256);
    if (verdict == TTrustedCertificates::Verdict::Trusted) {
        return true;
    }
    if (const std::string problem = trust.TakeLoadProblem(); !problem.empty()) {
        harbrook::Dialogs().ShowError(problem);
    }
    CertificateQuestion question;
    question.host = host;
    question.port = port;
    question.certificate = certificate;
    question.verdict = verdict;
    question.storedFingerprint = trust.Stored(host, port);
    const bool changed = verdict == TTrustedCertificates::Verdict::Changed;
    switch (harbrook::Dialogs().AskTrust(changed ? "Certificate changed" : "Untrusted certificate",
                                         CertificateQuestionText(question))) {
        case harbrook::IDialogs::TrustAnswer::Always:
            if (!trust.TrustAlways(host, port, certificate.Sha256)) {
                harbrook::Dialogs().ShowError("The certificate could not be kept in " +
                                              harbrook::ShortenedForMessage(trust.Path()) +
                                              "; it is trusted until Harbrook ends.");
            }
            return true;
        case harbrook::IDialogs::TrustAnswer::ThisTime:
            trust.TrustThisRun(host, port, certificate.Sha256);
            return true;
        case harbrook::IDialogs::TrustAnswer::Cancel:
            break;
    }
    return false;
}
