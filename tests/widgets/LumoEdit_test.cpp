#include "widgets/LumoEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

namespace {

QString checked(TLumo_edit& edit, const QString& text) {
    edit.setText(text);
    edit.CheckValue();
    return edit.text();
}

void type(TLumo_edit& edit, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&edit, &press);
    }
}

TEST(LumoEdit, IntegerMode) {
    TLumo_edit edit;
    edit.SetEditMode(mNumEdit);
    EXPECT_EQ(checked(edit, "12a34"), "12");
    EXPECT_EQ(checked(edit, ""), "0");
    EXPECT_EQ(checked(edit, "1-2"), "1-2") << "not read without a range";
    edit.ValueRange = true;
    edit.SetValueMin(1);
    EXPECT_EQ(edit.ValueMin(), 0) << "a lower limit above the upper one is refused";
    edit.SetValueMax(65535);
    edit.SetValueMin(1);
    EXPECT_EQ(checked(edit, "70000"), "65535");
    EXPECT_EQ(checked(edit, "0"), "1");
    EXPECT_EQ(checked(edit, "1-2"), "0");
    edit.setText("8080");
    EXPECT_EQ(edit.ValueAsInteger(), 8080);
    edit.setText("");
    type(edit, "4x2");
    EXPECT_EQ(edit.text(), "42") << "the filter drops x";
}

TEST(LumoEdit, RangeLimitsAreSetInOrder) {
    TLumo_edit edit;
    edit.SetValueMin(10);
    EXPECT_EQ(edit.ValueMin(), 0);
    edit.SetValueMax(100);
    edit.SetValueMin(10);
    EXPECT_EQ(edit.ValueMin(), 10);
    EXPECT_EQ(edit.ValueMax(), 100);
    edit.SetValueMax(5);
    EXPECT_EQ(edit.ValueMax(), 100) << "an upper limit below the lower one is refused";
}

TEST(LumoEdit, MovingALimitChecksTheValueShown) {
    TLumo_edit edit;
    edit.SetEditMode(mNumEdit);
    edit.ValueRange = true;
    edit.SetValueMax(100);
    edit.SetValueMin(10);
    edit.setText("80");
    edit.SetValueMax(50);
    EXPECT_EQ(edit.text(), "50") << "a lower upper limit clamps the value at once";
    edit.SetValueMin(20);
    EXPECT_EQ(edit.text(), "50");
    edit.setText("25");
    edit.SetValueMin(30);
    EXPECT_EQ(edit.text(), "30") << "a higher lower limit clamps the value at once";
}

TEST(LumoEdit, OwnersHearKeysAndTheExit) {
    QWidget window;
    TLumo_edit edit(&window);
    TLumo_edit other(&window);
    window.show();
    edit.setFocus();
    std::vector<int> heard;
    edit.OnKeyPress = [&](TLumo_edit&, QChar& key) {
        heard.push_back(key.unicode());
        if (key == QChar('x')) {
            key = QChar();
        }
    };
    int exits = 0;
    edit.OnExit = [&](TLumo_edit& sender) {
        ++exits;
        EXPECT_EQ(&sender, &edit);
    };
    type(edit, "axb");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(&edit, &enter);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
    QApplication::sendEvent(&edit, &escape);
    EXPECT_EQ(heard, (std::vector<int>{'a', 'x', 'b', 13, 27}));
    EXPECT_EQ(edit.text(), "ab") << "a swallowed key is not typed";
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &focusOut);
    EXPECT_EQ(exits, 1);
}

TEST(LumoEdit, RealMode) {
    TLumo_edit edit;
    edit.SetEditMode(mFloatEdit);
    EXPECT_EQ(checked(edit, "3.14159"), "3.14");
    EXPECT_EQ(checked(edit, "."), "0.00");
    EXPECT_EQ(checked(edit, "1.2.3"), "0.00");
    edit.SetDecimals(0);
    EXPECT_EQ(checked(edit, "1.5"), "1.5");
    edit.setText("2.5");
    EXPECT_EQ(edit.ValueAsInteger(), 2) << "halves to even";
    edit.setText("3.5");
    EXPECT_EQ(edit.ValueAsInteger(), 4);
}

TEST(LumoEdit, HexAndTextModes) {
    TLumo_edit hex;
    hex.SetEditMode(mHexEdit);
    hex.setText("");
    type(hex, "1Fg");
    EXPECT_EQ(hex.text(), "1F");
    EXPECT_EQ(checked(hex, "1F"), "1F");
    EXPECT_EQ(hex.ValueAsInteger(), 31);

    TLumo_edit text;
    EXPECT_EQ(text.EditMode(), mTextEdit);
    EXPECT_EQ(checked(text, "12a34"), "12a34");
    type(text, "!");
    EXPECT_EQ(text.text(), "12a34!");
    text.setText("21");
    EXPECT_EQ(text.ValueAsInteger(), 21);
    text.setText("abc");
    EXPECT_EQ(text.ValueAsInteger(), 0);
    EXPECT_EQ(text.Version(), "r1.11");
    EXPECT_EQ(text.size(), QSize(80, 22));
}

TEST(LumoEdit, LookFollowsFocusAndPointer) {
    QWidget window;
    auto* edit = new TLumo_edit(&window);
    auto* other = new TLumo_edit(&window);
    edit->FontEditing = QFont("Serif", 15);
    edit->FontMouseOver = QFont("Sans", 9);
    window.show();
    QApplication::setActiveWindow(&window);
    other->setFocus();
    QApplication::processEvents();
    auto enter = [&] {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(edit, &event);
    };
    auto leave = [&] {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(edit, &event);
    };
    enter();
    EXPECT_EQ(edit->Color(), 0xB7FFFFu) << "pointer over the unfocused field";
    EXPECT_EQ(edit->font(), edit->FontMouseOver);
    leave();
    EXPECT_EQ(edit->Color(), 0xFFFFFFu);
    EXPECT_EQ(edit->font(), edit->NormalFont);
    edit->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->Color(), 0xCAFFCAu);
    EXPECT_EQ(edit->font(), edit->FontEditing);
    enter();
    EXPECT_EQ(edit->Color(), 0xCAFFCAu);
    EXPECT_EQ(edit->font(), edit->NormalFont) << "focused and hovered: normal font";
    leave();
    EXPECT_EQ(edit->font(), edit->FontEditing);
    edit->SetEditMode(mNumEdit);
    edit->setText("");
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(edit->Color(), 0xFFFFFFu);
    EXPECT_EQ(edit->text(), "0") << "checked when the focus leaves";
}

}  // namespace
