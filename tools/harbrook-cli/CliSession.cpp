#include "tools/harbrook-cli/CliSession.h"


#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <ostream>
#include <thread>

#include "engine/CloneConnection.h"
#include "engine/DirListings.h"
#include "engine/FolderWalks.h"
#include "engine/FtpTools.h"
#include "engine/MessageLog.h"
#include "engine/RateLimit.h"
#include "engine/SessionSetup.h"
#include "engine/TransferList.h"
#include "ftp/IdFTPExceptions.h"
#include "platform/LocalFiles.h"
#include "tools/harbrook-cli/CliMessages.h"
#include "tools/harbrook-cli/ListingOutput.h"

namespace harbrook::cli {

namespace {

// "download of a.bin interrupted after 1048576 of 4194304 bytes: <reason>"
[[noreturn]] void rethrowWithProgress(const std::string& what, const TransferCount& count,
                                      const std::string& reason) {
    std::string progress = "after " + std::to_string(count.moved);
    if (count.expected >= 0) {
        progress += " of " + std::to_string(count.expected);
    }
    throw std::runtime_error(what + " interrupted " + progress + " bytes: " + reason);
}

// A transfer refused before a byte moved ("Could not create file."): said with the file
// it was about, unless the reason names it already.
[[noreturn]] void rethrowNamingTheFile(const std::string& what, const std::string& local, const std::string& remote,
                                       const std::string& reason) {
    if (reason.find(local) != std::string::npos || reason.find(remote) != std::string::npos) {
        throw std::runtime_error(reason);
    }
    throw std::runtime_error(what + " failed: " + reason);
}

}  // namespace

SessionSettings cliSessionSettings(const CliOptions& options, const Credentials& credentials) {
    SessionSettings settings;
    settings.host = options.host;
    ChooseAddressFamily(settings);
    settings.port = options.port;
    settings.user = credentials.user;
    settings.password = credentials.password;
    settings.tls = options.implicitTls  ? SessionSettings::Tls::Implicit
                   : options.requireTls ? SessionSettings::Tls::Required
                   : options.tls        ? SessionSettings::Tls::Explicit
                                        : SessionSettings::Tls::None;
    // The mode asked for, and no other: a script must know how it connected.
    settings.passive = !options.active;
    settings.activeAfterFailure = false;
    settings.extendedDataPort = options.extendedDataPort;
    settings.readTimeoutMs = options.readTimeoutMs;
    settings.connectTimeoutMs = options.connectTimeoutMs;
    settings.transferTimeoutMs = options.transferTimeoutMs;
    settings.listenTimeoutMs = options.transferTimeoutMs;
    settings.caFile = options.caFile;
    settings.readBlockSize = kTransferReadBlockSize;
    settings.writeBlockSize = kTransferWriteBlockSize;
    return settings;
}

CliSession::CliSession(const CliOptions& options, const Credentials& credentials, std::ostream& out)
    : m_options(options), m_out(out), m_settings(cliSessionSettings(options, credentials)) {
    PrepareSessionClient(m_ftp, m_settings);
    UploadRateLimit().SetRate(m_options.limitRate);
    DownloadRateLimit().SetRate(m_options.limitRate);
    if (m_options.verbose) {
        AttachLogSink(m_ftp, "main", [](const LogLine& line) { std::cerr << forTerminal(LogLineText(line)) << "\n"; });
    }
    m_ftp.SetRequiredPeerFingerprints(m_options.pinnedFingerprints);
    m_ftp.OnVerifyPeer = [this](const TIdPeerCertificate&, bool& accept) { accept = m_options.insecure; };
    m_ftp.OnTLSNotAvailable = [this](bool& goOn) {
        goOn = true;
        // Asked after every login without TLS, also when none was wanted.
        if (m_ftp.UseTLS() == utNoTLSSupport) {
            return;
        }
        std::cerr << "harbrook-cli: warning: " << m_options.host
                  << " does not offer TLS; the session, password included, goes in plain text\n";
        goOn = true;
    };
}

void CliSession::connect() {
    if (m_options.insecure && m_settings.tls != SessionSettings::Tls::None) {
        std::cerr << "harbrook-cli: warning: --insecure: the server's certificate is not checked; anyone on the "
                     "path could read the session\n";
    }
    SessionSettings checked = m_settings;
    checked.startFolder = m_options.startFolder;
    if (const std::string problem = SessionSettingsProblem(checked); !problem.empty()) {
        throw EIdException(problem);
    }
    try {
        ConnectSession(m_ftp, m_tlsHandler, m_settings);
    } catch (const EIdTLSClientCertificateRejected& rejected) {
        const std::string& fingerprint = m_ftp.PeerCertificate().Sha256;
        std::string advice;
        if (!fingerprint.empty()) {
            advice = " If you know it is the server's certificate, trust it with --pin-sha256 " + fingerprint +
                     " (or give the authority that issued it with --cacert FILE).";
        }
        throw EIdTLSClientCertificateRejected(rejected.what() + advice);
    }
    if (!m_options.startFolder.empty()) {
        m_ftp.ChangeDirectory(m_options.startFolder);
    }
}

void CliSession::disconnect() {
    m_ftp.Disconnect();
}

CliSession::Activity::Activity(CliSession& session, const std::string& what) : m_session(session) {
    std::lock_guard guard(m_session.m_activityLock);
    m_session.m_activity = what;
}

CliSession::Activity::~Activity() {
    std::lock_guard guard(m_session.m_activityLock);
    m_session.m_activity.clear();
}

std::string CliSession::activity() const {
    std::lock_guard guard(m_activityLock);
    return m_activity;
}

bool CliSession::interrupt() {
    m_interrupted = true;
    if (m_spreading) {
        m_spreadStop.Raise();
        return true;
    }
    return m_ftp.InterruptTransfer();
}

void CliSession::spread(const std::function<void(TSpreadPool::Group* files)>& walk) {
    if (m_options.parallel <= 1) {
        walk(nullptr);
        return;
    }
    const CloneSnapshot snapshot = TakeCloneSnapshot(m_ftp);
    const harbrook::ScopedInterrupter stop(m_spreadStop);
    m_spreading = true;
    struct Spreading {
        std::atomic<bool>& flag;
        ~Spreading() { flag = false; }
    } spreading{m_spreading};
    TSpreadPool pool(m_options.parallel - 1, [&](int number) -> std::unique_ptr<TIdFTP> {
        auto helper = std::make_unique<TIdFTP>();
        if (m_options.verbose) {
            AttachLogSink(*helper, "helper " + std::to_string(number),
                          [](const LogLine& line) { std::cerr << forTerminal(LogLineText(line)) << "\n"; });
        }
        ConnectClone(snapshot, *helper);
        return helper->Connected() ? std::move(helper) : nullptr;
    });
    {
        TSpreadPool::Group files(pool);
        walk(&files);
        files.Finish(m_ftp);
    }
    pool.Join();
    if (pool.Refused() > 0) {
        std::cerr << "harbrook-cli: warning: the server refused " << pool.Refused() << " of " << pool.Tried() + 1
                  << " connections; the files went over fewer\n";
    }
}

void CliSession::run(const CliCommand& command) {
    if (m_interrupted) {
        throw EInterrupted("interrupted");
    }
    if (!m_options.progress) {
        runCommand(command);
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
                std::cerr << forTerminal(line) << "\n";
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
        runCommand(command);
    } catch (...) {
        stopReporter();
        throw;
    }
    stopReporter();
}

void CliSession::runCommand(const CliCommand& command) {
    const std::string& verb = command.verb;
    const auto& names = command.names;
    if (verb == "pwd") {
        m_out << forTerminal(m_ftp.CurrentDirectory()) << "\n";
    } else if (verb == "cd") {
        m_ftp.ChangeDirectory(names[0]);
    } else if (verb == "cdup") {
        m_ftp.ChangeToParent();
    } else if (verb == "mkdir") {
        m_ftp.MakeDirectory(names[0]);
    } else if (verb == "rmdir") {
        m_ftp.RemoveDirectory(names[0]);
    } else if (verb == "rm") {
        if (command.recursive) {
            DeleteRemoteFolder(m_ftp, names[0]);
        } else {
            m_ftp.RemoveFile(names[0]);
        }
    } else if (verb == "mv") {
        m_ftp.RenameFile(names[0], names[1]);
    } else if (verb == "size") {
        m_out << m_ftp.FileSize(names[0]) << "\n";
    } else if (verb == "ls") {
        list(command);
    } else if (verb == "get") {
        if (command.recursive) {
            spread([&](TSpreadPool::Group* files) {
                DownloadRemoteFolder(m_ftp, names[1], AddTrailingSlash(names[0]), nullptr, files);
            });
        } else {
            get(names[0], names[1], command);
        }
    } else if (verb == "put") {
        if (command.recursive) {
            const std::string folder = StripTrailingSlash(names[0]);
            spread([&](TSpreadPool::Group* files) {
                UploadLocalFolder(m_ftp, folder, ExtractRemoteName(folder), nullptr, files);
            });
        } else {
            put(names[0], names[1], false, command);
        }
    } else if (verb == "append") {
        put(names[0], names[1], true, command);
    } else if (verb == "feat") {
        for (const std::string& line : m_ftp.Capabilities()) {
            m_out << forTerminal(line) << "\n";
        }
    }
    if (m_interrupted) {
        throw EInterrupted("interrupted");
    }
}

void CliSession::list(const CliCommand& command) {
    // Another folder is listed from inside it: servers read LIST's argument as options
    // ("-dashdir") or stumble over blanks, but every server changes folders alike.
    std::string home;
    if (!command.names.empty()) {
        home = m_ftp.CurrentDirectory();
        m_ftp.ChangeDirectory(command.names[0]);
    }
    // Parsed while the listing arrives, printed once it is whole: the layout its first
    // lines suggest may not be the one all its lines settle on, and what was printed
    // cannot be taken back.
    TEntryPrinter printer(m_out, forTerminal);
    try {
        if (command.raw) {
            m_ftp.ListDirectory(nullptr);
        } else {
            m_ftp.ListDirectoryHandingOn(
                4096, [&](const TIdFTPListItems& items) { printer.AddHeld(items); },
                [&] { printer.Discard(); });
        }
    } catch (...) {
        if (!home.empty()) {
            m_ftp.ChangeDirectory(home);
        }
        throw;
    }
    if (!home.empty()) {
        m_ftp.ChangeDirectory(home);
    }
    if (command.raw) {
        for (const std::string_view line : m_ftp.ListResult().Lines) {
            m_out << forTerminal(std::string(line)) << "\n";
        }
    } else {
        printer.Finish(m_ftp.ListParserIdentifier());
        m_out << "\n";
    }
}

void CliSession::get(const std::string& remote, const std::string& local, const CliCommand& command) {
    if (command.noClobber && harbrook::InspectLocalEntry(local).kind != harbrook::LocalEntryKind::Missing) {
        std::cerr << "harbrook-cli: " << forTerminal(local) << " exists; not overwritten (-n)\n";
        return;
    }
    const Activity activity(*this, "download of " + remote);
    TransferCount count;
    try {
        if (command.resume) {
            ContinueDownload(m_ftp, remote, local, &count);
        } else {
            DownloadRemoteFileAs(m_ftp, remote, local, &count);
        }
    } catch (const EIncompleteTransfer&) {
        throw;  // Its message has the counts already.
    } catch (const std::exception& failure) {
        if (m_interrupted || count.moved > 0) {
            rethrowWithProgress("download of " + remote, count,
                                m_interrupted ? "interrupted" : messageOf(failure));
        }
        rethrowNamingTheFile("download of " + remote, local, remote, messageOf(failure));
    }
}

void CliSession::put(const std::string& local, const std::string& remote, bool append, const CliCommand& command) {
    // A remote file answers SIZE; a server without SIZE cannot tell, and the upload goes.
    if (command.noClobber && m_ftp.FileSize(remote) >= 0) {
        std::cerr << "harbrook-cli: " << forTerminal(remote) << " exists; not overwritten (-n)\n";
        return;
    }
    const Activity activity(*this, (append ? "append of " : "upload of ") + local);
    TransferCount count;
    try {
        if (command.resume) {
            ContinueUpload(m_ftp, local, remote, &count);
        } else {
            UploadLocalFile(m_ftp, local, remote, &count, append);
        }
    } catch (const EIncompleteTransfer&) {
        throw;
    } catch (const std::exception& failure) {
        if (m_interrupted || count.moved > 0) {
            rethrowWithProgress((append ? "append of " : "upload of ") + local, count,
                                m_interrupted ? "interrupted" : messageOf(failure));
        }
        rethrowNamingTheFile((append ? "append of " : "upload of ") + local + " to " + remote, local, remote,
                             messageOf(failure));
    }
}

}  // namespace harbrook::cli
