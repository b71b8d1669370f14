#include "widgets/LumoStatebmp.h"

#include <QMouseEvent>
#include <QPainter>

TLumo_statebmp::TLumo_statebmp(QWidget* parent) : TLumo_Custom_PaintBox(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TLumo_statebmp::repaintButton() {
    ++m_repaints;
    update();
}

void TLumo_statebmp::SetState(tsbstatetype state) {
    if (state != m_state) {
        m_state = state;
        repaintButton();
    }
}

void TLumo_statebmp::SetPictureUp(const QImage& picture) {
    m_up = picture;
    repaintButton();
}

void TLumo_statebmp::SetPictureDown(const QImage& picture) {
    m_down = picture;
    repaintButton();
}

void TLumo_statebmp::SetPictureNone(const QImage& picture) {
    m_none = picture;
    repaintButton();
}

void TLumo_statebmp::SetStateUp(bool up) {
    SetState(up ? sbUp : sbDown);
}

const QImage& TLumo_statebmp::ShownPicture() const {
    // Hovering shows the "none" picture without touching the state the owner sees.
    const tsbstatetype shown = NoneOnMouseOver && m_mouseOver ? sbNone : m_state;
    switch (shown) {
        case sbUp: return m_up;
        case sbDown: return m_down;
        case sbNone: break;
    }
    return m_none;
}

void TLumo_statebmp::PaintTo(ILumoCanvas& canvas) const {
    const QImage& picture = ShownPicture();
    // An empty picture leaves the button's area as it is.
    if (!picture.isNull()) {
        canvas.StretchDraw(rect(), picture, picture.rect());
    }
}

void TLumo_statebmp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    LumoPainterCanvas canvas(painter);
    PaintTo(canvas);
}

void TLumo_statebmp::resizeEvent(QResizeEvent* event) {
    TLumo_Custom_PaintBox::resizeEvent(event);
    repaintButton();
}

void TLumo_statebmp::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && ChangeOnClick) {
        SetState(m_state == sbDown ? sbUp : sbDown);
    }
    if (OnMouseDown) {
        OnMouseDown(*this, event->button());
    }
}

void TLumo_statebmp::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp) {
        OnMouseUp(*this, event->button());
    }
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) {
        OnClick(*this);
    }
}

void TLumo_statebmp::MouseEntered() {
    m_mouseOver = true;
    repaintButton();
    fireEnter();
}

void TLumo_statebmp::MouseLeft() {
    m_mouseOver = false;
    repaintButton();
    fireLeave();
}
