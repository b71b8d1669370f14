#include "engine/FtpUrl.h"

#include <cctype>

#include "engine/SessionSetup.h"

namespace {

// Longer than any address a person or a browser hands over; refused before it is read.
constexpr std::size_t kMaxUrlBytes = 4096;

bool startsWithNoCase(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// %XX decoded; false for a broken escape or a control character it would make.
bool decoded(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
            if (low < 0) {
                return false;
            }
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (isControl(static_cast<unsigned char>(c))) {
            return false;
        }
        out += c;
    }
    return true;
}

}  // namespace

bool LooksLikeFtpUrl(const std::string& text) {
    return startsWithNoCase(text, "ftp://") || startsWithNoCase(text, "ftps://");
}

bool ParseFtpUrl(const std::string& text, FtpUrl& url, std::string& error) {
    url = {};
    if (text.size() > kMaxUrlBytes) {
        error = "the address is longer than " + std::to_string(kMaxUrlBytes) + " characters";
        return false;
    }
    for (const char c : text) {
        if (isControl(static_cast<unsigned char>(c)) || c == ' ') {
            error = c == ' ' ? "a blank in the address (write it as %20)" : "a control character in the address";
            return false;
        }
    }
    std::size_t at = 0;
    if (startsWithNoCase(text, "ftps://")) {
        url.implicitTls = true;
        url.port = 990;
        at = 7;
    } else if (startsWithNoCase(text, "ftp://")) {
        at = 6;
    } else {
        error = "not an ftp:// or ftps:// address";
        return false;
    }
    const std::size_t slash = text.find('/', at);
    const std::string authority = text.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
    // The "/" after the host only separates; what follows is relative to the folder the
    // login starts in, as curl and the browsers read it ("%2F" makes it absolute).
    if (slash != std::string::npos && !decoded(text.substr(slash + 1), url.path)) {
        error = "a broken %-escape or a control character in the path";
        return false;
    }
    // The account is what stands before the last "@" (a password may hold one escaped
    // or not; the host never does).
    std::string hostPort = authority;
    const std::size_t atSign = authority.rfind('@');
    if (atSign != std::string::npos) {
        const std::string account = authority.substr(0, atSign);
        hostPort = authority.substr(atSign + 1);
        const std::size_t colon = account.find(':');
        url.hasUser = true;
        url.hasPassword = colon != std::string::npos;
        if (!decoded(account.substr(0, colon), url.user) ||
            (url.hasPassword && !decoded(account.substr(colon + 1), url.password))) {
            error = "a broken %-escape or a control character in the account or password";
            return false;
        }
        if (url.user.empty()) {
            error = "an empty account before \"@\"";
            return false;
        }
    }
    std::string portText;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string::npos) {
            error = "an IPv6 address without its closing \"]\"";
            return false;
        }
        url.host = hostPort.substr(1, close - 1);
        const std::string after = hostPort.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            error = "something after the IPv6 address that is not a port";
            return false;
        }
        portText = after.empty() ? std::string() : after.substr(1);
        if (after == ":") {
            portText = "";
            error = "an empty port";
            return false;
        }
    } else {
        const std::size_t colon = hostPort.find(':');
        url.host = hostPort.substr(0, colon);
        if (colon != std::string::npos) {
            portText = hostPort.substr(colon + 1);
            if (portText.empty()) {
                error = "an empty port";
                return false;
            }
        }
    }
    if (url.host.empty()) {
        error = "no host in the address";
        return false;
    }
    for (const char c : url.host) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '_' ||
              static_cast<unsigned char>(c) >= 0x80)) {
            error = "the host \"" + url.host + "\" holds a character no host name has";
            return false;
        }
    }
    if (!portText.empty()) {
        long long port = 0;
        for (const char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || port > 65535) {
                port = -1;
                break;
            }
            port = port * 10 + (c - '0');
        }
        if (!IsPortNumber(port)) {
            error = "the port \"" + portText + "\" is not a number from 1 to 65535";
            return false;
        }
        url.port = static_cast<std::uint16_t>(port);
    }
    return true;
}
