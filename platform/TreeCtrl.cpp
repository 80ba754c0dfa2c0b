#include "platform/TreeCtrl.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>
#include <algorithm>

#include "platform/WidgetText.h"

// Draws the items as usual, but leaves check boxes to the tree when they are clicked: the tree
// decides by the check box's band, the same area a control's OnClick sees, so that every click it
// reports toggles exactly when the band says so. Space still toggles here.
class TreeViewWidget::ItemDelegate : public QStyledItemDelegate {
public:
    explicit ItemDelegate(TreeViewWidget* tree) : QStyledItemDelegate(tree), m_tree(tree) {}

    using QStyledItemDelegate::initStyleOption;

    // Rows at least as tall as the check box's cell is wide, so that the band one item height
    // wide left of the label takes in the whole check box and nothing of the expand button.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QStyle* style = m_tree->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, m_tree) + 1;
        const int cell =
            style->pixelMetric(QStyle::PM_IndicatorWidth, &option, m_tree) + 2 * margin;
        size.setHeight(std::max(size.height(), cell));
        return size;
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                // Taken here, a press on a check box neither selects the item nor, when it is the
                // second of a double click, expands it.
                const auto* mouse = static_cast<QMouseEvent*>(event);
                return mouse->button() == Qt::LeftButton &&
                       m_tree->IsOnCheckBox(m_tree->itemFromIndex(index),
                                            mouse->position().toPoint());
            }
            case QEvent::MouseButtonRelease:
                return false;
            default:
                return QStyledItemDelegate::editorEvent(event, model, option, index);
        }
    }

private:
    TreeViewWidget* const m_tree;
};

TreeViewWidget::TreeViewWidget(QWidget* parent)
    : QTreeWidget(parent), m_delegate(new ItemDelegate(this)) {
    setColumnCount(1);
    setHeaderHidden(true);
    // Long labels scroll sideways rather than being cut short.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setItemDelegate(m_delegate);
    // Tab leaves the tree.
    setTabKeyNavigation(false);
}

TreeViewWidget::~TreeViewWidget() {
    if (m_control != nullptr) m_control->m_tree = nullptr;
}

QStyleOptionViewItem TreeViewWidget::ItemOption(const QTreeWidgetItem* item) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualItemRect(item);
    m_delegate->initStyleOption(&option, indexFromItem(item));
    return option;
}

QRect TreeViewWidget::LabelRect(const QTreeWidgetItem* item) const {
    const QStyleOptionViewItem option = ItemOption(item);
    if (option.rect.isEmpty()) return QRect();
    const QRect textCell = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    // The style draws the text this far inside its cell, on both sides.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this) + 1;
    const int width = QFontMetrics(option.font).horizontalAdvance(option.text) + 2 * margin;
    return QRect(textCell.left(), option.rect.top(), width, option.rect.height());
}

QRect TreeViewWidget::CheckBoxRect(const QTreeWidgetItem* item) const {
    const QStyleOptionViewItem option = ItemOption(item);
    if (option.rect.isEmpty()) return QRect();
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

QRect TreeViewWidget::ExpandButtonRect(const QTreeWidgetItem* item) const {
    const QRect cell = visualItemRect(item);
    if (cell.isEmpty() || item->childCount() == 0) return QRect();
    return QRect(cell.left() - indentation(), cell.top(), indentation(), cell.height());
}

bool TreeViewWidget::IsOnCheckBox(const QTreeWidgetItem* item, QPoint point) const {
    if (item == nullptr) return false;
    const QRect label = LabelRect(item);
    const int h = label.height();
    return label.top() <= point.y() && point.y() <= label.bottom() &&
           label.left() - h < point.x() && point.x() < label.left();
}

QPoint TreeViewWidget::CursorPos() const { return m_eventGlobalPos.value_or(QCursor::pos()); }

void TreeViewWidget::NotePress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_leftDown = true;
    m_pressedIndex = indexAt(event->position().toPoint());
}

void TreeViewWidget::mousePressEvent(QMouseEvent* event) {
    NotePress(event);
    QTreeWidget::mousePressEvent(event);
}

void TreeViewWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    NotePress(event);
    QTreeWidget::mouseDoubleClickEvent(event);
}

void TreeViewWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_leftDown) {
        QTreeWidget::mouseReleaseEvent(event);
        return;
    }
    m_leftDown = false;
    const QPoint point = event->position().toPoint();
    if (m_pressedIndex != indexAt(point)) {  // dragged off: no click
        QTreeWidget::mouseReleaseEvent(event);
        return;
    }
    long result = 0;
    if (m_control != nullptr) {
        const QPointer<TreeViewWidget> alive(this);
        m_eventGlobalPos = event->globalPosition().toPoint();
        m_control->OnClick(&result);
        if (!alive) return;
        m_eventGlobalPos.reset();
    }
    // OnClick may have changed the tree: look for the item again.
    QTreeWidgetItem* item = result == 0 ? itemAt(point) : nullptr;
    if (item != nullptr && IsOnCheckBox(item, point) && (item->flags() & Qt::ItemIsUserCheckable) &&
        (item->flags() & Qt::ItemIsEnabled)) {
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    QTreeWidget::mouseReleaseEvent(event);
}

bool TreeViewWidget::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) return true;  // no tool tips
    return QTreeWidget::viewportEvent(event);
}

CTreeCtrl::~CTreeCtrl() { Detach(); }

void CTreeCtrl::Attach(QWidget* widget) {
    Detach();
    auto* tree = dynamic_cast<TreeViewWidget*>(widget);
    if (tree == nullptr) return;
    if (tree->Control() != nullptr) tree->Control()->Detach();  // one control per tree
    m_tree = tree;
    tree->SetControl(this);
}

void CTreeCtrl::Detach() {
    if (m_tree && m_tree->Control() == this) m_tree->SetControl(nullptr);
    m_tree = nullptr;
}

QTreeWidgetItem* CTreeCtrl::Node(HTREEITEM item) const {
    return item == TVI_ROOT ? m_tree->invisibleRootItem() : item;
}

HTREEITEM CTreeCtrl::InsertItem(const CString& text, int /*image*/, int /*selectedImage*/,
                                HTREEITEM parent, HTREEITEM insertAfter) {
    if (!m_tree) return nullptr;
    QTreeWidgetItem* node = Node(parent);
    int position = node->childCount();
    if (insertAfter == TVI_FIRST) {
        position = 0;
    } else if (insertAfter != TVI_LAST) {
        const int after = node->indexOfChild(insertAfter);
        if (after >= 0) position = after + 1;
    }
    auto* item = new QTreeWidgetItem(QStringList{ToWidgetText(text)});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    node->insertChild(position, item);
    return item;
}

bool CTreeCtrl::SetItemData(HTREEITEM item, uintptr_t data) {
    if (!m_tree) return false;
    item->setData(0, Qt::UserRole, QVariant::fromValue<quintptr>(data));
    return true;
}

uintptr_t CTreeCtrl::GetItemData(HTREEITEM item) const {
    return m_tree ? item->data(0, Qt::UserRole).value<quintptr>() : 0;
}

bool CTreeCtrl::Expand(HTREEITEM item, unsigned code) {
    if (!m_tree || item == TVI_ROOT) return false;
    switch (code) {
        case TVE_EXPAND:
            item->setExpanded(true);
            return true;
        case TVE_COLLAPSE:
            item->setExpanded(false);
            return true;
        case TVE_TOGGLE:
            item->setExpanded(!item->isExpanded());
            return true;
        default:
            return false;
    }
}

HTREEITEM CTreeCtrl::GetRootItem() const { return m_tree ? m_tree->topLevelItem(0) : nullptr; }

HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const {
    return m_tree ? Node(item)->child(0) : nullptr;
}

HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const {
    if (!m_tree || item == TVI_ROOT) return nullptr;
    QTreeWidgetItem* parent = item->parent() ? item->parent() : m_tree->invisibleRootItem();
    return parent->child(parent->indexOfChild(item) + 1);
}

HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const {
    return m_tree && item != TVI_ROOT ? item->parent() : nullptr;
}

HTREEITEM CTreeCtrl::GetSelectedItem() const { return m_tree ? m_tree->currentItem() : nullptr; }

bool CTreeCtrl::GetCheck(HTREEITEM item) const {
    return m_tree && item != TVI_ROOT && item->checkState(0) == Qt::Checked;
}

bool CTreeCtrl::SetCheck(HTREEITEM item, bool check) {
    if (!m_tree || item == TVI_ROOT) return false;
    item->setCheckState(0, check ? Qt::Checked : Qt::Unchecked);
    return true;
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const {
    return m_tree && item != TVI_ROOT ? FromWidgetText(item->text(0)) : CString();
}

int CTreeCtrl::GetCount() const {
    if (!m_tree) return 0;
    int count = 0;
    for (QTreeWidgetItemIterator it(m_tree); *it != nullptr; ++it) ++count;
    return count;
}

bool CTreeCtrl::DeleteAllItems() {
    if (!m_tree) return false;
    m_tree->clear();
    return true;
}

HTREEITEM CTreeCtrl::HitTest(QPoint clientPoint, unsigned* flags) const {
    QTreeWidgetItem* item = nullptr;
    if (m_tree && m_tree->viewport()->rect().contains(clientPoint)) {
        // A row spans the whole width, also right of the column that holds the labels.
        const int lastColumnX = m_tree->header()->sectionViewportPosition(0) +
                                m_tree->header()->sectionSize(0) - 1;
        item = m_tree->itemAt(QPoint(std::min(clientPoint.x(), lastColumnX), clientPoint.y()));
    }
    if (flags == nullptr) return item;
    if (item == nullptr) {
        *flags = TVHT_NOWHERE;
    } else if (m_tree->IsOnCheckBox(item, clientPoint)) {
        *flags = TVHT_ONITEMSTATEICON;
    } else {
        const QRect label = m_tree->LabelRect(item);
        if (clientPoint.x() > label.right()) {
            *flags = TVHT_ONITEMRIGHT;
        } else if (clientPoint.x() >= label.left()) {
            *flags = TVHT_ONITEMLABEL;
        } else if (m_tree->ExpandButtonRect(item).contains(clientPoint)) {
            *flags = TVHT_ONITEMBUTTON;
        } else {
            *flags = TVHT_ONITEMINDENT;
        }
    }
    return item;
}

bool CTreeCtrl::GetItemRect(HTREEITEM item, QRect* rect, bool textOnly) const {
    if (!m_tree || item == TVI_ROOT) return false;
    const QRect row = m_tree->visualItemRect(item);
    if (row.isEmpty()) return false;
    *rect = textOnly ? m_tree->LabelRect(item)
                     : QRect(0, row.top(), m_tree->viewport()->width(), row.height());
    return true;
}

QPoint CTreeCtrl::CursorPosInClient() const {
    return m_tree ? m_tree->viewport()->mapFromGlobal(m_tree->CursorPos()) : QPoint();
}

void CTreeCtrl::OnClick(long* /*result*/) {}
