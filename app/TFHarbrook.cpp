#include "app/TFHarbrook.h"

#include <QApplication>
#include <QCloseEvent>

#include <filesystem>

#include "engine/DirListings.h"
#include "engine/FtpUrl.h"
#include "engine/MessageLog.h"
#include "engine/RemoteRows.h"
#include "engine/RemoteRules.h"
#include "engine/TransferList.h"
#include "engine/WindowQuestions.h"
#include "platform/Dialogs.h"
#include "platform/LocalFiles.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDialogs.h"

namespace {

// Where a remote row keeps its name as the server sent it.

}  // namespace

TFHarbrook::TFHarbrook(const TFHarbrookSetup& setup, QWidget* parent) : QWidget(parent), m_setup(setup) {
    buildControls();
    wireHandlers();
    FormCreate();
}

TFHarbrook::~TFHarbrook() {
    FormDestroy();
    // The controls outlive this part of the window by a moment (Qt deletes them after);
    // focus changes while they go must not reach handlers of a window that is gone.
    Lumo_edit1->OnKeyPress = nullptr;
    Lumo_edit1->OnExit = nullptr;
    for (TLumo_listbox* list : {Lumo_listbox1, Lumo_listbox2, Lumo_listbox3}) {
        list->OnClick = nullptr;
        list->OnDblClick = nullptr;
        list->OnKeyDown = nullptr;
    }
    for (TLumo_statebmp* button : {bitmap1, Lumo_statebmp1, bitmap7, bitmap8, Lumo_statebmp3, bitmap2, bitmap3,
                                   bitmap5, Lumo_statebmp2, bitmap4, bitmap6}) {
        button->OnClick = nullptr;
        button->removeEventFilter(this);
    }
    HeaderControl1->removeEventFilter(this);
    HeaderControl2->removeEventFilter(this);
}

void TFHarbrook::command(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        harbrook::Dialogs().ShowError(error.what());
    }
}

std::string TFHarbrook::CaptionFor(const std::string& programPath) const {
    int major = 0;
    int minor = 0;
    int release = 0;
    int build = 0;
    if (!Lumo_files1.GetFileVersion(programPath, major, minor, release, build)) {
        major = minor = release = build = 0;
    }
    return CaptionText(major, minor, release, build,
                       harbrook::FormatShortDateLongTime(Lumo_files1.FileDate(programPath)));
}

void TFHarbrook::FormCreate() {
    UploadQueue = std::make_unique<TTransferQueue>();
    DownloadQueue = std::make_unique<TTransferQueue>();
    // What was queued when the program last ended runs after the next connect to its site.
    m_passwords = std::make_unique<TPasswordKeeper>(m_setup.passwords);
    m_sites = std::make_unique<TSiteList>(
        (std::filesystem::path(m_setup.iniPath).parent_path() / "sites.ini").string(), m_passwords.get());
    m_sites->Load();
    m_queueFile = std::make_unique<TQueueFile>(
        (std::filesystem::path(m_setup.iniPath).parent_path() / "transfer-queues").string());
    const SavedQueues saved = m_queueFile->Load();
    UploadQueue->Restore(saved.uploads);
    DownloadQueue->Restore(saved.downloads);
    m_savedGenerations = UploadQueue->Generation() + DownloadQueue->Generation();
    if (std::string problem = m_queueFile->TakeLoadProblem(); !problem.empty()) {
        // Told once the window is up, not from inside its construction.
        QTimer::singleShot(0, this, [problem] { harbrook::Dialogs().ShowError(problem); });
    }
    InitTransferList();
    InitDirListings();
    setWindowTitle(QString::fromStdString(CaptionFor(m_setup.programPath)));
    readSettings();
    setAcceptDrops(true);

    IdSSLIOHandlerSocketOpenSSL1.SetPort(21);
    IdSSLIOHandlerSocketOpenSSL1.SetReadTimeout(10000);
    SessionSettings standing;
    PrepareSessionClient(IdFTP1, standing);
    IdFTP1.SetIOHandler(&IdSSLIOHandlerSocketOpenSSL1);
    IdFTP1.SetUseTLS(utUseExplicitTLS);
    m_trust = std::make_unique<TTrustedCertificates>(
        (std::filesystem::path(m_setup.iniPath).parent_path() / "trusted-certificates").string());

    // The main connection belongs to the remote session's thread from here on: the
    // window queues commands and hears back, and never waits on the network.
    IRemoteSessionView& view = *this;
    // Everything said on the main connection goes to the message log.
    AttachMessageLog(IdFTP1, "main");
    m_session = std::make_unique<TRemoteSession>(IdFTP1, IdSSLIOHandlerSocketOpenSSL1, view,
                                                 harbrook::GuiDispatcher());
    // The workers run their bodies on their own threads, so the window stays usable
    // during transfers; whatever touches the window is handed to the GUI thread.
    m_guiCalls = std::make_unique<harbrook::TGuiCalls>(harbrook::GuiDispatcher());
    m_transferHost = std::make_unique<WindowTransferHost>(*m_session, *m_guiCalls);
    for (auto* worker : {&UploadThread, &DownloadThread}) {
        *worker = std::make_unique<TLumo_thread>();
        (*worker)->Priority = tpNormal;
        (*worker)->Interval = 100;
        (*worker)->Synchronized = false;
    }
    UploadThread->OnExecute = [this](TLumo_thread& aMain, TLumosimplethread& aThread, void*& Data, int Id) {
        UploadThreadExecute(aMain, aThread, Data, Id);
    };
    DownloadThread->OnExecute = [this](TLumo_thread& aMain, TLumosimplethread& aThread, void*& Data, int Id) {
        DownloadThreadExecute(aMain, aThread, Data, Id);
    };
    Timer1.start();
    Timer2.start();
}

void TFHarbrook::FormDestroy() {
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    Timer1.stop();
    Timer2.stop();
    // The workers and the session go first, and are waited for: nothing may run once
    // the queues, the transfer list and the window are gone. A running transfer ends at
    // its next block, a worker's connect or a waiting reply at once, and a thread
    // waiting for the window is let go.
    m_workerStop.Raise();
    m_guiCalls->Close();
    SetTransfersDisabled(true);
    m_session->Close();
    UploadThread.reset();
    DownloadThread.reset();
    saveQueues();
    writeSettings();
    DoneDirListings();
    DoneTransferList();
    UploadQueue.reset();
    DownloadQueue.reset();
}

void TFHarbrook::keyPressEvent(QKeyEvent* event) {
    // The window's own focus child: the key came from it (or from nowhere).
    QWidget* focus = focusWidget();
    // The lists run their keys themselves, and the name field gives Escape its own
    // meaning (close the field).
    const bool ownKeys = focus == Lumo_listbox1 || focus == Lumo_listbox3 || focus == Lumo_edit1;
    const bool inConnectionField = focus == host || focus == Lumo_edit2 || focus == user || focus == pass;
    const int key = event->key();
    if (!ownKeys && key == Qt::Key_F5) {
        Lumo_statebmp3Click();
    } else if (!ownKeys && key == Qt::Key_Escape) {
        escape();
    } else if (inConnectionField && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (!m_session->Usable() && !m_session->Busy()) {
            bitmap1Click();
        }
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TFHarbrook::CloseWithoutAsking() {
    m_closeWithoutAsking = true;
    close();
}

void TFHarbrook::closeEvent(QCloseEvent* event) {
    // A close while a box is open (the system asking the program to end at logout) comes
    // from inside the box's own event loop, which may stand on a call the session or a
    // worker waits for: stopping them here would wait for ever. The box is closed (its
    // default answer) and the close done once its loop has returned.
    if (QWidget* modal = QApplication::activeModalWidget(); !m_destroyed && modal != nullptr && modal != this) {
        event->ignore();
        modal->close();
        QTimer::singleShot(0, this, [this] { close(); });
        return;
    }
    // Closing stops the workers: queued and running transfers would end without a word.
    if (!m_destroyed && !m_closeWithoutAsking) {
        const std::string question = QuitQuestion(static_cast<std::size_t>(UploadQueue->Count() + DownloadQueue->Count()));
        if (!question.empty() && !harbrook::Dialogs().Confirm(question)) {
            event->ignore();
            return;
        }
    }
    FormDestroy();
    QWidget::closeEvent(event);
}

void TFHarbrook::IdFTP1TLSNotAvailable(bool& goOn) {
    // Asked only where TLS was wanted (without, the login just goes on): never plain
    // text behind the user's back, the password would go out readable.
    goOn = harbrook::Dialogs().Confirm(kPlainTextQuestion);
}

bool TFHarbrook::sessionFree() {
    if (!m_session->Busy()) {
        return true;
    }
    // One command at a time on the connection: the user sees what runs and how to stop it.
    QApplication::beep();
    Label8->setText(harbrook::DisplayText(m_session->Activity() + " (Esc cancels)"));
    return false;
}

void TFHarbrook::escape() {
    if (m_session->Busy()) {
        m_session->Cancel();
    } else {
        bitmap3Click();
    }
}

void TFHarbrook::bitmap1Click() {
    if (m_session->Busy()) {
        m_session->Cancel();
    } else if (m_session->Usable()) {
        Disconnect();
    } else {
        Connect();
    }
}

void TFHarbrook::OpenAddress(const std::string& address) {
    FtpUrl url;
    std::string why;
    if (!ParseFtpUrl(address, url, why)) {
        harbrook::Dialogs().ShowError("Cannot open the address: " + why + ".");
        return;
    }
    host->setText(harbrook::DisplayText(url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host));
    Lumo_edit2->setText(QString::number(url.port));
    if (url.hasUser) {
        user->setText(harbrook::DisplayText(url.user));
    }
    if (url.hasPassword) {
        pass->setText(harbrook::DisplayText(url.password));
        m_addressPassword = url.password;
    }
    // ftp:// keeps the bar's TLS choice; ftps:// is implicit TLS.
    reconnectWith(url.implicitTls        ? SessionSettings::Tls::Implicit
                  : CheckBox1->isChecked() ? SessionSettings::Tls::Explicit
                                           : SessionSettings::Tls::None,
                  true, url.path);
}

void TFHarbrook::reconnectWith(SessionSettings::Tls tls, bool passive, const std::string& folder) {
    // Set after the bar's fields: editing them by hand ends what was chosen here.
    CheckBox1->setChecked(tls == SessionSettings::Tls::Explicit || tls == SessionSettings::Tls::Required);
    m_implicitTls = tls == SessionSettings::Tls::Implicit;
    m_requireTls = tls == SessionSettings::Tls::Required;
    m_sitePassive = passive;
    m_addressFolder = folder;
    if (m_session->Usable() || m_session->Busy()) {
        Disconnect();
    }
    Connect();
    m_addressFolder.clear();
}

void TFHarbrook::OpenSiteManager() {
    if (m_siteManager != nullptr) {
        m_siteManager->raise();
        return;
    }
    m_siteManager = new TSiteManager(*m_sites, this);
    m_siteManager->setAttribute(Qt::WA_DeleteOnClose);
    m_siteManager->OnConnect = [this](const Site& site) { ConnectToSite(site); };
    m_siteManager->AfterSave = [this] { tellOfPasswordFallback(); };
    m_siteManager->open();
}

void TFHarbrook::ConnectToSite(const Site& site) {
    host->setText(harbrook::DisplayText(site.host));
    Lumo_edit2->setText(QString::number(site.port));
    user->setText(harbrook::DisplayText(site.user));
    pass->setText(harbrook::DisplayText(site.password));
    // The site keeps its own password; the INI keeps the bar's.
    m_addressPassword = site.password;
    if (!site.localFolder.empty()) {
        LastDownloadFolder = site.localFolder;
    }
    reconnectWith(site.encryption, site.passive, site.remoteFolder);
}

void TFHarbrook::Connect() {
    // An address typed into the host field is opened as one.
    if (const std::string typed = harbrook::LocalBytes(host->text().trimmed()); LooksLikeFtpUrl(typed)) {
        OpenAddress(typed);
        return;
    }
    SetTransfersDisabled(false);
    SessionSettings settings;
    settings.host = harbrook::LocalBytes(host->text());
    settings.user = harbrook::LocalBytes(user->text());
    settings.password = harbrook::LocalBytes(pass->text());
    const int port = Lumo_edit2->ValueAsInteger();
    if (!IsPortNumber(port)) {
        harbrook::Dialogs().ShowError("Invalid port number " + std::to_string(port) + ": " + kPortRuleText);
        return;
    }
    settings.port = static_cast<std::uint16_t>(port);
    settings.tls = m_implicitTls                           ? SessionSettings::Tls::Implicit
                   : CheckBox1->isChecked() && m_requireTls ? SessionSettings::Tls::Required
                   : CheckBox1->isChecked()                 ? SessionSettings::Tls::Explicit
                                                            : SessionSettings::Tls::None;
    settings.passive = m_sitePassive;
    settings.startFolder = m_addressFolder;
    if (ConnectTimeoutMs > 0) {
        settings.connectTimeoutMs = ConnectTimeoutMs;
    }
    if (ReadTimeoutMs > 0) {
        settings.readTimeoutMs = ReadTimeoutMs;
    }
    if (TransferTimeoutMs > 0) {
        settings.transferTimeoutMs = TransferTimeoutMs;
    }
    if (const std::string problem = SessionSettingsProblem(settings); !problem.empty()) {
        harbrook::Dialogs().ShowError(problem);
        return;
    }
    m_session->Connect(settings);
}

void TFHarbrook::Disconnect() {
    stopWorkers();
    m_session->Disconnect();
}

std::string TFHarbrook::RowName(const TLumo_listbox& list, int index) {
    if (index < 0 || index >= list.count()) {
        return {};
    }
    // The rows keep the lines as the server sent them, so commands use exactly its bytes.
    return RowNameOf(list.RowBytes(index));
}

void TFHarbrook::RefreshListing(bool forced) {
    if (!m_session->Usable()) {
        Lumo_listbox1->clear();
        Lumo_listbox3->clear();
        return;
    }
    // The reload empties the panes when it begins; one refused because another command
    // runs leaves them as that command fills them.
    m_session->Refresh(forced, std::nullopt);
}

void TFHarbrook::ChangeFolder(const std::string& path) {
    if (sessionFree() && m_session->Usable()) {
        m_session->Open(path);
    }
}

void TFHarbrook::markRow(TLumo_listbox& list, int row) {
    // The marked row is the current row too: Enter, Rename and View act on the row the
    // user sees highlighted.
    list.setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void TFHarbrook::SelectPathItem(const std::string& path) {
    std::vector<std::string> folders;
    for (int row = 0; row < Lumo_listbox1->count(); ++row) {
        folders.push_back(RowName(*Lumo_listbox1, row));
    }
    const RowMark mark = RowToMark(folders, Lumo_listbox3->count(), path);
    if (mark.pane == RowMark::Pane::Folders) {
        markRow(*Lumo_listbox1, mark.row);
        Lumo_listbox1Click();
    } else if (mark.pane == RowMark::Pane::Files) {
        markRow(*Lumo_listbox3, mark.row);
        Lumo_listbox3Click();
    }
}

void TFHarbrook::setToolButtonsUp(bool up) {
    for (TLumo_statebmp* button : {bitmap1, bitmap2, bitmap3, bitmap4, bitmap5, bitmap6, bitmap7, bitmap8,
                                   Lumo_statebmp2, Lumo_statebmp3}) {
        button->SetStateUp(up);
    }
}

void TFHarbrook::Timer1Timer() {
    // While a command runs the buttons look as they do disconnected: nothing else can
    // go to the server until it has ended (or was cancelled).
    if (m_session->Connected() && !m_session->Busy()) {
        setToolButtonsUp(true);
        if (m_workersWanted) {
            startWorkers();
        }
        // An upload dropped the shown folder's cached lines: show it anew.
        if (!DirListingExists(m_currentFolder)) {
            Lumo_statebmp3Click();
        }
    } else {
        setToolButtonsUp(false);
    }
}

void TFHarbrook::Lumo_listbox1Click() {
    Lumo_listbox3->SetItemIndex(-1);
    Lumo_listbox3->clearSelection();
    Lumo_listbox1->setFocus();
}

void TFHarbrook::Lumo_listbox3Click() {
    Lumo_listbox1->SetItemIndex(-1);
    Lumo_listbox1->clearSelection();
    Lumo_listbox3->setFocus();
}

void TFHarbrook::Lumo_listbox1DblClick() {
    if (Lumo_listbox1->ItemIndex() >= 0) {
        ChangeFolder(RowName(*Lumo_listbox1, Lumo_listbox1->ItemIndex()));
    }
}

void TFHarbrook::Lumo_listbox3DblClick() {
    Lumo_listbox3Click();
    bitmap8Click();
}

void TFHarbrook::keyDown(TLumo_listbox& list, int key, bool fileList) {
    switch (key) {
        case 13:
            if (fileList) {
                Lumo_listbox3Click();
                bitmap8Click();
            } else {
                Lumo_listbox1DblClick();
            }
            break;
        case 27:
            escape();
            break;
        case 46:
            bitmap6Click();
            break;
        case 116:
            if (sessionFree() && m_session->Usable()) {
                m_keptRow = {&list, list.ItemIndex()};
                RefreshListing(true);
            }
            break;
        default:
            break;
    }
}

void TFHarbrook::Lumo_listbox1KeyDown(int key) {
    keyDown(*Lumo_listbox1, key, false);
}

void TFHarbrook::Lumo_listbox3KeyDown(int key) {
    keyDown(*Lumo_listbox3, key, true);
}

void TFHarbrook::bitmap3Click() {
    if (sessionFree() && m_session->Usable()) {
        m_session->Up();
    }
}

void TFHarbrook::bitmap2Click() {
    if (sessionFree() && m_session->Usable()) {
        m_session->Home();
    }
}

void TFHarbrook::Lumo_statebmp3Click() {
    if (sessionFree() && m_session->Usable()) {
        RefreshListing(true);
    }
}

std::string TFHarbrook::currentItemName() const {
    if (Lumo_listbox1->ItemIndex() >= 0) {
        return RowName(*Lumo_listbox1, Lumo_listbox1->ItemIndex());
    }
    if (Lumo_listbox3->ItemIndex() >= 0) {
        return RowName(*Lumo_listbox3, Lumo_listbox3->ItemIndex());
    }
    return {};
}

void TFHarbrook::bitmap4Click() {
    if (!m_session->Usable() || (Lumo_listbox1->ItemIndex() < 0 && Lumo_listbox3->ItemIndex() < 0)) {
        return;
    }
    Lumo_edit1->setText(harbrook::DisplayText(currentItemName()));
    Label7->show();
    Lumo_edit1->show();
    Lumo_edit1->setFocus();
    PendingNameAction = "RENAME";
}

void TFHarbrook::bitmap5Click() {
    if (!m_session->Usable()) {
        return;
    }
    Label7->show();
    Lumo_edit1->show();
    Lumo_edit1->clear();
    Lumo_edit1->setFocus();
    PendingNameAction = "MKDIR";
}

void TFHarbrook::Lumo_edit1KeyPress(QChar& key) {
    if (key == QChar('\r') && sessionFree() && m_session->Usable()) {
        // The text goes to the server as typed.
        const std::string name = harbrook::LocalBytes(Lumo_edit1->text());
        if (PendingNameAction == "MKDIR") {
            m_session->MakeFolder(name);
        } else if (PendingNameAction == "RENAME") {
            m_session->Rename(currentItemName(), name);
        }
    } else if (key == QChar(27)) {
        SelectPathItem("");
    }
}

void TFHarbrook::Lumo_edit1Exit() {
    Label7->hide();
    Lumo_edit1->hide();
}

void TFHarbrook::bitmap6Click() {
    if (!sessionFree() || !m_session->Usable()) {
        return;
    }
    auto selected = [](const TLumo_listbox& list) {
        std::vector<std::string> names;
        for (const int row : list.SelectedRows()) {
            names.push_back(RowName(list, row));
        }
        return names;
    };
    const DeleteChoice choice = ChooseForDelete(selected(*Lumo_listbox1), selected(*Lumo_listbox3));
    if (choice.names.empty() || !harbrook::Dialogs().Confirm(DeleteQuestion(choice.names, choice.folders))) {
        return;
    }
    m_session->Delete(choice.names, choice.folders);
}

void TFHarbrook::Lumo_statebmp2Click() {
    if (!sessionFree() || !m_session->Usable()) {
        return;
    }
    const std::string name = RowName(*Lumo_listbox3, Lumo_listbox3->ItemIndex());
    if (const std::string refusal = ViewRefusal(name); !refusal.empty()) {
        harbrook::Dialogs().ShowError(refusal);
        return;
    }
    command([&] { m_session->View(name, m_viewFolder.Path(), TViewFolder::kFileRights); });
}

void TFHarbrook::Lumo_statebmp1Click() {
    if (ShowAbout) {
        ShowAbout();
    }
}
