#include "app/Tf_about.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/ToolPictures.h"

namespace {

QFont tahoma(int pixels) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

Tf_about::Tf_about(QWidget* parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog) {
    setWindowTitle(QStringLiteral("About Harbrook"));
    setFixedSize(543, 266);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    Lumo_gradient1 = new TLumo_gradient(this);
    Lumo_gradient1->setFixedHeight(203);
    Lumo_gradient1->SetStartColor(0xFFFFFF);
    Lumo_gradient1->SetEndColor(0xC0C0C0);
    Lumo_gradient1->SetNumberofColors(255);
    Lumo_gradient1->SetGradientStyle(gsBottomToTop);
    auto* words = new QVBoxLayout(Lumo_gradient1);
    Label1 = new QLabel(QStringLiteral("Harbrook"), Lumo_gradient1);
    Label1->setFont(tahoma(32));
    // The about text as the program has always shown it, spelling and all.
    Label2 = new QLabel(QStringLiteral("At the moment Harbrook is an experimental project to create\n"
                                       "FTP cleant that would be easy to use without any additional FTP\n"
                                       "crap that is usually shown on the clients (before the release revision\n"
                                       "this will have ofcourse more features than other free clients do :))"),
                        Lumo_gradient1);
    // Tahoma at 16 pixels fits the window; a wider face standing in for it is made
    // smaller until the longest line fits, so no word is cut off.
    QFont lines = tahoma(16);
    while (lines.pixelSize() > 9 && QFontMetrics(lines).horizontalAdvance(Label2->text().section('\n', 2, 2)) > 515) {
        lines.setPixelSize(lines.pixelSize() - 1);
    }
    Label2->setFont(lines);
    words->addWidget(Label1);
    words->addWidget(Label2);
    layout->addWidget(Lumo_gradient1);

    auto* bevel = new QFrame(this);
    bevel->setFrameShape(QFrame::HLine);
    layout->addWidget(bevel);

    auto* bottom = new QHBoxLayout;
    Lumo_label1 = new TLumo_label(this);
    Lumo_label1->setText(QString::fromLatin1(kAddress));
    TLumoFont font = Lumo_label1->Font();
    font.Font = tahoma(21);
    font.Color = QColor(0, 0, 0);
    Lumo_label1->SetFont(font);
    TLumoFont shadow = Lumo_label1->FontShadow();
    shadow.Font = tahoma(21);
    shadow.Color = QColor(0xC0, 0xC0, 0xC0);
    Lumo_label1->SetFontShadow(shadow);
    Lumo_label1->SetShadow(true);
    Lumo_label1->ShadowOffset = -2;
    Lumo_label1->ColorMouse = 0xFF0000;
    Lumo_label1->GotoUrl = kAddress;
    bottom->addWidget(Lumo_label1, 1);
    Lumo_statebmp1 = new TLumo_statebmp(this);
    Lumo_statebmp1->setFixedSize(41, 41);
    DressToolButton(*Lumo_statebmp1, ToolSymbol::Refresh);
    Lumo_statebmp1->SetState(sbUp);
    Lumo_statebmp1->setToolTip(QStringLiteral("Check for Update"));
    bitmap1 = new TLumo_statebmp(this);
    bitmap1->setFixedSize(41, 41);
    DressToolButton(*bitmap1, ToolSymbol::Delete);
    bitmap1->SetState(sbUp);
    bitmap1->setToolTip(QStringLiteral("Close"));
    bottom->addWidget(Lumo_statebmp1);
    bottom->addWidget(bitmap1);
    layout->addLayout(bottom);

    Lumo_statebmp1->OnClick = [this](TLumo_statebmp&) {
        if (ShowUpdate) {
            ShowUpdate();
        }
    };
    bitmap1->OnClick = [this](TLumo_statebmp&) { close(); };
}
