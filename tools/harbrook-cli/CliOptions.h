#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace harbrook::cli {

struct CliOptions {
    std::string host;
    std::uint16_t port = 21;
    std::string user = "anonymous";
    std::optional<std::string> password;
    bool tls = false;
    bool requireTls = false;
    bool active = false;
    // Transfer list lines on stderr twice a second while a transfer runs.
    bool progress = false;
    // As the main window: 10 s for replies, 30 s for transfers and the active listener.
    int readTimeoutMs = 10000;
    int transferTimeoutMs = 30000;
    std::vector<std::string> commands;
};

// Parses the command line; on a mistake returns nothing and sets `error`.
std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args, std::string& error);

// Splits a session command into words; double quotes group words with blanks
// ("mv \"a b\" c").
std::vector<std::string> splitCommandWords(const std::string& command);

std::string usageText();

}  // namespace harbrook::cli
