#pragma once

#include <functional>

#include <QFont>

#include "widgets/LumoBase.h"

enum tlumoeditmode { mNumEdit, mFloatEdit, mTextEdit, mHexEdit };

// A text field whose colour and font follow focus and pointer, and that can be an
// integer, real or hexadecimal field: it filters keystrokes and cleans, clamps and
// formats its text when editing ends.
class TLumo_edit : public TLumo_Custom_Edit {
public:
    explicit TLumo_edit(QWidget* parent = nullptr);

    std::string Version() const override { return "r1.11"; }
    tlumoeditmode EditMode() const { return m_mode; }
    void SetEditMode(tlumoeditmode mode);
    int Decimals() const { return m_decimals; }
    void SetDecimals(int decimals);
    Qt::Alignment Alignment() const { return alignment(); }
    void SetAlignment(Qt::Alignment alignment) { setAlignment(alignment); }
    bool Wordwrap() const { return m_wordwrap; }
    void SetWordwrap(bool wrap) { m_wordwrap = wrap; }
    // FIXME: a line edit has one line; Multiline is kept for callers but draws as one line.
    bool Multiline() const { return m_multiline; }
    void SetMultiline(bool multiline) { m_multiline = multiline; }
    unsigned ColorIn = 0xCAFFCA;
    unsigned ColorOut = 0xFFFFFF;
    unsigned ColorMouse = 0xB7FFFF;
    bool ValueRange = false;
    double ValueMin() const { return m_valueMin; }
    // Taken only when it differs and lies below ValueMax.
    void SetValueMin(double value);
    double ValueMax() const { return m_valueMax; }
    // Taken only when it differs and lies above ValueMin.
    void SetValueMax(double value);
    unsigned Color() const { return m_color; }
    void SetColor(unsigned color);
    QFont FontMouseOver;
    QFont FontEditing;
    // The font of the field when neither focused nor hovered.
    QFont NormalFont;

    // Cleans, clamps and formats the text for the mode (nothing in mTextEdit).
    void CheckValue();
    int ValueAsInteger() const;
    // Whether a typed character gets through the mode's filter.
    bool AcceptsCharacter(QChar c) const;

    // A typed character the mode accepts (Enter "\r", Escape 27, Backspace "\b"
    // included), before the field takes it; set it to 0 to swallow it.
    std::function<void(TLumo_edit& sender, QChar& key)> OnKeyPress;
    // The field lost the focus (after its value was checked).
    std::function<void(TLumo_edit& sender)> OnExit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void MouseEntered() override;
    void MouseLeft() override;

private:
    void applyLook(unsigned color, const QFont& font);
    QString formatLimit(double limit) const;

    tlumoeditmode m_mode = mTextEdit;
    int m_decimals = 2;
    bool m_wordwrap = false;
    bool m_multiline = false;
    double m_valueMin = 0;
    double m_valueMax = 0;
    unsigned m_color = 0xFFFFFF;
    bool m_mouseOver = false;
};
