// The main window's form: its controls as designed, their wiring to the handlers, and
// the settings that place and size them.

#include "app/TFHarbrook.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "app/ToolPictures.h"
#include "engine/MessageLog.h"
#include "engine/RateLimit.h"
#include "engine/TransferWorkers.h"
#include "engine/SessionSetup.h"
#include "engine/WindowSettings.h"
#include "platform/LocalFiles.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDialogs.h"

namespace {

// A thin strip with the up-down cursor; a drag reports how far the mouse moved down.
class TLogGrip : public QWidget {
public:
    TLogGrip(QWidget* parent, std::function<void(int change)> moved) : QWidget(parent), m_moved(std::move(moved)) {
        setFixedHeight(5);
        setCursor(Qt::SizeVerCursor);
        setToolTip(QStringLiteral("Drag to change the height of the message log"));
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            m_lastY = event->globalPosition().toPoint().y();
            m_dragging = true;
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (m_dragging) {
            const int y = event->globalPosition().toPoint().y();
            m_moved(y - m_lastY);
            m_lastY = y;
        }
    }
    void mouseReleaseEvent(QMouseEvent*) override { m_dragging = false; }

private:
    std::function<void(int change)> m_moved;
    int m_lastY = 0;
    bool m_dragging = false;
};

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
    list->SetSorted(sorted);
    // Rows are the servers' and the queues' bytes, shown as text.
    list->SetDecoder(harbrook::DisplayText);
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
    // The saved sites, beside the bar they fill.
    SitesButton = new QToolButton(Panel2);
    SitesButton->setText(QStringLiteral("Sites…"));
    SitesButton->setToolTip(QStringLiteral("Site Manager (Ctrl+S)"));
    SitesButton->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(SitesButton, 2, 1, Qt::AlignLeft);
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
    LogGrip = new TLogGrip(this, [this](int change) {
        // Dragged up, the log grows; never below its smallest height, nor so tall that
        // the panes above it vanish.
        const int tallest = std::max(WindowSettings::kSmallestLog, height() / 2);
        MessageLogList->setFixedHeight(
            std::clamp(MessageLogList->height() - change, WindowSettings::kSmallestLog, tallest));
    });
    LogGrip->hide();
    layout->addWidget(LogGrip);
    MessageLogList = new QListWidget(this);
    MessageLogList->setObjectName(QStringLiteral("MessageLog"));
    MessageLogList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    MessageLogList->setUniformItemSizes(true);
    MessageLogList->setContextMenuPolicy(Qt::CustomContextMenu);
    MessageLogList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    MessageLogList->hide();
    layout->addWidget(MessageLogList);
    auto* statusRow = new QHBoxLayout;
    Label8 = new QLabel(QStringLiteral("--"), this);
    QPalette status = Label8->palette();
    status.setColor(QPalette::WindowText, QColor(0xC0, 0xC0, 0xC0));
    Label8->setPalette(status);
    statusRow->addWidget(Label8, 1);
    auto limitBox = [this](const QString& tip) {
        auto* box = new QSpinBox(this);
        box->setRange(0, WindowSettings::kLargestLimit);
        box->setSingleStep(100);
        box->setSuffix(QStringLiteral(" KiB/s"));
        box->setSpecialValueText(QStringLiteral("no limit"));
        box->setToolTip(tip);
        box->setAccelerated(true);
        return box;
    };
    statusRow->addWidget(new QLabel(QStringLiteral("Down:"), this));
    DownloadLimit = limitBox(QStringLiteral("Speed limit of all downloads together"));
    statusRow->addWidget(DownloadLimit);
    statusRow->addWidget(new QLabel(QStringLiteral("Up:"), this));
    UploadLimit = limitBox(QStringLiteral("Speed limit of all uploads together"));
    statusRow->addWidget(UploadLimit);
    statusRow->addWidget(new QLabel(QStringLiteral("At once:"), this));
    ParallelFiles = new QSpinBox(this);
    ParallelFiles->setRange(1, kMaxParallelFiles);
    ParallelFiles->setValue(2);
    ParallelFiles->setToolTip(QStringLiteral("Files moved at the same time in each direction, each on a connection of its own"));
    statusRow->addWidget(ParallelFiles);
    LogButton = new QToolButton(this);
    LogButton->setText(QStringLiteral("Log"));
    LogButton->setToolTip(QStringLiteral("Show or hide the message log (F9)"));
    LogButton->setCheckable(true);
    LogButton->setFocusPolicy(Qt::NoFocus);
    statusRow->addWidget(LogButton);
    layout->addLayout(statusRow);

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
    Lumo_listbox2->OnKeyDown = [this](TLumo_listbox&, int key) { Lumo_listbox2KeyDown(key); };
    // The transfer list's own menu: what can be done with the rows chosen.
    Lumo_listbox2->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(Lumo_listbox2, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        harbrook::GuardedCall([&] {
            QMenu menu(this);
            const std::pair<const char*, TransferCommand> entries[] = {
                {"Cancel", TransferCommand::Cancel},
                {"Remove", TransferCommand::Remove},
                {"Retry", TransferCommand::Retry},
                {"Clear finished", TransferCommand::ClearFinished},
            };
            for (const auto& [text, command] : entries) {
                const TransferCommand chosen = command;
                menu.addAction(QString::fromLatin1(text), [this, chosen] { TransferListCommand(chosen); });
            }
            menu.exec(Lumo_listbox2->viewport()->mapToGlobal(at));
        });
    });
    Lumo_listbox1->OnDblClick = [this](TLumo_listbox&) { Lumo_listbox1DblClick(); };
    Lumo_listbox3->OnDblClick = [this](TLumo_listbox&) { Lumo_listbox3DblClick(); };
    Lumo_listbox1->OnKeyDown = [this](TLumo_listbox&, int key) { Lumo_listbox1KeyDown(key); };
    Lumo_listbox3->OnKeyDown = [this](TLumo_listbox&, int key) { Lumo_listbox3KeyDown(key); };
    // A host or port typed by hand is a plain connection again (an ftps:// address chose
    // implicit TLS for its own host and port only).
    for (QLineEdit* field : {static_cast<QLineEdit*>(host), static_cast<QLineEdit*>(Lumo_edit2)}) {
        QObject::connect(field, &QLineEdit::textEdited, this, [this] {
            m_implicitTls = false;
            m_requireTls = false;
            m_sitePassive = true;
        });
    }
    QObject::connect(LogButton, &QToolButton::clicked, this, [this] { ToggleMessageLog(); });
    // A new limit holds from the next block of every running transfer.
    QObject::connect(DownloadLimit, qOverload<int>(&QSpinBox::valueChanged), this,
                     [](int kib) { DownloadRateLimit().SetRate(std::int64_t{kib} * 1024); });
    QObject::connect(UploadLimit, qOverload<int>(&QSpinBox::valueChanged), this,
                     [](int kib) { UploadRateLimit().SetRate(std::int64_t{kib} * 1024); });
    // Counts from the next queue run of each direction.
    QObject::connect(ParallelFiles, qOverload<int>(&QSpinBox::valueChanged), this,
                     [this](int files) { m_parallelFiles = files; });
    QObject::connect(SitesButton, &QToolButton::clicked, this, [this] { OpenSiteManager(); });
    auto* sitesKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    QObject::connect(sitesKey, &QShortcut::activated, this, [this] { OpenSiteManager(); });
    auto* logKey = new QShortcut(QKeySequence(Qt::Key_F9), this);
    logKey->setContext(Qt::WindowShortcut);
    QObject::connect(logKey, &QShortcut::activated, this, [this] { ToggleMessageLog(); });
    QObject::connect(MessageLogList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* copy = menu.addAction(QStringLiteral("Copy"));
        QAction* clear = menu.addAction(QStringLiteral("Clear"));
        QAction* chosen = menu.exec(MessageLogList->viewport()->mapToGlobal(at));
        if (chosen == copy) {
            // The selected lines, or all of them when none is selected.
            QStringList lines;
            const bool all = MessageLogList->selectedItems().isEmpty();
            for (int row = 0; row < MessageLogList->count(); ++row) {
                if (all || MessageLogList->item(row)->isSelected()) {
                    lines << MessageLogList->item(row)->text();
                }
            }
            QGuiApplication::clipboard()->setText(lines.join('\n') + '\n');
        } else if (chosen == clear) {
            MessageLogList->clear();
            MessageLog().Clear();
        }
    });
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
    m_savedPassword = m_passwords->Recall(BarPasswordKey(), settings.pass);
    pass->setText(harbrook::DisplayText(m_savedPassword));
    m_keyringNoticeGiven = settings.keyringNoticeGiven;
    DownloadLimit->setValue(settings.downloadLimit);
    UploadLimit->setValue(settings.uploadLimit);
    // Set even when unchanged: the limits are the program's, the box only shows them.
    DownloadRateLimit().SetRate(std::int64_t{settings.downloadLimit} * 1024);
    UploadRateLimit().SetRate(std::int64_t{settings.uploadLimit} * 1024);
    ParallelFiles->setValue(settings.parallelFiles);
    m_parallelFiles = settings.parallelFiles;
    Lumo_edit2->setText(QString::number(settings.port));
    CheckBox1->setChecked(settings.explicitTls);
    MessageLogList->setFixedHeight(settings.logHeight);
    MessageLogList->setVisible(settings.logShown);
    LogGrip->setVisible(settings.logShown);
    LogButton->setChecked(settings.logShown);
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
    settings.pass = keepBarPassword();
    settings.keyringNoticeGiven = m_keyringNoticeGiven && !m_passwords->KeyringAnswered();
    settings.downloadLimit = DownloadLimit->value();
    settings.uploadLimit = UploadLimit->value();
    settings.parallelFiles = ParallelFiles->value();
    settings.lastUpload = LastUploadFolder;
    settings.lastDownload = LastDownloadFolder;
    if (const int port = Lumo_edit2->ValueAsInteger(); IsPortNumber(port)) {
        settings.port = port;
    }
    settings.explicitTls = CheckBox1->isChecked();
    settings.logShown = !MessageLogList->isHidden();
    settings.logHeight = std::max(MessageLogList->maximumHeight(), WindowSettings::kSmallestLog);
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

std::string TFHarbrook::keepBarPassword() {
    std::string password = harbrook::LocalBytes(pass->text());
    // A password that came in an address (or with a site) stays out of the bar's keeping.
    if (m_addressPassword && password == *m_addressPassword) {
        password = m_savedPassword;
    }
    m_savedPassword = password;
    return m_passwords->Keep(BarPasswordKey(), password);
}

void TFHarbrook::tellOfPasswordFallback() {
    const std::optional<std::string> notice = m_passwords->TakeNotice();
    if (!notice) {
        return;
    }
    MessageLog().Append("main", LogLine::Kind::Error, *notice);
    if (!m_keyringNoticeGiven) {
        m_keyringNoticeGiven = true;
        // Shown once the call that kept the password has returned: the session waits for
        // its own calls, not for the user to read a box.
        QTimer::singleShot(0, this, [notice] { harbrook::Dialogs().ShowInformation("Passwords", *notice); });
    }
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
