#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

// Kit colours are 24-bit 0xBBGGRR values (blue in the high byte).
QColor lumoColor(unsigned bgr);

// A font together with its colour, as the kit's font properties carry both.
struct TLumoFont {
    QFont Font;
    QColor Color = Qt::black;
    bool operator==(const TLumoFont& other) const { return Font == other.Font && Color == other.Color; }
};


// What the kit's controls draw with. Painting goes through this so tests can record the
// exact rectangles and text origins; the Qt painter does the real work on screen.
class ILumoCanvas {
public:
    virtual ~ILumoCanvas() = default;
    virtual void FillRect(const QRect& rect, const QColor& color) = 0;
    // Text with its top-left at (x, y); clipped to `clip` when given.
    virtual void DrawText(int x, int y, const QString& text, const QFont& font, const QColor& color,
                          const std::optional<QRect>& clip) = 0;
    // The source part of the image stretched over the target rectangle.
    virtual void StretchDraw(const QRect& target, const QImage& image, const QRect& source) = 0;
    virtual int TextHeight(const QString& text, const QFont& font) = 0;
    virtual int TextWidth(const QString& text, const QFont& font) = 0;
    // A line from `from` to `to` (the end point left out, as the kit's lines are) with a
    // pen of the width.
    virtual void Line(const QPoint& from, const QPoint& to, const QColor& color, int width) = 0;
    // The outline of the rectangle, one pen width inside it.
    virtual void FrameRect(const QRect& rect, const QColor& color, int width) = 0;
    // An ellipse inside the rectangle, filled and outlined.
    virtual void Ellipse(const QRect& rect, const QColor& fill, const QColor& outline) = 0;
    // The image at (x, y), its pixels of `transparent` left out.
    virtual void TransparentDraw(int x, int y, const QImage& image, const QColor& transparent) = 0;
    // Text placed in the rectangle by Qt alignment flags (Qt::AlignLeft | Qt::AlignVCenter
    // ...), wrapped at word boundaries when `wordWrap`, without background.
    virtual void DrawTextInRect(const QRect& rect, const QString& text, const QFont& font, const QColor& color,
                                int alignment, bool wordWrap) = 0;
};

class LumoPainterCanvas : public ILumoCanvas {
public:
    explicit LumoPainterCanvas(QPainter& painter) : m_painter(painter) {}
    void FillRect(const QRect& rect, const QColor& color) override;
    void DrawText(int x, int y, const QString& text, const QFont& font, const QColor& color,
                  const std::optional<QRect>& clip) override;
    void StretchDraw(const QRect& target, const QImage& image, const QRect& source) override;
    int TextHeight(const QString& text, const QFont& font) override;
    int TextWidth(const QString& text, const QFont& font) override;
    void Line(const QPoint& from, const QPoint& to, const QColor& color, int width) override;
    void FrameRect(const QRect& rect, const QColor& color, int width) override;
    void Ellipse(const QRect& rect, const QColor& fill, const QColor& outline) override;
    void TransparentDraw(int x, int y, const QImage& image, const QColor& transparent) override;
    void DrawTextInRect(const QRect& rect, const QString& text, const QFont& font, const QColor& color,
                        int alignment, bool wordWrap) override;

private:
    QPainter& m_painter;
};

// Paints `paint` onto an off-screen picture of the widget's size and copies it to the
// widget in one piece, so the control never flickers. Nothing for an empty widget.
void lumoPaintOffscreen(QWidget& widget, const std::function<void(ILumoCanvas&)>& paint);

// The image with every pixel of `key` painted in `replacement`.
QImage lumoReplaceColor(const QImage& image, const QColor& key, const QColor& replacement);

// The image with every pixel of the colour made fully transparent.
QImage lumoWithoutColor(const QImage& image, const QColor& transparent);

// Keeps every drawing call, for tests.
class LumoRecordingCanvas : public ILumoCanvas {
public:
    struct Fill {
        QRect rect;
        QColor color;
    };
    struct Text {
        int x;
        int y;
        QString text;
        QFont font;
        QColor color;
        std::optional<QRect> clip;
    };
    struct Stretch {
        QRect target;
        QRect source;
        QSize imageSize;
    };
    struct LineCall {
        QPoint from;
        QPoint to;
        QColor color;
        int width;
    };
    struct Frame {
        QRect rect;
        QColor color;
        int width;
    };
    struct EllipseCall {
        QRect rect;
        QColor fill;
        QColor outline;
    };
    struct Transparent {
        QPoint at;
        QSize imageSize;
        QColor transparent;
    };
    struct BoxedText {
        QRect rect;
        QString text;
        QFont font;
        QColor color;
        int alignment;
        bool wordWrap;
    };

    void FillRect(const QRect& rect, const QColor& color) override { fills.push_back({rect, color}); }
    void DrawText(int x, int y, const QString& text, const QFont& font, const QColor& color,
                  const std::optional<QRect>& clip) override {
        texts.push_back({x, y, text, font, color, clip});
    }
    void StretchDraw(const QRect& target, const QImage& image, const QRect& source) override {
        stretches.push_back({target, source, image.size()});
    }
    int TextHeight(const QString&, const QFont&) override { return textHeight; }
    // Every character counts `characterWidth` pixels, so tests can compute positions.
    int TextWidth(const QString& text, const QFont&) override {
        return static_cast<int>(text.size()) * characterWidth;
    }
    void Line(const QPoint& from, const QPoint& to, const QColor& color, int width) override {
        lines.push_back({from, to, color, width});
    }
    void FrameRect(const QRect& rect, const QColor& color, int width) override {
        frames.push_back({rect, color, width});
    }
    void Ellipse(const QRect& rect, const QColor& fill, const QColor& outline) override {
        ellipses.push_back({rect, fill, outline});
    }
    void TransparentDraw(int x, int y, const QImage& image, const QColor& transparent) override {
        transparents.push_back({QPoint(x, y), image.size(), transparent});
    }
    void DrawTextInRect(const QRect& rect, const QString& text, const QFont& font, const QColor& color,
                        int alignment, bool wordWrap) override {
        boxedTexts.push_back({rect, text, font, color, alignment, wordWrap});
    }

    int textHeight = 16;
    int characterWidth = 7;
    std::vector<Fill> fills;
    std::vector<Text> texts;
    std::vector<Stretch> stretches;
    std::vector<LineCall> lines;
    std::vector<Frame> frames;
    std::vector<EllipseCall> ellipses;
    std::vector<Transparent> transparents;
    std::vector<BoxedText> boxedTexts;
};
