#include "tools/harbrook-cli/CliSession.h"

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <ostream>
#include <thread>
#include <stdexcept>

#include "engine/DirListings.h"
#include "engine/FtpFileStream.h"
#include "engine/FtpTools.h"
#include "engine/TransferList.h"
#include "platform/Stream.h"
#include "tools/harbrook-cli/ListingOutput.h"

namespace harbrook::cli {

CliSession::CliSession(const CliOptions& options, std::ostream& out)
    : m_options(options), m_out(out) {
    m_ftp.SetHost(options.host);
    m_ftp.SetPort(options.port);
    m_ftp.SetUsername(options.user);
    // Anonymous servers ask for an address-like password by convention.
    m_ftp.SetPassword(options.password.value_or(options.user == "anonymous" ? "harbrook@" : ""));
    m_ftp.SetReadTimeout(options.readTimeoutMs);
    m_ftp.SetPassive(!options.active);
    m_ftp.SetTransferTimeout(options.transferTimeoutMs);
    m_ftp.SetListenTimeout(options.transferTimeoutMs);
    if (options.tls || options.requireTls) {
        m_ftp.SetIOHandler(&m_tlsHandler);
        m_ftp.SetUseTLS(options.requireTls ? utUseRequireTLS : utUseExplicitTLS);
        // File contents are as private as the commands.
        m_ftp.SetDataPortProtection(ftpdpsPrivate);
        // Like the window: a server without TLS is used in plain text.
        m_ftp.OnTLSNotAvailable = [](bool& goOn) { goOn = true; };
    }
}

void CliSession::connect() {
    m_ftp.Connect();
}

void CliSession::disconnect() {
    m_ftp.Disconnect();
}

void CliSession::run(const std::string& command) {
    const std::size_t space = command.find(' ');
    const std::string verb = command.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : command.substr(space + 1);
    if (!m_options.progress) {
        runCommand(verb, rest);
        return;
    }
    // The transfer list, twice a second, while the command runs.
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread reporter([&] {
        std::unique_lock lock(mutex);
        while (!done.wait_for(lock, std::chrono::milliseconds(500), [&] { return finished; })) {
            std::vector<std::string> lines;
            FillTransferLines(lines);
            for (const std::string& line : lines) {
                std::cerr << line << "\n";
            }
        }
    });
    auto stopReporter = [&] {
        {
            std::lock_guard lock(mutex);
            finished = true;
        }
        done.notify_all();
        reporter.join();
    };
    try {
        runCommand(verb, rest);
    } catch (...) {
        stopReporter();
        throw;
    }
    stopReporter();
}

void CliSession::runCommand(const std::string& verb, const std::string& rest) {
    auto needArgument = [&] {
        if (rest.empty()) {
            throw std::invalid_argument("'" + verb + "' needs a name");
        }
    };
    if (verb == "pwd") {
        m_out << m_ftp.CurrentDirectory() << "\n";
    } else if (verb == "cd") {
        needArgument();
        m_ftp.ChangeDirectory(rest);
    } else if (verb == "cdup") {
        m_ftp.ChangeToParent();
    } else if (verb == "mkdir") {
        needArgument();
        m_ftp.MakeDirectory(rest);
    } else if (verb == "rmdir") {
        needArgument();
        m_ftp.RemoveDirectory(rest);
    } else if (verb == "rm") {
        needArgument();
        if (rest.rfind("-r ", 0) == 0) {
            DeleteRemoteFolder(m_ftp, rest.substr(3));
        } else {
            m_ftp.RemoveFile(rest);
        }
    } else if (verb == "mv") {
        const auto words = splitCommandWords(rest);
        if (words.size() != 2) {
            throw std::invalid_argument("'mv' needs an old and a new name");
        }
        m_ftp.RenameFile(words[0], words[1]);
    } else if (verb == "size") {
        needArgument();
        m_out << m_ftp.FileSize(rest) << "\n";
    } else if (verb == "ls") {
        const bool raw = rest == "--raw" || rest.rfind("--raw ", 0) == 0;
        const std::string path = raw ? (rest.size() > 6 ? rest.substr(6) : std::string()) : rest;
        std::vector<std::string> lines;
        m_ftp.ListDirectory(&lines, path);
        if (raw) {
            for (const std::string& line : lines) {
                m_out << line << "\n";
            }
        } else {
            const TIdFTPListItems& items = m_ftp.DirectoryItems();
            printEntries(m_out, m_ftp.ListParserIdentifier(), items);
        }
    } else if (verb == "get") {
        const auto words = splitCommandWords(rest);
        if (words.size() == 3 && words[0] == "-r") {
            DownloadRemoteFolder(m_ftp, words[2], AddTrailingSlash(words[1]));
            return;
        }
        if (words.size() != 2) {
            throw std::invalid_argument("'get' needs a remote and a local name");
        }
        tftp_filestream file(words[1], FileOpenMode::Create, 0, 0, 0);
        m_ftp.Download(words[0], file);
    } else if (verb == "put" || verb == "append") {
        const auto words = splitCommandWords(rest);
        if (verb == "put" && words.size() == 2 && words[0] == "-r") {
            const std::string folder = StripTrailingSlash(words[1]);
            UploadLocalFolder(m_ftp, folder, ExtractRemoteName(folder));
            return;
        }
        if (words.size() != 2) {
            throw std::invalid_argument("'" + verb + "' needs a local and a remote name");
        }
        tftp_filestream file(words[0], FileOpenMode::OpenRead, 0, 0);
        m_ftp.Upload(file, words[1], verb == "append");
    } else if (verb == "feat") {
        for (const std::string& line : m_ftp.Capabilities()) {
            m_out << line << "\n";
        }
    } else {
        throw std::invalid_argument("unknown command '" + verb + "'");
    }
}

}  // namespace harbrook::cli
