#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/RemoteFolder.h"
#include "engine/FtpTools.h"
#include "engine/SessionSetup.h"
#include "engine/TransferQueue.h"
#include "ftp/client/IdFTP.h"
#include "ftp/transport/IdSSLOpenSSL.h"
#include "platform/GuiCalls.h"
#include "platform/Interrupt.h"

// What a window sees of its remote session. Every call arrives on the GUI thread, in the
// order the session made them; the session waits until each has returned, so an error box
// is closed before the session goes on, as when the window ran the commands itself.
class IRemoteSessionView {
public:
    virtual ~IRemoteSessionView() = default;
    // What the running command does ("Connecting to HOST:PORT…", "Listing /pub…");
    // empty once the session is idle again.
    virtual void SessionActivity(const std::string& activity) = 0;
    // The lasting status line: "Passive Connection, …", "Disconnected: 421 …",
    // "Cancelled".
    virtual void SessionStatus(const std::string& status) = 0;
    // Logged in (after a connect or a reconnect): the workers may start.
    virtual void SessionUp() = 0;
    // The connection is gone without the user's word (the server closed it, a NOOP or
    // the reconnect failed); the panes no longer show a usable folder.
    virtual void SessionLost() = 0;
    // A folder reload begins (the panes are emptied).
    virtual void FolderReloading() = 0;
    // PWD answered: the folder the panes show from now on.
    virtual void FolderEntered(const std::string& path) = 0;
    // The folder's lines, and the path whose last part is the row to mark ("" for the
    // first row; none: no row is marked).
    virtual void FolderListed(const RemoteFolder& folder, const std::optional<std::string>& markPath) = 0;
    // An error box; returns once the user has closed it.
    virtual void ShowError(const std::string& message) = 0;
    // The questions of a connect; the connect waits for the answer.
    virtual bool AcceptCertificate(const std::string& host, std::uint16_t port,
                                   const TIdPeerCertificate& certificate) = 0;
    virtual bool GoOnInPlainText() = 0;
    // A file fetched for viewing is at `path`.
    virtual void ViewReady(const std::string& name, const std::string& path) = 0;
};

// The main connection, owned by a thread of its own: the window queues commands and
// never waits on the network. One command runs at a time; a user's command given while
// another runs is refused (the call answers false) and never interleaves with it on the
// connection. Cancel interrupts the running command's socket wait at once.
//
// While idle, the session watches its connection: a server that closes it (or says 421)
// is reported as lost, and a NOOP goes out every KeepAliveMs so NAT boxes and servers keep
// it. A session lost that way (or cancelled in the middle of a command) is reconnected by
// the next folder command: log in again, back into the folder, then the command.
class TRemoteSession {
public:
    TRemoteSession(TIdFTP& client, TIdSSLIOHandlerSocketOpenSSL& tlsHandler, IRemoteSessionView& view,
                   harbrook::IGuiDispatcher& dispatcher);
    // Close(), if not done.
    ~TRemoteSession();
    TRemoteSession(const TRemoteSession&) = delete;
    TRemoteSession& operator=(const TRemoteSession&) = delete;

    // The time between NOOPs of an idle session, and how often an idle session looks
    // at its connection (settable at any time: the session's thread reads them).
    std::atomic<int> KeepAliveMs{60000};
    std::atomic<int> WatchMs{200};
    // How long the goodbye (ABOR, QUIT) may wait for each answer: a server that stopped
    // answering must hold neither the window's close nor the next connect.
    std::atomic<int> GoodbyeTimeoutMs{500};

    // The user's commands (GUI thread). Each answers false, doing nothing, while another
    // user command runs.
    bool Connect(const SessionSettings& settings);
    // The current folder again; from the cache unless forced.
    bool Refresh(bool forced, const std::optional<std::string>& markPath = std::nullopt);
    // Into a folder (a name in the current folder or a path), the first row marked.
    bool Open(const std::string& folder);
    // The parent folder, or the root; the folder left is marked.
    bool Up();
    bool Home();
    bool MakeFolder(const std::string& name);
    bool Rename(const std::string& from, const std::string& to);
    // Deletes the names (folders with all they hold), each followed by a reload.
    bool Delete(const std::vector<std::string>& names, bool folders);
    // Fetches a file of the current folder into `localFolder` for viewing (a second
    // connection where one can be made, the main one otherwise).
    bool View(const std::string& name, const std::string& localFolder, int rights);
    // Ends the session at once for the window (what runs is cancelled); the goodbye to
    // the server (ABOR, QUIT) follows on the session's thread.
    void Disconnect();
    // Interrupts the running command (a connect ends disconnected; anything else leaves
    // a session that reconnects on the next command).
    void Cancel();
    // Stops the thread: cancels, says goodbye (bounded), and waits. Nothing is delivered
    // to the view once Close has begun.
    void Close();

    // A user command is queued or running.
    bool Busy() const { return m_busy.load(); }
    // Logged in, and the connection stands as far as the session knows.
    bool Connected() const { return m_connected.load(); }
    // Connected, or lost in a way the next command repairs.
    bool Usable() const { return m_connected.load() || m_resumable.load(); }
    // Throws the client's own "Not Connected" while not Usable().
    void CheckUsable() const;
    // The running command's activity text; empty while idle.
    std::string Activity() const;
    // The folder PWD last answered.
    std::string ShownFolder() const;
    // The site of the last connect (host as connected to, port, account).
    TransferSite Site() const;

    // Runs `look` with the client on the session's thread after what is queued before,
    // and waits for it (a look at the connection's state from another thread). False
    // once closed.
    bool Inspect(const std::function<void(TIdFTP& client)>& look);

    // For the transfer workers (any thread): the main session's settings and folder,
    // taken on the session's thread after what is queued before. Empty once closed.
    std::optional<CloneSnapshot> Snapshot();

private:
    struct Job {
        std::string activity;
        std::function<void()> body;
        bool user = false;
    };
    void run();
    bool submit(std::string activity, std::function<void()> body);
    void queueInternal(std::function<void()> body);
    void runJob(Job& job);
    void watchIdle();
    void deliver(const std::function<void()>& call);
    // Runs one step of a command: its error is shown (as `box` when one is given) and
    // false answered; a Cancel passes on.
    bool shownOnFailure(const std::function<void()>& step, const std::string& box = {});
    // Folder commands: reconnect first when the session was lost.
    // False when a reconnect was needed and failed (and was reported).
    bool ensureConnected();
    void connectNow(const SessionSettings& settings, bool reconnecting);
    void reload(bool forced, const std::optional<std::string>& markPath);
    void dropConnection();
    void lose(const std::string& reason);
    std::string lostReason();
    void sayGoodbye();
    std::string folderActivity(const char* verb, const std::string& path) const;

    TIdFTP& m_client;
    TIdSSLIOHandlerSocketOpenSSL& m_tlsHandler;
    IRemoteSessionView& m_view;
    harbrook::TGuiCalls m_calls;
    harbrook::TInterrupter m_interrupter;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    std::string m_activity;
    std::string m_shownFolder = "/";
    TransferSite m_site;
    std::atomic<bool> m_closing{false};
    bool m_stopped = false;
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_resumable{false};
    std::atomic<bool> m_cancelled{false};
    // The session thread's own: what a reconnect needs.
    SessionSettings m_settings;
    std::string m_folder;
    std::string m_fingerprint;
    std::chrono::steady_clock::time_point m_lastCommand;
    std::thread m_thread;
};

// The activity texts: "Connecting to HOST:PORT…" (also "Reconnecting"), "Listing /pub…".
std::string ConnectingActivity(const std::string& host, std::uint16_t port, bool reconnecting);
