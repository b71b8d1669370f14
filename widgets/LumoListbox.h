#pragma once

#include <QFont>
#include <QHeaderView>
#include <QAbstractListModel>
#include <QImage>
#include <QListView>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "widgets/LumoCanvas.h"
#include "widgets/LumoMath.h"

// The order of a sorted list: by text without regard to letter case, as the platform's
// sorted list boxes order them ("apple", "banana", "README", "Zeta"); rows that differ
// only in case keep a fixed order between them.
bool LumoTextLess(const QString& a, const QString& b);

// The rows of a list box: lines of bytes, shown through the list's decoder. A filled list
// shares its block of lines with whoever gave it (a folder of a million files is one
// block of lines, not a million items); adding a row to a shared block copies it first.
class TLumo_listrows : public QAbstractListModel {
public:
    using Lines = std::vector<std::string>;
    using Decoder = std::function<QString(const std::string& bytes)>;

    explicit TLumo_listrows(QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int Count() const { return static_cast<int>(m_order.empty() ? lines().size() : m_order.size()); }
    const std::string& Bytes(int row) const;
    QString Text(int row) const { return m_decode(Bytes(row)); }
    void SetDecoder(Decoder decode) { m_decode = std::move(decode); }
    bool Sorted() const { return m_sorted; }
    // Sorts the rows there are and places every row added after.
    void SetSorted(bool sorted);

    void SetLines(std::shared_ptr<const Lines> lines);
    // At `row` (clamped to the rows there are), or in a sorted list at its place; the row
    // it went to.
    int Insert(int row, std::string bytes);
    void Clear();

private:
    const Lines& lines() const { return m_shared ? *m_shared : m_own; }
    std::size_t lineOf(int row) const { return m_order.empty() ? static_cast<std::size_t>(row) : m_order[static_cast<std::size_t>(row)]; }
    bool less(const std::string& a, const std::string& b) const;
    // Orders the rows without telling the views (callers reset around it).
    void sortRows();
    // The rows in shown order in a block of the list's own.
    void ownRows();

    std::shared_ptr<const Lines> m_shared;
    Lines m_own;
    // The shown order of the lines when it is not theirs (a sorted list given unsorted
    // lines); empty otherwise.
    std::vector<std::uint32_t> m_order;
    Decoder m_decode;
    bool m_sorted = false;
};

class TLumo_listbox;

// One row of a list box as callers handle it, valid while the row is there.
class TLumo_listrow {
public:
    TLumo_listrow(TLumo_listbox& list, int row) : m_list(&list), m_row(row) {}
    QString text() const;
    bool isSelected() const;
    void setSelected(bool selected) const;
    int Row() const { return m_row; }
    const TLumo_listrow* operator->() const { return this; }

private:
    TLumo_listbox* m_list;
    int m_row;
};

// An owner-drawn list whose rows are columns joined by a separator ("||"), drawn side
// by side at widths a header supplies, with row colours, a selection look, disabled rows,
// progress bars, a background picture and a hover look for the whole list.
class TLumo_listbox : public QListView {
public:
    explicit TLumo_listbox(QWidget* parent = nullptr);

    std::string Version() const { return "r1.18"; }
    void SetVersion(const std::string&) {}
    int VisibleLinesCount() const { return m_visibleLines; }

    unsigned LineColorSelected() const { return m_lineColorSelected; }
    void SetLineColorSelected(unsigned color) { assign(m_lineColorSelected, color); }
    bool LineColoring() const { return m_lineColoring; }
    void SetLineColoring(bool on) { assign(m_lineColoring, on); }
    unsigned LineColorOdd() const { return m_lineColorOdd; }
    void SetLineColorOdd(unsigned color) { assign(m_lineColorOdd, color); }
    unsigned LineColorEven() const { return m_lineColorEven; }
    void SetLineColorEven(unsigned color) { assign(m_lineColorEven, color); }
    bool MouseIsOver = false;
    unsigned MouseOverColor = 0xFFFFFF;
    const TLumoFont& Font() const { return m_font; }
    void SetFont(const TLumoFont& font) { assign(m_font, font); }
    const TLumoFont& FontMouseOver() const { return m_fontMouseOver; }
    void SetFontMouseOver(const TLumoFont& font) { assign(m_fontMouseOver, font); }
    const TLumoFont& FontSelected() const { return m_fontSelected; }
    void SetFontSelected(const TLumoFont& font) { assign(m_fontSelected, font); }
    const TLumoFont& FontDisabled() const { return m_fontDisabled; }
    void SetFontDisabled(const TLumoFont& font) { assign(m_fontDisabled, font); }
    const QString& DisableString() const { return m_disableString; }
    void SetDisableString(const QString& marker) { assign(m_disableString, marker); }
    const QImage& Picture() const { return m_picture; }
    void SetPicture(const QImage& picture);
    bool ProgressExists() const { return m_progressExists; }
    void SetProgressExists(bool on) { assign(m_progressExists, on); }
    unsigned ProgressColor() const { return m_progressColor; }
    void SetProgressColor(unsigned color) { assign(m_progressColor, color); }
    const QString& ColumnSeparator() const { return m_separator; }
    void SetColumnSeparator(const QString& separator) { assign(m_separator, separator); }
    int ColumnDefaultWidth() const { return m_columnDefaultWidth; }
    void SetColumnDefaultWidth(int width) { assign(m_columnDefaultWidth, width); }
    TLumo_listbox* SynchronizedList = nullptr;

    int Columns() const { return static_cast<int>(m_widths.size()); }
    void SetColumns(int count);
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    void SetColumnsFromHeader(const QHeaderView& header);

    // Column `column` of row `index`: only pieces a separator closes; empty otherwise.
    QString GetColumnText(int index, int column) const;
    // The row's progress percentage, or -1.0.
    double GetProgress(int index) const;
    // Sets (or with a negative value clears) the row's progress and repaints.
    void SetProgress(int index, double percent);

    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int height);
    // The rows, as text.
    int count() const { return m_rows->Count(); }
    QString RowText(int row) const { return row >= 0 && row < count() ? m_rows->Text(row) : QString(); }
    // The row's bytes as they were given (a filled list's lines, or an added text's UTF-8).
    const std::string& RowBytes(int row) const { return m_rows->Bytes(row); }
    TLumo_listrow item(int row) { return TLumo_listrow(*this, row); }
    void AddRow(const QString& text) { m_rows->Insert(count(), text.toStdString()); }
    void addItem(const QString& text) { AddRow(text); }
    void insertItem(int row, const QString& text) { m_rows->Insert(row, text.toStdString()); }
    // Shows `lines` (shared, not copied), decoded for the eye by the list's decoder.
    void SetLines(std::shared_ptr<const std::vector<std::string>> lines);
    void SetDecoder(TLumo_listrows::Decoder decode);
    void clear();
    // A sorted list keeps its rows in the order of LumoTextLess.
    bool Sorted() const { return m_rows->Sorted(); }
    void SetSorted(bool sorted) { m_rows->SetSorted(sorted); }
    void setSortingEnabled(bool sorted) { SetSorted(sorted); }

    int currentRow() const { return currentIndex().row(); }
    // As a list box's current row moves: the selection follows as the selection mode says.
    void setCurrentRow(int row);
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command);
    bool IsSelected(int row) const;
    void SetSelected(int row, bool selected);
    // The selected rows in order.
    std::vector<int> SelectedRows() const;
    QRect visualItemRect(const TLumo_listrow& row) const { return visualRect(m_rows->index(row.Row())); }
    int ItemIndex() const { return currentRow(); }
    void SetItemIndex(int index) { setCurrentRow(index); }
    int TopIndex() const;
    void SetTopIndex(int index);

    // Draws one row as the list does; public so tests can record it.
    void DrawItem(ILumoCanvas& canvas, int index, const QRect& rect, bool selected);
    // How often the list asked to be repainted (property changes, hover, clicks).
    int RepaintRequests() const { return m_repaints; }

    // The control colour: the rows' base fill when the pointer is not over the list.
    unsigned Color() const { return m_color; }
    void SetColor(unsigned color);

    // A click as the list handles it: the synchronized list follows and handles its own
    // click first, then OnClick fires. A left click in the list runs it.
    void Click();

    std::function<void(TLumo_listbox& sender)> OnMouseEnter;
    std::function<void(TLumo_listbox& sender)> OnMouseLeave;
    std::function<void(TLumo_listbox& sender)> OnClick;
    std::function<void(TLumo_listbox& sender)> OnDblClick;
    // Before the list's own key handling, with the key code of lumoKeyCode (Enter 13,
    // Escape 27, Delete 46, F5 116).
    std::function<void(TLumo_listbox& sender, int key)> OnKeyDown;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TLumo_listrows* m_rows;
    bool m_releaseEndsDoubleClick = false;

    template <typename T>
    void assign(T& field, const T& value) {
        if (!(field == value)) {
            field = value;
            repaintAll();
        }
    }
    void repaintAll();
    void applyBaseColor();

    int m_visibleLines = 0;
    // White, the control colour the lists are created with.
    unsigned m_color = 0xFFFFFF;
    unsigned m_lineColorSelected = 0x00FFFF;
    bool m_lineColoring = true;
    unsigned m_lineColorOdd = 0xCCCCCC;
    unsigned m_lineColorEven = 0xFFFFFF;
    TLumoFont m_font;
    TLumoFont m_fontMouseOver;
    TLumoFont m_fontSelected;
    TLumoFont m_fontDisabled;
    QString m_disableString = QStringLiteral("<!--");
    QImage m_picture;
    bool m_progressExists = false;
    unsigned m_progressColor = 0x00FF00;
    QString m_separator = QStringLiteral("||");
    int m_columnDefaultWidth = 92;
    std::vector<int> m_widths;
    std::map<int, double> m_progress;
    int m_itemHeight = 16;
    int m_repaints = 0;
};
