#include "widgets/LumoListbox.h"

bool TLumo_listitem::operator<(const QListWidgetItem& other) const {
    const int folded = text().compare(other.text(), Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : text() < other.text();
}

#include <QEnterEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <cmath>

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

TLumo_listbox::TLumo_listbox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new LumoListDelegate(*this));
    setUniformItemSizes(true);
    applyBaseColor();
    m_font.Font = QListWidget::font();
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
    const QString text = item(index)->text();
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
        scrollToItem(item(index), QAbstractItemView::PositionAtTop);
    }
}

void TLumo_listbox::DrawItem(ILumoCanvas& canvas, int index, const QRect& rect, bool selected) {
    if (index < 0 || index >= count()) {
        return;
    }
    QString text = item(index)->text();
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

void TLumo_listbox::enterEvent(QEnterEvent* event) {
    QListWidget::enterEvent(event);
    MouseIsOver = true;
    if (OnMouseEnter) {
        OnMouseEnter(*this);
    }
    repaintAll();
}

void TLumo_listbox::leaveEvent(QEvent* event) {
    QListWidget::leaveEvent(event);
    MouseIsOver = false;
    if (OnMouseLeave) {
        OnMouseLeave(*this);
    }
    repaintAll();
}

void TLumo_listbox::mousePressEvent(QMouseEvent* event) {
    QListWidget::mousePressEvent(event);
    repaintAll();
}

void TLumo_listbox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
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
    QListWidget::mouseDoubleClickEvent(event);
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
    QListWidget::keyPressEvent(event);
    // A row chosen by keys is chosen as by a click, as the platform's list boxes report
    // every change of selection.
    if (currentRow() != before && count() == countBefore && currentRow() >= 0) {
        Click();
    }
    repaintAll();
}
