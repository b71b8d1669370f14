#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/harbrook-cli/CliCommand.h"

namespace harbrook::cli {

struct CliOptions {
    std::string host;
    std::uint16_t port = 21;
    // Given with --user; otherwise from ~/.netrc, or "anonymous".
    std::optional<std::string> user;
    std::optional<std::string> password;
    bool tls = false;
    bool requireTls = false;
    // TLS from the first byte (--implicit-tls, or an ftps:// HOST); port 990 unless given.
    bool implicitTls = false;
    // The folder an address's path names; entered before the first command.
    std::string startFolder;
    // The server's certificate: verified against the system's authorities or this
    // file's; or one of the pinned fingerprints ("AB:CD:...", a pinned certificate needs
    // no authority); or, with insecure, not checked at all.
    std::string caFile;
    std::vector<std::string> pinnedFingerprints;
    bool insecure = false;
    bool active = false;
    // EPSV (with active, EPRT) for the data connections where the server offers it.
    bool extendedDataPort = false;
    // Transfer list lines on stderr twice a second while a transfer runs.
    bool progress = false;
    // Every command and reply on stderr, as the window's message log has them.
    bool verbose = false;
    // Bytes per second in each direction, all connections together; 0: no limit.
    std::int64_t limitRate = 0;
    // Files at once where a command moves many (1 to 10).
    int parallel = 1;
    // As the main window: 10 s for replies, 30 s for transfers and the active listener.
    // --timeout sets all three.
    int readTimeoutMs = 10000;
    // Control and data connects.
    int connectTimeoutMs = 10000;
    int transferTimeoutMs = 30000;
    std::vector<std::string> commands;
    // The commands read and checked, in order.
    std::vector<CliCommand> parsedCommands;
};

// Parses the command line, commands included, so that a mistake anywhere is found
// before anything is sent; on a mistake returns nothing and sets `error`.
std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args, std::string& error);

std::string usageText();

}  // namespace harbrook::cli
