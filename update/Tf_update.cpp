#include "update/Tf_update.h"

#include <QApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLocale>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "engine/FileSizeText.h"
#include "engine/LumoFiles.h"
#include "platform/Dialogs.h"

Tf_update::Tf_update(const std::string& programPath, QWidget* parent) : QWidget(parent, Qt::Dialog) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    resize(380, 187);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Progress:"), this);
    Lumo_listbox1 = new TLumo_listbox(this);
    auto* bottom = new QHBoxLayout;
    Lumo_grbutton4 = new TLumo_grbutton(this);
    Lumo_grbutton4->SetCaption(QStringLiteral("Close"));
    Lumo_grbutton4->setFixedSize(97, 22);
    Lumo_progressbar1 = new TLumo_progressbar(this);
    Lumo_progressbar1->SetMax(100);
    Lumo_progressbar1->Font.Font.setBold(true);
    Lumo_progressbar1->setFixedHeight(22);
    bottom->addWidget(Lumo_grbutton4);
    bottom->addWidget(Lumo_progressbar1, 1);
    layout->addWidget(Label1);
    layout->addWidget(Lumo_listbox1, 1);
    layout->addLayout(bottom);
    Lumo_grbutton4->OnClick = [this](TLumo_grbutton&) { close(); };
    OnTerminate = [] { QApplication::quit(); };
    FormCreate(programPath);
}

void Tf_update::FormCreate(const std::string& programPath) {
    int major = 0;
    int minor = 0;
    int release = 0;
    int build = 0;
    OwnBuild = TLumo_files().GetFileVersion(programPath, major, minor, release, build) ? build : 0;
    ProgramFolder = std::filesystem::path(programPath).parent_path().string();
    m_programName = std::filesystem::path(programPath).filename().string();
}

void Tf_update::FormShow() {
    Checked = false;
}

void Tf_update::FormActivate() {
    setWindowTitle(QString::fromStdString(WindowCaption.empty() ? std::string("Harbrook Update") : WindowCaption));
    if (!Checked) {
        // The check holds this thread while it asks the server: the window is drawn
        // first, or its boxes come up over a window that is not there yet. Waiting for
        // that lets the activation through, which must not start a second check.
        Checked = true;
        paintBeforeWork();
        RunUpdateCheck();
    }
}

void Tf_update::paintBeforeWork() {
    QWindow* window = windowHandle();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    // Exposed, and active too: a box that comes before the window manager has given the
    // window the focus stays behind without it.
    while (window != nullptr && (!window->isExposed() || !isActiveWindow()) &&
           std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    repaint();
    QApplication::processEvents();
}

void Tf_update::FormClose() {
    // Every exchange has its own connection, closed when the exchange ends.
}

void Tf_update::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A restore after minimising is the system showing the window again, not a new
    // showing: it starts no second check.
    if (event->spontaneous()) {
        return;
    }
    m_closed = false;
    FormShow();
    // The first activation of a showing runs the check; offscreen windows are not
    // activated, so the showing itself counts as one.
    QMetaObject::invokeMethod(this, [this] { FormActivate(); }, Qt::QueuedConnection);
}

void Tf_update::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
    }
}

void Tf_update::closeEvent(QCloseEvent* event) {
    m_closed = true;
    FormClose();
    QWidget::closeEvent(event);
}

void Tf_update::AddLogLine(const std::string& text) {
    const QString time = QLocale().toString(QTime::currentTime(), QLocale::LongFormat);
    Lumo_listbox1->insertItem(0, time + QStringLiteral("> ") + QString::fromStdString(text));
    QApplication::processEvents();
}

void Tf_update::ShowDownloadProgress(std::int64_t written) {
    Lumo_progressbar1->SetPosition(static_cast<long double>(written));
    Lumo_progressbar1->SetCaption(QString::fromStdString(
        harbrook::FormatFileSize(written) + " of " +
        harbrook::FormatFileSize(static_cast<std::int64_t>(Lumo_progressbar1->Max()))));
    Lumo_progressbar1->repaint();
    QApplication::processEvents();
    if (m_closed) {
        throw std::runtime_error("The update window was closed");
    }
}

void Tf_update::SetCaption(const std::string& caption) {
    Lumo_progressbar1->SetCaption(QString::fromStdString(caption));
}

void Tf_update::SetPosition(std::int64_t position) {
    Lumo_progressbar1->SetPosition(static_cast<long double>(position));
}

void Tf_update::SetMaximum(std::int64_t maximum) {
    Lumo_progressbar1->SetMax(static_cast<long double>(maximum));
}

void Tf_update::ProcessEvents() {
    QApplication::processEvents();
}

void Tf_update::ShowMessage(const std::string& message) {
    harbrook::Dialogs().ShowInformation(windowTitle().toStdString(), message);
}

void Tf_update::ShowError(const std::string& message) {
    harbrook::Dialogs().ShowError(message);
}

std::string Tf_update::ChooseSavePath(const std::string& path) {
    harbrook::SaveFileRequest request;
    request.InitialFolder = ProgramFolder;
    request.FileName = path;
    return harbrook::Dialogs().SaveFile(request);
}

bool Tf_update::ConfirmLaunch(const std::string& question) {
    return harbrook::Dialogs().Confirm(question);
}

void Tf_update::RunUpdateCheck() {
    Checked = true;
    ++m_checks;
    Lumo_listbox1->clear();
    Lumo_progressbar1->SetMax(100);
    harbrook::update::UpdateSettings settings;
    settings.host = UpdateHost;
    settings.port = UpdatePort;
    settings.readTimeoutMs = ReadTimeoutMs;
    settings.programName = m_programName;
    settings.programFolder = ProgramFolder;
    settings.ownBuild = OwnBuild;
    if (UpdateHost.empty()) {
        UpdateHost = harbrook::update::kDefaultUpdateHost;
    }
    const harbrook::update::UpdateResult result = harbrook::update::RunUpdateCheck(settings, *this);
    if (!result.launch.empty()) {
        // A downloaded file carries no execute permission; the installer must be able to run.
        std::error_code error;
        std::filesystem::permissions(result.launch, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add, error);
        harbrook::Shell().StartProgram(result.launch, {});
        if (OnTerminate) {
            OnTerminate();
        }
    }
}
