#include "engine/RemoteSession.h"

#include <algorithm>

#include "engine/RemoteRules.h"
#include "ftp/IdFTPExceptions.h"
#include "platform/LocalFiles.h"

namespace {

// An error's first line, for a status line ("421 Timeout.\r\n…" -> "421 Timeout.").
std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find_first_of("\r\n"));
    return line.empty() ? text : line;
}

}  // namespace

std::string ConnectingActivity(const std::string& host, std::uint16_t port, bool reconnecting) {
    return std::string(reconnecting ? "Reconnecting to " : "Connecting to ") + host + ":" + std::to_string(port) +
           "\u2026";
}

TRemoteSession::TRemoteSession(TIdFTP& client, TIdSSLIOHandlerSocketOpenSSL& tlsHandler, IRemoteSessionView& view,
                               harbrook::IGuiDispatcher& dispatcher)
    : m_client(client), m_tlsHandler(tlsHandler), m_view(view), m_calls(dispatcher) {
    m_thread = std::thread([this] { run(); });
}

TRemoteSession::~TRemoteSession() {
    Close();
}

std::string TRemoteSession::Activity() const {
    std::lock_guard guard(m_lock);
    return m_activity;
}

void TRemoteSession::CheckUsable() const {
    if (!Usable()) {
        throw EIdNotConnected();
    }
}

TransferSite TRemoteSession::Site() const {
    std::lock_guard guard(m_lock);
    return m_site;
}

std::string TRemoteSession::ShownFolder() const {
    std::lock_guard guard(m_lock);
    return m_shownFolder;
}

bool TRemoteSession::submit(std::string activity, std::function<void()> body) {
    std::lock_guard guard(m_lock);
    if (m_closing || m_busy.load()) {
        return false;
    }
    m_busy = true;
    m_jobs.push_back(Job{std::move(activity), std::move(body), true});
    m_changed.notify_all();
    return true;
}

void TRemoteSession::queueInternal(std::function<void()> body) {
    std::lock_guard guard(m_lock);
    m_jobs.push_back(Job{std::string(), std::move(body), false});
    m_changed.notify_all();
}

void TRemoteSession::deliver(const std::function<void()>& call) {
    // Closed: the window is going away and hears nothing more.
    m_calls.Run(call);
}

std::string TRemoteSession::folderActivity(const char* verb, const std::string& path) const {
    return std::string(verb) + " " + path + "\u2026";
}

bool TRemoteSession::Connect(const SessionSettings& settings) {
    return submit(ConnectingActivity(settings.host, settings.port, false), [this, settings] {
        connectNow(settings, false);
        reload(true, "");
        if (m_connected) {
            deliver([this] { m_view.SessionUp(); });
        }
    });
}

bool TRemoteSession::Refresh(bool forced, const std::optional<std::string>& markPath) {
    return submit(folderActivity("Listing", ShownFolder()), [this, forced, markPath] {
        if (!ensureConnected()) {
            return;
        }
        reload(forced, markPath);
    });
}

bool TRemoteSession::Open(const std::string& folder) {
    return submit(folderActivity("Opening", folder), [this, folder] {
        if (!ensureConnected()) {
            return;
        }
        m_client.ChangeDirectory(folder);
        reload(false, "");
    });
}

bool TRemoteSession::Up() {
    return submit(folderActivity("Opening", ".."), [this] {
        if (!ensureConnected()) {
            return;
        }
        const std::string remembered = m_folder;
        m_client.ChangeToParent();
        reload(false, remembered);
    });
}

bool TRemoteSession::Home() {
    return submit(folderActivity("Opening", "/"), [this] {
        if (!ensureConnected()) {
            return;
        }
        const std::string remembered = m_folder;
        m_client.ChangeDirectory("/");
        reload(false, remembered);
    });
}

bool TRemoteSession::MakeFolder(const std::string& name) {
    return submit(folderActivity("Creating", name), [this, name] {
        if (!ensureConnected()) {
            return;
        }
        const std::string folder = m_client.CurrentDirectory();
        m_client.MakeDirectory(name);
        reload(true, AddTrailingSlash(folder) + name);
    });
}

bool TRemoteSession::Rename(const std::string& from, const std::string& to) {
    return submit(folderActivity("Renaming", from), [this, from, to] {
        if (!ensureConnected()) {
            return;
        }
        const std::string folder = m_client.CurrentDirectory();
        m_client.RenameFile(from, to);
        reload(true, AddTrailingSlash(folder) + to);
    });
}

bool TRemoteSession::Delete(const std::vector<std::string>& names, bool folders) {
    const std::string what = names.size() == 1 ? names.front() : std::to_string(names.size()) + " items";
    return submit(folderActivity("Deleting", what), [this, names, folders] {
        if (!ensureConnected()) {
            return;
        }
        for (const std::string& name : names) {
            // Each name's error is shown and the next one is tried, each followed by a
            // reload (so the panes show what is left).
            shownOnFailure([&] {
                if (folders) {
                    DeleteRemoteFolder(m_client, name);
                } else {
                    m_client.RemoveFile(name);
                }
            });
            if (!m_connected) {
                // A reload that failed ended the session; the rest cannot be deleted.
                return;
            }
            reload(true, "");
        }
    });
}

bool TRemoteSession::View(const std::string& name, const std::string& localFolder, int rights) {
    return submit(folderActivity("Fetching", name), [this, name, localFolder, rights] {
        if (!ensureConnected()) {
            return;
        }
        std::int64_t size = 0;
        if (!shownOnFailure([&] { size = m_client.FileSize(name); }, "Failed to retrieve file size")) {
            return;
        }
        if (!IsViewableSize(size)) {
            deliver([this] { m_view.ShowError(kViewTooLargeText); });
            return;
        }
        // A second connection keeps the main one free; where none can be made, the main
        // one carries the file. A failed download is shown, and what arrived is opened.
        const std::string file = localFolder + name;
        TIdFTP clone;
        CloneConnection(m_client, clone);
        TIdFTP& connection = clone.Connected() ? clone : m_client;
        shownOnFailure([&] { DownloadRemoteFileAs(connection, name, file, nullptr, rights); });
        try {
            if (clone.Connected()) {
                clone.Disconnect();
            }
        } catch (const std::exception&) {
            // The file is here; the second connection's goodbye does not matter.
        }
        if (harbrook::InspectLocalEntry(file).kind == harbrook::LocalEntryKind::File) {
            deliver([&] { m_view.ViewReady(name, file); });
        }
    });
}

bool TRemoteSession::shownOnFailure(const std::function<void()>& step, const std::string& box) {
    try {
        step();
        return true;
    } catch (const harbrook::EInterrupted&) {
        throw;
    } catch (const std::exception& error) {
        if (m_cancelled) {
            throw;
        }
        const std::string message = box.empty() ? std::string(error.what()) : box;
        deliver([&] { m_view.ShowError(message); });
        return false;
    }
}

void TRemoteSession::Disconnect() {
    {
        std::lock_guard guard(m_lock);
        if (m_closing) {
            return;
        }
        // What is queued is dropped; what runs is stopped; the goodbye comes next.
        m_jobs.erase(std::remove_if(m_jobs.begin(), m_jobs.end(), [](const Job& job) { return job.user; }),
                     m_jobs.end());
        if (!m_activity.empty()) {
            m_cancelled = true;
            m_interrupter.Raise();
        }
        m_connected = false;
        m_resumable = false;
        m_jobs.push_back(Job{std::string(), [this] { sayGoodbye(); }, false});
        m_changed.notify_all();
    }
}

void TRemoteSession::Cancel() {
    std::lock_guard guard(m_lock);
    if (!m_activity.empty()) {
        m_cancelled = true;
        m_interrupter.Raise();
    }
}

void TRemoteSession::Close() {
    {
        std::lock_guard guard(m_lock);
        if (m_stopped) {
            return;
        }
        m_stopped = true;
        m_closing = true;
        if (!m_activity.empty()) {
            m_cancelled = true;
            m_interrupter.Raise();
        }
        m_changed.notify_all();
    }
    // A call waiting for the window is let go: the window is what is closing.
    m_calls.Close();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool TRemoteSession::Inspect(const std::function<void(TIdFTP& client)>& look) {
    struct Pending {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool ran = false;
    };
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard guard(m_lock);
        if (m_closing) {
            return false;
        }
        // Queued jobs left at the close run once more with the session gone (m_closing):
        // the look is skipped then, and the waiting caller let go.
        m_jobs.push_back(Job{std::string(),
                             [this, pending, &look] {
                                 bool ran = false;
                                 if (!m_closing) {
                                     look(m_client);
                                     ran = true;
                                 }
                                 std::lock_guard done(pending->lock);
                                 pending->ran = ran;
                                 pending->finished = true;
                                 pending->done.notify_all();
                             },
                             false});
        m_changed.notify_all();
    }
    std::unique_lock guard(pending->lock);
    pending->done.wait(guard, [&] { return pending->finished; });
    return pending->ran;
}

std::optional<CloneSnapshot> TRemoteSession::Snapshot() {
    std::optional<CloneSnapshot> snapshot;
    Inspect([&](TIdFTP& client) {
        if (m_connected) {
            snapshot = TakeCloneSnapshot(client);
        }
    });
    return snapshot;
}

void TRemoteSession::run() {
    // Every socket wait of this thread (the connect, the resolver, TLS, replies, data,
    // the active-mode listener) ends at once when Cancel raises this.
    const harbrook::ScopedInterrupter scope(m_interrupter);
    m_lastCommand = std::chrono::steady_clock::now();
    for (;;) {
        Job job;
        {
            std::unique_lock guard(m_lock);
            m_changed.wait_for(guard, std::chrono::milliseconds(WatchMs.load()),
                               [&] { return m_closing || !m_jobs.empty(); });
            if (m_closing) {
                break;
            }
            if (m_jobs.empty()) {
                guard.unlock();
                watchIdle();
                continue;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            if (job.user) {
                m_activity = job.activity;
            }
        }
        runJob(job);
    }
    // Closing: what ran was interrupted; a standing session says goodbye, briefly.
    m_interrupter.Reset();
    m_cancelled = false;
    sayGoodbye();
    // Whoever waits for a snapshot is let go (with none: the session is gone); queued
    // user commands are dropped.
    std::deque<Job> left;
    {
        std::lock_guard guard(m_lock);
        left.swap(m_jobs);
    }
    for (Job& job : left) {
        if (!job.user) {
            job.body();
        }
    }
}

void TRemoteSession::runJob(Job& job) {
    if (job.user) {
        deliver([&] { m_view.SessionActivity(job.activity); });
    }
    try {
        if (!m_cancelled) {
            job.body();
        }
    } catch (const std::exception& error) {
        if (m_cancelled || dynamic_cast<const harbrook::EInterrupted*>(&error) != nullptr) {
            // The connection stopped in the middle of an exchange: it cannot be used any
            // more. A session that stood reconnects on the next command.
            const bool stood = m_connected;
            dropConnection();
            m_resumable = stood && !m_closing;
            if (!m_closing) {
                deliver([this] { m_view.SessionStatus("Cancelled"); });
            }
        } else {
            deliver([&] { m_view.ShowError(error.what()); });
        }
    }
    m_lastCommand = std::chrono::steady_clock::now();
    bool idle = false;
    {
        std::lock_guard guard(m_lock);
        m_cancelled = false;
        m_interrupter.Reset();
        if (job.user) {
            m_activity.clear();
        }
        idle = job.user &&
               std::none_of(m_jobs.begin(), m_jobs.end(), [](const Job& queued) { return queued.user; });
    }
    // Busy until the last user command has told the window everything.
    if (idle) {
        deliver([this] { m_view.SessionActivity(""); });
        m_busy = false;
    }
}

void TRemoteSession::watchIdle() {
    if (!m_connected) {
        return;
    }
    const std::string reason = lostReason();
    if (!reason.empty()) {
        lose(reason);
        return;
    }
    if (std::chrono::steady_clock::now() - m_lastCommand >= std::chrono::milliseconds(KeepAliveMs.load())) {
        m_lastCommand = std::chrono::steady_clock::now();
        try {
            m_client.SendCommand("NOOP");
        } catch (const std::exception& error) {
            const std::string closed = lostReason();
            lose(closed.empty() ? firstLine(error.what()) : closed);
        }
    }
}

std::string TRemoteSession::lostReason() {
    // Connected() stays true while a last reply waits unread; the server closing its
    // side is what counts. Such a reply (421 Timeout) says why.
    TIdIOHandler* io = m_client.IOHandler();
    bool closed = false;
    try {
        closed = !m_client.Connected() || (io != nullptr && io->ClosedGracefully());
    } catch (const std::exception&) {
        closed = true;
    }
    if (!closed) {
        return {};
    }
    // A last reply may still wait unread, in the buffer or (over TLS) still encrypted on
    // the socket: a short read takes it.
    if (io != nullptr) {
        const int readTimeout = m_client.ReadTimeout();
        m_client.SetReadTimeout(200);
        try {
            m_client.ReadReply(TIdReplyCodes{});
            m_client.SetReadTimeout(readTimeout);
            std::string said = m_client.LastCmdResult().FormattedText();
            while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) {
                said.pop_back();
            }
            if (!said.empty()) {
                return said;
            }
        } catch (const std::exception&) {
            // None, or half a reply: the plain reason below does.
            m_client.SetReadTimeout(readTimeout);
        }
    }
    return "the server closed the connection";
}

void TRemoteSession::lose(const std::string& reason) {
    dropConnection();
    // The next folder command logs in again and goes back into the folder.
    m_resumable = true;
    deliver([this] { m_view.SessionLost(); });
    deliver([&] { m_view.SessionStatus("Disconnected: " + reason); });
}

void TRemoteSession::dropConnection() {
    m_connected = false;
    try {
        m_client.DisconnectNotPeer();
    } catch (const std::exception&) {
        // Closing a socket that is gone already.
    }
}

void TRemoteSession::sayGoodbye() {
    // ABOR and QUIT; errors while disconnecting are never shown (the program may be
    // ending, and the connection is being given up either way). The answers get a short
    // time only: a server that stopped answering must not hold the window's close.
    bool open = false;
    try {
        open = m_client.Connected();
    } catch (const std::exception&) {
        open = false;
    }
    if (open) {
        const int readTimeout = m_client.ReadTimeout();
        m_client.SetReadTimeout(GoodbyeTimeoutMs.load());
        try {
            m_client.Abort();
            m_client.Disconnect();
        } catch (const std::exception&) {
            // See above.
        }
        m_client.SetReadTimeout(readTimeout);
    }
    try {
        m_client.Disconnect();
    } catch (const std::exception&) {
        // See above.
    }
    m_connected = false;
    m_resumable = false;
}

bool TRemoteSession::ensureConnected() {
    if (m_connected) {
        return true;
    }
    if (!m_resumable) {
        throw EIdNotConnected();
    }
    connectNow(m_settings, true);
    if (!m_connected) {
        // The reconnect's failure was shown.
        return false;
    }
    // Back where the user was; the command follows.
    m_client.ChangeDirectory(m_folder);
    deliver([this] { m_view.SessionUp(); });
    return true;
}

void TRemoteSession::connectNow(const SessionSettings& settings, bool reconnecting) {
    dropConnection();
    m_resumable = false;
    if (reconnecting) {
        const std::string activity = ConnectingActivity(settings.host, settings.port, true);
        {
            std::lock_guard guard(m_lock);
            m_activity = activity;
        }
        deliver([&] { m_view.SessionActivity(activity); });
    }
    SessionSettings chosen = settings;
    ChooseAddressFamily(chosen);
    PrepareSessionClient(m_client, chosen);
    bool declined = false;
    m_client.OnTLSNotAvailable = [this, &declined](bool& goOn) {
        // Where no TLS was wanted the login simply goes on; where it was, never plain
        // text behind the user's back.
        goOn = m_client.UseTLS() == utNoTLSSupport;
        if (!goOn) {
            deliver([&] { goOn = m_view.GoOnInPlainText(); });
        }
        declined = !goOn;
    };
    const std::string host = settings.host;
    const std::uint16_t port = settings.port;
    m_client.OnVerifyPeer = [this, &declined, host, port](const TIdPeerCertificate& certificate, bool& accept) {
        accept = false;
        deliver([&] { accept = m_view.AcceptCertificate(host, port, certificate); });
        declined = !accept;
    };
    // A reconnect must meet the certificate the user accepted for this session.
    m_client.SetRequiredPeerFingerprints(reconnecting && !m_fingerprint.empty()
                                             ? std::vector<std::string>{m_fingerprint}
                                             : std::vector<std::string>{});
    std::string status;
    try {
        status = ConnectSession(m_client, m_tlsHandler, chosen);
    } catch (const std::exception& error) {
        m_client.OnVerifyPeer = nullptr;
        m_client.OnTLSNotAvailable = nullptr;
        if (m_cancelled || dynamic_cast<const harbrook::EInterrupted*>(&error) != nullptr) {
            throw;
        }
        dropConnection();
        if (reconnecting) {
            // The session stays lost; the user sees why and may try again.
            m_resumable = true;
            deliver([&] { m_view.SessionStatus("Disconnected: " + firstLine(error.what())); });
        }
        // A connect the user stopped at a question needs no error box after it.
        if (!declined) {
            deliver([&] { m_view.ShowError(error.what()); });
        }
        return;
    }
    m_client.OnVerifyPeer = nullptr;
    m_client.OnTLSNotAvailable = nullptr;
    m_settings = settings;
    {
        std::lock_guard guard(m_lock);
        m_site = TransferSite{chosen.host, chosen.port, chosen.user};
    }
    m_fingerprint = m_client.IsTLSInUse() ? m_client.PeerCertificate().Sha256 : std::string();
    m_connected = m_client.Connected();
    m_lastCommand = std::chrono::steady_clock::now();
    deliver([&] { m_view.SessionStatus(status); });
    // An address's folder; one the server refuses leaves the session where it logged in.
    if (!reconnecting && !chosen.startFolder.empty()) {
        try {
            m_client.ChangeDirectory(chosen.startFolder);
        } catch (const EIdReplyRFCError& refused) {
            deliver([&] { m_view.ShowError(refused.what()); });
        }
    }
}

void TRemoteSession::reload(bool forced, const std::optional<std::string>& markPath) {
    if (!m_connected) {
        return;
    }
    deliver([this] { m_view.FolderReloading(); });
    try {
        const RemoteFolder folder = RefreshRemoteFolder(m_client, forced, [&](const std::string& path) {
            m_folder = path;
            const std::string activity = folderActivity("Listing", path);
            {
                std::lock_guard guard(m_lock);
                m_activity = activity;
                m_shownFolder = path;
            }
            deliver([&] {
                m_view.FolderEntered(path);
                m_view.SessionActivity(activity);
            });
        });
        deliver([&] { m_view.FolderListed(folder, markPath); });
    } catch (const std::exception& error) {
        if (m_cancelled || dynamic_cast<const harbrook::EInterrupted*>(&error) != nullptr) {
            throw;
        }
        // A folder that cannot be listed ends the connection. Where the server refused
        // it, that is the end; where the connection itself broke (the server went away
        // in the middle of the reload), the session is lost as when it breaks while
        // idle, and the next folder command logs in again.
        const bool refused = dynamic_cast<const EIdReplyRFCError*>(&error) != nullptr;
        try {
            if (m_client.Connected()) {
                m_client.Disconnect();
            }
        } catch (const std::exception&) {
            // The listing's error is the one to show.
        }
        m_connected = false;
        m_resumable = !refused && !m_closing;
        deliver([&] { m_view.ShowError(error.what()); });
        deliver([this] { m_view.SessionLost(); });
        deliver([&] { m_view.SessionStatus("Disconnected: " + firstLine(error.what())); });
    }
}
