// harbrook-widgets-demo: every control of the widget kit with sample data, to check the
// look by eye. With --screenshot FILE it renders the window to a PNG and exits.

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStandardItemModel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstring>

#include "widgets/LumoEdit.h"
#include "widgets/LumoGradient.h"
#include "widgets/LumoGrbutton.h"
#include "widgets/LumoLabel.h"
#include "widgets/LumoListbox.h"
#include "widgets/LumoProgressbar.h"
#include "widgets/LumoStatebmp.h"

namespace {

// A tool-button picture drawn at start-up: a rounded square with a letter.
QImage buttonPicture(const QColor& fill, const QString& letter) {
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(fill);
    painter.setPen(fill.darker(150));
    painter.drawRoundedRect(QRect(3, 3, 42, 42), 8, 8);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(24);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 48, 48), Qt::AlignCenter, letter);
    return image;
}

TLumo_statebmp* toolButton(QWidget* parent, const QString& letter, tsbstatetype state, const QString& hint) {
    auto* button = new TLumo_statebmp(parent);
    button->setFixedSize(41, 41);
    button->SetPictureUp(buttonPicture(QColor(0x2e, 0x8b, 0x57), letter));
    button->SetPictureDown(buttonPicture(QColor(0x99, 0x99, 0x99), letter));
    button->SetPictureNone(buttonPicture(QColor(0x1e, 0x90, 0xff), letter));
    button->SetState(state);
    button->NoneOnMouseOver = true;
    button->setToolTip(hint);
    return button;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Harbrook widget kit");
    auto* layout = new QVBoxLayout(&window);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(toolButton(&window, "C", sbUp, "Connect"));
    buttons->addWidget(toolButton(&window, "R", sbUp, "Refresh"));
    buttons->addWidget(toolButton(&window, "U", sbDown, "Upload"));
    buttons->addWidget(toolButton(&window, "D", sbNone, "Download"));
    buttons->addStretch();
    layout->addLayout(buttons);

    auto* fields = new QHBoxLayout;
    auto* host = new TLumo_edit(&window);
    host->setText("ftp.example.org");
    auto* port = new TLumo_edit(&window);
    port->SetEditMode(mNumEdit);
    port->ValueRange = true;
    port->SetValueMax(65535);
    port->SetValueMin(1);
    port->setText("21");
    auto* rate = new TLumo_edit(&window);
    rate->SetEditMode(mFloatEdit);
    rate->setText("3.14159");
    rate->CheckValue();
    fields->addWidget(new QLabel("Host", &window));
    fields->addWidget(host);
    fields->addWidget(new QLabel("Port", &window));
    fields->addWidget(port);
    fields->addWidget(new QLabel("Rate", &window));
    fields->addWidget(rate);
    layout->addLayout(fields);

    QStandardItemModel model(0, 3);
    model.setHorizontalHeaderLabels({"Name", "Size", "Date"});
    auto* header = new QHeaderView(Qt::Horizontal, &window);
    header->setModel(&model);
    header->resizeSection(0, 180);
    header->resizeSection(1, 90);
    header->resizeSection(2, 150);
    auto* list = new TLumo_listbox(&window);
    list->SetColumnsFromHeader(*header);
    list->SetProgressExists(true);
    const char* rows[] = {"docs||-||08/12/2026 10:00||", "archive.zip||1.00 MB||05/03/2007||",
                          "report.txt||1.21 KB||02/01/2008 09:05||", "<!--locked.bin||12 Byte(s)||01/01/2020||",
                          "video.mp4||4.66 GB||31/12/2025 23:59||", "notes.md||812 Byte(s)||07/12/2026 18:30||"};
    for (const char* row : rows) {
        list->AddRow(row);
    }
    TLumoFont disabled = list->Font();
    disabled.Color = Qt::gray;
    disabled.Font.setItalic(true);
    list->SetFontDisabled(disabled);
    list->SetProgress(4, 62.5);
    list->SetItemIndex(2);
    QObject::connect(header, &QHeaderView::sectionResized, list,
                     [list](int section, int, int size) { list->SetColumnWidth(section, size); });
    header->setFixedHeight(header->sizeHint().height());
    layout->addWidget(header);
    layout->addWidget(list);

    // The four gradient directions, white to silver and back.
    auto* gradients = new QHBoxLayout;
    for (TGradientStyle style : {gsLeftToRight, gsRightToLeft, gsTopToBottom, gsBottomToTop}) {
        auto* panel = new TLumo_gradient(&window);
        panel->SetStartColor(0xFFFFFF);
        panel->SetEndColor(0x8B572E);
        panel->SetGradientStyle(style);
        panel->setFixedSize(110, 36);
        gradients->addWidget(panel);
    }
    layout->addLayout(gradients);

    // A progress bar that keeps running, and one in steps with the value as text.
    auto* running = new TLumo_progressbar(&window);
    running->SetCaption("Downloading HarbrookInstall");
    running->setFixedHeight(22);
    auto* stepped = new TLumo_progressbar(&window);
    stepped->SetSteps(10);
    stepped->SetValueAsText(true);
    stepped->SetPosition(62.5);
    stepped->setFixedHeight(22);
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, running, [running] {
        running->SetPosition(running->Position() >= 100 ? 0 : running->Position() + 1);
    });
    running->SetPosition(45);
    ticker.start(50);
    layout->addWidget(running);
    layout->addWidget(stepped);

    // A button with each LED style, and a shadow label.
    auto* leds = new QHBoxLayout;
    const std::pair<tledstyle, const char*> styles[] = {
        {lssquare, "Square"}, {lsellipse, "Ellipse"}, {lsbox, "Box"}, {lscheck, "Check"}};
    bool on = true;
    for (const auto& [style, caption] : styles) {
        auto* button = new TLumo_grbutton(&window);
        button->SetCaption(caption);
        button->SetLedExists(true);
        button->SetLedStyle(style);
        button->SetLedState(on);
        button->LedChangeOnClick = true;
        button->SetLedPosition(on ? lpleft : lpright);
        button->setFixedSize(100, 24);
        leds->addWidget(button);
        on = !on;
    }
    auto* link = new TLumo_label(&window);
    link->setText("www.harbrook.example");
    QFont big = link->Font().Font;
    big.setPixelSize(18);
    big.setBold(true);
    TLumoFont linkFont = link->Font();
    linkFont.Font = big;
    link->SetFont(linkFont);
    TLumoFont shadowFont = link->FontShadow();
    shadowFont.Font = big;
    shadowFont.Color = QColor(0xC0, 0xC0, 0xC0);
    link->SetFontShadow(shadowFont);
    link->setFixedHeight(28);
    layout->addLayout(leds);
    layout->addWidget(link);

    window.resize(480, 470);
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
        window.show();
        QApplication::processEvents();
        return window.grab().save(argv[2]) ? 0 : 1;
    }
    window.show();
    return application.exec();
}
