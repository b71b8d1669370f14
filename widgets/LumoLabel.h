#pragma once

#include <functional>
#include <string>

#include "widgets/LumoBase.h"
#include "widgets/LumoCanvas.h"
#include "widgets/LumoLink.h"

// A text label with a drop shadow and a hover colour that starts a command line when
// clicked (the about window's web address); it can follow another control (LinkedTo).
class TLumo_label : public TLumo_Custom_Label {
public:
    explicit TLumo_label(QWidget* parent = nullptr);

    std::string Version() const override { return "r1.03"; }
    QWidget* LinkedTo() const { return m_link.Target(); }
    void SetLinkedTo(QWidget* control);
    unsigned ColorMouse = 0xFF0000;
    bool Shadow() const { return m_shadow; }
    void SetShadow(bool on);
    // The shadow lies -ShadowOffset pixels right of and below the text.
    int ShadowOffset = -2;
    // Started as a command line on click; nothing when empty.
    std::string GotoUrl;
    const TLumoFont& Font() const { return m_font; }
    void SetFont(const TLumoFont& font);
    const TLumoFont& FontShadow() const { return m_fontShadow; }
    void SetFontShadow(const TLumoFont& font);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);
    // The label's background colour when not transparent.
    unsigned Color = 0xF0F0F0;

    // A click: GotoUrl handed to the platform as a command line, then OnClick.
    void Click();
    void PaintTo(ILumoCanvas& canvas) const;
    int RepaintRequests() const { return m_repaints; }

    std::function<void(TLumo_label& sender)> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void MouseEntered() override;
    void MouseLeft() override;

private:
    void repaintLabel();
    int textFlags() const;

    TLumoControlLink m_link;
    bool m_shadow = true;
    TLumoFont m_font;
    TLumoFont m_fontShadow;
    QColor m_savedColor;
    bool m_transparent = true;
    int m_repaints = 0;
};
