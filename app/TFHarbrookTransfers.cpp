// The main window's transfers: the queues the commands and drops fill, the workers that
// carry them, and the transfer list.

#include "app/TFHarbrook.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

#include <filesystem>
#include <tuple>

#include "engine/QueueEntries.h"
#include "engine/RemoteRows.h"
#include "engine/TransferList.h"
#include "platform/Dialogs.h"
#include "platform/LocalFiles.h"
#include "platform/qt/QtDialogs.h"

void TFHarbrook::startWorkers() {
    // A worker whose last run is still ending refuses to start; it is started by the
    // timer once it can, so both run after every connect.
    if (m_uploadWanted || !m_workersWanted) {
        m_uploadWanted = !UploadThread->Start(false, nullptr);
    }
    if (m_downloadWanted || !m_workersWanted) {
        m_downloadWanted = !DownloadThread->Start(false, nullptr);
    }
    m_workersWanted = m_uploadWanted || m_downloadWanted;
}

void TFHarbrook::stopWorkers() {
    m_sessionUp = false;
    m_workersWanted = false;
    m_uploadWanted = false;
    m_downloadWanted = false;
    UploadThread->Stop();
    DownloadThread->Stop();
    SetTransfersDisabled(true);
    ClearDirListings();
}

void TFHarbrook::saveQueues() {
    const std::uint64_t generations = UploadQueue->Generation() + DownloadQueue->Generation();
    if (generations == m_savedGenerations) {
        return;
    }
    // A file that cannot be written is tried again at the next change; the queues in
    // memory are what runs.
    if (m_queueFile->Save(*UploadQueue, *DownloadQueue)) {
        m_savedGenerations = generations;
    }
}

void TFHarbrook::Timer2Timer() {
    saveQueues();
    ShowNewLogLines();
    // The running transfers, then every other entry of both queues.
    TLines lines;
    std::vector<std::int32_t> running;
    FillTransferLines(lines, &running);
    // What each direction's running transfers have moved, and how fast.
    QueueProgress progress[2];
    for (const Tftptransferdata& record : TransferRecords()) {
        QueueProgress& direction = progress[record.Upload ? 0 : 1];
        direction.moved += record.Position;
        if (record.Elapsed > 0) {
            direction.speed += record.Position * 1000 / record.Elapsed;
        }
    }
    m_transferRows.clear();
    for (const std::int32_t id : running) {
        m_transferRows.push_back({id, nullptr, 0});
    }
    const TransferSite site = m_session->Site();
    // Each queue shows its first entries and a line for all of it; the rows are made
    // anew twice a second, so a huge queue must not be shown whole.
    constexpr std::size_t kRowsPerQueue = 200;
    const std::tuple<TTransferQueue*, const char*, const QueueProgress&> queues[] = {
        {UploadQueue.get(), "Uploads", progress[0]}, {DownloadQueue.get(), "Downloads", progress[1]}};
    for (const auto& [queue, what, moving] : queues) {
        const std::vector<QueueItem> items = queue->Items();
        std::vector<std::uint64_t> ids;
        for (const std::string& row : QueueRowLines(items, site, &ids, kRowsPerQueue)) {
            lines.push_back(row);
        }
        for (const std::uint64_t id : ids) {
            m_transferRows.push_back({0, queue, id});
        }
        // The summary is no entry of its own: commands on it do nothing.
        if (items.size() > 1 || ids.size() < items.size()) {
            lines.push_back(QueueSummaryLine(what, items, ids.size(), moving));
            m_transferRows.push_back({0, nullptr, 0});
        }
    }
    const int top = Lumo_listbox2->TopIndex();
    const int index = Lumo_listbox2->ItemIndex();
    Lumo_listbox2->clear();
    Lumo_listbox2->SetLines(std::make_shared<const TLines>(std::move(lines)));
    Lumo_listbox2->SetTopIndex(top);
    Lumo_listbox2->SetItemIndex(index);
}

void TFHarbrook::UploadThreadExecute(TLumo_thread&, TLumosimplethread&, void*&, int) {
    const harbrook::ScopedInterrupter closing(m_workerStop);
    UploadThreadBody(*m_transferHost, *UploadQueue, m_parallelFiles.load());
}

void TFHarbrook::DownloadThreadExecute(TLumo_thread&, TLumosimplethread&, void*&, int) {
    const harbrook::ScopedInterrupter closing(m_workerStop);
    DownloadThreadBody(*m_transferHost, *DownloadQueue, m_parallelFiles.load());
}

void TFHarbrook::queueUpload(const std::string& path) {
    // Into the folder the panes show (what PWD last answered).
    const harbrook::LocalEntry entry = harbrook::InspectLocalEntry(path);
    UploadQueue->Add(UploadQueueEntry(path, m_currentFolder), m_session->Site(),
                     entry.kind == harbrook::LocalEntryKind::File ? entry.size : -1);
}

void TFHarbrook::bitmap7Click() {
    if (!m_session->Usable()) {
        return;
    }
    harbrook::OpenFilesRequest request;
    request.Title = "Upload File(s)";
    request.InitialFolder = LastUploadFolder;
    request.Filter = "All files (*.*)|*.*";
    const std::vector<std::string> files = harbrook::Dialogs().OpenFiles(request);
    if (files.empty()) {
        return;
    }
    std::string folder = std::filesystem::path(files.front()).parent_path().string();
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    LastUploadFolder = folder;
    for (const std::string& file : files) {
        queueUpload(file);
    }
}

void TFHarbrook::bitmap8Click() {
    if (!m_session->Usable()) {
        return;
    }
    // "Donwload" is the caption the dialog has always had.
    const std::string chosen = Lumo_files1.BrowseForFolder("Donwload to Folder", LastDownloadFolder, true, false);
    if (chosen.empty()) {
        return;
    }
    LastDownloadFolder = chosen;
    for (auto [list, isFolder] : {std::pair{Lumo_listbox1, true}, std::pair{Lumo_listbox3, false}}) {
        for (const int row : list->SelectedRows()) {
            // The row's size is near enough for the queue's summary until the worker
            // asks the server.
            const std::int64_t size = isFolder ? -1 : RowSizeOf(list->RowBytes(row));
            DownloadQueue->Add(DownloadQueueEntry(m_currentFolder, RowName(*list, row), isFolder, chosen),
                               m_session->Site(), size);
        }
    }
}

void TFHarbrook::WMDropFiles(const std::vector<std::string>& paths) {
    // Each path is taken whole. While disconnected, the client's own error is what the
    // application's error box shows.
    m_session->CheckUsable();
    for (const std::string& path : paths) {
        queueUpload(path);
    }
}

void TFHarbrook::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TFHarbrook::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(harbrook::LocalBytes(url.toLocalFile()));
        }
    }
    event->acceptProposedAction();
    WMDropFiles(paths);
}

void TFHarbrook::TransferListCommand(TransferCommand command) {
    if (command == TransferCommand::ClearFinished) {
        UploadQueue->ClearFinished();
        DownloadQueue->ClearFinished();
    } else {
        for (int row = 0; row < Lumo_listbox2->count() && row < static_cast<int>(m_transferRows.size()); ++row) {
            if (!Lumo_listbox2->IsSelected(row)) {
                continue;
            }
            const TransferRow& target = m_transferRows[static_cast<std::size_t>(row)];
            if (target.queue == nullptr && target.transfer == 0) {
                continue;
            }
            if (target.queue == nullptr) {
                if (command == TransferCommand::Cancel || command == TransferCommand::Remove) {
                    CancelTransfer(target.transfer);
                }
            } else if (command == TransferCommand::Remove) {
                target.queue->Remove(target.entry);
            } else if (command == TransferCommand::Retry) {
                target.queue->Retry(target.entry);
            }
        }
    }
    Timer2Timer();
}

void TFHarbrook::Lumo_listbox2KeyDown(int key) {
    if (key == 46) {
        TransferListCommand(TransferCommand::Remove);
    }
}
