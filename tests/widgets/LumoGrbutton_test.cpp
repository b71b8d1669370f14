// The gradient button and the shadow label: geometry and colours recorded, input and
// the link to another control driven with QTest.

#include "widgets/LumoGrbutton.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include <memory>

#include "tests/support/ScriptedDialogs.h"
#include "widgets/LumoLabel.h"

namespace {

TEST(LumoGrbutton, LedBoxAndCaptionArea) {
    TLumo_grbutton button;
    button.SetCaption("Close");
    button.SetLedExists(true);
    button.SetLedPosition(lpleft);
    const QRect box = button.LedBox();
    EXPECT_EQ(box.left(), 5);
    EXPECT_EQ(box.left() + box.width(), 13);
    EXPECT_EQ(box.top(), 7);
    EXPECT_EQ(box.top() + box.height(), 15);
    const QRect area = button.CaptionArea();
    EXPECT_EQ(area.left(), 9);
    EXPECT_EQ(area.left() + area.width(), 79);
    LumoRecordingCanvas canvas;
    button.PaintTo(canvas);
    ASSERT_EQ(canvas.boxedTexts.size(), 1u);
    EXPECT_EQ(canvas.boxedTexts[0].rect, area);
    EXPECT_EQ(canvas.boxedTexts[0].alignment, Qt::AlignHCenter | Qt::AlignVCenter);
    ASSERT_EQ(canvas.ellipses.size(), 1u);
    EXPECT_EQ(canvas.ellipses[0].fill, QColor(255, 0, 0)) << "off: LedColorOff, red";

    button.SetLedPosition(lpright);
    EXPECT_EQ(button.LedBox().left(), 80 - 1 - 12);
    EXPECT_EQ(button.CaptionArea().left() + button.CaptionArea().width(), 80 - 1 - 8);
}

TEST(LumoGrbutton, LedStylesAndLooks) {
    const struct {
        tledstyle style;
        std::size_t fills;
        std::size_t lines;
        std::size_t ellipses;
    } rows[] = {{lssquare, 257, 0, 0}, {lsellipse, 256, 0, 1}, {lsbox, 256, 4, 0}, {lscheck, 256, 2, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.style);
        TLumo_grbutton button;
        button.SetLedExists(true);
        button.SetLedState(true);
        button.SetLedStyle(row.style);
        LumoRecordingCanvas canvas;
        button.PaintTo(canvas);
        EXPECT_EQ(canvas.fills.size(), row.fills);
        EXPECT_EQ(canvas.lines.size(), row.lines);
        EXPECT_EQ(canvas.ellipses.size(), row.ellipses);
        for (const auto& line : canvas.lines) {
            EXPECT_EQ(line.color, QColor(0, 128, 0)) << "on: LedColorOn, green";
            EXPECT_EQ(line.width, 2);
        }
        if (row.style == lsbox) {
            EXPECT_EQ(canvas.lines[3].to, QPoint(button.LedBox().left() - 1, button.LedBox().top()))
                << "the top runs bw pixels beyond the left corner";
        }
    }
    // The face: gradient top to bottom from the look's colour to GradientEnd, a frame.
    TLumo_grbutton button;
    button.SetColor(0x0000FF);
    LumoRecordingCanvas normal;
    button.PaintTo(normal);
    EXPECT_EQ(normal.fills.front().color, QColor(255, 0, 0));
    EXPECT_EQ(normal.fills.back().color, QColor(255, 255, 255));
    ASSERT_EQ(normal.frames.size(), 1u);
    EXPECT_EQ(normal.frames[0].rect, QRect(0, 0, 80, 22));
    button.SetBorderWidth(0);
    LumoRecordingCanvas frameless;
    button.PaintTo(frameless);
    EXPECT_TRUE(frameless.frames.empty());
}

TEST(LumoGrbutton, PointerLooksClicksAndTheLed) {
    QWidget window;
    TLumo_grbutton button(&window);
    button.move(10, 10);
    window.resize(200, 100);
    window.show();
    int clicks = 0;
    std::vector<std::string> events;
    button.OnClick = [&](TLumo_grbutton&) { ++clicks; };
    button.OnMouseEnter = [&](QWidget&) { events.push_back("enter"); };
    button.OnMouseDown = [&](TLumo_grbutton&, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        events.push_back("down");
    };
    button.OnMouseUp = [&](TLumo_grbutton&, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        events.push_back("up");
    };
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.Hovered());
    QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(button.Pressed());
    LumoRecordingCanvas pressed;
    button.PaintTo(pressed);
    EXPECT_EQ(pressed.fills.front().color, QColor(128, 128, 128)) << "hovered and pressed: ColorDown";
    QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "down", "up"}));
    LumoRecordingCanvas hovered;
    button.PaintTo(hovered);
    EXPECT_EQ(hovered.fills.front().color, QColor(192, 192, 192)) << "hovered: ColorOver";

    button.LedChangeOnClick = true;
    button.Enabled = false;
    button.Click();
    EXPECT_FALSE(button.LedState()) << "the button's own flag off: clicks, but the LED stays";
    EXPECT_EQ(clicks, 2);
    button.Enabled = true;
    button.Click();
    EXPECT_TRUE(button.LedState());
}

TEST(LumoGrbutton, GlyphIsCentredAndItsKeyColourShowsTheEndColour) {
    TLumo_grbutton button;
    QImage glyph(16, 10, QImage::Format_RGB32);
    glyph.fill(QColor(255, 0, 255));
    glyph.setPixelColor(5, 5, QColor(0, 0, 0));
    button.SetGlyph(glyph);
    LumoRecordingCanvas canvas;
    button.PaintTo(canvas);
    ASSERT_EQ(canvas.stretches.size(), 1u);
    EXPECT_EQ(canvas.stretches[0].target, QRect(80 / 2 - 8 + 1, 22 / 2 - 5 + 1, 16, 10));
    const QImage shown = lumoReplaceColor(glyph, glyph.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(255, 255, 255));
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(0, 0, 0));
}

// The link: moves, resizes and enabling of the field reach the button first; the link
// ends cleanly whichever side goes first.
TEST(LumoGrbutton, LinkedToFollowsAndEndsCleanly) {
    QWidget window;
    window.resize(400, 200);
    auto field = std::make_unique<QLineEdit>(&window);
    field->setGeometry(20, 30, 100, 22);
    auto button = std::make_unique<TLumo_grbutton>(&window);
    button->move(130, 30);
    window.show();
    button->SetLinkedTo(field.get());
    field->move(50, 60);
    EXPECT_EQ(button->pos(), QPoint(160, 60)) << "keeps its offset";
    field->setEnabled(false);
    EXPECT_FALSE(button->Enabled);
    int clicks = 0;
    button->OnClick = [&](TLumo_grbutton&) { ++clicks; };
    button->Click();
    EXPECT_EQ(clicks, 1) << "the flag does not block clicks";
    field->setEnabled(true);
    EXPECT_TRUE(button->Enabled);
    button->resize(90, 22);
    button->move(200, 60);
    button->resize(91, 22);
    field->move(50, 70);
    EXPECT_EQ(button->pos(), QPoint(200, 70)) << "offsets taken anew at the resize";

    // The field goes first while the pointer is over the button.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(button.get(), &enter);
    field.reset();
    EXPECT_EQ(button->LinkedTo(), nullptr);
    button->move(10, 10);
    button->repaint();

    // The button goes first: the field no longer reaches it.
    auto other = std::make_unique<QLineEdit>(&window);
    button->SetLinkedTo(other.get());
    button.reset();
    other->move(0, 0);
    other->setEnabled(false);
    SUCCEED();
}

TEST(LumoLabel, ShadowHoverAndClick) {
    QWidget window;
    TLumo_label label(&window);
    label.setText("Hello");
    label.resize(100, 30);
    window.show();
    LumoRecordingCanvas canvas;
    label.PaintTo(canvas);
    ASSERT_EQ(canvas.boxedTexts.size(), 2u);
    EXPECT_EQ(canvas.boxedTexts[0].rect, QRect(2, 2, 100, 30)) << "shadow 2 px right and down";
    EXPECT_EQ(canvas.boxedTexts[0].color, QColor(128, 128, 128));
    EXPECT_EQ(canvas.boxedTexts[1].rect, QRect(0, 0, 100, 30));
    EXPECT_EQ(canvas.boxedTexts[1].color, QColor(0, 0, 0));
    label.ShadowOffset = 3;
    LumoRecordingCanvas shifted;
    label.PaintTo(shifted);
    EXPECT_EQ(shifted.boxedTexts[0].rect, QRect(-3, -3, 100, 30));
    label.SetTransparent(false);
    LumoRecordingCanvas solid;
    label.PaintTo(solid);
    EXPECT_EQ(solid.boxedTexts.size(), 1u) << "a background covers the shadow";

    std::vector<std::string> events;
    label.OnMouseEnter = [&](QWidget&) { events.push_back("enter"); };
    label.OnMouseLeave = [&](QWidget&) { events.push_back("leave"); };
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.Font().Color, QColor(0, 0, 255)) << "ColorMouse 0xFF0000 is blue";
    QApplication::sendEvent(&label, &leave);
    EXPECT_EQ(label.Font().Color, QColor(0, 0, 0));

    label.ColorMouse = 0x000000;
    const int before = label.RepaintRequests();
    QApplication::sendEvent(&label, &enter);
    QApplication::sendEvent(&label, &leave);
    EXPECT_EQ(label.RepaintRequests(), before) << "hover colour equal to the font's: no repaint";
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave", "enter", "leave"}));

    harbrook::testing::RecordingShell shell;
    harbrook::SetShell(&shell);
    int clicks = 0;
    label.OnClick = [&](TLumo_label&) { ++clicks; };
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(shell.commandLines.empty()) << "an empty GotoUrl starts nothing";
    label.GotoUrl = "http://www.harbrook.example";
    label.Click();
    EXPECT_EQ(shell.commandLines, std::vector<std::string>{"http://www.harbrook.example"});
    EXPECT_EQ(clicks, 2);
    harbrook::SetShell(nullptr);
}

TEST(LumoLabel, LinkedLabelFollowsTheEnabledState) {
    QWidget window;
    auto field = std::make_unique<QLineEdit>(&window);
    TLumo_label label(&window);
    label.move(0, 40);
    window.show();
    label.SetLinkedTo(field.get());
    field->setEnabled(false);
    EXPECT_FALSE(label.isEnabled());
    field->move(10, 10);
    EXPECT_EQ(label.pos(), QPoint(10, 50));
    field.reset();
    EXPECT_EQ(label.LinkedTo(), nullptr);
}

}  // namespace
