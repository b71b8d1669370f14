#include "widgets/LumoListbox.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "platform/TextOrder.h"

bool LumoTextLess(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

TLumo_listrows::TLumo_listrows(QObject* parent)
    : QAbstractListModel(parent), m_decode([](const std::string& bytes) { return QString::fromStdString(bytes); }) {}

int TLumo_listrows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant TLumo_listrows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return Text(index.row());
}

const std::string& TLumo_listrows::Bytes(int row) const {
    static const std::string none;
    return row >= 0 && row < Count() ? lines()[lineOf(row)] : none;
}

bool TLumo_listrows::less(const std::string& a, const std::string& b) const {
    // Rows of ASCII are ordered on their bytes, which is the same order their texts have
    // and a hundred times faster than decoding them; anything else by its decoded text.
    bool otherBytes = false;
    const int order = CompareFoldingAscii(a, b, &otherBytes);
    return otherBytes ? LumoTextLess(m_decode(a), m_decode(b)) : order < 0;
}

void TLumo_listrows::sortRows() {
    m_order.clear();
    const Lines& all = lines();
    const auto inOrder = [&](const std::string& a, const std::string& b) { return !less(b, a); };
    if (std::adjacent_find(all.begin(), all.end(), [&](const std::string& a, const std::string& b) {
            return !inOrder(a, b);
        }) == all.end()) {
        return;  // given in order already (the usual case: the lines were sorted before)
    }
    m_order.resize(all.size());
    std::iota(m_order.begin(), m_order.end(), 0u);
    std::stable_sort(m_order.begin(), m_order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return less(all[a], all[b]); });
}

void TLumo_listrows::SetSorted(bool sorted) {
    if (sorted == m_sorted) {
        return;
    }
    m_sorted = sorted;
    if (m_sorted && Count() > 1) {
        beginResetModel();
        sortRows();
        endResetModel();
    }
}

void TLumo_listrows::SetLines(std::shared_ptr<const Lines> lines) {
    beginResetModel();
    m_own.clear();
    m_order.clear();
    m_shared = std::move(lines);
    if (m_sorted) {
        sortRows();
    }
    endResetModel();
}

void TLumo_listrows::ownRows() {
    if (!m_shared && m_order.empty()) {
        return;
    }
    Lines own;
    own.reserve(static_cast<std::size_t>(Count()) + 1);
    for (int row = 0; row < Count(); ++row) {
        own.push_back(Bytes(row));
    }
    m_own = std::move(own);
    m_shared.reset();
    m_order.clear();
}

int TLumo_listrows::Insert(int row, std::string bytes) {
    ownRows();
    if (m_sorted) {
        // After the rows it equals, as a sorted list box places a new row.
        row = static_cast<int>(std::upper_bound(m_own.begin(), m_own.end(), bytes,
                                                [&](const std::string& a, const std::string& b) { return less(a, b); }) -
                               m_own.begin());
    } else {
        row = std::clamp(row, 0, Count());
    }
    beginInsertRows({}, row, row);
    m_own.insert(m_own.begin() + row, std::move(bytes));
    endInsertRows();
    return row;
}

void TLumo_listrows::Clear() {
    beginResetModel();
    m_shared.reset();
    m_own.clear();
    m_order.clear();
    endResetModel();
}

QString TLumo_listrow::text() const {
    return m_list->RowText(m_row);
}

bool TLumo_listrow::isSelected() const {
    return m_list->IsSelected(m_row);
}

void TLumo_listrow::setSelected(bool selected) const {
    m_list->SetSelected(m_row, selected);
}

namespace {

// Hands the painting of every row to the list's own algorithm.
class LumoListDelegate : public QStyledItemDelegate {
public:
    explicit LumoListDelegate(TLumo_listbox& list) : QStyledItemDelegate(&list), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        LumoPainterCanvas canvas(*painter);
        m_list.DrawItem(canvas, index.row(), option.rect, (option.state & QStyle::State_Selected) != 0);
        // The current row of the list with the focus gets the platform's dotted focus
        // frame: someone working by keys sees where the keys act.
        if ((option.state & QStyle::State_HasFocus) != 0 && m_list.hasFocus()) {
            painter->save();
            QPen dotted(QColor(0x80, 0x80, 0x80));
            dotted.setStyle(Qt::DotLine);
            painter->setPen(dotted);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), m_list.ItemHeight());
    }

private:
    TLumo_listbox& m_list;
};

}  // namespace

TLumo_listbox::TLumo_listbox(QWidget* parent) : QListView(parent), m_rows(new TLumo_listrows(this)) {
    setModel(m_rows);
    setItemDelegate(new LumoListDelegate(*this));
    setUniformItemSizes(true);
    applyBaseColor();
    m_font.Font = QListView::font();
    m_fontMouseOver = m_font;
    m_fontSelected = m_font;
    m_fontDisabled = m_font;
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (SynchronizedList != nullptr) {
            SynchronizedList->verticalScrollBar()->setValue(value);
        }
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (SynchronizedList != nullptr) {
            SynchronizedList->horizontalScrollBar()->setValue(value);
        }
    });
}

void TLumo_listbox::applyBaseColor() {
    QPalette colors = palette();
    colors.setColor(QPalette::Base, lumoColor(m_color));
    setPalette(colors);
}

void TLumo_listbox::SetColor(unsigned color) {
    if (color != m_color) {
        m_color = color;
        applyBaseColor();
        repaintAll();
    }
}

void TLumo_listbox::repaintAll() {
    ++m_repaints;
    viewport()->update();
}

void TLumo_listbox::SetPicture(const QImage& picture) {
    m_picture = picture;
    repaintAll();
}

void TLumo_listbox::SetColumns(int count) {
    const std::size_t wanted = count <= 0 ? 0 : static_cast<std::size_t>(count);
    if (wanted == m_widths.size()) {
        return;
    }
    m_widths.resize(wanted, m_columnDefaultWidth);
    repaintAll();
}

int TLumo_listbox::ColumnWidth(int column) const {
    return column >= 0 && column < Columns() ? m_widths[static_cast<std::size_t>(column)] : m_columnDefaultWidth;
}

void TLumo_listbox::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= Columns()) {
        return;
    }
    m_widths[static_cast<std::size_t>(column)] = width;
    repaintAll();
}

void TLumo_listbox::SetColumnsFromHeader(const QHeaderView& header) {
    SetColumns(header.count());
    for (int i = 0; i < Columns(); ++i) {
        SetColumnWidth(i, header.sectionSize(i));
    }
}

QString TLumo_listbox::GetColumnText(int index, int column) const {
    if (index < 0 || index >= count() || m_separator.isEmpty()) {
        return {};
    }
    const QString text = RowText(index);
    QString found;
    bool any = false;
    int start = 0;
    for (int piece = 0;; ++piece) {
        const int at = text.indexOf(m_separator, start);
        if (at < 0) {
            break;
        }
        found = text.mid(start, at - start);
        any = true;
        if (piece == column) {
            return found;
        }
        start = at + static_cast<int>(m_separator.size());
    }
    // Fewer closed pieces: the last one; none at all: empty.
    return any ? found : QString();
}

double TLumo_listbox::GetProgress(int index) const {
    if (index < 0 || index >= count()) {
        return -1.0;
    }
    const auto found = m_progress.find(index);
    return found == m_progress.end() ? -1.0 : found->second;
}

void TLumo_listbox::SetProgress(int index, double percent) {
    if (percent < 0) {
        m_progress.erase(index);
    } else {
        m_progress[index] = percent;
    }
    repaintAll();
}

void TLumo_listbox::SetItemHeight(int height) {
    if (height > 0 && height != m_itemHeight) {
        m_itemHeight = height;
        doItemsLayout();
        repaintAll();
    }
}

int TLumo_listbox::TopIndex() const {
    const QModelIndex top = indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : (count() > 0 ? 0 : -1);
}

void TLumo_listbox::SetTopIndex(int index) {
    if (index >= 0 && index < count()) {
        scrollTo(m_rows->index(index), QAbstractItemView::PositionAtTop);
    }
}

void TLumo_listbox::DrawItem(ILumoCanvas& canvas, int index, const QRect& rect, bool selected) {
    if (index < 0 || index >= count()) {
        return;
    }
    QString text = RowText(index);
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();

    // Base fill and font: the hover look or the plain one.
    TLumoFont font = MouseIsOver ? m_fontMouseOver : m_font;
    canvas.FillRect(rect, lumoColor(MouseIsOver ? MouseOverColor : m_color));

    const int textHeight = canvas.TextHeight(text, font.Font);
    m_visibleLines = textHeight < 1 ? 0 : lumoRound(static_cast<double>(height()) / textHeight);

    if (selected) {
        canvas.FillRect(rect, lumoColor(m_lineColorSelected));
        font = m_fontSelected;
    } else {
        font.Color = m_font.Color;
        if (m_lineColoring) {
            canvas.FillRect(rect, lumoColor(index % 2 == 1 ? m_lineColorOdd : m_lineColorEven));
        }
    }

    // The background picture keeps to the client area: the part of it under this row.
    if (!m_picture.isNull()) {
        const QRect picture(0, 0, m_picture.width(), m_picture.height());
        const QRect shown = picture.intersected(rect);
        if (!shown.isEmpty()) {
            canvas.StretchDraw(shown, m_picture, QRect(0, shown.top(), m_picture.width(), shown.height()));
        }
    }

    if (m_progressExists && m_progress.count(index) > 0) {
        const double value = GetProgress(index);
        if (value > -1.0) {
            const int barRight = left + lumoRound((right - left) / 100.0 * value) - 1;
            if (barRight > left) {
                canvas.FillRect(QRect(left, top, barRight - left, bottom - 1 - top), lumoColor(m_progressColor));
            }
        }
    }

    if (!m_disableString.isEmpty() && text.startsWith(m_disableString)) {
        font = m_fontDisabled;
        text = text.mid(m_disableString.size());
    }

    int x = 0;
    for (int column = 0;; ++column) {
        const int at = m_separator.isEmpty() ? -1 : text.indexOf(m_separator);
        if (at < 0) {
            canvas.DrawText(left + x, top, text, font.Font, font.Color, std::nullopt);
            return;
        }
        const QString piece = text.left(at);
        text = text.mid(at + m_separator.size());
        if (column < Columns()) {
            const int width = m_widths[static_cast<std::size_t>(column)];
            canvas.DrawText(left + x + 1, top, piece, font.Font, font.Color,
                            QRect(left + x, top, width, bottom - top));
            x += width;
        } else {
            canvas.DrawText(left + x, top, piece, font.Font, font.Color, std::nullopt);
            x += m_columnDefaultWidth;
        }
    }
}

void TLumo_listbox::SetLines(std::shared_ptr<const std::vector<std::string>> lines) {
    if (selectionModel()->hasSelection()) {
        selectionModel()->clear();
    }
    m_rows->SetLines(std::move(lines));
}

void TLumo_listbox::SetDecoder(TLumo_listrows::Decoder decode) {
    m_rows->SetDecoder(std::move(decode));
    repaintAll();
}

void TLumo_listbox::clear() {
    if (selectionModel()->hasSelection()) {
        selectionModel()->clear();
    }
    m_rows->Clear();
}

void TLumo_listbox::setCurrentRow(int row) {
    const QModelIndex index = m_rows->index(row);
    switch (selectionMode()) {
    case QAbstractItemView::SingleSelection:
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        break;
    case QAbstractItemView::NoSelection:
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        break;
    default:
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::SelectCurrent);
        break;
    }
}

void TLumo_listbox::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command) {
    selectionModel()->setCurrentIndex(m_rows->index(row), command);
}

bool TLumo_listbox::IsSelected(int row) const {
    return selectionModel()->isSelected(m_rows->index(row));
}

void TLumo_listbox::SetSelected(int row, bool selected) {
    const QModelIndex index = m_rows->index(row);
    if (index.isValid()) {
        selectionModel()->select(index, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    }
}

std::vector<int> TLumo_listbox::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TLumo_listbox::enterEvent(QEnterEvent* event) {
    QListView::enterEvent(event);
    MouseIsOver = true;
    if (OnMouseEnter) {
        OnMouseEnter(*this);
    }
    repaintAll();
}

void TLumo_listbox::leaveEvent(QEvent* event) {
    QListView::leaveEvent(event);
    MouseIsOver = false;
    if (OnMouseLeave) {
        OnMouseLeave(*this);
    }
    repaintAll();
}

void TLumo_listbox::mousePressEvent(QMouseEvent* event) {
    QListView::mousePressEvent(event);
    repaintAll();
}

void TLumo_listbox::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    // The release that ends a double click is no click of its own (the platform's list
    // boxes send none): the double click's handler may have moved on (entered a folder,
    // marked a row of another list), and a click here would undo that.
    const bool endsDoubleClick = m_releaseEndsDoubleClick;
    m_releaseEndsDoubleClick = false;
    if (event->button() == Qt::LeftButton && !endsDoubleClick && rect().contains(event->position().toPoint())) {
        Click();
    }
}

void TLumo_listbox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_releaseEndsDoubleClick = true;
        if (OnDblClick) {
            OnDblClick(*this);
        }
    }
}

void TLumo_listbox::Click() {
    if (SynchronizedList != nullptr && currentRow() < SynchronizedList->count()) {
        // The other list follows (no current row included), runs its own click handling
        // (its owner's hook and its own link), repaints, and then this list's owner hears.
        SynchronizedList->setCurrentRow(currentRow());
        SynchronizedList->Click();
        SynchronizedList->repaintAll();
    }
    if (OnClick) {
        OnClick(*this);
    }
    repaintAll();
}

void TLumo_listbox::keyPressEvent(QKeyEvent* event) {
    // The owner hears the key first; the list's own handling (navigation) still runs.
    if (OnKeyDown) {
        OnKeyDown(*this, lumoKeyCode(event->key()));
    }
    // The key's own handler may have filled the list anew (entering a folder): only a
    // move of the current row by the list's navigation counts as a choice.
    const int before = currentRow();
    const int countBefore = count();
    QListView::keyPressEvent(event);
    // A row chosen by keys is chosen as by a click, as the platform's list boxes report
    // every change of selection.
    if (currentRow() != before && count() == countBefore && currentRow() >= 0) {
        Click();
    }
    repaintAll();
}
