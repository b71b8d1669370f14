#include "tools/harbrook-cli/CliCredentials.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace harbrook::cli {

namespace {

// The words of a .netrc text; a macro definition runs from "macdef NAME" to the next
// empty line and is left out.
std::vector<std::string> netrcWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream lines(text);
    std::string line;
    bool inMacro = false;
    while (std::getline(lines, line)) {
        if (inMacro) {
            inMacro = line.find_first_not_of(" \t\r") != std::string::npos;
            continue;
        }
        std::istringstream lineWords(line);
        std::string word;
        while (lineWords >> word) {
            if (word == "macdef") {
                inMacro = true;
                break;
            }
            words.push_back(word);
        }
    }
    return words;
}

}  // namespace

std::optional<NetrcEntry> findNetrcEntry(const std::string& text, const std::string& host,
                                         const std::optional<std::string>& login) {
    const std::vector<std::string> words = netrcWords(text);
    std::optional<NetrcEntry> fallback;
    for (std::size_t i = 0; i < words.size();) {
        const bool isDefault = words[i] == "default";
        if (!isDefault && !(words[i] == "machine" && i + 1 < words.size())) {
            ++i;
            continue;
        }
        const bool forHost = !isDefault && words[i + 1] == host;
        i += isDefault ? 1 : 2;
        NetrcEntry entry;
        for (; i + 1 < words.size() && words[i] != "machine" && words[i] != "default"; i += 2) {
            if (words[i] == "login") {
                entry.login = words[i + 1];
            } else if (words[i] == "password") {
                entry.password = words[i + 1];
            }
        }
        if (login && !entry.login.empty() && entry.login != *login) {
            continue;
        }
        if (forHost) {
            return entry;
        }
        if (isDefault && !fallback) {
            fallback = entry;
        }
    }
    return fallback;
}

Credentials resolveCredentials(const CliOptions& options, const char* environmentPassword,
                               const std::string& netrcPath) {
    Credentials credentials;
    credentials.user = options.user.value_or("");
    if (options.password) {
        credentials.password = *options.password;
    } else if (environmentPassword != nullptr) {
        credentials.password = environmentPassword;
    } else {
        std::ifstream file(netrcPath);
        std::ostringstream text;
        if (file) {
            text << file.rdbuf();
        }
        if (const auto entry = findNetrcEntry(text.str(), options.host, options.user)) {
            if (credentials.user.empty()) {
                credentials.user = entry->login;
            }
            credentials.password = entry->password;
        }
    }
    if (credentials.user.empty()) {
        credentials.user = "anonymous";
    }
    if (credentials.user == "anonymous" && credentials.password.empty()) {
        credentials.password = "harbrook@";
    }
    return credentials;
}

std::string defaultNetrcPath() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::string(home) + "/.netrc" : std::string();
}

}  // namespace harbrook::cli
