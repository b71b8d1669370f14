#include "widgets/LumoStatebmp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

namespace {

QImage solid(Qt::GlobalColor color, int size = 48) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

void hover(QWidget& widget, bool inside) {
    if (inside) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&widget, &leave);
    }
}

void press(QWidget& widget, Qt::MouseButton button) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), button, button, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

TEST(LumoStatebmp, HoverShowsNoneWithoutChangingTheState) {
    TLumo_statebmp button;
    button.SetPictureUp(solid(Qt::green));
    button.SetPictureDown(solid(Qt::red));
    button.SetPictureNone(solid(Qt::gray));
    button.SetState(sbDown);
    button.NoneOnMouseOver = true;
    int entered = 0;
    int left = 0;
    button.OnMouseEnter = [&](QWidget&) { ++entered; };
    button.OnMouseLeave = [&](QWidget&) { ++left; };
    hover(button, true);
    EXPECT_TRUE(button.MouseOver());
    EXPECT_EQ(&button.ShownPicture(), &button.PictureNone());
    EXPECT_EQ(button.State(), sbDown);
    hover(button, false);
    EXPECT_EQ(&button.ShownPicture(), &button.PictureDown());
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(left, 1);

    button.NoneOnMouseOver = false;
    hover(button, true);
    EXPECT_EQ(&button.ShownPicture(), &button.PictureDown()) << "hover changes nothing on screen";
    EXPECT_TRUE(button.MouseOver());
    EXPECT_EQ(entered, 2);
}

TEST(LumoStatebmp, ChangeOnClickCycle) {
    TLumo_statebmp button;
    button.ChangeOnClick = true;
    EXPECT_EQ(button.State(), sbNone);
    press(button, Qt::LeftButton);
    EXPECT_EQ(button.State(), sbDown);
    press(button, Qt::LeftButton);
    EXPECT_EQ(button.State(), sbUp);
    press(button, Qt::LeftButton);
    EXPECT_EQ(button.State(), sbDown);
    press(button, Qt::RightButton);
    EXPECT_EQ(button.State(), sbDown) << "other buttons change nothing";
}

TEST(LumoStatebmp, SetStateUpRepaintsOnlyOnChange) {
    TLumo_statebmp button;
    button.SetStateUp(true);
    const int after = button.RepaintRequests();
    button.SetStateUp(true);
    EXPECT_EQ(button.RepaintRequests(), after);
    button.SetStateUp(false);
    EXPECT_EQ(button.State(), sbDown);
    EXPECT_EQ(button.RepaintRequests(), after + 1);
}

TEST(LumoStatebmp, PictureStretchedOverTheWholeButton) {
    TLumo_statebmp button;
    button.resize(41, 137);
    button.SetPictureNone(solid(Qt::blue, 48));
    LumoRecordingCanvas canvas;
    button.PaintTo(canvas);
    ASSERT_EQ(canvas.stretches.size(), 1u);
    EXPECT_EQ(canvas.stretches[0].target, QRect(0, 0, 41, 137));
    EXPECT_EQ(canvas.stretches[0].source, QRect(0, 0, 48, 48));
    QImage rendered(41, 137, QImage::Format_RGB32);
    rendered.fill(Qt::white);
    button.render(&rendered);
    EXPECT_EQ(rendered.pixelColor(40, 136), QColor(Qt::blue));
    EXPECT_EQ(rendered.pixelColor(0, 0), QColor(Qt::blue));

    TLumo_statebmp empty;
    LumoRecordingCanvas nothing;
    empty.PaintTo(nothing);
    EXPECT_TRUE(nothing.stretches.empty()) << "an empty picture draws nothing";
    EXPECT_EQ(empty.Version(), "r1.02");
}

}  // namespace
