#pragma once

#include <cstdint>
#include <string>

// An address as browsers and file managers hand it over:
// ftp://[user[:password]@]host[:port][/path] and ftps://… (TLS from the first byte,
// port 990 unless given). Percent-escapes in the account, the password and the path are
// decoded; an IPv6 address stands in brackets ("ftp://[::1]:2121/").
struct FtpUrl {
    bool implicitTls = false;
    std::string user;
    std::string password;
    bool hasUser = false;
    bool hasPassword = false;
    std::string host;
    std::uint16_t port = 21;
    // Decoded, relative to the folder the login starts in ("ftp://host/pub" is "pub",
    // "ftp://host/%2Fvar/ftp" the absolute "/var/ftp"); empty for that folder itself.
    std::string path;
};

// Whether the text starts as such an address does ("ftp://", "ftps://", any case).
bool LooksLikeFtpUrl(const std::string& text);

// Reads the address; false with `error` saying why ("the port is not a number from 1 to
// 65535", "a control character in the address" ...). Control characters are refused in
// every part, escaped or not: none of them may reach a command line of the protocol.
bool ParseFtpUrl(const std::string& text, FtpUrl& url, std::string& error);
