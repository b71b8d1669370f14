#pragma once

#include <iosfwd>
#include <memory>

#include "ftp/IdFTP.h"
#include "tools/harbrook-cli/CliOptions.h"

namespace harbrook::cli {

// One FTP session set up the way the main window sets up its own, running the
// command-line's commands in turn.
class CliSession {
public:
    CliSession(const CliOptions& options, std::ostream& out);

    void connect();
    // Runs one command; throws on failure, and std::invalid_argument when it is not
    // a command at all.
    void run(const std::string& command);
    void disconnect();

private:
    void runCommand(const std::string& verb, const std::string& rest);

    const CliOptions& m_options;
    std::ostream& m_out;
    TIdSSLIOHandlerSocketOpenSSL m_tlsHandler;
    TIdFTP m_ftp;
};

}  // namespace harbrook::cli
