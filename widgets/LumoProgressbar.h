#pragma once

#include <QString>

#include "widgets/LumoBase.h"
#include "widgets/LumoCanvas.h"

enum TLumoAlignment { taLeftJustify, taRightJustify, taCenter };

// A progress bar drawn by the kit: a gradient fixed to the whole bar, the part beyond
// the position covered in the background colour, optional step lines, a frame, and a
// caption or the position as text.
class TLumo_progressbar : public TLumo_Custom_PaintBox {
public:
    explicit TLumo_progressbar(QWidget* parent = nullptr);

    std::string Version() const override { return "r1.05"; }
    long double Min() const { return m_min; }
    void SetMin(long double value);
    long double Max() const { return m_max; }
    void SetMax(long double value);
    long double Position() const { return m_position; }
    void SetPosition(long double value);
    unsigned BackColor() const { return m_backColor; }
    void SetBackColor(unsigned color);
    unsigned StartColor() const { return m_startColor; }
    void SetStartColor(unsigned color);
    unsigned EndColor() const { return m_endColor; }
    void SetEndColor(unsigned color);
    bool ValueAsText() const { return m_valueAsText; }
    void SetValueAsText(bool on);
    const QString& AddToText() const { return m_addToText; }
    void SetAddToText(const QString& text);
    bool Vertical() const { return m_vertical; }
    void SetVertical(bool on);
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width);
    unsigned BorderColor() const { return m_borderColor; }
    void SetBorderColor(unsigned color);
    TLumoAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TLumoAlignment alignment);
    const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    int Steps() const { return m_steps; }
    void SetSteps(int steps);
    // The bar's font and its colour (white at creation).
    TLumoFont Font;

    // What the bar shows as text now.
    QString Text() const;
    void PaintTo(ILumoCanvas& canvas) const;
    int RepaintRequests() const { return m_repaints; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void repaintBar();
    template <typename T>
    void assign(T& field, const T& value) {
        if (!(field == value)) {
            field = value;
            repaintBar();
        }
    }

    long double m_min = 0;
    long double m_max = 100;
    long double m_position = 0;
    unsigned m_backColor = 0x000000;
    unsigned m_startColor = 0x00FF00;
    unsigned m_endColor = 0x0000FF;
    bool m_valueAsText = false;
    QString m_addToText = QStringLiteral("%");
    bool m_vertical = false;
    int m_borderWidth = 1;
    unsigned m_borderColor = 0x808080;
    TLumoAlignment m_alignment = taCenter;
    QString m_caption;
    int m_steps = 0;
    int m_repaints = 0;
};
