#pragma once

#include <QTimer>

#include "widgets/LumoBase.h"
#include "widgets/LumoCanvas.h"

enum TGradientStyle { gsLeftToRight, gsRightToLeft, gsTopToBottom, gsBottomToTop };

// The kit's banded two-colour gradient over the rectangle (left, top, right exclusive,
// bottom): `colors` + 1 solid bands, band k in start + MulDiv(k, end - start, colors)
// per channel; the first band lies outside the rectangle on the start side and the last
// one, the exact end colour, at the far edge. Vertical styles cover one row more than
// the rectangle. Nothing visible with `colors` <= 0. Colours are 0xBBGGRR.
void GradientFill(ILumoCanvas& canvas, const QRect& rect, unsigned startColor, TGradientStyle style, int colors,
                  unsigned endColor);

// More bands than this are drawn as this many.
inline constexpr int kMaxGradientBands = 4096;

// The colour of band k of `colors` between start and end.
unsigned GradientBandColor(unsigned startColor, unsigned endColor, int band, int colors);

// A panel whose face is a gradient in one of four directions; with AutoHide it shows
// itself only while the pointer is over its area.
class TLumo_gradient : public TLumo_Custom_Panel {
public:
    explicit TLumo_gradient(QWidget* parent = nullptr);

    std::string Version() const override { return "r1.02"; }
    unsigned StartColor() const { return m_startColor; }
    void SetStartColor(unsigned color);
    unsigned EndColor() const { return m_endColor; }
    void SetEndColor(unsigned color);
    int NumberofColors() const { return m_colors; }
    void SetNumberofColors(int colors);
    TGradientStyle GradientStyle() const { return m_style; }
    void SetGradientStyle(TGradientStyle style);
    // The panel colour: kept, not drawn.
    unsigned color = 0xF0F0F0;
    bool AutoHide = false;

    // The window has finished loading: a visible panel with AutoHide hides at once.
    void Loaded();
    // One tick of the 100 ms timer with the pointer at `globalPointer`: strictly inside
    // the panel's area shows it, anywhere else hides it.
    void CheckAutoHide(const QPoint& globalPointer);

    void PaintTo(ILumoCanvas& canvas) const;
    int RepaintRequests() const { return m_repaints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void repaintPanel();

    unsigned m_startColor = 0x000000;
    unsigned m_endColor = 0x808080;
    int m_colors = 255;
    TGradientStyle m_style = gsRightToLeft;
    QTimer m_autoHideTimer;
    int m_repaints = 0;
};
