// The tree-view control: TreeViewWidget is the widget a dialog makes for it, one column of items
// with check boxes; CTreeCtrl is the class a dialog talks to it through, by item handles, and the
// class whose OnClick hears the tree's clicks. Texts given to and read from the tree are code page
// 936 bytes. Coordinates are those of the tree's client area (its viewport).
#pragma once

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <cstdint>
#include <optional>

#include "wardlet/platform/String.h"

class CTreeCtrl;

// An item handle; valid until the item is deleted.
using HTREEITEM = QTreeWidgetItem*;

// Handles that stand for a place rather than an item; never dereferenced. TVI_ROOT is the
// invisible root above the top-level items, so it is never the parent an item reports.
inline const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x10000));
inline const HTREEITEM TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFF));
inline const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFE));

// What Expand does.
enum : unsigned { TVE_COLLAPSE = 0x0001, TVE_EXPAND = 0x0002, TVE_TOGGLE = 0x0003 };

// Where a point lies, as HitTest reports it.
enum : unsigned {
    TVHT_NOWHERE = 0x0001,          // below the last item, or outside the client area
    TVHT_ONITEMICON = 0x0002,       // never: items have no images
    TVHT_ONITEMLABEL = 0x0004,      // on the item's text
    TVHT_ONITEMINDENT = 0x0008,     // in the indentation left of the item
    TVHT_ONITEMBUTTON = 0x0010,     // on the button that expands or collapses the item
    TVHT_ONITEMRIGHT = 0x0020,      // right of the item's text
    TVHT_ONITEMSTATEICON = 0x0040,  // on the item's check box
    TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON,
};

// The widget of a tree-view control: one column, no header, a check box on every item, expand
// buttons down to the top-level items, no tool tips.
//
// A click (a left press and release on the same item, or on the same empty space) is told to the
// attached CTreeCtrl's OnClick before the tree acts on it. If the release lies on the item's check
// box, the tree then toggles that check box, unless OnClick set its result to nonzero. The check
// box's hit area is its band: one item height wide, just left of the label; rows are made at least
// as tall as the check box's cell is wide, so that the band holds the whole check box and nothing
// of the expand button. Each click of a double click counts as a click. Space toggles the current
// item's check box without a click.
class TreeViewWidget : public QTreeWidget {
public:
    explicit TreeViewWidget(QWidget* parent);
    ~TreeViewWidget() override;

    // The control that hears this tree's clicks, or null. CTreeCtrl::Attach sets it.
    CTreeCtrl* Control() const { return m_control; }
    void SetControl(CTreeCtrl* control) { m_control = control; }

    // The parts of an item, in client coordinates; empty while the item is not shown (a collapsed
    // ancestor). The label is the item's text with its margins; the check box is the indicator as
    // it is drawn; the expand button is the cell left of the item that holds the button.
    QRect LabelRect(const QTreeWidgetItem* item) const;
    QRect CheckBoxRect(const QTreeWidgetItem* item) const;
    QRect ExpandButtonRect(const QTreeWidgetItem* item) const;
    // Whether `point` lies in the item's row, in the band one item height wide just left of its
    // label, where its check box is.
    bool IsOnCheckBox(const QTreeWidgetItem* item, QPoint point) const;

    // The global position of the mouse event being handled; outside one, the cursor's.
    QPoint CursorPos() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    class ItemDelegate;
    QStyleOptionViewItem ItemOption(const QTreeWidgetItem* item) const;
    void NotePress(QMouseEvent* event);

    CTreeCtrl* m_control = nullptr;
    bool m_leftDown = false;               // a left press in the client area awaits its release
    QPersistentModelIndex m_pressedIndex;  // where it was; invalid for empty space
    std::optional<QPoint> m_eventGlobalPos;
    ItemDelegate* m_delegate;
};

// The framework's tree control: a handle on a TreeViewWidget it does not own. Every operation but
// Attach REQUIRES an attached tree (without one it does nothing and returns null, false or 0), and
// every item handle given to it is an item of that tree, or TVI_ROOT where the root is allowed.
class CTreeCtrl {
public:
    CTreeCtrl() = default;
    virtual ~CTreeCtrl();
    CTreeCtrl(const CTreeCtrl&) = delete;
    CTreeCtrl& operator=(const CTreeCtrl&) = delete;

    // Refers to `widget` from now on and hears its clicks. REQUIRES: `widget` is a TreeViewWidget,
    // or null, which detaches. A widget of another kind detaches too. The tree outliving the
    // control, or the control the tree, is fine: whichever goes first, the link goes with it.
    void Attach(QWidget* widget);
    TreeViewWidget* Widget() const { return m_tree; }

    // Adds an item, unchecked, under `parent` (TVI_ROOT: at the top level) after `insertAfter`
    // (TVI_FIRST, TVI_LAST or a child of `parent`); returns it, or null. Items have no images:
    // `image` and `selectedImage` are ignored.
    HTREEITEM InsertItem(const CString& text, int image, int selectedImage,
                         HTREEITEM parent = TVI_ROOT, HTREEITEM insertAfter = TVI_LAST);
    bool SetItemData(HTREEITEM item, uintptr_t data);
    // 0 for an item given no data.
    uintptr_t GetItemData(HTREEITEM item) const;
    // `code` is TVE_EXPAND, TVE_COLLAPSE or TVE_TOGGLE.
    bool Expand(HTREEITEM item, unsigned code);

    // The first top-level item, or null.
    HTREEITEM GetRootItem() const;
    // The first child of `item` (TVI_ROOT: the first top-level item), or null.
    HTREEITEM GetChildItem(HTREEITEM item) const;
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
    // Null for a top-level item.
    HTREEITEM GetParentItem(HTREEITEM item) const;
    // The item that has the focus in the tree, or null.
    HTREEITEM GetSelectedItem() const;

    bool GetCheck(HTREEITEM item) const;
    // Sets the check box alone; nothing else in the tree changes.
    bool SetCheck(HTREEITEM item, bool check = true);
    CString GetItemText(HTREEITEM item) const;
    // Items at every level.
    int GetCount() const;
    bool DeleteAllItems();

    // The item in whose row `clientPoint` lies, or null; `*flags` (if given) says on which part,
    // as TVHT_ bits.
    HTREEITEM HitTest(QPoint clientPoint, unsigned* flags = nullptr) const;
    // The item's label (`textOnly`) or its whole row. False, leaving `*rect` alone, while the item
    // is not shown.
    bool GetItemRect(HTREEITEM item, QRect* rect, bool textOnly) const;
    // Where the mouse is, in client coordinates: during OnClick, the position of the click.
    QPoint CursorPosInClient() const;

protected:
    // A click in the tree (see TreeViewWidget), before the tree acts on it. `*result` comes in as
    // 0; set it nonzero to keep the tree from toggling a check box. Does nothing here.
    virtual void OnClick(long* result);

private:
    friend class TreeViewWidget;
    void Detach();
    QTreeWidgetItem* Node(HTREEITEM item) const;

    QPointer<TreeViewWidget> m_tree;
};
