// What the remote session tells the main window, on the GUI thread.

#include "app/TFHarbrook.h"
#include "engine/CertificateTrust.h"
#include "engine/TransferList.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtDialogs.h"

void TFHarbrook::SessionActivity(const std::string& activity) {
    m_activity = activity;
    Label8->setText(harbrook::DisplayText(activity.empty() ? m_status : activity));
    for (TLumo_listbox* list : {Lumo_listbox1, Lumo_listbox3}) {
        if (activity.empty()) {
            list->unsetCursor();
        } else {
            list->setCursor(Qt::BusyCursor);
        }
    }
    setToolButtonsUp(activity.empty() && m_session->Connected());
}

void TFHarbrook::SessionStatus(const std::string& status) {
    m_status = status;
    Label8->setText(harbrook::DisplayText(status));
}

void TFHarbrook::SessionUp() {
    m_sessionUp = true;
    // A password that logged in is worth keeping now, not only when the window closes.
    keepBarPassword();
    tellOfPasswordFallback();
    SetTransfersDisabled(false);
    startWorkers();
}

void TFHarbrook::SessionLost() {
    // A session the server ended is shown as ended: the panes no longer show a folder
    // that cannot be used, and the workers wait for the next connect.
    stopWorkers();
    Lumo_listbox1->clear();
    Lumo_listbox3->clear();
    setToolButtonsUp(false);
}

void TFHarbrook::FolderReloading() {
    Lumo_listbox1->clear();
    Lumo_listbox3->clear();
}

void TFHarbrook::FolderEntered(const std::string& path) {
    m_currentFolder = path;
    Label5->setText(harbrook::DisplayText(path));
}

void TFHarbrook::FolderListed(const RemoteFolder& folder, const std::optional<std::string>& markPath) {
    Lumo_listbox1->SetLines(folder.folders);
    Lumo_listbox3->SetLines(folder.files);
    if (m_keptRow.list != nullptr) {
        // F5 in a list keeps its row.
        m_keptRow.list->setFocus();
        m_keptRow.list->SetItemIndex(m_keptRow.row);
        m_keptRow = {};
    } else if (markPath) {
        SelectPathItem(*markPath);
    }
}

void TFHarbrook::ShowError(const std::string& message) {
    harbrook::Dialogs().ShowError(message);
}

bool TFHarbrook::AcceptCertificate(const std::string& hostName, std::uint16_t port,
                                   const TIdPeerCertificate& certificate) {
    return AskAboutCertificate(*m_trust, hostName, port, certificate);
}

bool TFHarbrook::GoOnInPlainText() {
    bool goOn = false;
    IdFTP1TLSNotAvailable(goOn);
    return goOn;
}

void TFHarbrook::ViewReady(const std::string& name, const std::string& path) {
    if (!harbrook::Shell().OpenDocument(path)) {
        harbrook::Dialogs().ShowInformation("Harbrook", "No program is set up to open " + name +
                                                            "; it was saved as " + path + ".");
    }
}
