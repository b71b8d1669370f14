#pragma once

#include <optional>
#include <string>

#include "tools/harbrook-cli/CliOptions.h"

namespace harbrook::cli {

struct NetrcEntry {
    std::string login;
    std::string password;
};

// The entry of a .netrc text for `host`: its "machine" entry (with `login` when one is
// given), else the "default" entry. Macro definitions are skipped.
std::optional<NetrcEntry> findNetrcEntry(const std::string& text, const std::string& host,
                                         const std::optional<std::string>& login);

struct Credentials {
    std::string user;
    std::string password;
};

// Account and password for the session, the first found: --user/--pass; the password
// in `environmentPassword` (HARBROOK_PASSWORD); the .netrc file at `netrcPath`; and
// for anonymous an address-like password, as anonymous servers expect by convention.
Credentials resolveCredentials(const CliOptions& options, const char* environmentPassword,
                               const std::string& netrcPath);

// $HOME/.netrc, or empty without a home folder.
std::string defaultNetrcPath();

}  // namespace harbrook::cli
