#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

// Kit colours are 24-bit 0xBBGGRR values (blue in the high byte).
QColor lumoColor(unsigned bgr);

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
};

class LumoPainterCanvas : public ILumoCanvas {
public:
    explicit LumoPainterCanvas(QPainter& painter) : m_painter(painter) {}
    void FillRect(const QRect& rect, const QColor& color) override;
    void DrawText(int x, int y, const QString& text, const QFont& font, const QColor& color,
                  const std::optional<QRect>& clip) override;
    void StretchDraw(const QRect& target, const QImage& image, const QRect& source) override;
    int TextHeight(const QString& text, const QFont& font) override;

private:
    QPainter& m_painter;
};

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

    void FillRect(const QRect& rect, const QColor& color) override { fills.push_back({rect, color}); }
    void DrawText(int x, int y, const QString& text, const QFont& font, const QColor& color,
                  const std::optional<QRect>& clip) override {
        texts.push_back({x, y, text, font, color, clip});
    }
    void StretchDraw(const QRect& target, const QImage& image, const QRect& source) override {
        stretches.push_back({target, source, image.size()});
    }
    int TextHeight(const QString&, const QFont&) override { return textHeight; }

    int textHeight = 16;
    std::vector<Fill> fills;
    std::vector<Text> texts;
    std::vector<Stretch> stretches;
};
