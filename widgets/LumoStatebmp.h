#pragma once

#include <QImage>

#include <functional>

#include "widgets/LumoBase.h"
#include "widgets/LumoCanvas.h"

enum tsbstatetype { sbUp, sbDown, sbNone };

// A picture button: one of three pictures, by state, stretched over the whole button.
class TLumo_statebmp : public TLumo_Custom_PaintBox {
public:
    explicit TLumo_statebmp(QWidget* parent = nullptr);

    std::string Version() const override { return "r1.02"; }
    tsbstatetype State() const { return m_state; }
    void SetState(tsbstatetype state);
    const QImage& PictureUp() const { return m_up; }
    void SetPictureUp(const QImage& picture);
    const QImage& PictureDown() const { return m_down; }
    void SetPictureDown(const QImage& picture);
    const QImage& PictureNone() const { return m_none; }
    void SetPictureNone(const QImage& picture);
    // true: sbUp, false: sbDown; repaints only on a change.
    void SetStateUp(bool up);
    bool ChangeOnClick = false;
    bool NoneOnMouseOver = false;
    bool MouseOver() const { return m_mouseOver; }

    // The picture painting shows now (PictureNone while hovering with NoneOnMouseOver).
    const QImage& ShownPicture() const;
    void PaintTo(ILumoCanvas& canvas) const;
    int RepaintRequests() const { return m_repaints; }

    std::function<void(TLumo_statebmp& sender)> OnClick;
    std::function<void(TLumo_statebmp& sender, Qt::MouseButton button)> OnMouseDown;
    std::function<void(TLumo_statebmp& sender, Qt::MouseButton button)> OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void MouseEntered() override;
    void MouseLeft() override;

private:
    void repaintButton();

    tsbstatetype m_state = sbNone;
    QImage m_up;
    QImage m_down;
    QImage m_none;
    bool m_mouseOver = false;
    int m_repaints = 0;
};
