#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "app/SiteManager.h"
#include "app/WindowTransferHost.h"
#include "engine/CertificateTrust.h"
#include "engine/DirListings.h"
#include "engine/LumoFiles.h"
#include "engine/LumoThread.h"
#include "engine/QueueFile.h"
#include "engine/RemoteSession.h"
#include "engine/TransferQueue.h"
#include "engine/SessionSetup.h"
#include "engine/StoredPasswords.h"
#include "engine/ViewFolder.h"
#include "platform/GuiCalls.h"
#include "platform/Interrupt.h"
#include "platform/ProfileFile.h"
#include "widgets/LumoEdit.h"
#include "widgets/LumoListbox.h"
#include "widgets/LumoStatebmp.h"

// Where the window keeps its settings and which program file names its caption; the
// program passes its own, tests their temporary ones.
struct TFHarbrookSetup {
    std::string iniPath;
    std::string programPath;
    // The desktop's keyring for the bar's and the sites' passwords; null keeps them in
    // the settings files (owner-only) without a word.
    harbrook::IPasswordStore* passwords = nullptr;
};

// The main window: the connection bar, the remote pane (folders above, files below),
// the tool buttons, the transfer list and the status line.
class TFHarbrook : public QWidget, private IRemoteSessionView {
public:
    explicit TFHarbrook(const TFHarbrookSetup& setup, QWidget* parent = nullptr);
    ~TFHarbrook() override;

    // The default FTP host when the settings name none.
    static constexpr const char* kDefaultHost = "localhost";

    // Connection bar.
    QFrame* Panel2;
    QLabel* Label1;
    TLumo_edit* host;
    QLabel* Label9;
    TLumo_edit* Lumo_edit2;
    QLabel* Label2;
    TLumo_edit* user;
    QLabel* Label3;
    TLumo_edit* pass;
    QCheckBox* CheckBox1;
    TLumo_statebmp* bitmap1;
    TLumo_statebmp* Lumo_statebmp1;
    // Folder bar.
    QFrame* Panel3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label7;
    TLumo_edit* Lumo_edit1;
    // Transfer buttons.
    QFrame* Panel6;
    TLumo_statebmp* bitmap7;
    TLumo_statebmp* bitmap8;
    // Remote area.
    QFrame* Panel4;
    QLabel* Label6;
    TLumo_listbox* Lumo_listbox1;
    QHeaderView* HeaderControl1;
    QSplitter* Splitter1;
    TLumo_listbox* Lumo_listbox3;
    TLumo_statebmp* Lumo_statebmp3;
    TLumo_statebmp* bitmap2;
    TLumo_statebmp* bitmap3;
    TLumo_statebmp* bitmap5;
    TLumo_statebmp* Lumo_statebmp2;
    TLumo_statebmp* bitmap4;
    TLumo_statebmp* bitmap6;
    QHeaderView* HeaderControl2;
    TLumo_listbox* Lumo_listbox2;
    // The message log pane below the transfer list (F9 or LogButton shows and hides it).
    QListWidget* MessageLogList;
    // The strip above the log the user drags to make the log taller or lower.
    QWidget* LogGrip;
    QToolButton* LogButton;
    // The transfers' speed limits (KiB/s, 0: none) and files at once, per direction.
    QSpinBox* DownloadLimit;
    QSpinBox* UploadLimit;
    QSpinBox* ParallelFiles;
    QLabel* Label8;
    QTimer Timer1;
    QTimer Timer2;

    // The transport outlives the client that borrows it.
    TIdSSLIOHandlerSocketOpenSSL IdSSLIOHandlerSocketOpenSSL1;
    TIdFTP IdFTP1;
    TLumo_files Lumo_files1;
    std::unique_ptr<TLumo_thread> UploadThread;
    std::unique_ptr<TLumo_thread> DownloadThread;
    std::unique_ptr<TTransferQueue> UploadQueue;
    std::unique_ptr<TTransferQueue> DownloadQueue;

    std::string PendingNameAction;
    std::string LastUploadFolder;
    std::string LastDownloadFolder;

    // Part of the window's life, in the order the program calls them.
    void FormCreate();
    void FormDestroy();

    // The remote folder on screen, as the server wrote it (Label5 shows it decoded).
    const std::string& CurrentFolder() const { return m_currentFolder; }
    // The name in column 0 of a remote row as the server sent it.
    static std::string RowName(const TLumo_listbox& list, int index);
    // Adds an upload of a local file or folder to the queue.
    void queueUpload(const std::string& path);

    void bitmap1Click();
    void Connect();
    void Disconnect();
    void RefreshListing(bool forced);
    // Into a folder of the server (a name in the shown folder, or a path).
    void ChangeFolder(const std::string& path);
    // The main connection's owner; the window only queues commands to it.
    TRemoteSession& Session() { return *m_session; }
    // Time-outs of the next connect in ms (0: the standing ones).
    int ConnectTimeoutMs = 0;
    int ReadTimeoutMs = 0;
    // A data connection's (a stalled transfer's).
    int TransferTimeoutMs = 0;
    void SelectPathItem(const std::string& path);
    void Timer1Timer();
    void Timer2Timer();
    // The transfer list's commands on its selected rows (its context menu; Delete removes
    // and cancels): Cancel a running transfer (it fails as cancelled, for a Retry),
    // Remove a waiting, failed or finished entry, Retry a failed one, Clear the finished.
    enum class TransferCommand { Cancel, Remove, Retry, ClearFinished };
    void TransferListCommand(TransferCommand command);
    void Lumo_listbox2KeyDown(int key);
    void Lumo_listbox1Click();
    void Lumo_listbox3Click();
    void Lumo_listbox1DblClick();
    void Lumo_listbox3DblClick();
    void Lumo_listbox1KeyDown(int key);
    void Lumo_listbox3KeyDown(int key);
    void bitmap2Click();
    void bitmap3Click();
    void Lumo_statebmp3Click();
    void IdFTP1TLSNotAvailable(bool& goOn);
    void HeaderControl1Resize();
    void HeaderControl1SectionResize(int section);
    void HeaderControl2Resize();
    void HeaderControl2SectionResize(int section);
    // The Upload and Download commands: entries for the transfer workers.
    void bitmap7Click();
    void bitmap8Click();
    void UploadThreadExecute(TLumo_thread& aMain, TLumosimplethread& aThread, void*& Data, int Id);
    void DownloadThreadExecute(TLumo_thread& aMain, TLumosimplethread& aThread, void*& Data, int Id);
    // The file commands.
    void bitmap4Click();
    void bitmap5Click();
    void Lumo_edit1KeyPress(QChar& key);
    void Lumo_edit1Exit();
    void bitmap6Click();
    void Lumo_statebmp2Click();
    // Dropped local files and folders become uploads (also what a drop event calls).
    void WMDropFiles(const std::vector<std::string>& paths);
    void Lumo_statebmp1Click();
    // Shows the about window modally (set by the program entry).
    std::function<void()> ShowAbout;

    // Closes the window without the question about running transfers (the program was
    // asked to end from outside: SIGTERM at logout, Ctrl-C in a terminal).
    void CloseWithoutAsking();
    // An ftp:// or ftps:// address (the program's argument, a browser's link): it fills
    // the connection bar, connects and enters its path; a bad one says why in a box.
    void OpenAddress(const std::string& address);
    // Shows or hides the message log pane.
    void ToggleMessageLog();
    // The site manager (Ctrl+S, SitesButton), window-modal; the one open now (or null).
    void OpenSiteManager();
    TSiteManager* SiteManagerDialog() const { return m_siteManager.data(); }
    // Fills the bar from a saved site and connects with its settings.
    void ConnectToSite(const Site& site);
    // Connects anew with what an address or a site chose beyond the bar's fields.
    void reconnectWith(SessionSettings::Tls tls, bool passive, const std::string& folder);
    QToolButton* SitesButton;
    // Takes the log's new lines into the pane (the 500 ms timer does it too).
    void ShowNewLogLines();

    // "Harbrook [r1.2.3b4; date]" for a program file.
    std::string CaptionFor(const std::string& programPath) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Keys that no control took: F5 and Escape work wherever the focus is, Enter in a
    // connection field connects.
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void wireHandlers();
    void readSettings();
    void writeSettings();
    // The bar's password as the INI's "pass" is to hold (see TPasswordKeeper::Keep);
    // never a password that came in an address or with a site.
    std::string keepBarPassword();
    // Tells once (ever, until a keyring answers again) that passwords stay in the files.
    void tellOfPasswordFallback();
    // Runs a command handler: an error is shown in an error box and the window goes on.
    void command(const std::function<void()>& body);
    // The current item's name as the server sent it: the folder list's, else the file list's.
    std::string currentItemName() const;
    void setToolButtonsUp(bool up);
    void keyDown(TLumo_listbox& list, int key, bool fileList);
    void markRow(TLumo_listbox& list, int row);
    // What the remote session tells the window (on the GUI thread).
    void SessionActivity(const std::string& activity) override;
    void SessionStatus(const std::string& status) override;
    void SessionUp() override;
    void SessionLost() override;
    void FolderReloading() override;
    void FolderEntered(const std::string& path) override;
    void FolderListed(const RemoteFolder& folder, const std::optional<std::string>& markPath) override;
    void ShowError(const std::string& message) override;
    bool AcceptCertificate(const std::string& hostName, std::uint16_t port,
                           const TIdPeerCertificate& certificate) override;
    bool GoOnInPlainText() override;
    void ViewReady(const std::string& name, const std::string& path) override;
    // True when no command runs; otherwise the user hears and sees that one does.
    bool sessionFree();
    // Escape: cancels what runs, else goes back to the parent folder.
    void escape();
    // The workers wait for the next connect; the cache goes.
    void stopWorkers();
    // Starts both workers; one that is still ending an earlier run is started by the
    // timer once it has.
    void startWorkers();

    TFHarbrookSetup m_setup;
    std::unique_ptr<QStandardItemModel> m_header1Model;
    std::unique_ptr<QStandardItemModel> m_header2Model;
    std::string m_currentFolder = "/";
    bool m_destroyed = false;
    bool m_closeWithoutAsking = false;
    // Connected by the user and not yet disconnected by the user: a loss is news.
    bool m_sessionUp = false;
    // The certificates the user trusts ("trusted-certificates" beside the INI).
    std::unique_ptr<TTrustedCertificates> m_trust;
    // The status line's lasting text, and what runs now (shown instead while it runs).
    std::string m_status = "--";
    std::string m_activity;
    // F5 in a list keeps that list's row through the reload.
    struct KeptRow {
        TLumo_listbox* list = nullptr;
        int row = -1;
    };
    KeptRow m_keptRow;
    // Workers still to be started (their last run was ending when the user connected).
    bool m_workersWanted = false;
    // What the last address brought: implicit TLS (ftps://, kept until the host or port
    // is edited), its folder, and its password (never written to the INI).
    bool m_implicitTls = false;
    // What a site chose beyond the bar (until the host or port is edited by hand).
    bool m_requireTls = false;
    bool m_sitePassive = true;
    // Before the sites, which keep their passwords through it.
    std::unique_ptr<TPasswordKeeper> m_passwords;
    bool m_keyringNoticeGiven = false;
    // ParallelFiles' value, for the workers' threads.
    std::atomic<int> m_parallelFiles{2};
    std::unique_ptr<TSiteList> m_sites;
    // Empties itself when the dialog goes (also while the window itself is destroyed).
    QPointer<TSiteManager> m_siteManager;
    // The last log line the pane shows.
    std::uint64_t m_logShown = 0;
    std::string m_addressFolder;
    std::optional<std::string> m_addressPassword;
    std::string m_savedPassword;
    bool m_uploadWanted = false;
    bool m_downloadWanted = false;
    // Raised when the window closes: the workers' connects and waits end at once.
    harbrook::TInterrupter m_workerStop;
    std::unique_ptr<harbrook::TGuiCalls> m_guiCalls;
    std::unique_ptr<TRemoteSession> m_session;
    std::unique_ptr<WindowTransferHost> m_transferHost;
    // Files opened by View; removed with the window.
    TViewFolder m_viewFolder;
    // The queues kept across restarts ("transfer-queues" beside the INI), and the
    // queues' changes last written there.
    std::unique_ptr<TQueueFile> m_queueFile;
    std::uint64_t m_savedGenerations = 0;
    // Writes the queues when they changed since the last time.
    void saveQueues();
    // What each row of the transfer list is: a running transfer (its id) or an entry of a
    // queue that is not running; rebuilt with the rows.
    struct TransferRow {
        std::int32_t transfer = 0;
        TTransferQueue* queue = nullptr;
        std::uint64_t entry = 0;
    };
    std::vector<TransferRow> m_transferRows;
};
