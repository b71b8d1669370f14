// The progress bar's painting, recorded: gradient bands, the unreached part, step lines,
// frame and text, and the setters' rules.

#include "widgets/LumoProgressbar.h"

#include <gtest/gtest.h>

#include <QLocale>

#include "widgets/LumoGradient.h"

namespace {

// The fills after the gradient bands: the unreached part comes first.
const LumoRecordingCanvas::Fill& unreached(const LumoRecordingCanvas& canvas, int bands) {
    return canvas.fills.at(static_cast<std::size_t>(bands + 1));
}

TEST(LumoProgressbar, DefaultBarIsBlackInsideAGreyFrameWithoutText) {
    TLumo_progressbar bar;
    EXPECT_EQ(bar.width(), 150);
    EXPECT_EQ(bar.height(), 22);
    EXPECT_EQ(bar.Font.Color, QColor(255, 255, 255));
    LumoRecordingCanvas canvas;
    bar.PaintTo(canvas);
    ASSERT_EQ(canvas.fills.size(), 257u) << "255 bands (0..255) and the unreached part";
    EXPECT_EQ(unreached(canvas, 255).rect, QRect(0, 0, 150, 22));
    EXPECT_EQ(unreached(canvas, 255).color, QColor(0, 0, 0));
    EXPECT_TRUE(canvas.lines.empty());
    ASSERT_EQ(canvas.frames.size(), 1u);
    EXPECT_EQ(canvas.frames[0].rect, QRect(QPoint(0, 0), QPoint(150, 22))) << "(0,0) to (151,23), exclusive";
    EXPECT_EQ(canvas.frames[0].color, QColor(128, 128, 128));
    EXPECT_TRUE(canvas.texts.empty());
}

TEST(LumoProgressbar, RangeAndStepGeometry) {
    const struct {
        const char* label;
        int width;
        long double min, max, position;
        int steps;
        int bands;
        int reachedTo;
        std::vector<int> lines;
    } rows[] = {
        {"half of 50..150", 150, 50, 150, 100, 0, 255, 75, {}},
        {"4 steps at 30", 150, 0, 100, 30, 4, 4, 38, {38, 76, 114}},
        {"300 steps", 1000, 0, 100, 100, 300, 255, 1000, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TLumo_progressbar bar;
        bar.resize(row.width, 22);
        bar.SetMax(row.max);
        bar.SetMin(row.min);
        bar.SetPosition(row.position);
        bar.SetSteps(row.steps);
        LumoRecordingCanvas canvas;
        bar.PaintTo(canvas);
        ASSERT_EQ(canvas.fills.size(), static_cast<std::size_t>(row.bands + 2));
        EXPECT_EQ(unreached(canvas, row.bands).rect.left(), row.reachedTo);
        if (!row.lines.empty()) {
            ASSERT_EQ(canvas.lines.size(), row.lines.size());
            for (std::size_t i = 0; i < row.lines.size(); ++i) {
                EXPECT_EQ(canvas.lines[i].from, QPoint(row.lines[i], 1));
                EXPECT_EQ(canvas.lines[i].to, QPoint(row.lines[i], 21));
            }
        }
    }
    // 300 steps on 1000 px: step length 3 and lines for k = 1..254 only.
    TLumo_progressbar wide;
    wide.resize(1000, 22);
    wide.SetSteps(300);
    LumoRecordingCanvas canvas;
    wide.PaintTo(canvas);
    ASSERT_EQ(canvas.lines.size(), 254u);
    EXPECT_EQ(canvas.lines.front().from.x(), 3);
    EXPECT_EQ(canvas.lines.back().from.x(), 762);
}

TEST(LumoProgressbar, BandsAndColours) {
    TLumo_progressbar bar;
    bar.resize(100, 10);
    bar.SetSteps(4);
    bar.SetPosition(100);
    LumoRecordingCanvas canvas;
    bar.PaintTo(canvas);
    // Lime to red in four steps, each band offset by the border width.
    const QRect rects[] = {QRect(-24, 1, 25, 10), QRect(1, 1, 25, 10), QRect(26, 1, 25, 10), QRect(51, 1, 25, 10),
                           QRect(76, 1, 25, 10)};
    const QColor colors[] = {QColor(0, 255, 0), QColor(64, 191, 0), QColor(128, 127, 0), QColor(191, 64, 0),
                             QColor(255, 0, 0)};
    for (int band = 0; band <= 4; ++band) {
        SCOPED_TRACE(band);
        EXPECT_EQ(canvas.fills[static_cast<std::size_t>(band)].rect, rects[band]);
        EXPECT_EQ(canvas.fills[static_cast<std::size_t>(band)].color, colors[band]);
    }
    EXPECT_EQ(unreached(canvas, 4).rect.width(), 0) << "all reached";

    // Without a border the gradient starts at the left edge with band 1's colour.
    bar.SetBorderWidth(0);
    LumoRecordingCanvas plain;
    bar.PaintTo(plain);
    EXPECT_EQ(plain.fills[1].rect, QRect(0, 0, 25, 10));
    EXPECT_TRUE(plain.frames.empty());
    EXPECT_TRUE(plain.lines.empty());

    // A vertical bar grows from the bottom: band 0, the start colour, at the bottom.
    TLumo_progressbar vertical;
    vertical.resize(10, 100);
    vertical.SetVertical(true);
    vertical.SetSteps(4);
    vertical.SetPosition(25);
    LumoRecordingCanvas up;
    vertical.PaintTo(up);
    EXPECT_EQ(up.fills[0].rect, QRect(1, 76, 10, 25));
    EXPECT_EQ(up.fills[0].color, QColor(0, 255, 0));
    EXPECT_EQ(unreached(up, 4).rect, QRect(0, 0, 10, 75));
    EXPECT_EQ(up.lines.front().from, QPoint(1, 25));
}

TEST(LumoProgressbar, SettersClamp) {
    TLumo_progressbar bar;
    bar.SetPosition(200);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetMin(20);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetMax(10);
    EXPECT_EQ(bar.Min(), 10);
    EXPECT_EQ(bar.Max(), 10);
    EXPECT_EQ(bar.Position(), 10);
    bar.SetSteps(-5);
    EXPECT_EQ(bar.Steps(), 0);
    const int before = bar.RepaintRequests();
    bar.SetBackColor(bar.BackColor());
    bar.SetAddToText(bar.AddToText());
    EXPECT_EQ(bar.RepaintRequests(), before) << "unchanged values do not repaint";
    bar.SetCaption(bar.Caption());
    bar.SetPosition(bar.Position());
    EXPECT_EQ(bar.RepaintRequests(), before + 2) << "Caption and Position always repaint";
}

TEST(LumoProgressbar, TextInThreeAlignments) {
    QLocale::setDefault(QLocale(QLocale::German));
    TLumo_progressbar bar;
    bar.SetValueAsText(true);
    bar.SetPosition(42.5);
    EXPECT_EQ(bar.Text(), "42,50%") << "the locale's decimal separator";
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(bar.Text(), "42.50%");
    const std::pair<TLumoAlignment, int> rows[] = {{taLeftJustify, 3}, {taRightJustify, 150 - 1 - 2 - 42},
                                                   {taCenter, 54}};
    for (const auto& [alignment, x] : rows) {
        bar.SetAlignment(alignment);
        LumoRecordingCanvas canvas;
        bar.PaintTo(canvas);
        ASSERT_EQ(canvas.texts.size(), 1u);
        EXPECT_EQ(canvas.texts[0].text, "42.50%");
        EXPECT_EQ(canvas.texts[0].x, x) << alignment;
        EXPECT_EQ(canvas.texts[0].y, 3) << "round(11 - 16 / 2)";
    }
    bar.SetValueAsText(false);
    bar.SetCaption("Update Failed");
    EXPECT_EQ(bar.Text(), "Update Failed");
}

TEST(LumoProgressbar, BadSizesAndRanges) {
    TLumo_progressbar bar;
    for (const QSize size : {QSize(0, 0), QSize(1, 1), QSize(3, 200)}) {
        bar.resize(size);
        for (int steps : {0, 1, 255, 256, 1 << 30}) {
            bar.SetSteps(steps);
            bar.SetMax(bar.Min());
            LumoRecordingCanvas canvas;
            bar.PaintTo(canvas);
            bar.SetMax(100);
            bar.SetBorderWidth(-3);
            bar.PaintTo(canvas);
            bar.SetBorderWidth(1);
        }
    }
    bar.resize(40, 10);
    bar.show();
    bar.repaint();
}

TEST(LumoGradient, FourBandsOverAHundredPixels) {
    LumoRecordingCanvas canvas;
    GradientFill(canvas, QRect(0, 0, 100, 20), 0x000000, gsLeftToRight, 4, 0x0000FF);
    ASSERT_EQ(canvas.fills.size(), 5u);
    const std::pair<QRect, QColor> bands[] = {
        {QRect(-25, 0, 25, 21), QColor(0, 0, 0)},   {QRect(0, 0, 25, 21), QColor(0x40, 0, 0)},
        {QRect(25, 0, 25, 21), QColor(0x80, 0, 0)}, {QRect(50, 0, 25, 21), QColor(0xBF, 0, 0)},
        {QRect(75, 0, 25, 21), QColor(0xFF, 0, 0)},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(canvas.fills[i].rect, bands[i].first);
        EXPECT_EQ(canvas.fills[i].color, bands[i].second);
    }
    // The reversed directions put band 0, the start colour, at the far side.
    const struct {
        TGradientStyle style;
        QRect startBand;
        QRect endBand;
    } styles[] = {
        {gsRightToLeft, QRect(75, 0, 25, 21), QRect(-25, 0, 25, 21)},
        {gsTopToBottom, QRect(0, -5, 100, 5), QRect(0, 16, 100, 5)},
        {gsBottomToTop, QRect(0, 16, 100, 5), QRect(0, -5, 100, 5)},
    };
    for (const auto& row : styles) {
        SCOPED_TRACE(row.style);
        LumoRecordingCanvas styled;
        GradientFill(styled, QRect(0, 0, 100, 20), 0x000000, row.style, 4, 0x0000FF);
        EXPECT_EQ(styled.fills.front().rect, row.startBand);
        EXPECT_EQ(styled.fills.back().rect, row.endBand);
        EXPECT_EQ(styled.fills.back().color, QColor(0xFF, 0, 0));
    }
    LumoRecordingCanvas none;
    GradientFill(none, QRect(0, 0, 100, 20), 0x000000, gsLeftToRight, 0, 0x0000FF);
    GradientFill(none, QRect(0, 0, 100, 20), 0x000000, gsLeftToRight, -3, 0x0000FF);
    EXPECT_TRUE(none.fills.empty());
    LumoRecordingCanvas huge;
    GradientFill(huge, QRect(0, 0, 100, 20), 0x000000, gsLeftToRight, 1 << 30, 0x0000FF);
    EXPECT_EQ(huge.fills.size(), static_cast<std::size_t>(kMaxGradientBands + 1)) << "bounded";
    EXPECT_EQ(huge.fills.back().color, QColor(0xFF, 0, 0));
}

TEST(LumoGradient, AutoHideUsesAStrictInsideTest) {
    QWidget window;
    window.resize(300, 200);
    TLumo_gradient panel(&window);
    panel.setGeometry(50, 40, 100, 60);
    window.show();
    panel.AutoHide = true;
    panel.Loaded();
    EXPECT_TRUE(panel.isHidden()) << "hidden once the window has loaded";
    const QPoint corner = window.mapToGlobal(QPoint(50, 40));
    panel.CheckAutoHide(corner + QPoint(10, 10));
    EXPECT_FALSE(panel.isHidden());
    panel.CheckAutoHide(corner + QPoint(0, 10));
    EXPECT_TRUE(panel.isHidden()) << "the left edge is not inside";
    panel.CheckAutoHide(corner + QPoint(99, 59));
    EXPECT_FALSE(panel.isHidden());
    panel.CheckAutoHide(corner + QPoint(100, 30));
    EXPECT_TRUE(panel.isHidden());
    panel.AutoHide = false;
    panel.show();
    panel.CheckAutoHide(corner + QPoint(500, 500));
    EXPECT_FALSE(panel.isHidden()) << "without AutoHide nothing changes";
    EXPECT_EQ(panel.Version(), "r1.02");
    EXPECT_EQ(panel.GradientStyle(), gsRightToLeft);
    EXPECT_EQ(panel.NumberofColors(), 255);
}

}  // namespace

// Boundaries of the band count and of a minimum raised over the position.
TEST(LumoProgressbar, BandCountLimitAndARaisedMinimum) {
    const std::pair<int, int> rows[] = {{1, 1}, {254, 254}, {255, 255}, {256, 255}, {0, 255}, {100000, 255}};
    for (const auto& [steps, bands] : rows) {
        SCOPED_TRACE("steps " + std::to_string(steps));
        TLumo_progressbar bar;
        bar.resize(600, 10);
        bar.SetSteps(steps);
        bar.SetPosition(50);
        LumoRecordingCanvas canvas;
        bar.PaintTo(canvas);
        // Bands 0..n, then the unreached part.
        EXPECT_EQ(canvas.fills.size(), static_cast<std::size_t>(bands + 2));
    }
    TLumo_progressbar bar;
    bar.SetPosition(5);
    bar.SetMin(20);
    EXPECT_EQ(bar.Position(), 20) << "a minimum above the position pulls it up";
    bar.SetMin(10);
    EXPECT_EQ(bar.Position(), 20) << "a lower one leaves it";
}
