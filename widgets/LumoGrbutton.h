#pragma once

#include <QImage>

#include <functional>
#include <memory>

#include "widgets/LumoBase.h"
#include "widgets/LumoCanvas.h"
#include "widgets/LumoLink.h"
#include "widgets/LumoProgressbar.h"

enum tledstyle { lssquare, lsellipse, lsbox, lscheck };
enum tledposition { lpleft, lpright };
enum TVerticalAlignment { taVerticalCenter, taAlignTop, taAlignBottom };

// A push button drawn as a top-to-bottom gradient whose top colour follows the pointer,
// with an optional glyph, a small LED at one end, a caption and a frame. It can follow
// another control (LinkedTo): its moves, resizes and enabled state.
class TLumo_grbutton : public TLumo_Custom_Panel {
public:
    explicit TLumo_grbutton(QWidget* parent = nullptr);
    ~TLumo_grbutton() override;

    std::string Version() const override { return "r1.07"; }
    QWidget* LinkedTo() const { return m_link.Target(); }
    void SetLinkedTo(QWidget* control);
    const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    bool LedExists() const { return m_ledExists; }
    void SetLedExists(bool on);
    bool LedState() const { return m_ledState; }
    void SetLedState(bool on);
    bool LedChangeOnClick = false;
    unsigned LedColorOn() const { return m_ledColorOn; }
    void SetLedColorOn(unsigned color);
    tledstyle LedStyle() const { return m_ledStyle; }
    void SetLedStyle(tledstyle style);
    tledposition LedPosition() const { return m_ledPosition; }
    void SetLedPosition(tledposition position);
    unsigned LedColorOff() const { return m_ledColorOff; }
    void SetLedColorOff(unsigned color);
    unsigned Color() const { return m_color; }
    void SetColor(unsigned color);
    unsigned ColorBorder() const { return m_colorBorder; }
    void SetColorBorder(unsigned color);
    unsigned GradientEnd() const { return m_gradientEnd; }
    void SetGradientEnd(unsigned color);
    // The button's own flag: allows the LED toggle on click and follows the linked
    // control's enabled state. It neither blocks clicks nor changes the look.
    bool Enabled = true;
    const QImage& Glyph() const { return m_glyph; }
    void SetGlyph(const QImage& glyph);
    const TLumoFont& FontMouseOver() const { return m_fontMouseOver; }
    void SetFontMouseOver(const TLumoFont& font);
    const TLumoFont& Font() const { return m_font; }
    void SetFont(const TLumoFont& font);
    unsigned ColorOver = 0xC0C0C0;
    unsigned ColorDown = 0x808080;
    bool ShowCaption() const { return m_showCaption; }
    void SetShowCaption(bool on);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on);
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width);
    TLumoAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TLumoAlignment alignment);
    TVerticalAlignment VerticalAlignment() const { return m_verticalAlignment; }
    void SetVerticalAlignment(TVerticalAlignment alignment);

    bool Hovered() const { return m_hovered; }
    bool Pressed() const { return m_pressed; }
    // The LED box of the last painting (empty without LED).
    QRect LedBox() const;
    // The caption's area: inside the frame, narrowed by the LED on its side.
    QRect CaptionArea() const;
    // A click: OnClick, then the LED toggles when the flag and LedChangeOnClick allow.
    void Click();

    void PaintTo(ILumoCanvas& canvas);
    int RepaintRequests() const { return m_repaints; }

    std::function<void(TLumo_grbutton& sender)> OnClick;
    std::function<void(TLumo_grbutton& sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseDown;
    std::function<void(TLumo_grbutton& sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>
        OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void MouseEntered() override;
    void MouseLeft() override;

private:
    void repaintButton();
    template <typename T>
    void assign(T& field, const T& value) {
        if (!(field == value)) {
            field = value;
            repaintButton();
        }
    }
    void paintLed(ILumoCanvas& canvas, const QRect& box);

    TLumoControlLink m_link;
    QString m_caption;
    bool m_ledExists = false;
    bool m_ledState = false;
    unsigned m_ledColorOn = 0x008000;
    tledstyle m_ledStyle = lsellipse;
    tledposition m_ledPosition = lpright;
    unsigned m_ledColorOff = 0x0000FF;
    unsigned m_color = 0xF0F0F0;
    unsigned m_colorBorder = 0x000000;
    unsigned m_gradientEnd = 0xFFFFFF;
    QImage m_glyph;
    TLumoFont m_font;
    TLumoFont m_fontMouseOver;
    bool m_showCaption = true;
    bool m_wordWrap = false;
    int m_borderWidth = 1;
    TLumoAlignment m_alignment = taCenter;
    TVerticalAlignment m_verticalAlignment = taVerticalCenter;
    bool m_hovered = false;
    bool m_pressed = false;
    int m_ledWidth = 0;
    int m_repaints = 0;
};
