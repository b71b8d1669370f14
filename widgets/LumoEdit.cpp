#include "widgets/LumoEdit.h"

#include <QKeyEvent>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

QLocale numberLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QChar decimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar('.') : point.front();
}

bool isDigit(QChar c) {
    return c >= QChar('0') && c <= QChar('9');
}

bool isHexDigit(QChar c) {
    return isDigit(c) || (c >= QChar('A') && c <= QChar('F')) || (c >= QChar('a') && c <= QChar('f'));
}

}  // namespace

TLumo_edit::TLumo_edit(QWidget* parent) : TLumo_Custom_Edit(parent) {
    resize(80, 22);
    NormalFont = font();
    FontMouseOver = NormalFont;
    FontEditing = NormalFont;
    SetColor(0xFFFFFF);
}

void TLumo_edit::SetColor(unsigned color) {
    m_color = color;
    QPalette colors = palette();
    colors.setColor(QPalette::Base, QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                                           static_cast<int>((color >> 16) & 0xFF)));
    setPalette(colors);
}

void TLumo_edit::SetEditMode(tlumoeditmode mode) {
    if (mode != m_mode) {
        m_mode = mode;
        CheckValue();
        update();
    }
}

void TLumo_edit::SetDecimals(int decimals) {
    if (decimals != m_decimals) {
        m_decimals = decimals;
        CheckValue();
        update();
    }
}

void TLumo_edit::SetValueMin(double value) {
    if (value != m_valueMin && value < m_valueMax) {
        m_valueMin = value;
        CheckValue();
        update();
    }
}

void TLumo_edit::SetValueMax(double value) {
    if (value != m_valueMax && value > m_valueMin) {
        m_valueMax = value;
        CheckValue();
        update();
    }
}

bool TLumo_edit::AcceptsCharacter(QChar c) const {
    if (c == QChar('\b') || c == QChar('\r')) {
        return true;
    }
    switch (m_mode) {
        case mTextEdit: return true;
        case mNumEdit: return c == QChar('+') || c == QChar('-') || isDigit(c);
        case mFloatEdit: return c == QChar('+') || c == QChar('-') || isDigit(c) || c == decimalSeparator();
        case mHexEdit: return isHexDigit(c);
    }
    return false;
}

QString TLumo_edit::formatLimit(double limit) const {
    switch (m_mode) {
        case mFloatEdit: return numberLocale().toString(limit, 'g', 15);
        case mHexEdit: return QString::number(static_cast<qlonglong>(std::nearbyint(limit)), 16).toUpper();
        default: return QString::number(static_cast<qlonglong>(std::nearbyint(limit)));
    }
}

void TLumo_edit::CheckValue() {
    if (m_mode == mTextEdit) {
        return;
    }
    const QString whole = text();
    const QChar separator = decimalSeparator();
    int keep = 0;
    while (keep < whole.size() && AcceptsCharacter(whole[keep]) && whole[keep] != QChar('\b') &&
           whole[keep] != QChar('\r')) {
        ++keep;
    }
    QString result = whole.left(keep);
    if (whole.isEmpty()) {
        result = QStringLiteral("0");
    }
    if (m_mode == mFloatEdit && whole == QString(separator)) {
        result = QStringLiteral("0") + separator;
    }
    if (m_mode == mFloatEdit && whole.count(separator) > 1) {
        result = QStringLiteral("0");
    }
    const QLocale locale = numberLocale();
    if (ValueRange) {
        bool ok = false;
        double number = 0;
        if (m_mode == mNumEdit) {
            number = result.toInt(&ok);
        } else if (m_mode == mFloatEdit) {
            number = locale.toDouble(result, &ok);
        } else {
            number = result.toUInt(&ok, 16);
        }
        if (!ok) {
            result = QStringLiteral("0");
        } else {
            if (number > m_valueMax) {
                result = formatLimit(m_valueMax);
            }
            if (number < m_valueMin) {
                result = formatLimit(m_valueMin);
            }
        }
    }
    if (m_mode == mFloatEdit && m_decimals >= 1) {
        bool ok = false;
        const double value = locale.toDouble(result, &ok);
        result = locale.toString(ok ? value : 0.0, 'f', m_decimals);
    }
    setText(result);
}

int TLumo_edit::ValueAsInteger() const {
    bool ok = false;
    const QString value = text();
    switch (m_mode) {
        case mFloatEdit: {
            const double real = numberLocale().toDouble(value, &ok);
            return ok ? static_cast<int>(std::nearbyint(real)) : 0;
        }
        case mHexEdit: {
            const unsigned number = value.toUInt(&ok, 16);
            return ok ? static_cast<int>(number) : 0;
        }
        default: {
            const int number = value.toInt(&ok);
            return ok ? number : 0;
        }
    }
}

void TLumo_edit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Selecting and copying change nothing, so they work in every mode.
    const bool readsOnly = event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Copy);
    if (m_mode != mTextEdit && !enter && !readsOnly && event->key() != Qt::Key_Backspace &&
        event->key() != Qt::Key_Escape) {
        const QString typed = event->text();
        // Typed characters outside the mode's set, clipboard shortcuts among them, are
        // dropped; keys that type nothing (arrows, Home) keep working.
        if (!typed.isEmpty() && (!AcceptsCharacter(typed.front()) || typed.front().unicode() < 32)) {
            event->accept();
            return;
        }
    }
    if (enter) {
        CheckValue();
    }
    if (OnKeyPress) {
        // The typed character as the owner compares it: Enter "\r", Escape 27,
        // Backspace "\b". Setting it to 0 swallows the key.
        QChar key = enter                                 ? QChar('\r')
                    : event->key() == Qt::Key_Escape      ? QChar(27)
                    : event->key() == Qt::Key_Backspace   ? QChar('\b')
                    : event->text().isEmpty()             ? QChar()
                                                          : event->text().front();
        if (!key.isNull()) {
            OnKeyPress(*this, key);
            if (key.isNull()) {
                event->accept();
                return;
            }
        }
    }
    TLumo_Custom_Edit::keyPressEvent(event);
}

void TLumo_edit::applyLook(unsigned color, const QFont& font) {
    SetColor(color);
    setFont(font);
    update();
}

void TLumo_edit::focusInEvent(QFocusEvent* event) {
    applyLook(ColorIn, FontEditing);
    TLumo_Custom_Edit::focusInEvent(event);
}

void TLumo_edit::focusOutEvent(QFocusEvent* event) {
    // Another window taking the focus (a message box, a menu) is no exit from the
    // field: it is still the window's field with the focus, and gets it back.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) {
        TLumo_Custom_Edit::focusOutEvent(event);
        return;
    }
    SetColor(ColorOut);
    CheckValue();
    applyLook(ColorOut, NormalFont);
    TLumo_Custom_Edit::focusOutEvent(event);
    if (OnExit) {
        OnExit(*this);
    }
}

void TLumo_edit::MouseEntered() {
    m_mouseOver = true;
    if (hasFocus()) {
        applyLook(ColorIn, NormalFont);
    } else {
        applyLook(ColorMouse, FontMouseOver);
    }
    fireEnter();
}

void TLumo_edit::MouseLeft() {
    m_mouseOver = false;
    if (hasFocus()) {
        applyLook(ColorIn, FontEditing);
    } else {
        applyLook(ColorOut, NormalFont);
    }
    fireLeave();
}
