#include "platform/ListCtrl.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <algorithm>

#include "platform/WidgetText.h"

namespace {

constexpr int kItemDataRole = Qt::UserRole + 1;

uint16_t VirtualKey(int qtKey) {
    if (qtKey == Qt::Key_Delete) return VK_DELETE;
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) {
        return static_cast<uint16_t>(qtKey);
    }
    return 0;
}

Qt::Alignment ColumnAlignment(int format) {
    switch (format) {
        case LVCFMT_RIGHT: return Qt::AlignRight | Qt::AlignVCenter;
        case LVCFMT_CENTER: return Qt::AlignCenter;
        default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

}  // namespace

ListViewWidget::ListViewWidget(QWidget* parent) : QTableWidget(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Tab leaves the list rather than walking its cells.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    connect(this, &QTableWidget::itemSelectionChanged, this, [this] {
        if (onItemChanged) onItemChanged();
    });
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0 && onItemChanged) onItemChanged();
    });
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int, int) {
        if (onDoubleClick) onDoubleClick();
    });
}

void ListViewWidget::keyPressEvent(QKeyEvent* event) {
    if (onKeyDown) onKeyDown(VirtualKey(event->key()));
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier &&
        ToggleCurrentCheck()) {
        return;
    }
    QTableWidget::keyPressEvent(event);
}

// The check box is the row's, in the first column, whichever cell has the keyboard's focus.
bool ListViewWidget::ToggleCurrentCheck() {
    QTableWidgetItem* first = item(currentRow(), 0);
    if (first == nullptr || !(first->flags() & Qt::ItemIsUserCheckable)) return false;
    first->setCheckState(first->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    return true;
}

// Home and End go to the first and the last row, as in a list; the column stays.
QModelIndex ListViewWidget::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd) {
        const int row = action == MoveHome ? 0 : rowCount() - 1;
        const int column = std::max(currentColumn(), 0);
        return row >= 0 ? model()->index(row, column) : QModelIndex();
    }
    return QTableWidget::moveCursor(action, modifiers);
}

void CListCtrl::Attach(QWidget* widget) { m_pWidget = dynamic_cast<ListViewWidget*>(widget); }

unsigned CListCtrl::SetExtendedStyle(unsigned exStyle) {
    const unsigned previous = m_exStyle;
    m_exStyle = exStyle;
    if (m_pWidget == nullptr) return previous;
    m_pWidget->setShowGrid((exStyle & LVS_EX_GRIDLINES) != 0);
    for (int row = 0; row < m_pWidget->rowCount(); ++row) ApplyCheckBoxes(row);
    return previous;
}

void CListCtrl::ModifyStyleEx(unsigned /*remove*/, unsigned add) {
    if (m_pWidget != nullptr && (add & WS_EX_CLIENTEDGE)) {
        m_pWidget->setFrameShadow(QFrame::Sunken);
    }
}

int CListCtrl::InsertColumn(int column, const CString& heading, int format, int width) {
    if (m_pWidget == nullptr || column < 0) return -1;
    column = std::min(column, m_pWidget->columnCount());
    m_pWidget->insertColumn(column);
    auto* header = new QTableWidgetItem(ToWidgetText(heading));
    header->setTextAlignment(ColumnAlignment(format));
    header->setData(kItemDataRole, format);
    m_pWidget->setHorizontalHeaderItem(column, header);
    if (width >= 0) m_pWidget->setColumnWidth(column, width);
    return column;
}

int CListCtrl::GetItemCount() const { return m_pWidget ? m_pWidget->rowCount() : 0; }

int CListCtrl::InsertItem(int index, const CString& text) {
    if (m_pWidget == nullptr || index < 0) return -1;
    index = std::min(index, m_pWidget->rowCount());
    QSignalBlocker quiet(m_pWidget);
    m_pWidget->insertRow(index);
    for (int column = 0; column < m_pWidget->columnCount(); ++column) {
        auto* cell = new QTableWidgetItem;
        const QTableWidgetItem* header = m_pWidget->horizontalHeaderItem(column);
        cell->setTextAlignment(ColumnAlignment(header ? header->data(kItemDataRole).toInt() : 0));
        m_pWidget->setItem(index, column, cell);
    }
    if (QTableWidgetItem* first = Cell(index, 0)) first->setText(ToWidgetText(text));
    ApplyCheckBoxes(index);
    return index;
}

QTableWidgetItem* CListCtrl::Cell(int row, int column) const {
    if (m_pWidget == nullptr) return nullptr;
    return m_pWidget->item(row, column);
}

void CListCtrl::ApplyCheckBoxes(int row) {
    QTableWidgetItem* first = Cell(row, 0);
    if (first == nullptr) return;
    QSignalBlocker quiet(m_pWidget);
    if (m_exStyle & LVS_EX_CHECKBOXES) {
        first->setFlags(first->flags() | Qt::ItemIsUserCheckable);
        if (!first->data(Qt::CheckStateRole).isValid()) first->setCheckState(Qt::Unchecked);
    } else {
        first->setFlags(first->flags() & ~Qt::ItemIsUserCheckable);
        first->setData(Qt::CheckStateRole, QVariant());
    }
}

bool CListCtrl::SetItemText(int row, int column, const CString& text) {
    QTableWidgetItem* cell = Cell(row, column);
    if (cell == nullptr) return false;
    cell->setText(ToWidgetText(text));
    return true;
}

CString CListCtrl::GetItemText(int row, int column) const {
    QTableWidgetItem* cell = Cell(row, column);
    return cell ? FromWidgetText(cell->text()) : CString();
}

bool CListCtrl::SetItemData(int row, uintptr_t data) {
    QTableWidgetItem* first = Cell(row, 0);
    if (first == nullptr) return false;
    first->setData(kItemDataRole, QVariant::fromValue<quintptr>(data));
    return true;
}

uintptr_t CListCtrl::GetItemData(int row) const {
    QTableWidgetItem* first = Cell(row, 0);
    return first ? first->data(kItemDataRole).value<quintptr>() : 0;
}

bool CListCtrl::DeleteAllItems() {
    if (m_pWidget == nullptr) return false;
    m_pWidget->setRowCount(0);
    return true;
}

bool CListCtrl::SetCheck(int row, bool check) {
    QTableWidgetItem* first = Cell(row, 0);
    if (first == nullptr || !(m_exStyle & LVS_EX_CHECKBOXES)) return false;
    first->setCheckState(check ? Qt::Checked : Qt::Unchecked);
    return true;
}

bool CListCtrl::GetCheck(int row) const {
    QTableWidgetItem* first = Cell(row, 0);
    return first != nullptr && first->checkState() == Qt::Checked;
}

unsigned CListCtrl::GetSelectedCount() const {
    if (m_pWidget == nullptr) return 0;
    return static_cast<unsigned>(m_pWidget->selectionModel()->selectedRows().size());
}

intptr_t CListCtrl::GetFirstSelectedItemPosition() const {
    for (int row = 0; row < GetItemCount(); ++row) {
        if (m_pWidget->selectionModel()->isRowSelected(row, QModelIndex())) return row + 1;
    }
    return 0;
}

int CListCtrl::GetNextSelectedItem(intptr_t& position) const {
    const int row = static_cast<int>(position) - 1;
    position = 0;
    for (int next = row + 1; next < GetItemCount(); ++next) {
        if (m_pWidget->selectionModel()->isRowSelected(next, QModelIndex())) {
            position = next + 1;
            break;
        }
    }
    return row;
}

bool CListCtrl::SetItemState(int row, bool selected) {
    if (m_pWidget == nullptr || row < 0 || row >= GetItemCount()) return false;
    const QModelIndex index = m_pWidget->model()->index(row, 0);
    m_pWidget->selectionModel()->select(
        index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                   QItemSelectionModel::Rows);
    return true;
}
