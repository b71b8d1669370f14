#pragma once

#include <atomic>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <stdexcept>
#include <string>

#include "engine/FileSpread.h"
#include "engine/SessionSetup.h"
#include "ftp/client/IdFTP.h"
#include "tools/harbrook-cli/CliCommand.h"
#include "tools/harbrook-cli/CliCredentials.h"
#include "tools/harbrook-cli/CliOptions.h"
#include "platform/Interrupt.h"

namespace harbrook::cli {

// The user interrupted the session (Ctrl-C).
class EInterrupted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One FTP session set up the way the main window sets up its own, running the
// command-line's commands in turn.
class CliSession {
public:
    CliSession(const CliOptions& options, const Credentials& credentials, std::ostream& out);

    void connect();
    // Runs one command; throws on failure (EInterrupted after interrupt()).
    void run(const CliCommand& command);
    void disconnect();

    // From another thread (the Ctrl-C watcher): cuts a running transfer, which then
    // ends with ABOR and keeps every old local file. True when a transfer was running;
    // otherwise the session stops after the command it is in.
    bool interrupt();
    bool interrupted() const { return m_interrupted; }
    // The transfer the session is in ("upload of /a/b.bin"); empty between transfers.
    // For the Ctrl-C watcher, whose last word must name what was cut.
    std::string activity() const;

private:
    // Names the transfer in activity() for one scope.
    class Activity {
    public:
        Activity(CliSession& session, const std::string& what);
        ~Activity();

    private:
        CliSession& m_session;
    };
    void runCommand(const CliCommand& command);
    void list(const CliCommand& command);
    void get(const std::string& remote, const std::string& local, const CliCommand& command);
    void put(const std::string& local, const std::string& remote, bool append, const CliCommand& command);
    // Runs a folder walk with its files spread over up to --parallel connections.
    void spread(const std::function<void(TSpreadPool::Group* files)>& walk);

    const CliOptions& m_options;
    std::ostream& m_out;
    const SessionSettings m_settings;
    std::atomic<bool> m_interrupted{false};
    // Raised by interrupt() while files are spread: the helpers' waits end too.
    harbrook::TInterrupter m_spreadStop;
    std::atomic<bool> m_spreading{false};
    mutable std::mutex m_activityLock;
    std::string m_activity;
    TIdSSLIOHandlerSocketOpenSSL m_tlsHandler;
    TIdFTP m_ftp;
};

// The session the command line asks for.
SessionSettings cliSessionSettings(const CliOptions& options, const Credentials& credentials);

}  // namespace harbrook::cli
