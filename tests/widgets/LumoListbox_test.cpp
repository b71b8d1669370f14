#include "widgets/LumoListbox.h"

#include <gtest/gtest.h>

#include <QTest>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QHeaderView>
#include <QStandardItemModel>

#include <random>

#include "platform/TextOrder.h"

namespace {

struct Drawn {
    int x;
    QString text;
    std::optional<QRect> clip;
};

std::vector<Drawn> textsOf(const LumoRecordingCanvas& canvas) {
    std::vector<Drawn> texts;
    for (const auto& text : canvas.texts) {
        texts.push_back({text.x, text.text, text.clip});
    }
    return texts;
}

TEST(LumoListbox, ColumnsAreClippedAndIndented) {
    TLumo_listbox list;
    list.AddRow("a||b||c");
    list.SetColumns(2);
    list.SetColumnWidth(0, 100);
    list.SetColumnWidth(1, 50);
    LumoRecordingCanvas canvas;
    list.DrawItem(canvas, 0, QRect(0, 0, 300, 16), false);
    const auto texts = textsOf(canvas);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].x, 1);
    EXPECT_EQ(texts[0].clip, QRect(0, 0, 100, 16));
    EXPECT_EQ(texts[1].x, 101);
    EXPECT_EQ(texts[1].clip, QRect(100, 0, 50, 16));
    EXPECT_EQ(texts[2].x, 150);
    EXPECT_EQ(texts[2].text, "c");
    EXPECT_FALSE(texts[2].clip.has_value());
}

TEST(LumoListbox, WithoutColumnsDefaultSteps) {
    TLumo_listbox list;
    list.AddRow("a||b||c");
    list.AddRow("no separator here");
    LumoRecordingCanvas canvas;
    list.DrawItem(canvas, 0, QRect(0, 0, 300, 16), false);
    list.DrawItem(canvas, 1, QRect(0, 16, 300, 16), false);
    const auto texts = textsOf(canvas);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0].x, 0);
    EXPECT_EQ(texts[1].x, 92);
    EXPECT_EQ(texts[2].x, 184);
    for (const auto& text : texts) {
        EXPECT_FALSE(text.clip.has_value());
    }
    EXPECT_EQ(texts[3].text, "no separator here");
    EXPECT_EQ(texts[3].x, 0);
}

TEST(LumoListbox, ColumnText) {
    TLumo_listbox list;
    for (const char* row : {"name||12 kB||date||", "a||||b||", "||x||", "abc"}) {
        list.AddRow(row);
    }
    EXPECT_EQ(list.GetColumnText(0, 0), "name");
    EXPECT_EQ(list.GetColumnText(0, 1), "12 kB");
    EXPECT_EQ(list.GetColumnText(0, 2), "date");
    EXPECT_EQ(list.GetColumnText(0, 5), "date");
    EXPECT_EQ(list.GetColumnText(1, 0), "a");
    EXPECT_EQ(list.GetColumnText(1, 1), "");
    EXPECT_EQ(list.GetColumnText(1, 2), "b");
    EXPECT_EQ(list.GetColumnText(2, 0), "");
    EXPECT_EQ(list.GetColumnText(2, 1), "x");
    EXPECT_EQ(list.GetColumnText(3, 0), "");
    EXPECT_EQ(list.GetColumnText(3, 4), "");
    EXPECT_EQ(list.GetColumnText(-1, 0), "");
    EXPECT_EQ(list.GetColumnText(list.count(), 0), "");
    list.SetColumnSeparator("");
    EXPECT_EQ(list.GetColumnText(0, 0), "") << "an empty separator closes nothing";
}

TEST(LumoListbox, ProgressBars) {
    TLumo_listbox list;
    list.SetLineColoring(false);
    for (int i = 0; i < 4; ++i) {
        list.AddRow("row||");
    }
    list.SetProgressExists(true);
    list.SetProgress(0, 50);
    list.SetProgress(1, 0);
    list.SetProgress(2, -1);
    const QColor lime = lumoColor(0x00FF00);
    auto bars = [&](int index) {
        LumoRecordingCanvas canvas;
        list.DrawItem(canvas, index, QRect(0, 32, 200, 16), false);
        std::vector<QRect> found;
        for (const auto& fill : canvas.fills) {
            if (fill.color == lime) {
                found.push_back(fill.rect);
            }
        }
        return found;
    };
    EXPECT_EQ(bars(0), std::vector<QRect>{QRect(0, 32, 99, 15)});
    EXPECT_TRUE(bars(1).empty()) << "0 draws nothing";
    EXPECT_TRUE(bars(2).empty()) << "cleared";
    EXPECT_TRUE(bars(3).empty()) << "no entry";
    EXPECT_EQ(list.GetProgress(0), 50.0);
    EXPECT_EQ(list.GetProgress(3), -1.0);
    EXPECT_EQ(list.GetProgress(99), -1.0);
}

TEST(LumoListbox, DisabledRowsEvenWhenSelected) {
    TLumo_listbox list;
    TLumoFont disabled;
    disabled.Font = QFont("Sans", 7);
    disabled.Color = Qt::gray;
    list.SetFontDisabled(disabled);
    list.AddRow("<!--x||y||");
    LumoRecordingCanvas canvas;
    list.DrawItem(canvas, 0, QRect(0, 0, 300, 16), true);
    ASSERT_GE(canvas.texts.size(), 2u);
    EXPECT_EQ(canvas.texts[0].text, "x");
    EXPECT_EQ(canvas.texts[1].text, "y");
    EXPECT_EQ(canvas.texts[0].color, QColor(Qt::gray));
    EXPECT_EQ(canvas.texts[0].font, disabled.Font);
    EXPECT_EQ(canvas.fills[1].color, lumoColor(0x00FFFF)) << "on the selected background";
    list.SetDisableString("");
    LumoRecordingCanvas plain;
    list.DrawItem(plain, 0, QRect(0, 0, 300, 16), false);
    EXPECT_EQ(plain.texts[0].text, "<!--x") << "no marker, no disabled row";
}

TEST(LumoListbox, HoverKeepsRowColoursAndFontColour) {
    TLumo_listbox list;
    TLumoFont hover;
    hover.Font = QFont("Serif", 14);
    hover.Color = Qt::red;
    list.SetFontMouseOver(hover);
    list.MouseIsOver = true;
    list.MouseOverColor = 0x0000FF;
    list.AddRow("a");
    list.AddRow("b");
    LumoRecordingCanvas canvas;
    list.DrawItem(canvas, 1, QRect(0, 16, 100, 16), false);
    ASSERT_EQ(canvas.fills.size(), 2u);
    EXPECT_EQ(canvas.fills[0].color, lumoColor(0x0000FF));
    EXPECT_EQ(canvas.fills[1].color, lumoColor(0xCCCCCC)) << "odd rows cover the hover colour";
    EXPECT_EQ(canvas.texts[0].font, hover.Font);
    EXPECT_EQ(canvas.texts[0].color, list.Font().Color);
}

TEST(LumoListbox, ColumnCountAndWidths) {
    TLumo_listbox list;
    list.SetColumns(-3);
    EXPECT_EQ(list.Columns(), 0);
    list.SetColumns(3);
    list.SetColumnWidth(0, 10);
    list.SetColumnWidth(1, 20);
    list.SetColumnWidth(2, 30);
    list.SetColumns(5);
    EXPECT_EQ(list.ColumnWidth(0), 10);
    EXPECT_EQ(list.ColumnWidth(2), 30);
    EXPECT_EQ(list.ColumnWidth(3), 92);
    EXPECT_EQ(list.ColumnWidth(4), 92);
    const int before = list.RepaintRequests();
    list.SetColumnWidth(-1, 7);
    list.SetColumnWidth(5, 7);
    EXPECT_EQ(list.RepaintRequests(), before) << "out of range changes nothing";
    list.SetLineColorOdd(0xCCCCCC);
    EXPECT_EQ(list.RepaintRequests(), before) << "an unchanged value does not repaint";

    QStandardItemModel model(1, 2);
    QHeaderView header(Qt::Horizontal);
    header.setModel(&model);
    header.resizeSection(0, 140);
    header.resizeSection(1, 60);
    list.SetColumnsFromHeader(header);
    EXPECT_EQ(list.Columns(), 2);
    EXPECT_EQ(list.ColumnWidth(0), 140);
    EXPECT_EQ(list.ColumnWidth(1), 60);
}

TEST(LumoListbox, BackgroundPictureKeepsToTheClientArea) {
    TLumo_listbox list;
    list.AddRow("a");
    list.AddRow("b");
    QImage picture(50, 20, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    list.SetPicture(picture);
    LumoRecordingCanvas first;
    list.DrawItem(first, 0, QRect(0, 0, 300, 16), false);
    ASSERT_EQ(first.stretches.size(), 1u);
    EXPECT_EQ(first.stretches[0].target, QRect(0, 0, 50, 16));
    EXPECT_EQ(first.stretches[0].source, QRect(0, 0, 50, 16));
    LumoRecordingCanvas second;
    list.DrawItem(second, 1, QRect(0, 16, 300, 16), false);
    ASSERT_EQ(second.stretches.size(), 1u);
    EXPECT_EQ(second.stretches[0].target, QRect(0, 16, 50, 4));
    EXPECT_EQ(second.stretches[0].source, QRect(0, 16, 50, 4));
    LumoRecordingCanvas outside;
    list.DrawItem(outside, 1, QRect(0, 40, 300, 16), false);
    EXPECT_TRUE(outside.stretches.empty());
}

TEST(LumoListbox, SynchronizedSelectionAndBadIndexes) {
    TLumo_listbox files;
    TLumo_listbox mirror;
    files.SynchronizedList = &mirror;
    for (int i = 0; i < 5; ++i) {
        files.AddRow(QString("row %1||").arg(i));
        mirror.AddRow(QString("mirror %1||").arg(i));
    }
    files.resize(200, 80);
    files.show();
    files.SetItemIndex(3);
    QTest::mouseClick(files.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(files.ItemIndex(), 0);
    EXPECT_EQ(mirror.ItemIndex(), files.ItemIndex());
    LumoRecordingCanvas canvas;
    files.DrawItem(canvas, -1, QRect(0, 0, 10, 10), false);
    files.DrawItem(canvas, 99, QRect(0, 0, 10, 10), false);
    EXPECT_TRUE(canvas.fills.empty());
}

// A click passes on through the other list's own click handling: its owner hears first,
// its own link applies too, and "no current row" is passed on as well.
TEST(LumoListbox, ClicksRunTheLinkedListsOwnClickHandling) {
    TLumo_listbox folders;
    TLumo_listbox files;
    TLumo_listbox third;
    folders.SynchronizedList = &files;
    files.SynchronizedList = &third;
    std::vector<std::string> heard;
    folders.OnClick = [&](TLumo_listbox&) { heard.push_back("folders"); };
    files.OnClick = [&](TLumo_listbox&) { heard.push_back("files " + std::to_string(files.ItemIndex())); };
    third.OnClick = [&](TLumo_listbox&) { heard.push_back("third " + std::to_string(third.ItemIndex())); };
    for (int i = 0; i < 4; ++i) {
        folders.AddRow(QString("f%1||").arg(i));
        files.AddRow(QString("g%1||").arg(i));
        third.AddRow(QString("h%1||").arg(i));
    }
    folders.resize(200, 80);
    folders.show();
    QTest::mouseClick(folders.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 20));
    EXPECT_EQ(folders.ItemIndex(), 1);
    EXPECT_EQ(heard, (std::vector<std::string>{"third 1", "files 1", "folders"}));

    heard.clear();
    folders.SetItemIndex(-1);
    folders.Click();
    EXPECT_EQ(files.ItemIndex(), -1);
    EXPECT_EQ(heard, (std::vector<std::string>{"third -1", "files -1", "folders"}));

    // A current row the other list does not have is not passed on.
    folders.AddRow("f4||");
    folders.AddRow("f5||");
    folders.SetItemIndex(5);
    files.SetItemIndex(2);
    folders.Click();
    EXPECT_EQ(files.ItemIndex(), 2);
}

TEST(LumoListbox, OwnersHearDoubleClicksAndKeysBeforeTheListMoves) {
    TLumo_listbox list;
    for (int i = 0; i < 3; ++i) {
        list.AddRow(QString("r%1||").arg(i));
    }
    list.resize(200, 80);
    list.show();
    list.SetItemIndex(0);
    int doubleClicks = 0;
    list.OnDblClick = [&](TLumo_listbox&) { ++doubleClicks; };
    std::vector<std::pair<int, int>> keys;
    list.OnKeyDown = [&](TLumo_listbox& sender, int key) { keys.emplace_back(key, sender.ItemIndex()); };
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(doubleClicks, 1);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Delete, Qt::Key_F5, Qt::Key_Down}) {
        QTest::keyClick(&list, key);
    }
    EXPECT_EQ(keys, (std::vector<std::pair<int, int>>{{13, 0}, {13, 0}, {27, 0}, {46, 0}, {116, 0}, {40, 0}}));
    EXPECT_EQ(list.ItemIndex(), 1) << "the list's own handling still ran";
}

TEST(LumoListbox, BaseColourIsAProperty) {
    TLumo_listbox list;
    list.AddRow("a||");
    EXPECT_EQ(list.Color(), 0xFFFFFFu);
    const int before = list.RepaintRequests();
    list.SetColor(0xFFFFFF);
    EXPECT_EQ(list.RepaintRequests(), before);
    list.SetColor(0x00FFFF);
    EXPECT_EQ(list.RepaintRequests(), before + 1);
    LumoRecordingCanvas canvas;
    list.DrawItem(canvas, 0, QRect(0, 0, 50, 16), false);
    ASSERT_FALSE(canvas.fills.empty());
    EXPECT_EQ(canvas.fills.front().color, QColor(255, 255, 0)) << "0x00FFFF is yellow in 0xBBGGRR";
}

TEST(LumoMath, RoundingRules) {
    const struct {
        int number, numerator, denominator, expected;
    } rows[] = {{5, 1, 2, 3}, {-5, 1, 2, -3}, {7, 1, 2, 4}, {3, 1, 3, 1}, {2, 1, 3, 1},
                {1, 1, 3, 0}, {10, 3, -4, -8}, {-10, 3, -4, 8}, {1, 1, 0, -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.number) + "*" + std::to_string(row.numerator) + "/" +
                     std::to_string(row.denominator));
        EXPECT_EQ(MulDiv(row.number, row.numerator, row.denominator), row.expected);
    }
    EXPECT_EQ(MulDiv(200000, 30000, 60000), 100000) << "the product is 64-bit";
    EXPECT_EQ(lumoRound(2.5), 2);
    EXPECT_EQ(lumoRound(3.5), 4);
    EXPECT_EQ(lumoRound(-2.5), -2);
    EXPECT_EQ(lumoKeyCode(Qt::Key_F1), 112);
    EXPECT_EQ(lumoKeyCode(Qt::Key_A), 65);
    EXPECT_EQ(lumoKeyCode(Qt::Key_unknown), 0);
}

TEST(LumoListbox, HundredThousandRows) {
    TLumo_listbox list;
    list.resize(400, 300);
    list.show();
    QElapsedTimer timer;
    timer.start();
    list.setUpdatesEnabled(false);
    for (int i = 0; i < 100000; ++i) {
        list.AddRow(QString("file %1.bin||%2 KB||2026-12-08 10:00||").arg(i).arg(i % 1000));
    }
    list.setUpdatesEnabled(true);
    const qint64 fill = timer.elapsed();
    list.SetTopIndex(99990);
    list.SetItemIndex(50000);
    QApplication::processEvents();
    const qint64 total = timer.elapsed();
    std::printf("[ figures  ] 100,000 rows: fill %lld ms, fill + scroll + paint %lld ms\n",
                static_cast<long long>(fill), static_cast<long long>(total));
    EXPECT_EQ(list.count(), 100000);
    EXPECT_EQ(list.GetColumnText(99999, 0), "file 99999.bin");
}

// The byte order sorted lists take for ASCII rows must be the order of their texts: any
// pair it ordered otherwise would show out of place.
TEST(LumoListbox, TheByteOrderOfAsciiRowsIsTheirTextOrder) {
    std::mt19937 random(31);
    const std::string alphabet = "aAbBzZ09_-. |~";
    auto text = [&] {
        std::string made(random() % 6, ' ');
        for (char& c : made) {
            c = alphabet[random() % alphabet.size()];
        }
        return made;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string a = text();
        const std::string b = text();
        SCOPED_TRACE("\"" + a + "\" vs \"" + b + "\"");
        bool other = false;
        const int order = CompareFoldingAscii(a, b, &other);
        ASSERT_FALSE(other);
        ASSERT_EQ(order < 0, LumoTextLess(QString::fromStdString(a), QString::fromStdString(b)));
        ASSERT_EQ(order > 0, LumoTextLess(QString::fromStdString(b), QString::fromStdString(a)));
    }
    bool other = false;
    CompareFoldingAscii("caf\xc3\xa9", "cafe", &other);
    EXPECT_TRUE(other) << "a byte outside ASCII before the deciding place is said";
    other = false;
    CompareFoldingAscii("b\xc3\xa9", "a\xc3\xa9", &other);
    EXPECT_FALSE(other) << "one after it is not";
}

// Lines given to a list are shown without a copy; a sorted list shows them in its order
// whatever order they came in, and a row added later copies them first.
TEST(LumoListbox, SharedLinesShownInTheListsOrder) {
    const auto latin1 = [](const std::string& bytes) { return QString::fromLatin1(bytes.data(), bytes.size()); };
    struct Row {
        const char* label;
        std::vector<std::string> given;
        std::vector<std::string> shown;
    };
    const Row rows[] = {
        {"in order already", {"apple||", "Banana||", "README||", "readme||", "Zeta||"},
         {"apple||", "Banana||", "README||", "readme||", "Zeta||"}},
        {"reversed", {"Zeta||", "readme||", "README||", "Banana||", "apple||"},
         {"apple||", "Banana||", "README||", "readme||", "Zeta||"}},
        // Latin-1: "\xc9" is É, which folds to é (after every ASCII letter).
        {"letters outside ASCII", {"\xe9t\xe9||", "\xc9t\xe9||", "zoo||", "Eta||"},
         {"Eta||", "zoo||", "\xc9t\xe9||", "\xe9t\xe9||"}},
        {"empty", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TLumo_listbox list;
        list.SetDecoder(latin1);
        list.SetSorted(true);
        const auto lines = std::make_shared<const std::vector<std::string>>(row.given);
        list.SetLines(lines);
        ASSERT_EQ(list.count(), static_cast<int>(row.shown.size()));
        for (int i = 0; i < list.count(); ++i) {
            EXPECT_EQ(list.RowBytes(i), row.shown[static_cast<std::size_t>(i)]);
            EXPECT_EQ(list.RowText(i), latin1(row.shown[static_cast<std::size_t>(i)]));
        }
        EXPECT_EQ(lines.use_count(), 2) << "shared, not copied";
        list.AddRow("Mango||");
        EXPECT_EQ(*lines, row.given) << "the given lines are never changed";
        EXPECT_EQ(lines.use_count(), 1);
        std::vector<QString> texts;
        for (int i = 0; i < list.count(); ++i) {
            texts.push_back(list.RowText(i));
        }
        EXPECT_TRUE(std::is_sorted(texts.begin(), texts.end(), LumoTextLess)) << "the added row at its place";
        list.clear();
        EXPECT_EQ(list.count(), 0);
    }
    TLumo_listbox unsorted;
    unsorted.SetLines(std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"b", "a"}));
    unsorted.insertItem(0, "c");
    EXPECT_EQ(unsorted.RowText(0), "c");
    EXPECT_EQ(unsorted.RowText(2), "a") << "an unsorted list keeps the order given";
}

// A million rows: filled from shared lines, every row selected by Ctrl+A, selection read
// back by rows, a scroll to the end.
TEST(LumoListbox, AMillionRows) {
    auto lines = std::make_shared<std::vector<std::string>>();
    constexpr int kRows = 1000000;
    lines->reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        char row[48];
        std::snprintf(row, sizeof row, "file %07d.bin||%d KB||2026-12-08 10:00||", i, i % 1000);
        lines->push_back(row);
    }
    TLumo_listbox list;
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    list.SetSorted(true);
    list.resize(400, 300);
    list.show();
    QElapsedTimer timer;
    timer.start();
    list.SetLines(lines);
    QApplication::processEvents();
    const qint64 fill = timer.restart();
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
    const qint64 selectAll = timer.restart();
    EXPECT_EQ(list.SelectedRows().size(), static_cast<std::size_t>(kRows));
    EXPECT_TRUE(list.IsSelected(kRows / 2));
    list.item(3)->setSelected(false);
    EXPECT_EQ(list.SelectedRows().size(), static_cast<std::size_t>(kRows - 1));
    EXPECT_FALSE(list.item(3)->isSelected());
    timer.restart();
    QTest::keyClick(&list, Qt::Key_End);
    QApplication::processEvents();
    const qint64 toEnd = timer.restart();
    std::printf("[ figures  ] 1,000,000 shared rows: fill + paint %lld ms, Ctrl+A %lld ms, End + paint %lld ms\n",
                static_cast<long long>(fill), static_cast<long long>(selectAll), static_cast<long long>(toEnd));
    EXPECT_EQ(list.count(), kRows);
    EXPECT_EQ(list.ItemIndex(), kRows - 1);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{kRows - 1}) << "End chooses the last row alone";
    EXPECT_EQ(list.GetColumnText(kRows - 1, 0), "file 0999999.bin");
}

}  // namespace
