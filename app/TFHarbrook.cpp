#include "app/TFHarbrook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <filesystem>

#include "app/ToolPictures.h"
#include "engine/DirListings.h"
#include "engine/FtpTools.h"
#include "engine/QueueEntries.h"
#include "engine/RemoteRows.h"
#include "engine/RemoteRules.h"
#include "engine/TransferList.h"
#include "engine/WindowQuestions.h"
#include "engine/WindowSettings.h"
#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/LocalFiles.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDialogs.h"

namespace {

constexpr int kNameRole = Qt::UserRole + 1;

QFont tahoma(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

TLumo_statebmp* toolButton(QWidget* parent, ToolSymbol symbol, const char* hint, QSize size, tsbstatetype state,
                           bool noneOnMouseOver) {
    auto* button = new TLumo_statebmp(parent);
    button->setFixedSize(size);
    DressToolButton(*button, symbol);
    button->SetState(state);
    button->NoneOnMouseOver = noneOnMouseOver;
    button->setToolTip(QString::fromLatin1(hint));
    // Reached by Tab and run by Enter, but a click leaves the focus where it was: the
    // name field stays open while a tool button is clicked.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

TLumo_edit* editField(QWidget* parent) {
    auto* field = new TLumo_edit(parent);
    field->setFrame(false);
    field->ColorIn = 0xCAFFCA;
    field->ColorOut = 0xFFFFFF;
    field->ColorMouse = 0xB7FFFF;
    const QFont font = tahoma(13);
    field->NormalFont = font;
    field->FontEditing = font;
    field->FontMouseOver = font;
    field->setFont(font);
    return field;
}

TLumo_listbox* remoteList(QWidget* parent, bool sorted) {
    auto* list = new TLumo_listbox(parent);
    list->SetItemHeight(16);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->SetLineColoring(true);
    list->SetLineColorOdd(0xEFEFEF);
    list->SetLineColorEven(0xFFFFFF);
    list->SetLineColorSelected(0x808000);
    TLumoFont white = list->Font();
    white.Color = QColor(255, 255, 255);
    list->SetFontSelected(white);
    list->SetFontMouseOver(white);
    list->MouseOverColor = 0x000080;
    list->SetDisableString(QStringLiteral("<!--"));
    list->SetProgressExists(false);
    list->SetColumnSeparator(QStringLiteral("||"));
    list->SetColumnDefaultWidth(92);
    list->setSortingEnabled(sorted);
    return list;
}

std::unique_ptr<QStandardItemModel> headerModel(QHeaderView& header, const QStringList& sections,
                                                const std::vector<int>& widths) {
    auto model = std::make_unique<QStandardItemModel>(0, static_cast<int>(sections.size()));
    model->setHorizontalHeaderLabels(sections);
    header.setModel(model.get());
    header.setSectionResizeMode(QHeaderView::Interactive);
    header.setStretchLastSection(false);
    for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
        header.resizeSection(i, widths[static_cast<std::size_t>(i)]);
    }
    return model;
}

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

void TFHarbrook::buildControls() {
    setFont(tahoma(11));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    resize(751, 722);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Connection bar.
    Panel2 = new QFrame(this);
    Panel2->setFixedHeight(96);
    auto* bar = new QGridLayout(Panel2);
    Label1 = new QLabel(QStringLiteral("Host:"), Panel2);
    host = editField(Panel2);
    Label9 = new QLabel(QStringLiteral("Port:"), Panel2);
    Lumo_edit2 = editField(Panel2);
    Lumo_edit2->SetEditMode(mNumEdit);
    Lumo_edit2->setText(QStringLiteral("21"));
    Lumo_edit2->setFixedWidth(60);
    Label2 = new QLabel(QStringLiteral("Account:"), Panel2);
    user = editField(Panel2);
    user->setFixedWidth(120);
    Label3 = new QLabel(QStringLiteral("Password:"), Panel2);
    pass = editField(Panel2);
    pass->setFixedWidth(120);
    pass->setEchoMode(QLineEdit::Password);
    CheckBox1 = new QCheckBox(QStringLiteral("Use Explicit TLS"), Panel2);
    CheckBox1->setLayoutDirection(Qt::RightToLeft);
    bitmap1 = toolButton(Panel2, ToolSymbol::Connect, "Connect / Disconnect", QSize(41, 49), sbDown, false);
    Lumo_statebmp1 = toolButton(Panel2, ToolSymbol::About, "About Harbrook", QSize(41, 49), sbUp, true);
    bar->addWidget(Label1, 0, 0);
    bar->addWidget(host, 0, 1);
    bar->addWidget(Label9, 0, 2);
    bar->addWidget(Lumo_edit2, 0, 3);
    bar->addWidget(Label2, 1, 0);
    bar->addWidget(user, 1, 1, Qt::AlignLeft);
    bar->addWidget(Label3, 1, 2);
    bar->addWidget(pass, 1, 3);
    bar->addWidget(CheckBox1, 2, 3);
    bar->addWidget(bitmap1, 0, 4, 3, 1);
    bar->addWidget(Lumo_statebmp1, 0, 5, 3, 1);
    bar->setColumnStretch(1, 1);
    layout->addWidget(Panel2);

    // Folder bar.
    Panel3 = new QFrame(this);
    Panel3->setFixedHeight(40);
    Panel3->setAutoFillBackground(true);
    QPalette silver = Panel3->palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    Panel3->setPalette(silver);
    auto* folderBar = new QHBoxLayout(Panel3);
    Label4 = new QLabel(QStringLiteral("Current Folder:"), Panel3);
    Label5 = new QLabel(QStringLiteral("/"), Panel3);
    Label5->setFont(tahoma(11, true));
    Label7 = new QLabel(QStringLiteral("Name:"), Panel3);
    Lumo_edit1 = editField(Panel3);
    Lumo_edit1->setFixedWidth(233);
    Label7->hide();
    Lumo_edit1->hide();
    folderBar->addWidget(Label4);
    folderBar->addWidget(Label5, 1);
    folderBar->addWidget(Label7);
    folderBar->addWidget(Lumo_edit1);
    layout->addWidget(Panel3);

    // Transfer buttons, remote pane and the command column.
    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    Panel6 = new QFrame(this);
    Panel6->setFixedWidth(42);
    auto* strip = new QVBoxLayout(Panel6);
    strip->setContentsMargins(0, 0, 0, 0);
    bitmap7 = toolButton(Panel6, ToolSymbol::Upload, "Upload", QSize(41, 137), sbDown, true);
    bitmap8 = toolButton(Panel6, ToolSymbol::Download, "Download", QSize(41, 145), sbDown, true);
    strip->addWidget(bitmap7);
    strip->addStretch();
    strip->addWidget(bitmap8);
    middle->addWidget(Panel6);

    Panel4 = new QFrame(this);
    auto* remote = new QVBoxLayout(Panel4);
    remote->setContentsMargins(0, 0, 0, 0);
    remote->setSpacing(0);
    Label6 = new QLabel(QStringLiteral("Ftp:"), Panel4);
    remote->addWidget(Label6);
    Splitter1 = new QSplitter(Qt::Vertical, Panel4);
    Splitter1->setHandleWidth(3);
    auto* upper = new QWidget(Splitter1);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    Lumo_listbox1 = remoteList(upper, true);
    HeaderControl1 = new QHeaderView(Qt::Horizontal, upper);
    m_header1Model = headerModel(*HeaderControl1, {"Filename", "Size", "Date"}, {200, 90, 100});
    HeaderControl1->setFixedHeight(20);
    upperLayout->addWidget(Lumo_listbox1);
    upperLayout->addWidget(HeaderControl1);
    Lumo_listbox3 = remoteList(Splitter1, true);
    Splitter1->addWidget(upper);
    Splitter1->addWidget(Lumo_listbox3);
    Splitter1->setSizes({300, 218});
    remote->addWidget(Splitter1);
    middle->addWidget(Panel4, 1);

    auto* column = new QVBoxLayout;
    Lumo_statebmp3 = toolButton(this, ToolSymbol::Refresh, "Refresh", QSize(41, 49), sbDown, true);
    bitmap2 = toolButton(this, ToolSymbol::Home, "Home", QSize(41, 49), sbDown, true);
    bitmap3 = toolButton(this, ToolSymbol::Back, "Back", QSize(41, 49), sbDown, true);
    bitmap5 = toolButton(this, ToolSymbol::CreateFolder, "Create Folder", QSize(41, 49), sbDown, true);
    Lumo_statebmp2 = toolButton(this, ToolSymbol::View, "View", QSize(41, 49), sbDown, true);
    bitmap4 = toolButton(this, ToolSymbol::Rename, "Rename", QSize(41, 49), sbDown, true);
    bitmap6 = toolButton(this, ToolSymbol::Delete, "Delete Item", QSize(41, 49), sbDown, true);
    for (TLumo_statebmp* button : {Lumo_statebmp3, bitmap2, bitmap3, bitmap5, Lumo_statebmp2, bitmap4, bitmap6}) {
        column->addWidget(button);
    }
    column->addStretch();
    middle->addLayout(column);
    layout->addLayout(middle, 1);

    // Transfer list and status.
    HeaderControl2 = new QHeaderView(Qt::Horizontal, this);
    m_header2Model = headerModel(*HeaderControl2, {"Filename", "Pos", "Size", "Speed", "Remaining"},
                                 {200, 90, 90, 90, 90});
    HeaderControl2->setFixedHeight(20);
    layout->addWidget(HeaderControl2);
    Lumo_listbox2 = remoteList(this, false);
    Lumo_listbox2->setFixedHeight(52);
    layout->addWidget(Lumo_listbox2);
    Label8 = new QLabel(QStringLiteral("--"), this);
    QPalette status = Label8->palette();
    status.setColor(QPalette::WindowText, QColor(0xC0, 0xC0, 0xC0));
    Label8->setPalette(status);
    layout->addWidget(Label8);

    // Keyboard order: the connection bar, the lists, the tool buttons.
    QWidget::setTabOrder(host, Lumo_edit2);
    QWidget::setTabOrder(Lumo_edit2, user);
    QWidget::setTabOrder(user, pass);
    QWidget::setTabOrder(pass, CheckBox1);
    QWidget::setTabOrder(CheckBox1, bitmap1);
    QWidget::setTabOrder(bitmap1, Lumo_listbox1);
    QWidget::setTabOrder(Lumo_listbox1, Lumo_listbox3);

    Timer1.setInterval(200);
    Timer2.setInterval(500);
}

void TFHarbrook::wireHandlers() {
    auto guarded = [](std::function<void()> body) { return [body] { harbrook::GuardedCall(body); }; };
    bitmap1->OnClick = [this](TLumo_statebmp&) { bitmap1Click(); };
    bitmap2->OnClick = [this](TLumo_statebmp&) { bitmap2Click(); };
    bitmap3->OnClick = [this](TLumo_statebmp&) { bitmap3Click(); };
    Lumo_statebmp3->OnClick = [this](TLumo_statebmp&) { Lumo_statebmp3Click(); };
    bitmap7->OnClick = [this](TLumo_statebmp&) { bitmap7Click(); };
    bitmap8->OnClick = [this](TLumo_statebmp&) { bitmap8Click(); };
    bitmap6->OnClick = [this](TLumo_statebmp&) { bitmap6Click(); };
    bitmap4->OnClick = [this](TLumo_statebmp&) { bitmap4Click(); };
    bitmap5->OnClick = [this](TLumo_statebmp&) { bitmap5Click(); };
    Lumo_statebmp2->OnClick = [this](TLumo_statebmp&) { Lumo_statebmp2Click(); };
    Lumo_statebmp1->OnClick = [this](TLumo_statebmp&) { Lumo_statebmp1Click(); };
    Lumo_edit1->OnKeyPress = [this](TLumo_edit&, QChar& key) { Lumo_edit1KeyPress(key); };
    Lumo_edit1->OnExit = [this](TLumo_edit&) { Lumo_edit1Exit(); };
    Lumo_listbox1->OnClick = [this](TLumo_listbox&) { Lumo_listbox1Click(); };
    Lumo_listbox3->OnClick = [this](TLumo_listbox&) { Lumo_listbox3Click(); };
    Lumo_listbox2->OnClick = [this](TLumo_listbox&) { Lumo_listbox3Click(); };
    Lumo_listbox1->OnDblClick = [this](TLumo_listbox&) { Lumo_listbox1DblClick(); };
    Lumo_listbox3->OnDblClick = [this](TLumo_listbox&) { Lumo_listbox3DblClick(); };
    Lumo_listbox1->OnKeyDown = [this](TLumo_listbox&, int key) { Lumo_listbox1KeyDown(key); };
    Lumo_listbox3->OnKeyDown = [this](TLumo_listbox&, int key) { Lumo_listbox3KeyDown(key); };
    QObject::connect(&Timer1, &QTimer::timeout, this, guarded([this] { Timer1Timer(); }));
    QObject::connect(&Timer2, &QTimer::timeout, this, guarded([this] { Timer2Timer(); }));
    HeaderControl1->installEventFilter(this);
    HeaderControl2->installEventFilter(this);
    QObject::connect(HeaderControl1, &QHeaderView::sectionResized, this,
                     [this](int section, int, int) { HeaderControl1SectionResize(section); });
    QObject::connect(HeaderControl2, &QHeaderView::sectionResized, this,
                     [this](int section, int, int) { HeaderControl2SectionResize(section); });
    // Enter on a focused tool button runs it, as a click does.
    for (TLumo_statebmp* button : {bitmap1, Lumo_statebmp1, bitmap7, bitmap8, Lumo_statebmp3, bitmap2, bitmap3,
                                   bitmap5, Lumo_statebmp2, bitmap4, bitmap6}) {
        button->installEventFilter(this);
    }
}

bool TFHarbrook::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == HeaderControl1) {
        HeaderControl1Resize();
    } else if (event->type() == QEvent::Resize && watched == HeaderControl2) {
        HeaderControl2Resize();
    } else if (event->type() == QEvent::KeyPress) {
        auto* button = dynamic_cast<TLumo_statebmp*>(watched);
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (button != nullptr && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
            button->OnClick) {
            button->OnClick(*button);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
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
    UploadQueue = std::make_unique<TSStringlist>();
    DownloadQueue = std::make_unique<TSStringlist>();
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

void TFHarbrook::readSettings() {
    // What the design gives stands where the file says nothing usable.
    WindowSettings design;
    design.left = x();
    design.top = y();
    design.width = width();
    design.height = height();
    design.host = kDefaultHost;
    for (int i = 0; i < 3; ++i) {
        design.remoteHeader[static_cast<std::size_t>(i)] = HeaderControl1->sectionSize(i);
    }
    for (int i = 0; i < 5; ++i) {
        design.transferHeader[static_cast<std::size_t>(i)] = HeaderControl2->sectionSize(i);
    }
    const WindowSettings settings = ReadWindowSettings(harbrook::ProfileFile(m_setup.iniPath), design);
    move(settings.left, settings.top);
    resize(settings.width, settings.height);
    host->setText(harbrook::DisplayText(settings.host));
    user->setText(harbrook::DisplayText(settings.user));
    pass->setText(harbrook::DisplayText(settings.pass));
    LastUploadFolder = settings.lastUpload;
    LastDownloadFolder = settings.lastDownload;
    for (int i = 0; i < 3; ++i) {
        HeaderControl1->resizeSection(i, settings.remoteHeader[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < 5; ++i) {
        HeaderControl2->resizeSection(i, settings.transferHeader[static_cast<std::size_t>(i)]);
    }
}

void TFHarbrook::writeSettings() {
    WindowSettings settings;
    settings.left = x();
    settings.top = y();
    settings.width = width();
    settings.height = height();
    settings.host = harbrook::LocalBytes(host->text());
    settings.user = harbrook::LocalBytes(user->text());
    settings.pass = harbrook::LocalBytes(pass->text());
    settings.lastUpload = LastUploadFolder;
    settings.lastDownload = LastDownloadFolder;
    for (int i = 0; i < 3; ++i) {
        settings.remoteHeader[static_cast<std::size_t>(i)] = HeaderControl1->sectionSize(i);
    }
    for (int i = 0; i < 5; ++i) {
        settings.transferHeader[static_cast<std::size_t>(i)] = HeaderControl2->sectionSize(i);
    }
    harbrook::ProfileFile ini(m_setup.iniPath);
    WriteWindowSettings(ini, settings);
    // A settings file that cannot be written is left as it was; there is nobody to tell
    // while the program ends.
    [[maybe_unused]] const bool saved = ini.Save();
}

void TFHarbrook::HeaderControl1Resize() {
    Lumo_listbox1->SetColumnsFromHeader(*HeaderControl1);
    Lumo_listbox3->SetColumnsFromHeader(*HeaderControl1);
}

void TFHarbrook::HeaderControl1SectionResize(int section) {
    Lumo_listbox1->SetColumnWidth(section, HeaderControl1->sectionSize(section));
    Lumo_listbox3->SetColumnWidth(section, HeaderControl1->sectionSize(section));
}

void TFHarbrook::HeaderControl2Resize() {
    Lumo_listbox2->SetColumnsFromHeader(*HeaderControl2);
}

void TFHarbrook::HeaderControl2SectionResize(int section) {
    Lumo_listbox2->SetColumnWidth(section, HeaderControl2->sectionSize(section));
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

void TFHarbrook::Connect() {
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
    settings.tls = CheckBox1->isChecked() ? SessionSettings::Tls::Explicit : SessionSettings::Tls::None;
    if (ConnectTimeoutMs > 0) {
        settings.connectTimeoutMs = ConnectTimeoutMs;
    }
    if (ReadTimeoutMs > 0) {
        settings.readTimeoutMs = ReadTimeoutMs;
    }
    m_session->Connect(settings);
}

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

void TFHarbrook::Disconnect() {
    stopWorkers();
    m_session->Disconnect();
}

std::string TFHarbrook::RowName(const TLumo_listbox& list, int index) {
    if (index < 0 || index >= list.count()) {
        return {};
    }
    const QVariant name = list.item(index)->data(kNameRole);
    return name.isValid() ? name.toByteArray().toStdString()
                          : RowNameOf(harbrook::LocalBytes(list.item(index)->text()));
}

void TFHarbrook::fillList(TLumo_listbox& list, const TLines& lines) {
    list.clear();
    for (const std::string& line : lines) {
        auto* item = new TLumo_listitem(harbrook::DisplayText(line));
        // The name as the server sent it, so commands use exactly those bytes.
        item->setData(kNameRole, QByteArray::fromStdString(RowNameOf(line)));
        list.addItem(item);
    }
}

void TFHarbrook::RefreshListing(bool forced) {
    Lumo_listbox1->clear();
    Lumo_listbox3->clear();
    if (m_session->Usable()) {
        m_session->Refresh(forced, std::nullopt);
    }
}

void TFHarbrook::ChangeFolder(const std::string& path) {
    if (m_session->Usable() && sessionFree()) {
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
    fillList(*Lumo_listbox1, folder.folders);
    fillList(*Lumo_listbox3, folder.files);
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

void TFHarbrook::Timer2Timer() {
    TLines lines;
    FillTransferLines(lines);
    const int top = Lumo_listbox2->TopIndex();
    const int index = Lumo_listbox2->ItemIndex();
    Lumo_listbox2->clear();
    for (const std::string& line : lines) {
        Lumo_listbox2->AddRow(harbrook::DisplayText(line));
    }
    Lumo_listbox2->SetTopIndex(top);
    Lumo_listbox2->SetItemIndex(index);
}

void TFHarbrook::UploadThreadExecute(TLumo_thread&, TLumosimplethread&, void*&, int) {
    const harbrook::ScopedInterrupter closing(m_workerStop);
    UploadThreadBody(*m_transferHost, *UploadQueue);
}

void TFHarbrook::DownloadThreadExecute(TLumo_thread&, TLumosimplethread&, void*&, int) {
    const harbrook::ScopedInterrupter closing(m_workerStop);
    DownloadThreadBody(*m_transferHost, *DownloadQueue);
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
    // Into the folder the panes show (what PWD last answered).
    for (const std::string& file : files) {
        UploadQueue->Add(UploadQueueEntry(file, m_currentFolder));
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
            if (m_session->Usable() && sessionFree()) {
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
    if (m_session->Usable() && sessionFree()) {
        m_session->Up();
    }
}

void TFHarbrook::bitmap2Click() {
    if (m_session->Usable() && sessionFree()) {
        m_session->Home();
    }
}

void TFHarbrook::Lumo_statebmp3Click() {
    if (m_session->Usable() && sessionFree()) {
        RefreshListing(true);
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
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->isSelected()) {
                DownloadQueue->Add(DownloadQueueEntry(m_currentFolder, RowName(*list, row), isFolder, chosen));
            }
        }
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
    if (key == QChar('\r') && m_session->Usable() && sessionFree()) {
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
    if (!m_session->Usable() || !sessionFree()) {
        return;
    }
    auto selected = [](const TLumo_listbox& list) {
        std::vector<std::string> names;
        for (int row = 0; row < list.count(); ++row) {
            if (list.item(row)->isSelected()) {
                names.push_back(RowName(list, row));
            }
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
    if (!m_session->Usable() || !sessionFree()) {
        return;
    }
    const std::string name = RowName(*Lumo_listbox3, Lumo_listbox3->ItemIndex());
    if (const std::string refusal = ViewRefusal(name); !refusal.empty()) {
        harbrook::Dialogs().ShowError(refusal);
        return;
    }
    command([&] { m_session->View(name, m_viewFolder.Path(), TViewFolder::kFileRights); });
}

void TFHarbrook::WMDropFiles(const std::vector<std::string>& paths) {
    // Each path is taken whole. While disconnected, the client's own error is what the
    // application's error box shows.
    m_session->CheckUsable();
    for (const std::string& path : paths) {
        UploadQueue->Add(UploadQueueEntry(path, m_currentFolder));
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

void TFHarbrook::Lumo_statebmp1Click() {
    if (ShowAbout) {
        ShowAbout();
    }
}
